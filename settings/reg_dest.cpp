#include "settings/reg_dest.h"

#include <cstring>

#include "foundation/debug_trace.h"

using placestore::EntryKey;
using placestore::ReadInt;
using placestore::ReadText;
using placestore::WriteText;

bool operator==(const _tagUISTRUCT_REGDEST& a, const _tagUISTRUCT_REGDEST& b) {
    const _tagUISTRUCT_ALARMDATA& x = a.lAlramData;
    const _tagUISTRUCT_ALARMDATA& y = b.lAlramData;
    return a.nOrigin == b.nOrigin && a.eCate == b.eCate && a.nIcon == b.nIcon && a.nVoice == b.nVoice &&
           a.nFolder == b.nFolder && a.bAlramUse == b.bAlramUse && x.lStartTime == y.lStartTime &&
           x.lEndTime == y.lEndTime && x.tLastRanTime == y.tLastRanTime && x.nDayOfWeek == y.nDayOfWeek &&
           std::memcmp(a.szMemo, b.szMemo, sizeof a.szMemo) == 0 && a.eRegionCheck == b.eRegionCheck &&
           a.PosInfo.wcPosition == b.PosInfo.wcPosition &&
           std::memcmp(a.PosInfo.szName, b.PosInfo.szName, sizeof a.PosInfo.szName) == 0;
}

// ---- record and keys

void RegDestTraits::Terminate(Record& r) {
    r.szMemo[_tagUISTRUCT_REGDEST::kMemoUnits - 1] = u'\0';
    r.PosInfo.szName[kCourseNameUnits - 1] = u'\0';
}

namespace {

// "RegDestNNN.lAlramData.<which>.<part>".
userdata::KeyText TimeKey(int entry, const char* which, const char* part) {
    userdata::KeyText key = EntryKey("RegDest", entry, "lAlramData.");
    key.Append(which).Append(".").Append(part);
    return key;
}

int ReadTime(NvConfigFile& file, int entry, const char* which, PackedTimeOfDay& t) {
    int32_t hour = 0, minute = 0, second = 0;
    int found = ReadInt(file, TimeKey(entry, which, "uHour"), &hour);
    found += ReadInt(file, TimeKey(entry, which, "uMinute"), &minute);
    found += ReadInt(file, TimeKey(entry, which, "uSecond"), &second);
    t = PackedTimeOfDay{static_cast<uint8_t>(hour), static_cast<uint8_t>(minute), static_cast<uint8_t>(second)};
    return found;
}

int WriteTime(NvConfigFile& file, int entry, const char* which, const PackedTimeOfDay& t) {
    int ok = file.SetInt(TimeKey(entry, which, "uHour").c_str(), t.uHour);
    ok &= file.SetInt(TimeKey(entry, which, "uMinute").c_str(), t.uMinute);
    ok &= file.SetInt(TimeKey(entry, which, "uSecond").c_str(), t.uSecond);
    return ok;
}

}  // namespace

int RegDestTraits::ReadFields(NvConfigFile& file, int entry, Record& r) {
    const auto key = [entry](const char* field) { return EntryKey(kItemKey, entry, field); };
    int found = ReadInt(file, key("eCate"), &r.eCate);
    found += ReadInt(file, key("nIcon"), &r.nIcon);
    found += ReadInt(file, key("nVoice"), &r.nVoice);
    found += ReadInt(file, key("nFolder"), &r.nFolder);
    found += ReadInt(file, key("bAlramUse"), &r.bAlramUse);
    found += ReadTime(file, entry, "lStartTime", r.lAlramData.lStartTime);
    found += ReadTime(file, entry, "lEndTime", r.lAlramData.lEndTime);
    int32_t lastRan = 0;
    found += ReadInt(file, key("lAlramData.tLastRanTime"), &lastRan);
    // Only the low half is stored; the high half reads back as 0.
    r.lAlramData.tLastRanTime = static_cast<int64_t>(static_cast<uint32_t>(lastRan));
    found += ReadInt(file, key("lAlramData.nDayOfWeek"), &r.lAlramData.nDayOfWeek);
    found += ReadText(file, key("szMemo"), r.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits);
    found += ReadInt(file, key("eRegionCheck"), &r.eRegionCheck);
    found += ReadInt(file, key("PosInfo.wcPosition.x"), &r.PosInfo.wcPosition.x);
    found += ReadInt(file, key("PosInfo.wcPosition.y"), &r.PosInfo.wcPosition.y);
    found += ReadText(file, key("PosInfo.szName"), r.PosInfo.szName, kCourseNameUnits);
    return found;
}

