#include "settings/repeat_dest.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "foundation/critical_section.h"
#include "foundation/nv_time.h"
#include "settings/name_field.h"
#include "settings/ui_setting.h"

namespace {

std::atomic<RepeatFilterTypeSource> g_filterTypeSource{nullptr};

int CurrentFilterType() {
    if (RepeatFilterTypeSource source = g_filterTypeSource.load()) return source();
    int type = CMgrConfigUIDataRepeatDest::kFilterAll;
    if (CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance()) {
        MgrLock hold(*ui->GetLock());
        type = ui->Record().eRepeatCountFilterType;
    }
    return type;
}

userdata::KeyText EntryKey(int entry, const char* field) { return userdata::EntryKey("I", entry, field); }

int EntryOfKey(std::u16string_view key) { return userdata::EntryNumberOfKey(key, "I", true); }

// The visit counters' keys of one place ("I003.nVCWH0108": row 1, hour 8),
// built in one buffer: each key replaces the last one's four digits.
class CounterKeys {
public:
    explicit CounterKeys(int entry) : m_key(EntryKey(entry, "nVCWH").View()), m_base(m_key.size()) {}
    const char16_t* At(int row, int hour) {
        m_key.resize(m_base);
        for (const int n : {row, hour}) {
            m_key.push_back(static_cast<char16_t>(u'0' + n / 10));
            m_key.push_back(static_cast<char16_t>(u'0' + n % 10));
        }
        return m_key.c_str();
    }

private:
    std::u16string m_key;
    size_t m_base;
};
static_assert(kRepeatRows <= 100 && kRepeatHours <= 100, "two digits each");

std::u16string_view PlaceName(const _tagUISTRUCT_REPEATDEST& r) {
    return NameFieldView(r.PosInfo.szName, kCourseNameUnits);
}

bool SamePlace(const _tagUISTRUCT_REPEATDEST& a, const _tagUISTRUCT_REPEATDEST& b) {
    return userdata::SamePlace(a.PosInfo, b.PosInfo, CMgrConfigUIDataRepeatDest::kSamePlaceUnits);
}

// What the visit rules need of the current local time.
struct Now {
    int64_t seconds = 0;
    int year = 0, month = 0, day = 0, hour = 0;
    bool weekend = false;
    bool clockSet = false;  // 2007 or later

    static Now Read() {
        const NvTime time;
        Now now;
        now.seconds = time.GetTime();
        int minute = 0, second = 0;
        SecondsToDateTime(time.GetSeconds(), &now.year, &now.month, &now.day, &now.hour, &minute, &second);
        const int weekday = time.GetDayOfWeek();
        now.weekend = weekday == 0 || weekday == 6;
        now.clockSet = now.year >= 2007;
        return now;
    }
};

// Times up to this one are sequence numbers of an unset clock.
int64_t UnsetClockLimit() { return static_cast<int64_t>(DateTimeToSeconds(2007, 1, 1, 0, 0, 0)); }

bool OnDate(int64_t seconds, const Now& now) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    SecondsToDateTime(static_cast<double>(seconds), &year, &month, &day, &hour, &minute, &second);
    return year == now.year && month == now.month && day == now.day;
}

int32_t SumHours(const _tagUISTRUCT_REPEATDEST& r, int row, int firstHour, int hours) {
    int64_t sum = 0;
    for (int h = firstHour; h < firstHour + hours; ++h) sum += r.nVCWH[row * kRepeatHours + h];
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

int32_t AddSaturated(int32_t a, int32_t b) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
}

}  // namespace

bool operator==(const _tagUISTRUCT_REPEATDEST& a, const _tagUISTRUCT_REPEATDEST& b) {
    return std::equal(std::begin(a.nVCWH), std::end(a.nVCWH), std::begin(b.nVCWH)) && a.nVCETC == b.nVCETC &&
           a.Type == b.Type && a.Region == b.Region && a.Time == b.Time &&
           a.PosInfo.wcPosition.x == b.PosInfo.wcPosition.x && a.PosInfo.wcPosition.y == b.PosInfo.wcPosition.y &&
           std::equal(std::begin(a.PosInfo.szName), std::end(a.PosInfo.szName), std::begin(b.PosInfo.szName));
}

void SetRepeatFilterTypeSource(RepeatFilterTypeSource source) { g_filterTypeSource.store(source); }

CMgrConfigUIDataRepeatDest::CMgrConfigUIDataRepeatDest() {
    if (!Load(nullptr)) EmptyStore();
}

