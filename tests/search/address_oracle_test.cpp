// The address engines against a brute-force oracle that shares nothing with
// their indexes: a linear scan over the writer's source records. On the demo
// district and on a generated country of 100 000 lots and 100 000 building
// numbers. Below a cap the results equal the oracle's as sets (and lot
// fetches as sequences); at a cap the count is the cap and the results a
// subset.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "platform/codepage.h"
#include "search/search_addr.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"

namespace {

using writers::SearchDbSource;

std::string Cp(const std::u16string& text) {
    std::string out;
    platform::Utf16ToCp949(text, out);
    return out;
}

// The twelve cities whose districts the engines merge, as plain data.
const std::map<uint32_t, std::vector<uint32_t>>& Cities() {
    static const std::map<uint32_t, std::vector<uint32_t>> cities = {
        {1791, {1702, 1703, 1704}},       {1792, {1713, 1714, 1715}}, {1793, {1716, 1717, 1718}},
        {1794, {1719, 1720, 1721, 1722}}, {1795, {1724, 1725}},       {1796, {1727, 1728}},
        {1797, {1734, 1735, 1736}},       {1991, {1911, 1912}},       {2091, {2013, 2014}},
        {2191, {2112, 2113}},             {2391, {2323, 2324}},       {2491, {2413, 2414, 2415, 2416, 2417}}};
    return cities;
}

// Whether code lies under filter, by their decimal digits: the filter's
// digits begin the code's and whole two-digit groups (or the road code's
// four digits) follow.
bool Under(uint32_t code, uint32_t filter) {
    const std::string c = std::to_string(code), f = std::to_string(filter);
    return c.size() >= f.size() && c.compare(0, f.size(), f) == 0 && (c.size() - f.size()) % 2 == 0;
}
bool InFilter(uint32_t code, uint32_t filter) {
    if (filter == 0) return true;
    const auto city = Cities().find(filter);
    if (city == Cities().end()) return Under(code, filter);
    for (uint32_t d : city->second)
        if (Under(code, d)) return true;
    return false;
}

// Initial jamo of a syllable, from the Unicode arithmetic.
char16_t InitialJamo(char16_t syllable) {
    static const char16_t kJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141, 0x3142, 0x3143, 0x3145,
                                       0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
    return kJamo[(syllable - 0xAC00) / 588];
}
bool IsSyllable(char16_t c) { return c >= 0xAC00 && c <= 0xD7A3; }
bool IsJamo(char16_t c) { return c >= 0x3131 && c <= 0x314E; }

// A typed jamo matches a syllable with that initial; everything else must
// be the same character.
bool NameMatches(const std::u16string& name, const std::u16string& keyword) {
    if (name.size() < keyword.size()) return false;
    for (size_t i = 0; i < keyword.size(); ++i) {
        if (IsJamo(keyword[i]) && IsSyllable(name[i]) && InitialJamo(name[i]) == keyword[i]) continue;
        if (name[i] != keyword[i]) return false;
    }
    return true;
}

struct Area {
    uint32_t code;
    std::u16string name;
};

class Oracle {
public:
    Oracle(const std::vector<writers::SearchArea>& areas, const std::vector<writers::SearchLot>& lots, bool roadName)
        : m_roadName(roadName) {
        for (const auto& a : areas) m_areas[a.code] = platform::Utf8ToUtf16(a.nameUtf8);
        for (const auto& l : lots)
            m_lots[l.areaCode].insert({(l.main + (l.mountain ? 16384 : 0)) * 10000 + l.sub, l.mountain, l.main, l.sub});
    }
    struct Lot {
        int64_t key;
        bool mountain;
        int main, sub;
        bool operator<(const Lot& o) const { return key < o.key; }
    };
    int Level(uint32_t code) const {
        if (m_roadName && code > 9999) return 3;
        return static_cast<int>((std::to_string(code).size() + 1) / 2);
    }
    // The dong/li (or road) names the text search looks at.
    std::set<uint32_t> TextMatches(const std::u16string& keyword, uint32_t filter) const {
        std::set<uint32_t> out;
        for (const auto& [code, name] : m_areas) {
            const int level = Level(code);
            if ((m_roadName ? level == 3 : level >= 3) && NameMatches(name, keyword) && InFilter(code, filter))
                out.insert(code);
        }
        return out;
    }
    // Province > district > dong (> li) names joined, cut to 39 bytes.
    std::string StyleZeroText(uint32_t code) const {
        const std::string digits = std::to_string(code);
        std::u16string text;
        const std::vector<size_t> cuts = m_roadName && code > 9999 ? std::vector<size_t>{2, 4, 8}
                                                                  : std::vector<size_t>{2, 4, 6, 8};
        for (size_t i = 0; i < cuts.size() && cuts[i] <= digits.size(); ++i) {
            const uint32_t prefix = static_cast<uint32_t>(std::stoul(digits.substr(0, cuts[i])));
            const auto it = m_areas.find(prefix);
            if (it == m_areas.end()) continue;
            if (!text.empty()) text += u'>';
            text += it->second;
        }
        std::string bytes = Cp(text);
        size_t cut = 0;
        while (cut < bytes.size()) {
            const size_t n = static_cast<unsigned char>(bytes[cut]) >= 0x81 ? 2 : 1;
            if (cut + n > 39) break;
            cut += n;
        }
        return bytes.substr(0, cut);
    }
    std::vector<Lot> LotsOf(uint32_t code) const {
        const auto it = m_lots.find(code);
        return it == m_lots.end() ? std::vector<Lot>{} : std::vector<Lot>(it->second.begin(), it->second.end());
    }
    // The lots a look-up and one fetch give: the lot, else the nearest lower,
    // else the first; then those after it, at most max.
    std::vector<Lot> Lookup(uint32_t code, int64_t key, size_t max) const {
        const std::vector<Lot> lots = LotsOf(code);
        if (lots.empty()) return {};
        size_t pos = 0;
        if (key != 0)
            for (size_t i = 0; i < lots.size(); ++i)
                if (lots[i].key <= key) pos = i;
        return std::vector<Lot>(lots.begin() + static_cast<long>(pos),
                                lots.begin() + static_cast<long>(std::min(lots.size(), pos + max)));
    }
    // Children of a level under a code: same digits before the level.
    std::set<uint32_t> Children(uint32_t parent, int level) const {
        std::set<uint32_t> out;
        for (const auto& [code, name] : m_areas)
            if (Level(code) == level && (parent == 0 || Under(code, parent) || (m_roadName && code > 9999 && code / 10000 == parent)))
                out.insert(code);
        return out;
    }
    const std::map<uint32_t, std::u16string>& Areas() const { return m_areas; }
    const std::map<uint32_t, std::set<Lot>>& AllLots() const { return m_lots; }

private:
    bool m_roadName;
    std::map<uint32_t, std::u16string> m_areas;
    std::map<uint32_t, std::set<Lot>> m_lots;
};

template <typename Engine>
class OracleCheck {
public:
    OracleCheck(Engine& engine, const Oracle& oracle, bool roadName) : m_engine(engine), m_oracle(oracle), m_road(roadName) {}

