#pragma once
// Area codes of the address search: decimal numbers of two-digit groups,
// one group per level (province 10..25; city, county or district 1702; dong
// 170201; li 17020101), the twelve cities whose districts the lists merge,
// and the province names of the split lot files.
#include <cstdint>
#include <string>

// Number of two-digit groups: the powers of 100 that are not above the code
// (0 for 0 and for negative codes).
int CountCodeGroups(int64_t code);
// 100 to the power n (n >= 0).
int64_t PowerOf100(int n);

struct CityDistrictRow {
    uint32_t cityCode;
    uint32_t districts[5];  // 0 = unused
    const char* nameUtf8;
};
inline constexpr int kCityDistrictRows = 12;
const CityDistrictRow* CityDistrictTable();
// The city's name in CP949 for row i.
const std::string& CityNameCp949(int i);
// The row whose city code is code, or -1.
int FindCityRow(uint32_t code);

inline constexpr int kProvinceFirst = 10;
inline constexpr int kProvinceCount = 16;
// The province name of the split lot files ("서울" .. "제주", UTF-8: the
// file names on disk), index = province code - 10; nullptr out of range.
const char* ProvinceSuffix(int index);