void CMgrConfigUIDataRepeatDest::EmptyStore() {
    m_items.RemoveAll();
    m_countItems.RemoveAll();
    m_ranked.RemoveAll();
    m_result.RemoveAll();
}

// ---- file

int CMgrConfigUIDataRepeatDest::Load(const char16_t* file) {
    const NvString path = FilePathFor(file, NV_FILE_REPEAT_DEST);
    if (!OpenFile(path, file == nullptr)) return 0;
    EmptyStore();
    int count = 0;
    int toVisit = 0;
    // Any count is read: the newest 50 places stay, as AddItem keeps them.
    const char* rejected =
        CheckCountedFile({u"ItemCount", kMaxItems, EntryOfKey, "no nVersion or ItemCount", nullptr}, &count, &toVisit);
    if (rejected) return RefuseFile(path, rejected);

    const Now now = Now::Read();
    const int64_t unsetClock = UnsetClockLimit();
    for (const int entry : EntriesWithKeys(EntryOfKey, toVisit)) {
        _tagUISTRUCT_REPEATDEST record;
        int present = 0;
        CounterKeys counters(entry);
        for (int row = 0; row < kRepeatRows; ++row) {
            for (int hour = 0; hour < kRepeatHours; ++hour) {
                // Counters never used may be left out of a file.
                present += m_configFile.GetInt(counters.At(row, hour), &record.nVCWH[row * kRepeatHours + hour], 0);
            }
        }
        int time = 0;
        present += m_configFile.GetInt(EntryKey(entry, "nVCETC").c_str(), &record.nVCETC, 1);
        present += m_configFile.GetInt(EntryKey(entry, "Type").c_str(), &record.Type, 1);
        present += m_configFile.GetInt(EntryKey(entry, "Region").c_str(), &record.Region, 1);
        present += m_configFile.GetInt(EntryKey(entry, "Time").c_str(), &time, 1);
        present += m_configFile.GetInt(EntryKey(entry, "X").c_str(), &record.PosInfo.wcPosition.x, 1);
        present += m_configFile.GetInt(EntryKey(entry, "Y").c_str(), &record.PosInfo.wcPosition.y, 1);
        present += userdata::ReadText(m_configFile, EntryKey(entry, "Name"), record.PosInfo.szName, kCourseNameUnits);
        // A place the file holds no key of is not made up.
        if (present == 0) continue;
        // The file holds the low 32 bits only.
        record.Time = static_cast<int64_t>(static_cast<uint32_t>(time));
        const bool sequenceNumber = record.Time <= unsetClock;
        if (!sequenceNumber && now.seconds - record.Time > kExpirySeconds) continue;  // not visited for 31 days
        AddItem(record, 0, 0, 0);
    }
    RebuildResult();
    return FinishLoad();
}

int CMgrConfigUIDataRepeatDest::Save(const char16_t* file) {
    int ok = StartSave(file, NV_FILE_REPEAT_DEST);
    ok &= m_configFile.SetInt(u"ItemCount", m_items.GetCount());
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const _tagUISTRUCT_REPEATDEST& r = *m_items.GetAt(i);
        CounterKeys counters(i);
        for (int row = 0; row < kRepeatRows; ++row) {
            for (int hour = 0; hour < kRepeatHours; ++hour) {
                ok &= m_configFile.SetInt(counters.At(row, hour), r.nVCWH[row * kRepeatHours + hour]);
            }
        }
        ok &= m_configFile.SetInt(EntryKey(i, "nVCETC").c_str(), r.nVCETC);
        ok &= m_configFile.SetInt(EntryKey(i, "Type").c_str(), r.Type);
        ok &= m_configFile.SetInt(EntryKey(i, "Region").c_str(), r.Region);
        ok &= m_configFile.SetInt(EntryKey(i, "Time").c_str(), static_cast<int>(static_cast<uint32_t>(r.Time)));
        ok &= m_configFile.SetInt(EntryKey(i, "X").c_str(), r.PosInfo.wcPosition.x);
        ok &= m_configFile.SetInt(EntryKey(i, "Y").c_str(), r.PosInfo.wcPosition.y);
        ok &= userdata::WriteText(m_configFile, EntryKey(i, "Name"), r.PosInfo.szName, kCourseNameUnits);
    }
    return FinishSave(ok);
}

// ---- places

