#include "settings/quick_menu.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "foundation/debug_trace.h"
#include "settings/course_current.h"
#include "settings/name_field.h"

namespace {

// "sztQMenuName%02d" / "sztQMenuPath%02d".
userdata::KeyText EntryKey(const char* field, int entry) {
    char number[16];
    const int digits = std::snprintf(number, sizeof number, "%02d", entry);
    userdata::KeyText key;
    key.Append("sztQMenu").Append(field).Append(std::string_view(number, static_cast<size_t>(digits)));
    return key;
}

int ClampCount(int count) { return std::clamp(count, 0, kQuickMenuMaxItems); }

bool InRange(int entry) { return entry >= 0 && entry < kQuickMenuMaxItems; }

}  // namespace

// ---- table

std::u16string_view QuickMenuTable::Path(int entry) const {
    return InRange(entry) ? NameFieldView(sztQMenuPath[entry], kQuickMenuPathChars + 1) : std::u16string_view();
}

std::u16string_view QuickMenuTable::Name(int entry) const {
    return InRange(entry) ? NameFieldView(sztQMenuName[entry], kQuickMenuNameChars + 1) : std::u16string_view();
}

void QuickMenuTable::SetPath(int entry, std::u16string_view path) {
    if (InRange(entry)) CopyNameField(sztQMenuPath[entry], kQuickMenuPathChars + 1, path);
}

void QuickMenuTable::SetName(int entry, std::u16string_view name) {
    if (InRange(entry)) CopyNameField(sztQMenuName[entry], kQuickMenuNameChars + 1, name);
}

bool operator==(const QuickMenuTable& a, const QuickMenuTable& b) {
    if (a.nQMenuNum != b.nQMenuNum) return false;
    for (int i = 0; i < ClampCount(a.nQMenuNum); ++i) {
        if (a.Name(i) != b.Name(i) || a.Path(i) != b.Path(i)) return false;
    }
    return true;
}

// ---- store

CMgrConfigUIDataQMenu::CMgrConfigUIDataQMenu() {
    if (!Load(nullptr)) Clear();
}

void CMgrConfigUIDataQMenu::Clear() { m_table = QuickMenuTable{}; }

void CMgrConfigUIDataQMenu::GetQuickMenu(QuickMenuTable* out) const {
    if (out) *out = m_table;
}

void CMgrConfigUIDataQMenu::SetQuickMenu(const QuickMenuTable& table) {
    m_table = table;
    m_table.nQMenuNum = ClampCount(table.nQMenuNum);
    // A table built without the setters may fill a field to its end.
    for (int i = 0; i < kQuickMenuMaxItems; ++i) {
        m_table.sztQMenuPath[i][kQuickMenuPathChars] = u'\0';
        m_table.sztQMenuName[i][kQuickMenuNameChars] = u'\0';
    }
}

int CMgrConfigUIDataQMenu::Load(const char16_t* file) {
    const NvString path = FilePathFor(file, NV_FILE_QUICK_MENU);
    // A file that does not parse is set aside by the file object itself.
    if (!OpenFile(path, file == nullptr)) return 0;
    Clear();
    int version = 0;
    m_configFile.GetInt(u"nVersion", &version, 0);
    int count = 0;
    if (m_configFile.GetInt(u"nQMenuNum", &count, 0)) {
        // The table has six rows: a larger count keeps the first six
        // entries, a negative one none.
        if (count != ClampCount(count)) {
            DebugTrace(1, "[CFG] %s: nQMenuNum %d held to 0..%d\n", path.ToUtf8().c_str(), count, kQuickMenuMaxItems);
        }
        m_table.nQMenuNum = ClampCount(count);
    }
    for (int i = 0; i < m_table.nQMenuNum; ++i) {
        std::u16string_view text;
        if (m_configFile.GetString(EntryKey("Name", i).c_str(), text, 0)) m_table.SetName(i, text);
        if (m_configFile.GetString(EntryKey("Path", i).c_str(), text, 0)) m_table.SetPath(i, text);
    }
    m_configFile.Clear();
    return 1;
}

int CMgrConfigUIDataQMenu::Save(const char16_t* file) {
    int ok = StartSave(file, NV_FILE_QUICK_MENU);
    ok &= m_configFile.SetInt(u"nQMenuNum", m_table.nQMenuNum);
    for (int i = 0; i < m_table.nQMenuNum; ++i) {
        // Texts that a settings line cannot hold are made to fit, so one odd
        // name never loses the whole file.
        ok &= m_configFile.SetValue(EntryKey("Name", i).c_str(), NameForFile(m_table.Name(i)).c_str(),
                                    kNvConfigTypeString);
        ok &= m_configFile.SetValue(EntryKey("Path", i).c_str(), NameForFile(m_table.Path(i)).c_str(),
                                    kNvConfigTypeString);
    }
    return FinishSave(ok);
}
