#include "search/area_codes.h"

#include <array>

#include "platform/codepage.h"

int CountCodeGroups(int64_t code) {
    int n = 0;
    for (int64_t p = 1; p <= code; p *= 100) ++n;
    return n;
}

int64_t PowerOf100(int n) {
    int64_t p = 1;
    for (int i = 0; i < n; ++i) p *= 100;
    return p;
}

const CityDistrictRow* CityDistrictTable() {
    static const CityDistrictRow kRows[kCityDistrictRows] = {
        {1791, {1702, 1703, 1704}, "고양시"},
        {1792, {1713, 1714, 1715}, "부천시"},
        {1793, {1716, 1717, 1718}, "성남시"},
        {1794, {1719, 1720, 1721, 1722}, "수원시"},
        {1795, {1724, 1725}, "안산시"},
        {1796, {1727, 1728}, "안양시"},
        {1797, {1734, 1735, 1736}, "용인시"},
        {1991, {1911, 1912}, "청주시"},
        {2091, {2013, 2014}, "천안시"},
        {2191, {2112, 2113}, "전주시"},
        {2391, {2323, 2324}, "포항시"},
        {2491, {2413, 2414, 2415, 2416, 2417}, "창원시"},
    };
    return kRows;
}

const std::string& CityNameCp949(int i) {
    static const auto names = [] {
        std::array<std::string, kCityDistrictRows> out;
        for (int k = 0; k < kCityDistrictRows; ++k)
            platform::Utf16ToCp949(platform::Utf8ToUtf16(CityDistrictTable()[k].nameUtf8), out[k]);
        return out;
    }();
    return names[static_cast<size_t>(i)];
}

int FindCityRow(uint32_t code) {
    for (int i = 0; i < kCityDistrictRows; ++i)
        if (CityDistrictTable()[i].cityCode == code) return i;
    return -1;
}

const char* ProvinceSuffix(int index) {
    static const char* const kNames[kProvinceCount] = {"서울", "부산", "대구", "인천", "광주", "대전",
                                                       "울산", "경기", "강원", "충북", "충남", "전북",
                                                       "전남", "경북", "경남", "제주"};
    return index >= 0 && index < kProvinceCount ? kNames[index] : nullptr;
}