bool CMgrConfigUIDataRepeatDest::RemoveStored(int stored) {
    if (!m_items.RemoveAt(stored)) return false;
    // The lists name count items; those keep pointing at the right places.
    for (int i = 0; i < m_countItems.GetCount(); ++i) {
        _tagUISTRUCT_REPEATDEST_COUNTITEM& item = *m_countItems.GetAt(i);
        if (item.nIndex == stored) {
            item.nIndex = -1;
        } else if (item.nIndex > stored) {
            --item.nIndex;
        }
    }
    return true;
}

int CMgrConfigUIDataRepeatDest::AddItem(const _tagUISTRUCT_REPEATDEST& record, int count, int64_t offsetSeconds,
                                        int rebuild) {
    if (count == 0) {
        while (m_items.GetCount() >= kMaxItems) RemoveStored(0);
        _tagUISTRUCT_REPEATDEST copy = record;
        copy.PosInfo.szName[kCourseNameUnits - 1] = u'\0';
        if (m_items.Add(copy) < 0) return 0;
        if (rebuild == 1) RebuildResult();
        return 1;
    }

    const Now now = Now::Read();
    _tagUISTRUCT_REPEATDEST visit;
    visit.Type = record.Type;
    visit.Region = record.Region;
    visit.PosInfo = record.PosInfo;
    visit.PosInfo.szName[kCourseNameUnits - 1] = u'\0';

    bool visitedToday = false;
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const _tagUISTRUCT_REPEATDEST& earlier = *m_items.GetAt(i);
        if (!SamePlace(earlier, visit)) continue;
        visitedToday = now.clockSet && OnDate(earlier.Time, now);
        std::copy(std::begin(earlier.nVCWH), std::end(earlier.nVCWH), std::begin(visit.nVCWH));
        visit.nVCETC = earlier.nVCETC;
        if (!RemoveStored(i)) return 0;
        break;
    }
    while (m_items.GetCount() >= kMaxItems) RemoveStored(0);

    if (!now.clockSet) {
        for (int i = 0; i < m_items.GetCount(); ++i) {
            const int64_t t = m_items.GetAt(i)->Time;
            if (t >= visit.Time) visit.Time = t < INT64_MAX ? t + 1 : t;
        }
        visit.nVCETC = AddSaturated(visit.nVCETC, 1);
    } else {
        if (!visitedToday) {
            int32_t& counter = visit.nVCWH[(now.weekend ? 1 : 0) * kRepeatHours + now.hour];
            counter = AddSaturated(counter, 1);
        }
        // now is after 2007, so only a large positive offset could wrap.
        visit.Time = offsetSeconds > INT64_MAX - now.seconds ? INT64_MAX : now.seconds + offsetSeconds;
    }
    if (m_items.Add(visit) < 0) return 0;
    if (rebuild == 1) RebuildResult();
    return 1;
}

int CMgrConfigUIDataRepeatDest::MapPosition(int position, int mode) const {
    if (position < 0) return -1;
    if (mode == kModeStored) return position < m_items.GetCount() ? position : -1;
    if (mode == 2 || mode == 3) return -1;
    const _tagUISTRUCT_REPEATDEST_COUNTITEM* item = GetCountItem(position, mode);
    if (!item || item->nIndex < 0 || item->nIndex >= m_items.GetCount()) return -1;
    return item->nIndex;
}

const _tagUISTRUCT_REPEATDEST_COUNTITEM* CMgrConfigUIDataRepeatDest::GetCountItem(int position, int mode) const {
    const NvArray<int>& list = mode == kModeRanked ? m_ranked : m_result;
    const int* index = list.GetAt(position);
    return index ? m_countItems.GetAt(*index) : nullptr;
}

int CMgrConfigUIDataRepeatDest::GetStoredIndex(int position, int mode) {
    return MapPosition(position, FollowSortMode(m_sortMode, mode));
}

int CMgrConfigUIDataRepeatDest::GetItem(int position, _tagUISTRUCT_REPEATDEST* buffer, int mode) {
    return CopyItemAt(m_items, m_sortMode, position, buffer, mode,
                      [this](int p, int m) { return GetStoredIndex(p, m); });
}

int CMgrConfigUIDataRepeatDest::DeleteItem(int position, int mode, int rebuild) {
    const int stored = MapPosition(position, mode == kModeCurrent ? m_sortMode : mode);
    if (stored < 0) return 0;
    RemoveStored(stored);
    if (rebuild == 1) RebuildResult();
    return 1;
}

