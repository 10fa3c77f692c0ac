#include "tools/writers/old_user_data_writer.h"

#include <cstdio>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"

namespace olddatawriter {
namespace {

void TimeOfDay(platform::ByteWriter& w, const OldTimeOfDay& t) {
    w.U8(t.uHour);
    w.U8(t.uMinute);
    w.U8(t.uSecond);
    w.U8(0);
}

void Alarm(platform::ByteWriter& w, const OldRegLocRecord& p) {
    TimeOfDay(w, p.startTime);
    TimeOfDay(w, p.endTime);
    w.I16(p.lastRanDate.sYear);
    w.U8(p.lastRanDate.uMonth);
    w.U8(p.lastRanDate.uDay);
    w.I32(p.nDayOfWeek);
}

void Position(platform::ByteWriter& w, const OldRegLocRecord& p) {
    w.I32(p.x);
    w.I32(p.y);
    w.Utf16(p.name, kOldNameUnits);
    w.Zeros(2);
}

void Place(platform::ByteWriter& w, int recordClass, const OldRegLocRecord& p) {
    if (recordClass <= 2) {
        w.I32(p.nShortKey);
        Position(w, p);
        if (recordClass == 2) {
            w.I32(p.bAlramUse ? 2 : 0);
            Alarm(w, p);
        }
        return;
    }
    for (int32_t v : {p.nFolder, p.nIndex, p.nShortKey, p.nCate, p.nIcon, p.nVoice, p.bAlramUse}) w.I32(v);
    if (recordClass >= 4) w.I32(p.eRegionCheck);
    Alarm(w, p);
    Position(w, p);
    if (recordClass == 5) {
        w.Utf16(p.memo, kOldMemoUnits);
        w.Zeros(40);
    }
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string EntryKey(const char* format, int entry, const char* field = "") {
    char text[96];
    std::snprintf(text, sizeof text, format, entry, field);
    return text;
}

}  // namespace

int32_t VersionWordOfClass(int recordClass) {
    switch (recordClass) {
        case 1: return kOldVersionClass1Last;
        case 2: return kOldVersionClass2Last;
        case 3: return kOldVersionClass3Last;
        case 4: return kOldVersionClass4;
        default: return kOldVersionClass4 + 1;  // "3.05"
    }
}

std::vector<uint8_t> BinaryUserDataBytes(int32_t versionWord, const OldUserData& data) {
    const int recordClass = OldRecordClassOfVersion(versionWord);
    platform::ByteWriter w;
    w.I32(versionWord);
    if (recordClass >= 3) {
        w.U32(static_cast<uint32_t>(data.folders.size()));
        for (const std::u16string& name : data.folders) {
            w.U32(0);
            w.Utf16(name, kOldFolderNameUnits);
        }
    }
    w.U32(static_cast<uint32_t>(data.places.size()));
    for (const OldRegLocRecord& place : data.places) Place(w, recordClass, place);
    return w.Data();
}

bool SettingsUserDataBytes(const OldUserData& data, std::string& out, std::string* error) {
    std::u16string text;
    const auto line = [&text](const std::string& key, const std::u16string& value) {
        text += Ascii(key);
        text += u'=';
        text += value;
        text += u"\r\n";
    };
    const auto number = [&line](const std::string& key, int64_t value) { line(key, Ascii(std::to_string(value))); };

    number("nFolderCount", static_cast<int64_t>(data.folders.size()));
    for (size_t i = 1; i < data.folders.size(); ++i) {
        line(EntryKey("FolderData%03d.szName", static_cast<int>(i)), data.folders[i]);
    }
    number("nRegLocCount", static_cast<int64_t>(data.places.size()));
    for (size_t i = 0; i < data.places.size(); ++i) {
        const OldRegLocRecord& p = data.places[i];
        const auto key = [i](const char* field) { return EntryKey("RegLocData%03d.%s", static_cast<int>(i), field); };
        number(key("nFolder"), p.nFolder);
        number(key("nIndex"), p.nIndex);
        number(key("nShortKey"), p.nShortKey);
        number(key("nCate"), p.nCate);
        number(key("nIcon"), p.nIcon);
        number(key("nVoice"), p.nVoice);
        number(key("bAlramUse"), p.bAlramUse);
        number(key("eRegionCheck"), p.eRegionCheck);
        number(key("lAlramData.AStartTime.uHour"), p.startTime.uHour);
        number(key("lAlramData.AStartTime.uMinute"), p.startTime.uMinute);
        number(key("lAlramData.AStartTime.uSecond"), p.startTime.uSecond);
        number(key("lAlramData.AEndTime.uHour"), p.endTime.uHour);
        number(key("lAlramData.AEndTime.uMinute"), p.endTime.uMinute);
        number(key("lAlramData.AEndTime.uSecond"), p.endTime.uSecond);
        number(key("lAlramData.ALastRanDate.sYear"), p.lastRanDate.sYear);
        number(key("lAlramData.ALastRanDate.uMonth"), p.lastRanDate.uMonth);
        number(key("lAlramData.ALastRanDate.uDay"), p.lastRanDate.uDay);
        number(key("lAlramData.ADayOfWeek"), p.nDayOfWeek);
        number(key("PosInfo.wcPosition.x"), p.x);
        number(key("PosInfo.wcPosition.y"), p.y);
        line(key("PosInfo.szName"), p.name);
        line(key("szMemo"), p.memo);
    }
    platform::CodecError codec;
    if (!platform::Utf16ToCp949(text, out, &codec)) {
        if (error) *error = "text has no CP949 form: " + codec.message;
        return false;
    }
    return true;
}

}  // namespace olddatawriter
