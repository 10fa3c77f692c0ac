#pragma once
// The driver's place folders. The registered-places store and the user
// theme store derive from this list, keep the folder names in their own
// files and refer to a folder by its stored position. Folder 0 is the
// default folder: it always exists after a reset, stays first in every
// ordering and cannot be deleted.
//
// No lock of its own: the screens call it on the main thread.
#include <cstdint>
#include <functional>

#include "foundation/nv_array.h"
#include "foundation/nv_string.h"
#include "settings/name_field.h"

// One folder. The name holds at most 64 characters (a longer one is cut);
// the spare word is not kept in any file.
struct _tagUISTRUCT_FOLDERITEM {
    static constexpr int kNameChars = 64;
    char16_t szFolderName[kNameChars] = {};
    int32_t nReserved = 0;
};
static_assert(sizeof(_tagUISTRUCT_FOLDERITEM) == 132);

// Name of the folder every reset starts with.
inline constexpr char16_t kDefaultFolderName[] = u"기본폴더";

class CMgrConfigUIDataFolder {
public:
    // Sort modes of the folder lists.
    static constexpr int kModeStored = 1;
    static constexpr int kModeByName = 2;
    static constexpr int kModeNewest = 3;
    static constexpr int kModeCurrent = -1;

    // Called after a folder was removed, with its stored position, so that
    // the store holding places can move the places of later folders down
    // one folder (they keep their folder) and deal with the places of the
    // removed one.
    using FolderRemovedHook = std::function<void(int removedPosition)>;

    CMgrConfigUIDataFolder() = default;
    virtual ~CMgrConfigUIDataFolder() = default;

    // The stored position behind a list position; -1 when the position is
    // negative or not below the number of folders. Mode 2 and 3 map through
    // their list, any other mode (and -1 = the folder sort mode) maps a
    // position to itself.
    int GetFolderIndex(int position, int mode) const;
    int GetFolderCount() const { return m_folders.GetCount(); }
    // Stored position of the first folder named so without regard to case;
    // -1 when none.
    int FindFolderByName(const char16_t* name) const;
    // Copies the folder record: 1, or 0 when the position does not map.
    // A null buffer gives 1 for any position below the number of folders.
    int GetFolder(int position, _tagUISTRUCT_FOLDERITEM* buffer, int mode) const;
    // Appends the folder and its position to both lists; resort 1 orders
    // the lists again. Returns 1 (0 only when memory runs out).
    int AddFolder(const _tagUISTRUCT_FOLDERITEM& record, int resort);
    // Replaces the mapped folder; a position past the end adds it instead.
    // 0 when the position does not map.
    int SetFolder(int position, const _tagUISTRUCT_FOLDERITEM& record, int mode, int resort);
    // Removes the mapped folder; later folders move down one position. 0 for
    // folder 0 and for positions that do not map; rebuild 1 fills both
    // lists again and orders them.
    int DeleteFolder(int position, int mode, int rebuild);
    // With fewer than two folders nothing is done (0). refill 1 first sets
    // both lists to 0..n-1. List 2 orders folders 1..n-1 by name without
    // regard to case; list 3 becomes 0, n-1, ..., 1. Returns 1.
    int RebuildFolderLists(int refill);
    void ClearFolders();
    // One folder left: the default folder.
    void ResetFolders();

    int GetFolderSortMode() const { return m_folderSortMode; }
    void SetFolderSortMode(int mode) { m_folderSortMode = mode; }

    void SetFolderRemovedHook(FolderRemovedHook hook) { m_folderRemoved = std::move(hook); }

    // The list of a mode (2 or 3) for inspection; null for other modes.
    const NvArray<int>* GetFolderList(int mode) const;

private:
    int MapPosition(int position, int mode) const;

    NvArray<_tagUISTRUCT_FOLDERITEM> m_folders;
    NvArray<int> m_byName;   // list 2
    NvArray<int> m_newest;   // list 3
    int m_folderSortMode = kModeStored;
    FolderRemovedHook m_folderRemoved;
};
