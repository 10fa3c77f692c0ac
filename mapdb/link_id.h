#pragma once
// Link ids: the low 27 bits are the link number (1 to 1999999), bit 27 set
// means the link is travelled against its stored direction.
#include <cstdint>

inline constexpr uint32_t kMneLinkNumberMask = 0x07FFFFFF;
inline constexpr uint32_t kMneLinkReverseBit = 0x08000000;
inline constexpr uint32_t kMneLinkLimit = 2000000;

inline uint32_t MneLinkNumber(uint32_t linkId) { return linkId & kMneLinkNumberMask; }
inline bool MneLinkIsReverse(uint32_t linkId) { return (linkId & kMneLinkReverseBit) != 0; }
// Direction of travel: 1 along the stored direction, 2 against it.
inline int MneLinkDirection(uint32_t linkId) { return MneLinkIsReverse(linkId) ? 2 : 1; }
inline bool MneLinkNumberValid(uint32_t number) { return number != 0 && number < kMneLinkLimit; }
