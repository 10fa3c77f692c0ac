#include "search/poi_base.h"

#include <cstdio>
#include <cstring>

#include "platform/byte_cursor.h"
#include "platform/paths.h"

uint32_t CateCodeOf(uint16_t packed) {
    const uint32_t g = (packed >> 12) & 0xF, h = (packed >> 6) & 0x3F, m = packed & 0x3F;
    return g * 10000 + h * 100 + m;
}

uint32_t CateIndexOf(uint16_t packed) {
    const uint32_t g = (packed >> 12) & 0xF, h = (packed >> 6) & 0x3F, m = packed & 0x3F;
    const uint32_t index = g * 30 + h;
    return m ? index * 30 + m : index;
}

std::string FormatTelephone(uint16_t telArea, uint32_t telNumber) {
    if (telArea == 0 && telNumber == 0) return {};
    char text[48];
    const unsigned exchange = telNumber / 10000, line = telNumber % 10000;
    if (telArea)
        std::snprintf(text, sizeof text, "(0%u)%03u-%04u", static_cast<unsigned>(telArea), exchange, line);
    else
        std::snprintf(text, sizeof text, "%03u-%04u", exchange, line);
    return text;
}

int NcSearchDB::SetFolder(const std::string& folder) {
    m_folder = folder;
    return Open(0);
}

int NcSearchDB::Open(int keep) {
    if (keep) return 1;
    m_file.Close();
    m_fileSize = 0;
    m_recordCount = 0;
    if (!m_file.Open(platform::NativePath(m_folder + "nvr.sdb"))) return 0;
    m_fileSize = m_file.Size();
    if (m_fileSize < 0) {
        m_file.Close();
        m_fileSize = 0;
        return 0;
    }
    const int64_t records = m_fileSize / kPoiBaseRecordBytes - 1;
    m_recordCount = records > 0 ? static_cast<uint32_t>(records) : 0;
    return 1;
}

int NcSearchDB::ReadName(uint32_t i, char (&buffer)[kPoiNameBufferBytes]) {
    buffer[0] = '\0';
    uint8_t head[5];
    if (i >= m_recordCount || !m_file.ReadExactAt((uint64_t{i} + 1) * kPoiBaseRecordBytes, head, sizeof head))
        return 0;
    platform::ByteReader r(head, sizeof head);
    const uint32_t offset = r.U32();
    const uint8_t length = r.U8();
    if (!m_file.ReadExactAt(offset, buffer, length)) return 0;
    buffer[length] = '\0';
    return length;
}

std::string NcSearchDB::ReadName(uint32_t i) {
    char buffer[kPoiNameBufferBytes];
    const int n = ReadName(i, buffer);
    return std::string(buffer, static_cast<size_t>(n));
}

int NcSearchDB::ReadRecord(uint32_t i, PoiBaseRecord& record) {
    record = {};
    uint8_t bytes[kPoiBaseRecordBytes - 5];
    if (i >= m_recordCount || !m_file.ReadExactAt((uint64_t{i} + 1) * kPoiBaseRecordBytes + 5, bytes, sizeof bytes))
        return 0;
    platform::ByteReader r(bytes, sizeof bytes);
    record.bFlags = r.U8();
    record.nPOIID = r.U32();
    record.wCatePacked = r.U16();
    record.uAreaCode = r.U32();
    record.wTelArea = r.U16();
    record.uTelNumber = r.U32();
    record.x = r.U32();
    record.y = r.U32();
    return 1;
}
