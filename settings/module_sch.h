#pragma once
// The search module's settings object: its state word, the current search
// request, one page of search results and the rows of the last theme or
// course search. The search module gives the records their fields; this
// object holds their bytes, and its users read and write them directly
// under GetLock().
#include <cstdint>

#include "foundation/singleton.h"
#include "settings/module_state.h"

// Storage of the search module's records, byte for byte.
struct SearchRequestRecord {
    uint8_t bytes[152] = {};
};
struct SearchResultRecord {
    uint8_t bytes[744] = {};
};
struct SearchThemeRowRecord {
    uint8_t bytes[188] = {};
};
static_assert(sizeof(SearchRequestRecord) == 152);
static_assert(sizeof(SearchResultRecord) == 744);
static_assert(sizeof(SearchThemeRowRecord) == 188);

class CMgrConfigModuleSCH : public MgrSingletonT<CMgrConfigModuleSCH> {
public:
    static constexpr int kResultPageSize = 15;
    static constexpr int kThemeRowCount = 100;

    CMgrConfigModuleSCH() = default;
    ~CMgrConfigModuleSCH() override = default;

    int32_t GetState() const { return state.Get(); }
    void SetState(int32_t value) { state.Set(value); }

    ModuleStateWord state;
    SearchRequestRecord request;
    SearchResultRecord results[kResultPageSize];
    SearchThemeRowRecord themeRows[kThemeRowCount];
    int32_t words[2] = {};
    uint8_t area[4000] = {};
    int32_t lastWord = 0;
};
