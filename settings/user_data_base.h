#pragma once
// What every store of the driver's own data shares: one settings file read
// and written through an NvConfigFile, Load and Save of the store's own
// file (a null name) or of a given path, and the handling of files that
// cannot be taken as they are.
//
// Stores take no lock of their own: the screens call them on the main
// thread, and a caller on another thread keeps its calls apart itself.
#include <string_view>

#include "foundation/nv_config.h"
#include "foundation/nv_string.h"

class CMgrConfigUIDataBase {
public:
    CMgrConfigUIDataBase() = default;
    virtual ~CMgrConfigUIDataBase() = default;
    CMgrConfigUIDataBase(const CMgrConfigUIDataBase&) = delete;
    CMgrConfigUIDataBase& operator=(const CMgrConfigUIDataBase&) = delete;

    // Read the store from a file (null: the store's own file). The base
    // does nothing and returns 1.
    virtual int Load(const char16_t* file);
    // Write the store to a file (null: the store's own file). The base does
    // nothing and returns 1.
    virtual int Save(const char16_t* file);

protected:
    // The given path, or the store's own file of that settings-file type.
    static NvString FilePathFor(const char16_t* file, int fileType);
    // Sets a file the store would not take (missing header keys, a count
    // it cannot hold, entries that do not match the count) aside under its
    // err name before anything writes a fresh file there, and says why.
    static void RejectFile(const NvString& path, const char* why);
    // Splits a per-entry key "<letter>NNN.field" into its entry number;
    // -1 for other keys.
    static int EntryNumberOfKey(std::u16string_view key, char16_t letter);

    NvConfigFile m_configFile;
};

// Case-insensitive order of two names (_wcsicmp folding).
int CompareNamesNoCase(std::u16string_view a, std::u16string_view b);