int RegDestTraits::WriteFields(NvConfigFile& file, int entry, const Record& r) {
    const auto key = [entry](const char* field) { return EntryKey(kItemKey, entry, field); };
    int ok = file.SetInt(key("eCate").c_str(), r.eCate);
    ok &= file.SetInt(key("nIcon").c_str(), r.nIcon);
    ok &= file.SetInt(key("nVoice").c_str(), r.nVoice);
    ok &= file.SetInt(key("nFolder").c_str(), r.nFolder);
    ok &= file.SetInt(key("bAlramUse").c_str(), r.bAlramUse);
    ok &= WriteTime(file, entry, "lStartTime", r.lAlramData.lStartTime);
    ok &= WriteTime(file, entry, "lEndTime", r.lAlramData.lEndTime);
    ok &= file.SetInt(key("lAlramData.tLastRanTime").c_str(),
                      static_cast<int>(static_cast<uint32_t>(r.lAlramData.tLastRanTime & 0xFFFFFFFF)));
    ok &= file.SetInt(key("lAlramData.nDayOfWeek").c_str(), r.lAlramData.nDayOfWeek);
    ok &= WriteText(file, key("szMemo"), r.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits);
    ok &= file.SetInt(key("eRegionCheck").c_str(), r.eRegionCheck);
    ok &= file.SetInt(key("PosInfo.wcPosition.x").c_str(), r.PosInfo.wcPosition.x);
    ok &= file.SetInt(key("PosInfo.wcPosition.y").c_str(), r.PosInfo.wcPosition.y);
    ok &= WriteText(file, key("PosInfo.szName"), r.PosInfo.szName, kCourseNameUnits);
    return ok;
}

// ---- store

CMgrConfigUIDataRegDest::CMgrConfigUIDataRegDest() {
    if (s_oldDataImport) {
        NvArray<_tagUISTRUCT_FOLDERITEM> folders;
        NvArray<_tagUISTRUCT_REGDEST> places;
        if (s_oldDataImport(folders, places)) {
            for (int i = 0; i < folders.GetCount(); ++i) AddFolder(*folders.GetAt(i), 0);
            if (GetFolderCount() == 0) CMgrConfigUIDataFolder::ResetFolders();
            RebuildFolderLists(1);
            for (int i = 0; i < places.GetCount(); ++i) AddItem(*places.GetAt(i), 0);
            RebuildLists(1);
            if (!Save(nullptr)) DebugTrace(1, "[CFG] RegDest: places taken over from old data not saved\n");
            EmptyPlaces();
            ClearFolders();
        }
    }
    if (!Load(nullptr)) {
        CMgrConfigUIDataFolder::ResetFolders();
        Save(nullptr);
    }
}

int CMgrConfigUIDataRegDest::FindItemByCategory(int category) const {
    for (int i = 0; i < GetItemCount(); ++i) {
        const _tagUISTRUCT_REGDEST* r = StoredItem(i);
        if (r && r->eCate == category) return i;
    }
    return -1;
}

int CMgrConfigUIDataRegDest::ChangeCategory(int from, int to) {
    int changed = 0;
    for (int i = 0; i < GetItemCount(); ++i) {
        _tagUISTRUCT_REGDEST* r = StoredItem(i);
        if (r && r->eCate == from) {
            r->eCate = to;
            ++changed;
        }
    }
    return changed;
}

int CMgrConfigUIDataRegDest::FindDueAlarm(const NvTime& now, int update) {
    using Menu = CMgrConfigUIFunctionsMainMenu;
    const NvTime yesterday(now.GetSeconds() - 86400.0);
    PackedDate today, yesterdayDate;
    PackedTimeOfDay timeNow;
    Menu::SplitDateTime(now, &today, &timeNow);
    Menu::SplitDateTime(yesterday, &yesterdayDate, nullptr);
    const int todayBit = Menu::WeekdayBit(now.GetDayOfWeek());
    const int yesterdayBit = Menu::WeekdayBit(yesterday.GetDayOfWeek());
    if (today.uYear < kAlarmFirstYear || today.uYear > kAlarmLastYear) return -1;

    for (int i = 0; i < GetItemCount(); ++i) {
        _tagUISTRUCT_REGDEST* r = StoredItem(i);
        if (!r || r->bAlramUse != 1) continue;
        const _tagUISTRUCT_ALARMDATA& alarm = r->lAlramData;
        PackedDate lastRan;
        Menu::SplitDateTime(NvTime(static_cast<double>(alarm.tLastRanTime)), &lastRan, nullptr);
        const PackedTimeOfDay& start = alarm.lStartTime;
        const PackedTimeOfDay& end = alarm.lEndTime;
        bool due = false;
        bool evening = false;
        if (Menu::CompareTime(start, end) <= 0) {
            due = Menu::CompareDate(lastRan, today) < 0 && (alarm.nDayOfWeek & todayBit) &&
                  Menu::CompareTime(timeNow, start) >= 0 && Menu::CompareTime(timeNow, end) <= 0;
        } else if (Menu::CompareTime(timeNow, start) >= 0) {
            // The window runs over midnight and its evening part has begun:
            // it counts as yesterday's run.
            evening = true;
            due = Menu::CompareDate(lastRan, yesterdayDate) < 0 && (alarm.nDayOfWeek & yesterdayBit);
        } else {
            due = Menu::CompareTime(timeNow, end) < 0 && Menu::CompareDate(lastRan, today) < 0 &&
                  (alarm.nDayOfWeek & todayBit);
        }
        if (!due) continue;
        if (update != 0) {
            r->lAlramData.tLastRanTime = evening ? yesterday.GetTime() : now.GetTime();
            if (!Save(nullptr)) DebugTrace(1, "[CFG] RegDest: alarm run not saved\n");
        }
        return i;
    }
    return -1;
}
