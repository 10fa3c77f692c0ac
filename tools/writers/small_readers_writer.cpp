#include "tools/writers/small_readers_writer.h"

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"

namespace writers {
namespace {

void U24(platform::ByteWriter& w, uint32_t v) {
    w.U16(static_cast<uint16_t>(v & 0xFFFF));
    w.U8(static_cast<uint8_t>(v >> 16));
}

std::string Cp949(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

// Group index {u8 count, 24-bit first record} at 4 x group, records from 80000.
template <class Record, class Key, class Encode>
std::vector<uint8_t> BuildGrouped(std::vector<Record> records, Key key, Encode encode) {
    std::stable_sort(records.begin(), records.end(), [&](const Record& a, const Record& b) { return key(a) < key(b); });
    platform::ByteWriter w;
    w.Zeros(80000);
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> groups;  // group -> (count, first)
    uint32_t number = 0;
    for (const auto& r : records) {
        auto [it, fresh] = groups.try_emplace(key(r) / 100, 0, number);
        ++it->second.first;
        const auto bytes = encode(r);
        w.Bytes(bytes.data(), bytes.size());
        ++number;
    }
    for (const auto& [group, cf] : groups) {
        w.Data()[4 * group] = static_cast<uint8_t>(cf.first);
        w.Data()[4 * group + 1] = static_cast<uint8_t>(cf.second & 0xFF);
        w.Data()[4 * group + 2] = static_cast<uint8_t>((cf.second >> 8) & 0xFF);
        w.Data()[4 * group + 3] = static_cast<uint8_t>(cf.second >> 16);
    }
    return w.Data();
}

}  // namespace

std::vector<uint8_t> EncodeLaneRecord(const LaneRecord& r) {
    platform::ByteWriter w;
    U24(w, r.linkNumber);
    w.U8(r.direction);
    w.U8(r.value4);
    w.Bytes(r.lanes.data(), r.lanes.size());
    w.U16(r.value33);
    return w.Data();
}

std::vector<uint8_t> BuildLaneFile(std::vector<LaneRecord> records) {
    return BuildGrouped(std::move(records), [](const LaneRecord& r) { return r.linkNumber; }, EncodeLaneRecord);
}

std::vector<uint8_t> EncodeTurnRecord(const TurnRecord& r) {
    platform::ByteWriter w;
    w.U8(r.direction);
    U24(w, r.fromLink);
    U24(w, r.toLink);
    w.U8(static_cast<uint8_t>(r.type));
    for (const std::string* s : {&r.digits8, &r.digit1, &r.digits3}) w.Bytes(s->data(), s->size());
    return w.Data();
}

std::vector<uint8_t> BuildTbtFile(std::vector<TurnRecord> records) {
    return BuildGrouped(std::move(records), [](const TurnRecord& r) { return r.fromLink; }, EncodeTurnRecord);
}

NameFileBuilder::NameFileBuilder() {
    // Offset 0 is kept free so that no name has id 0.
    m_bytes.assign(4, 0);
}

uint32_t NameFileBuilder::Add(const std::string& utf8, uint32_t value24, uint8_t value4) {
    const std::string text = Cp949(utf8);
    const uint32_t id = static_cast<uint32_t>(m_bytes.size());
    platform::ByteWriter w;
    w.U8(static_cast<uint8_t>(text.size()));
    U24(w, value24);
    w.U8(value4);
    w.Bytes(text.data(), text.size());
    m_bytes.insert(m_bytes.end(), w.Data().begin(), w.Data().end());
    return id;
}

uint32_t NameFileBuilder::AddRaw(uint8_t lengthByte, const std::vector<uint8_t>& text) {
    const uint32_t id = static_cast<uint32_t>(m_bytes.size());
    m_bytes.push_back(lengthByte);
    m_bytes.insert(m_bytes.end(), 4, 0);
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return id;
}

std::array<uint8_t, 20> EncodeTollFare(const TollFare& fare) {
    platform::ByteWriter w;
    w.U16(0);
    w.U16(fare.otherGate);
    w.U16(fare.kind);
    w.U16(fare.continueFrom);
    for (uint16_t p : fare.prices) w.U16(p);
    std::array<uint8_t, 20> out{};
    std::copy(w.Data().begin(), w.Data().end(), out.begin());
    return out;
}

std::vector<uint8_t> BuildTollGateFile(const std::map<int, std::vector<std::array<uint8_t, 20>>>& gates) {
    platform::ByteWriter w;
    w.Zeros(8000);
    for (const auto& [gate, records] : gates) {
        w.PatchU32(8 * (gate - 1), static_cast<uint32_t>(w.Size()));
        w.Data()[8 * (gate - 1) + 4] = static_cast<uint8_t>(records.size() & 0xFF);
        w.Data()[8 * (gate - 1) + 5] = static_cast<uint8_t>(records.size() >> 8);
        for (const auto& r : records) w.Bytes(r.data(), r.size());
    }
    return w.Data();
}

ServiceAreaFiles BuildServiceAreaFiles(const std::vector<ServiceArea>& areas, const std::map<uint32_t, int>& linkToArea) {
    platform::ByteWriter sa;
    sa.U16(static_cast<uint16_t>(areas.size()));
    std::vector<uint32_t> offsets;
    for (const auto& area : areas) {
        offsets.push_back(static_cast<uint32_t>(sa.Size()));
        const std::string name = Cp949(area.nameUtf8);
        platform::ByteWriter rec;
        rec.U8(static_cast<uint8_t>(name.size()));
        rec.Bytes(name.data(), name.size());
        rec.U8(static_cast<uint8_t>(area.values.size()));
        for (uint16_t v : area.values) rec.U16(v);
        rec.Zeros(rec.Size() < 50 ? 50 - rec.Size() : 0);
        sa.Bytes(rec.Data().data(), rec.Size());
    }
    platform::ByteWriter idx;
    idx.Zeros(45000);
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> groups;
    uint32_t n = 0;
    for (const auto& [link, area] : linkToArea) {
        auto [it, fresh] = groups.try_emplace(link / 100, 0, n);
        ++it->second.first;
        U24(idx, link);
        U24(idx, offsets.at(area));
        ++n;
    }
    for (const auto& [group, cf] : groups) {
        auto& d = idx.Data();
        d[5 * group] = static_cast<uint8_t>(cf.first & 0xFF);
        d[5 * group + 1] = static_cast<uint8_t>(cf.first >> 8);
        d[5 * group + 2] = static_cast<uint8_t>(cf.second & 0xFF);
        d[5 * group + 3] = static_cast<uint8_t>((cf.second >> 8) & 0xFF);
        d[5 * group + 4] = static_cast<uint8_t>(cf.second >> 16);
    }
    return {sa.Data(), idx.Data()};
}

}  // namespace writers
