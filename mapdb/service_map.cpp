#include "mapdb/service_map.h"

#include <cstring>

#include "platform/byte_cursor.h"

namespace {
constexpr uint32_t kArenaUnit = 8000;
constexpr uint32_t kArenaSize = 0x60000;
}  // namespace

MneLinkGuideRecord MneDecodeGuideRecord(const uint8_t* stored, uint32_t linkId) {
    platform::ByteReader in(stored, kMneServiceRecordSize);
    const int d = MneLinkDirection(linkId);
    MneLinkGuideRecord r{};
    r.length = in.U32();
    r.value4 = in.U32();
    r.value8 = in.U32();
    r.roadClass = in.U8();
    r.byte13 = in.U8();
    r.linkKind = in.U8();
    r.byte15 = in.U8();
    r.twoWay = in.U8();
    r.byte17 = in.U8();
    const uint8_t codeA = in.U8();
    const uint8_t codeB = in.U8();
    r.setAApplies = (codeA == 3 || codeA == d) ? 1 : 0;
    r.setBApplies = (codeB == 3 || codeB == d) ? 1 : 0;
    r.word20 = in.U16();
    r.word22 = in.U16();
    r.word24 = in.U16();
    r.word26 = in.U16();
    uint32_t forward[3], backward[3];
    for (auto& v : forward) v = in.U32();
    for (auto& v : backward) v = in.U32();
    for (int i = 0; i < 3; ++i) r.directional[i] = d == 2 ? backward[i] : forward[i];
    r.nameId = in.U32();
    r.value56 = in.U32();
    const uint16_t wordB = in.U16();
    const uint16_t wordA = in.U16();
    const uint32_t valueB = in.U32();
    const uint32_t valueA = in.U32();
    r.setBWord = r.setBApplies ? wordB : 0;
    r.setAWord = r.setAApplies ? wordA : 0;
    r.setBValue = r.setBApplies ? valueB : 0;
    r.setAValue = r.setAApplies ? valueA : 0;
    const uint32_t forwardValue = in.U32();
    const uint32_t backwardValue = in.U32();
    r.directionValue = d == 2 ? backwardValue : forwardValue;
    return r;
}

int CMneServiceMainMapFile::Open(const std::string& dataRoot) {
    // Opened again: the file goes, the arena stays for Recreate.
    m_file.Close();
    m_fileSize = 0;
    if (!m_arena.Recreate("SERVICEMAP", kArenaUnit, kArenaSize, 4)) {
        Close();
        return 0;
    }
    if (!MneOpenDataFile(dataRoot, "Map\\RG.ndb", m_file)) {
        Close();
        return 0;
    }
    m_fileSize = m_file.Size();
    return 1;
}

void CMneServiceMainMapFile::Close() {
    m_arena.Destroy();
    m_file.Close();
    m_fileSize = 0;
}

int CMneServiceMainMapFile::ReadStored(uint32_t number, uint8_t* out80) {
    if (!MneLinkNumberValid(number) || !m_file.IsOpen()) return 0;
    // A record past the end of the file is not a link.
    if ((static_cast<int64_t>(number) + 1) * kMneServiceRecordSize > m_fileSize) return 0;
    const uint32_t group = number / kMneServiceGroupRecords;
    const uint32_t index = number % kMneServiceGroupRecords;
    // The last group of a file may be short: the missing tail reads as zeros
    // and is never handed out (checked above).
    const uint8_t* data = m_arena.Acquire(&group, m_file, static_cast<uint64_t>(group) * kMneServiceGroupBytes,
                                          kMneServiceGroupBytes, false,
                                          "ServiceMain DB : m_MapDataCache Alloc Fail\n");
    if (!data) return 0;
    std::memcpy(out80, data + index * kMneServiceRecordSize, kMneServiceRecordSize);
    m_arena.Release(&group);
    return 1;
}

int CMneServiceMainMapFile::GetLinkRecord(uint32_t linkId, MneLinkGuideRecord* out) {
    if (!out) return 0;
    uint8_t stored[kMneServiceRecordSize];
    if (!ReadStored(MneLinkNumber(linkId), stored)) return 0;
    *out = MneDecodeGuideRecord(stored, linkId);
    return 1;
}

int CMneServiceMainMapFile::GetRawRecord(uint32_t linkNumber, MneServiceRawRecord* out) {
    if (!out) return 0;
    uint8_t stored[kMneServiceRecordSize];
    if (!ReadStored(linkNumber, stored)) return 0;
    platform::ByteReader in(stored, sizeof stored);
    for (auto& w : out->words) w = in.U32();
    return 1;
}
