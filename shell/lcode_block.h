#pragma once
// Two small outward interfaces for the car PC's other programs: the car's
// position as a position-code text in the shared block "LCODE", and the
// traffic broadcaster choice as the registry value "TC" for the DMB program.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/coords.h"
#include "platform/serial_port.h"

class CMgrConfigUISetting;

inline constexpr const char* kLCodeBlockName = "LCODE";
inline constexpr size_t kLCodeBlockBytes = 60;

// The position-code text of a map position: "ddd ddd dddd" from the
// latitude and longitude codes printed "%5d%5d" on the Bessel datum; false
// when the position lies outside the code's area.
bool FormatPositionCode(const MapPoint& position, std::u16string* text);

class LCodeSharedMemory {
public:
    // Maps the block; without it every write fails quietly.
    LCodeSharedMemory();
    // Clears the block and unmaps it.
    ~LCodeSharedMemory();
    LCodeSharedMemory(const LCodeSharedMemory&) = delete;
    LCodeSharedMemory& operator=(const LCodeSharedMemory&) = delete;

    // 1 with the code text written; 0 (the block cleared) outside the area.
    int WritePosition(const MapPoint& position);
    // Copies bytes of text (at most 60) and zero-fills the rest; 0 when more
    // are asked or nothing is mapped (the block is left as it was).
    int Write(const void* text, size_t bytes);
    int Clear();
    bool IsMapped() const { return m_block.IsOpen(); }

private:
    platform::SharedMemoryBlock m_block;
};

// By the UI setting eTPEGBS (1, 2, 4 give broadcaster 0, 1, 2; any other
// value is set to 1 and saved): enabled 1 and the broadcaster; publishes
// "TC". Returns 1.
int SelectTrafficBroadcaster(int* enabled, int* broadcaster, CMgrConfigUISetting* ui);
// Writes "TC" = value under the current user's DMB key. 1 when stored.
int PublishTrafficBroadcaster(int value);
