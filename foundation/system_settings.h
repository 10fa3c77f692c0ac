#pragma once
// What the foundation needs of the shell: the program's folders and the
// system configuration items (integers and texts by index). The items are
// looked up in a source that the shell installs (its settings file and the
// program's own key store); until it does, and for any item the source
// lacks, the item's default holds.
#include <string>

// Index of a system configuration item.
enum SystemSettingItem : int {
    SYS_SCREENWIDTH = 0, SYS_SCREENHEIGHT = 1, SYS_DEBUG = 2, SYS_DEBUGVIEW = 3, SYS_WNDNAME = 4,
    SYS_TPEG = 10, SYS_SPLASH = 14, SYS_HIDEMODE = 18, SYS_GPX = 23, SYS_DEMO = 26, SYS_ERRORMSG = 33,
    SYS_ROOTPATH = 43, SYS_CONFIGPATH = 44, SYS_NANDPATH = 45, SYS_ROUTEPATH = 46,
    SYS_TPEGDWNDNAME = 89, SYS_ITEM_COUNT = 93,
};

// Where the values come from. Each call returns true when the item was found.
class SystemSettingsSource {
public:
    virtual ~SystemSettingsSource() = default;
    virtual bool ReadInt(int index, const char* key, int& value) = 0;
    virtual bool ReadText(int index, const char* key, std::u16string& value) = 0;
};

// Installs the source (null: defaults only). The caller keeps it alive.
void SetSystemSettingsSource(SystemSettingsSource* source);

// The item's key ("ERRORMSG"), null for an index without an item.
const char* GetSystemSettingKey(int index);

// Stores the item's default in value first; 0 when the source had the item,
// -1 when it did not (the default stays) or the index has no item.
int GetSystemSettingInt(int index, int* value);
// The same for text items; at most size - 1 characters and a terminator.
int GetSystemSettingString(int index, char16_t* buffer, int size);

// The folder of the running program and its parent, native paths without a
// trailing separator ("/" alone at the top). A test or the demo start-up may
// pin the folder.
void GetModuleFolder(std::u16string& out);
void GetModuleParentFolder(std::u16string& out);
void SetModuleFolderForTesting(const std::string& nativeFolder);

// A source of fixed values: the program's command line and tests put items
// here.
class FixedSystemSettings : public SystemSettingsSource {
public:
    void SetInt(int index, int value);
    void SetText(int index, std::u16string value);
    bool ReadInt(int index, const char* key, int& value) override;
    bool ReadText(int index, const char* key, std::u16string& value) override;

private:
    struct Item {
        bool hasInt = false;
        int intValue = 0;
        bool hasText = false;
        std::u16string text;
    };
    Item m_items[SYS_ITEM_COUNT];
};
