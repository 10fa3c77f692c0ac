#include "search/ic_search.h"

#include <algorithm>
#include <cstring>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "search/search_keys.h"

namespace {

std::u16string NameOf(const uint8_t* bytes, size_t n) {
    const std::string_view text = CutCp949(std::string_view(reinterpret_cast<const char*>(bytes), n), n);
    std::u16string out;
    platform::Cp949ToUtf16(text, out);
    return out;
}

void CopyName(char16_t* field, size_t n, std::u16string_view text) {
    const size_t len = std::min(text.size(), n - 1);
    std::copy_n(text.data(), len, field);
    std::fill(field + len, field + n, u'\0');
}

bool IsBareConsonant(char16_t c) { return c >= 0x3131 && c <= 0x314E; }

}  // namespace

bool MatchInitialKeyword(std::u16string_view name, std::u16string_view keyword) {
    if (keyword.size() > name.size()) return false;
    const std::vector<uint8_t> nameKeys = MakeInitialKey(name.substr(0, keyword.size()), keyword.size());
    const std::vector<uint8_t> keys = MakeInitialKey(keyword, keyword.size());
    for (size_t i = 0; i < keyword.size(); ++i) {
        if (!IsBareConsonant(keyword[i]) && name[i] != keyword[i]) return false;
        if (nameKeys[i] != keys[i]) return false;
    }
    return true;
}

void NcSearchICJC::Clear() {
    m_highways.clear();
    m_ics.clear();
}

int NcSearchICJC::LoadICFile(const std::string& folder) {
    Clear();
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(platform::NativePath(folder + "IC.ndb"), bytes)) return 0;
    return LoadICBytes(bytes.data(), bytes.size());
}

int NcSearchICJC::FindHighway(std::u16string_view name) const {
    for (size_t i = 0; i < m_highways.size(); ++i)
        if (m_highways[i].name == name) return static_cast<int>(i);
    return -1;
}

int NcSearchICJC::LoadICBytes(const uint8_t* data, size_t size) {
    Clear();
    platform::ByteReader rd(data, size);
    const uint32_t highwayCount = rd.U32();
    if (!rd.Ok()) return 0;
    // The names of every highway record in the file: an interchange names
    // its motorway by its place among them.
    std::vector<std::u16string> fileNames;
    for (uint32_t h = 0; h < highwayCount; ++h) {
        const uint16_t id = rd.U16();
        const uint8_t* name = rd.Span(kICNameBytes);
        if (!name) return 0;
        fileNames.push_back(NameOf(name, kICNameBytes));
        if (m_highways.size() < kICHighwayCapacity) m_highways.push_back({id, fileNames.back()});
    }
    const uint32_t icCount = rd.U32();
    if (!rd.Ok()) return 0;
    for (uint32_t i = 0; i < icCount; ++i) {
        const uint8_t* rec = rd.Span(kICRecordBytes);
        if (!rec) return 0;
        platform::ByteReader r(rec, kICRecordBytes);
        ICEntry ic;
        ic.id = r.U32();
        const uint8_t own = r.U8();
        r.U8();
        ic.flags = r.U32();
        ic.name = NameOf(r.Span(kICNameBytes), kICNameBytes);
        ic.x1 = r.U32();
        ic.y1 = r.U32();
        ic.x2 = r.U32();
        ic.y2 = r.U32();
        const uint8_t kind = r.U8();
        uint16_t connected[3] = {r.U16(), r.U16(), r.U16()};
        for (uint32_t& link : ic.links) link = r.U32();
        // The connected motorways lose the interchange's own.
        if (connected[0] == own) {
            connected[0] = connected[1];
            connected[1] = connected[2];
            connected[2] = kICNoHighway;
        } else if (connected[1] == own) {
            connected[1] = connected[2];
            connected[2] = kICNoHighway;
        }
        ic.connected[0] = connected[0];
        ic.connected[1] = connected[1];
        if (ic.id == 0 && kind != 2) continue;
        if (m_ics.size() >= kICCapacity) continue;
        if (ic.id != 0 && static_cast<int32_t>(ic.x1) <= 0 && static_cast<int32_t>(ic.y1) <= 0 &&
            static_cast<int32_t>(ic.x2) <= 0 && static_cast<int32_t>(ic.y2) <= 0)
            continue;
        // A highway number beyond the highway records names no motorway.
        if (own >= fileNames.size()) continue;
        const int highway = FindHighway(fileNames[own]);
        if (highway < 0) continue;
        ic.highway = static_cast<uint8_t>(highway);
        ic.loadOrder = static_cast<uint8_t>(m_ics.size() & 0xFF);
        m_ics.push_back(std::move(ic));
    }
    return 1;
}

int NcSearchICJC::GetHighwayList(ICHighway* rows, int* outCount) const {
    for (size_t i = 0; i < m_highways.size(); ++i) rows[i] = m_highways[i];
    if (outCount) *outCount = HighwayCount();
    return 1;
}

