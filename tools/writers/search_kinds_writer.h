#pragma once
// Writes the search files of the telephone and category searches from the
// writer's plain records (search_db_writer.h):
//   "sch_tel.sdb"     the telephone numbers of the companies, by area;
//   "cateidx.sdb"     per category index, its places (each place under its
//                     own category and every category above it; the fifteen
//                     top-level categories always have an entry, so that a
//                     search without a category walks the first thirteen of
//                     them);
//   "cate_around.sdb" the category tree as around-search codes (level 1 g,
//                     level 2 g * 100 + h, level 3 (g * 100 + h) * 100 + m),
//                     each record naming the category index it searches and
//                     the number of places under it.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/writers/search_db_writer.h"

namespace writers {

// The category indexes a place is listed under, top level first: g, then
// g * 30 + h when h is set, then (g * 30 + h) * 30 + m when m is set.
std::vector<uint16_t> CategoryPath(uint16_t catePacked);
// The around-search code of a category index (0 for 0).
uint32_t AroundCodeOfIndex(uint16_t index);

// Companies without a seven- or eight-digit number are not listed.
std::vector<uint8_t> BuildTelFile(const std::vector<SearchPoi>& corps);
std::vector<uint8_t> BuildCateIdxFile(const std::vector<SearchPoi>& pois);
std::vector<uint8_t> BuildAroundCateFile(const std::vector<SearchCate>& cates, const std::vector<SearchPoi>& pois);

// Writes the three files into the native folder dir.
bool WriteSearchKindFiles(const std::string& dir, const SearchDbSource& source, std::string* error);

// Gives every place a telephone number unique within its area: one of the
// sixteen area numbers, seven or eight digits (seeded).
void AssignTelephones(std::vector<SearchPoi>& pois, uint32_t seed);

}  // namespace writers