    void TextSearch(const std::u16string& keyword, uint32_t filter) {
        SCOPED_TRACE(platform::Utf16ToUtf8(keyword) + " in " + std::to_string(filter));
        const std::set<uint32_t> want = m_oracle.TextMatches(keyword, filter);
        const int n = m_engine.SearchAreaByText(Cp(keyword), filter);
        std::set<uint32_t> got;
        for (int i = 0; i < n; ++i) {
            const auto& row = m_engine.AreaRow(i);
            got.insert(row.uAreaCode);
            EXPECT_EQ(std::string(row.szName), m_oracle.StyleZeroText(row.uAreaCode));
        }
        EXPECT_EQ(got.size(), static_cast<size_t>(n));  // each area once
        if (want.size() < static_cast<size_t>(kTextIndexMaxHits)) {
            EXPECT_EQ(got, want);
        } else {
            EXPECT_EQ(n, kTextIndexMaxHits);
            EXPECT_TRUE(std::includes(want.begin(), want.end(), got.begin(), got.end()));
        }
        ++m_textSearches;
        m_textHits += n;
    }

    void LotLookup(uint32_t code, bool mountain, int main, int sub) {
        SCOPED_TRACE(std::to_string(code) + (mountain ? " 산" : " ") + std::to_string(main) + "-" + std::to_string(sub));
        const int64_t key = (main + (mountain ? 16384 : 0)) * 10000LL + sub;
        const auto want = m_oracle.Lookup(code, main == 0 && sub == 0 ? 0 : key, kAddrLotRowCapacity);
        m_engine.ResetLotState();
        const int found = m_engine.FindLot(mountain ? 1 : 0, main * 10000 + sub, code);
        if (want.empty()) {
            EXPECT_EQ(found, 0);
            return;
        }
        ASSERT_EQ(found, 1);
        int got = 0;
        ASSERT_EQ(m_engine.FetchLots(500, &got), 1);
        ASSERT_EQ(got, static_cast<int>(want.size()));
        for (int i = 0; i < got; ++i) {
            const AddrLotRow& row = m_engine.LotRow(i);
            const auto& w = want[static_cast<size_t>(i)];
            ASSERT_EQ(row.uAreaCode, code);
            ASSERT_EQ(row.bMountain, w.mountain ? 1u : 0u) << i;
            ASSERT_EQ(row.nMainNo, static_cast<uint32_t>(w.main)) << i;
            ASSERT_EQ(row.nSubNo, static_cast<uint32_t>(w.sub)) << i;
        }
        ++m_lookups;
    }