void NcSearchICJC::FindHighwayRange(int* outFirst, int* outEnd, int highwayNumber) const {
    int first = 0, end = 0;
    for (int i = 0; i < ICCount(); ++i) {
        if (m_ics[static_cast<size_t>(i)].highway != highwayNumber) continue;
        first = i;
        end = i + 1;
        while (end < ICCount() && m_ics[static_cast<size_t>(end)].highway == highwayNumber) ++end;
        break;
    }
    if (outFirst) *outFirst = first;
    if (outEnd) *outEnd = end;
}

void NcSearchICJC::SidePosition(const ICEntry& ic, int side, uint32_t* x, uint32_t* y) {
    const bool first = side != 0;
    uint32_t px = first ? ic.x1 : ic.x2, py = first ? ic.y1 : ic.y2;
    if (static_cast<int32_t>(px) < 1) {
        px = first ? ic.x2 : ic.x1;
        py = first ? ic.y2 : ic.y1;
    }
    *x = px;
    *y = py;
}

int NcSearchICJC::FindNearestIC(uint32_t x, uint32_t y, int side, int first, int end, bool allIds) const {
    int best = -1;
    double bestD = 0;
    for (int i = std::max(first, 0); i < std::min(end, ICCount()); ++i) {
        const ICEntry& ic = m_ics[static_cast<size_t>(i)];
        if (!allIds && ic.id == 0) continue;
        const double dx = static_cast<double>(side ? ic.x1 : ic.x2) - x;
        const double dy = static_cast<double>(side ? ic.y1 : ic.y2) - y;
        const double d = dx * dx + dy * dy;
        if (best < 0 || d < bestD) {
            best = i;
            bestD = d;
        }
    }
    return best;
}

int NcSearchICJC::ListHighwayICs(ICListRow* rows, int* outCount, int* outHighway, uint32_t x, uint32_t y, int side,
                                 int highwayNumber) const {
    if (outCount) *outCount = 0;
    int first = 0, end = ICCount();
    if (highwayNumber >= 0) FindHighwayRange(&first, &end, highwayNumber);
    const int nearest = FindNearestIC(x, y, side, first, end, false);
    if (nearest < 0) return -1;
    const int highway = m_ics[static_cast<size_t>(nearest)].highway;
    if (outHighway) *outHighway = highway;
    FindHighwayRange(&first, &end, highway);
    int n = 0;
    for (int i = first; i < end; ++i) {
        const ICEntry& ic = m_ics[static_cast<size_t>(i)];
        ICListRow& row = rows[n++];
        row = {};
        row.id = ic.id;
        row.loadOrder = ic.loadOrder;
        CopyName(row.name, 65, ic.name);
        SidePosition(ic, side, &row.x, &row.y);
        row.connected[0] = static_cast<uint8_t>(ic.connected[0]);
        row.connected[1] = static_cast<uint8_t>(ic.connected[1]);
        row.flags = static_cast<uint8_t>(ic.flags & 0xF);
    }
    if (outCount) *outCount = n;
    return nearest - first;
}

int NcSearchICJC::GetNearestICLinks(uint32_t* links, uint32_t x, uint32_t y, int side) const {
    const int nearest = FindNearestIC(x, y, side, 0, ICCount(), true);
    if (nearest < 0) return 0;
    const ICEntry& ic = m_ics[static_cast<size_t>(nearest)];
    int n = 0;
    for (int k = 0; k < 4; ++k) {
        const uint32_t link = ic.links[(side ? 0 : 4) + k];
        if (static_cast<int32_t>(link) <= 0) break;
        links[n++] = link;
    }
    return n;
}

int NcSearchICJC::SearchICByKeyword(ICRow* rows, int* outCount, uint32_t x, uint32_t y, int side,
                                    std::u16string_view keyword, int order) const {
    // The keyword is cut to the CP949 bytes the search compares.
    std::string bytes;
    platform::Utf16ToCp949(keyword, bytes);
    std::u16string key;
    platform::Cp949ToUtf16(CutCp949(bytes, kICKeywordBytes), key);
    int n = 0;
    for (const ICEntry& ic : m_ics) {
        if (ic.id == 0 || !OnSide(ic, side) || !MatchInitialKeyword(ic.name, key)) continue;
        ICRow& row = rows[n++];
        row = {};
        row.id = ic.id;
        row.loadOrder = ic.loadOrder;
        CopyName(row.name, 64, ic.name);
        if (ic.highway < m_highways.size()) CopyName(row.highwayName, kICNameBytes + 1, m_highways[ic.highway].name);
        SidePosition(ic, side, &row.x, &row.y);
        row.distance = GetApproxDistanceXY(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                           static_cast<int32_t>(row.x), static_cast<int32_t>(row.y));
        row.connected[0] = static_cast<uint8_t>(ic.connected[0]);
        row.connected[1] = static_cast<uint8_t>(ic.connected[1]);
        row.flags = static_cast<uint8_t>(ic.flags & 0xF);
    }
    if (order == 0)
        std::stable_sort(rows, rows + n, [](const ICRow& a, const ICRow& b) {
            return std::u16string_view(a.name) < std::u16string_view(b.name);
        });
    else if (order == 1)
        std::stable_sort(rows, rows + n, [](const ICRow& a, const ICRow& b) { return a.distance < b.distance; });
    if (outCount) *outCount = n;
    return 0;
}