int CMgrConfigUIDataRepeatDest::GetCount(int mode) const {
    return mode == kModeResult ? m_result.GetCount() : m_items.GetCount();
}

// ---- result

void CMgrConfigUIDataRepeatDest::ComputeScores(const _tagUISTRUCT_REPEATDEST& place, int filterType,
                                               int32_t scores[4]) {
    const Now now = Now::Read();
    if (!now.clockSet) filterType = kFilterAll;
    const int thisKind = now.weekend ? 1 : 0;
    const int otherKind = 1 - thisKind;
    const int thisHalf = now.hour < 12 ? 0 : 12;
    const int otherHalf = 12 - thisHalf;
    std::fill(scores, scores + 4, 0);
    int computed = 0;
    switch (filterType) {
        case kFilterAll:
            scores[0] = AddSaturated(SumHours(place, 0, 0, 24), SumHours(place, 1, 0, 24));
            computed = 1;
            break;
        case kFilterDayKind:
            scores[0] = SumHours(place, thisKind, 0, 24);
            scores[1] = SumHours(place, otherKind, 0, 24);
            computed = 2;
            break;
        case kFilterHalfDay:
            scores[0] = SumHours(place, thisKind, thisHalf, 12);
            scores[1] = SumHours(place, thisKind, otherHalf, 12);
            scores[2] = SumHours(place, otherKind, thisHalf, 12);
            scores[3] = SumHours(place, otherKind, otherHalf, 12);
            computed = 4;
            break;
        default:
            break;
    }
    // Visits of an unset clock count in every score.
    for (int i = 0; i < computed; ++i) scores[i] = AddSaturated(scores[i], place.nVCETC);
}

int CMgrConfigUIDataRepeatDest::BuildResult(int filterType, const char16_t* text, int limitM) {
    m_countItems.RemoveAll();
    m_ranked.RemoveAll();
    m_result.RemoveAll();
    const NvString wanted(text ? text : u"");
    const NvString key = wanted.MakeChosungKey();
    const MapPoint here = limitM != 0 ? userdata::CurrentPosition() : MapPoint{};
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const _tagUISTRUCT_REPEATDEST& place = *m_items.GetAt(i);
        if (wanted.GetLength() != 0) {
            if (!NvString(PlaceName(place)).MatchChosungKey(key)) continue;
            if (limitM != 0) {
                const double distanceM = GetDistanceUTM(here, place.PosInfo.wcPosition);
                if (distanceM >= 2147483647.0 || static_cast<int>(distanceM) > limitM) continue;
            }
        }
        _tagUISTRUCT_REPEATDEST_COUNTITEM item;
        item.nIndex = i;
        ComputeScores(place, filterType, item.nScore);
        item.uTime = static_cast<uint32_t>(place.Time);
        const int at = m_countItems.Add(item);
        if (at < 0) continue;
        m_result.Add(at);
        m_ranked.Add(at);
    }

    // Ranked: the first score that differs decides (higher first); a score
    // equal and not 0 makes the two equal. Then the later visit, then the
    // name.
    std::vector<int> ranked;
    for (int i = 0; i < m_ranked.GetCount(); ++i) ranked.push_back(*m_ranked.GetAt(i));
    std::stable_sort(ranked.begin(), ranked.end(), [&](int ia, int ib) {
        const _tagUISTRUCT_REPEATDEST_COUNTITEM& a = *m_countItems.GetAt(ia);
        const _tagUISTRUCT_REPEATDEST_COUNTITEM& b = *m_countItems.GetAt(ib);
        for (int k = 0; k < 4; ++k) {
            if (a.nScore[k] != b.nScore[k]) return a.nScore[k] > b.nScore[k];
            if (a.nScore[k] != 0) break;
        }
        if (a.uTime != b.uTime) return a.uTime > b.uTime;
        return CompareNamesNoCase(PlaceName(*m_items.GetAt(a.nIndex)), PlaceName(*m_items.GetAt(b.nIndex))) < 0;
    });
    m_ranked.RemoveAll();
    for (const int v : ranked) m_ranked.Add(v);
    return 1;
}

int CMgrConfigUIDataRepeatDest::SearchByName(const char16_t* text, int limitM) {
    m_searchText = NvString(text ? text : u"");
    return BuildResult(CurrentFilterType(), m_searchText.GetData(), limitM);
}

int CMgrConfigUIDataRepeatDest::RebuildResult() {
    return BuildResult(CurrentFilterType(), m_searchText.GetData(), 0);
}