    // Lists of level `level` under code: the children by digits, plus the
    // cities of the province for level 2, or the districts' children for a
    // city code.
    void AreaList(uint32_t code, int level) {
        SCOPED_TRACE(std::to_string(code) + " level " + std::to_string(level));
        std::set<uint32_t> want;
        const auto city = Cities().find(code);
        if (city != Cities().end() && level == 3) {
            for (uint32_t d : city->second) {
                const auto c = m_oracle.Children(d, 3);
                want.insert(c.begin(), c.end());
            }
        } else {
            want = m_oracle.Children(level == 1 ? 0 : code, level);
        }
        if (level == 2)
            for (const auto& [c, districts] : Cities())
                if (c / 100 == code) want.insert(c);
        const int n = m_engine.ListAreas(code, level);
        std::set<uint32_t> got;
        for (int i = 0; i < n; ++i) {
            got.insert(m_engine.AreaRow(i).uAreaCode);
            if (i == 0) continue;
            const auto& a = m_engine.AreaRow(i - 1);
            const auto& b = m_engine.AreaRow(i);
            if (level == 1)
                EXPECT_LT(a.uAreaCode, b.uAreaCode);
            else
                EXPECT_LE(std::string_view(a.szName), std::string_view(b.szName));  // unsigned bytes
        }
        const size_t cap = m_road ? kNAddrAreaRowCapacity : kAddrAreaRowCapacity;
        if (want.size() <= cap) {
            EXPECT_EQ(got, want);
        } else {
            EXPECT_EQ(got.size(), cap);
            EXPECT_TRUE(std::includes(want.begin(), want.end(), got.begin(), got.end()));
        }
        ++m_lists;
    }

