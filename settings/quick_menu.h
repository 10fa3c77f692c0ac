#pragma once
// The quick menu: up to six entries, each a display name and the program
// the quick-menu screen starts, in "\QuickMenu.udt". The list and edit
// screens take the whole table, change it and hand the whole table back.
//
// Unlike the other user-data stores this one keeps no lists and no counted
// entries: it shares only the file handling of the store base. No lock of
// its own; the screens call it on the main thread.
#include <cstdint>
#include <string_view>

#include "foundation/nv_config.h"
#include "foundation/nv_string.h"
#include "foundation/singleton.h"
#include "settings/user_data_base.h"

inline constexpr int kQuickMenuMaxItems = 6;
// Characters a path and a name keep; each field has one unit more for the
// terminator, so a field is always a terminated text.
inline constexpr int kQuickMenuPathChars = 260;
inline constexpr int kQuickMenuNameChars = 33;

// The whole quick menu, copied in and out as one value. Entries 0 to
// nQMenuNum - 1 are in use, in the order the screens set.
struct QuickMenuTable {
    int32_t nQMenuNum = 0;
    char16_t sztQMenuPath[kQuickMenuMaxItems][kQuickMenuPathChars + 1] = {};
    char16_t sztQMenuName[kQuickMenuMaxItems][kQuickMenuNameChars + 1] = {};

    std::u16string_view Path(int entry) const;
    std::u16string_view Name(int entry) const;
    // Cuts to the field and terminates; out-of-range entries are ignored.
    void SetPath(int entry, std::u16string_view path);
    void SetName(int entry, std::u16string_view name);

    // Same count and the same names and paths of the entries in use.
    friend bool operator==(const QuickMenuTable& a, const QuickMenuTable& b);
};

class CMgrConfigUIDataQMenu : public CMgrConfigUIDataBase, public MgrSingletonT<CMgrConfigUIDataQMenu> {
public:
    // Loads the store's own file; an empty menu when that fails. Nothing is
    // written at construction.
    CMgrConfigUIDataQMenu();
    ~CMgrConfigUIDataQMenu() override = default;
    CMgrConfigUIDataQMenu(const CMgrConfigUIDataQMenu&) = delete;
    CMgrConfigUIDataQMenu& operator=(const CMgrConfigUIDataQMenu&) = delete;

    void GetQuickMenu(QuickMenuTable* out) const;
    // Replaces the whole table. A count outside 0..6 is held to that range,
    // and the texts of each entry are cut to their fields.
    void SetQuickMenu(const QuickMenuTable& table);

    // Writes the table (null: the store's own file); what the file write
    // returns (1 or 0).
    int Save(const char16_t* file) override;
    // Reads the table (null: the store's own file). 1 when the file was
    // read (missing entry keys leave empty texts, no rewrite); 0 when it
    // could not be read: the table is unchanged, and a damaged file has
    // been set aside under its err name.
    int Load(const char16_t* file) override;
    // All names and paths empty, count 0.
    void Clear();

private:
    QuickMenuTable m_table;
};