    int m_textSearches = 0, m_textHits = 0, m_lookups = 0, m_lists = 0;

private:
    Engine& m_engine;
    const Oracle& m_oracle;
    bool m_road;
};

// Keywords made from a name: the first two syllables, their initials, the
// first syllable with the second initial, three characters, the whole name.
std::vector<std::u16string> KeywordsOf(const std::u16string& name) {
    std::vector<std::u16string> out;
    if (name.size() < 2 || !IsSyllable(name[0]) || !IsSyllable(name[1])) return out;
    out.push_back(name.substr(0, 2));
    out.push_back({InitialJamo(name[0]), InitialJamo(name[1])});
    out.push_back({name[0], InitialJamo(name[1])});
    out.push_back({InitialJamo(name[0]), name[1]});
    if (name.size() >= 3) out.push_back(name.substr(0, 3));
    out.push_back(name);
    return out;
}

class AddressOracleTest : public ::testing::Test {
protected:
    void Load(const SearchDbSource& source, bool split) {
        src = source;
        ASSERT_TRUE(writers::WriteSearchDb(dir.Path() + "/Search", src, split));
        const std::string folder = dir.Path() + "/Search/";
        lot.SetFolders(folder, folder);
        lot.AllocBlockBuffers();
        ASSERT_EQ(lot.Reopen(1), 1);
        road.SetFolders(folder, folder);
        road.AllocBlockBuffers();
        ASSERT_EQ(road.Reopen(1), 1);
    }
    void OpenLots(uint32_t code, bool roadName) {
        const std::string digits = std::to_string(code);
        const int province = std::stoi(digits.substr(0, 2));
        ASSERT_EQ(roadName ? road.OpenLotFile(province - 10) : lot.OpenLotFile(province - 10), 1);
    }
    // Every check on a set of areas (all when sample is 0).
    void CheckAll(size_t sample, uint32_t seed) {
        std::mt19937 rng(seed);
        for (bool roadName : {false, true}) {
            SCOPED_TRACE(roadName ? "road-name" : "lot-number");
            const Oracle oracle(roadName ? src.roadAreas : src.lotAreas, roadName ? src.buildings : src.lots, roadName);
            auto check = [&](auto& engine) {
                OracleCheck<std::remove_reference_t<decltype(engine)>> c(engine, oracle, roadName);
                std::vector<uint32_t> codes;
                for (const auto& [code, name] : oracle.Areas()) codes.push_back(code);
                std::vector<uint32_t> picked = codes;
                if (sample && picked.size() > sample) {
                    std::shuffle(picked.begin(), picked.end(), rng);
                    picked.resize(sample);
                }
                // Area lists.
                c.AreaList(0, 1);
                for (uint32_t code : codes) {
                    const int level = oracle.Level(code);
                    if (level == 1) c.AreaList(code, 2);
                    if (level == 2 && (!sample || rng() % 4 == 0)) c.AreaList(code, 3);
                    if (!roadName && level == 3 && (!sample || rng() % 16 == 0)) c.AreaList(code, 4);
                }
                for (const auto& [city, districts] : Cities()) c.AreaList(city, 3);
                // Text searches, whole country and within an area.
                for (uint32_t code : picked) {
                    const int level = oracle.Level(code);
                    if (level < 3) continue;
                    const std::string digits = std::to_string(code);
                    const uint32_t province = static_cast<uint32_t>(std::stoul(digits.substr(0, 2)));
                    const uint32_t district = static_cast<uint32_t>(std::stoul(digits.substr(0, 4)));
                    for (const auto& k : KeywordsOf(oracle.Areas().at(code))) {
                        c.TextSearch(k, 0);
                        c.TextSearch(k, rng() % 2 ? province : district);
                    }
                }
                for (const auto& [city, districts] : Cities()) c.TextSearch(u"ㄱㄴ", city);
                // Lot look-ups: exact, between, below, above, key 0.
                uint32_t province = 0;
                for (const auto& [code, lots] : oracle.AllLots()) {
                    if (sample && std::find(picked.begin(), picked.end(), code) == picked.end() && lots.size() < 500)
                        continue;
                    const uint32_t p = static_cast<uint32_t>(std::stoul(std::to_string(code).substr(0, 2)));
                    if (p != province) {
                        OpenLots(code, roadName);
                        province = p;
                    }
                    const std::vector<Oracle::Lot> list(lots.begin(), lots.end());
                    for (size_t i = 0; i < list.size(); i += std::max<size_t>(1, list.size() / 6)) {
                        const auto& l = list[i];
                        c.LotLookup(code, l.mountain, l.main, l.sub);
                        if (l.sub > 0) c.LotLookup(code, l.mountain, l.main, l.sub - 1);
                        c.LotLookup(code, l.mountain, l.main, l.sub + 1);
                    }
                    c.LotLookup(code, false, 0, 0);
                    c.LotLookup(code, false, 0, 1);
                    c.LotLookup(code, false, 9999, 9999);
                    c.LotLookup(code, true, 9999, 0);
                }
                EXPECT_GT(c.m_lookups, 0);
                EXPECT_GT(c.m_textHits, 0);
                EXPECT_GT(c.m_lists, 0);
            };
            if (roadName)
                check(road);
            else
                check(lot);
        }
    }
    testsupport::TempDir dir;
    SearchDbSource src;
    NcSearchAddr lot;
    NcSearchNAddr road;
};

TEST_F(AddressOracleTest, DemoDistrict) {
    std::string error;
    const SearchDbSource demo = writers::DemoSearchSource(&error);
    ASSERT_EQ(error, "");
    ASSERT_FALSE(demo.lots.empty());
    Load(demo, false);
    CheckAll(0, 1);
    // Mountain lots are in the demo data.
    EXPECT_TRUE(std::any_of(demo.lots.begin(), demo.lots.end(), [](const auto& l) { return l.mountain; }));
}

TEST_F(AddressOracleTest, GeneratedCountry) {
    SearchDbSource gen = writers::GenerateAddressSet(7, 100000);
    ASSERT_EQ(gen.lots.size(), 100000u);
    // A crowd of li whose names share their initials, so that a text search
    // reaches its cap of 200.
    uint32_t extra = 0;
    for (const auto& a : std::vector<writers::SearchArea>(gen.lotAreas))
        if (a.code > 999999 && a.code % 100 == 1 && extra < 300)
            for (uint32_t n = 50; n < 53; ++n, ++extra) gen.lotAreas.push_back({a.code / 100 * 100 + n, n % 2 ? "가남리" : "고나리", a.pos});
    Load(gen, true);
    CheckAll(60, 2);
    const Oracle oracle(src.lotAreas, src.lots, false);
    ASSERT_GT(oracle.TextMatches(u"ㄱㄴ", 0).size(), 200u);
    OracleCheck<NcSearchAddr> c(lot, oracle, false);
    c.TextSearch(u"ㄱㄴ", 0);
    c.TextSearch(u"가ㄴ", 0);
    EXPECT_EQ(lot.SearchAreaByText(Cp(u"ㄱㄴ"), 0), kTextIndexMaxHits);
}

}  // namespace
