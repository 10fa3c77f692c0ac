#include "settings/ui_setting.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Menu command ids, by group.

const std::vector<std::vector<int32_t>>& MenuGroups() {
    static const std::vector<std::vector<int32_t>> groups = {
        {11010, 11020, 11030, 11040, 11050, 11060, 11070, 11080, 12010, 12020, 12030, 12040, 12050, 12060, 12070,
         12080},
        {21010, 21020, 21030, 21040, 21050, 21060, 21070, 21080, 21090},
        {31010, 31020, 31030, 31040, 31050, 31060, 31080, 32010},
        {41010, 41020, 41030, 41040, 41050, 41060, 41070},
        {51050, 51060, 52010, 52020, 52050, 52040},
        {},
        {60020, 60040},
        {60040, 21010, 11070, 21040, 21070, 21020, 60020, 12010, 12060},
        {12010, 12060},
    };
    return groups;
}

constexpr int kSubMenuGroup = 7;
constexpr int kSubToolBarGroup = 8;

// ---------------------------------------------------------------------------
// The keys of both files, in file order, bound to the fields of a record.

struct KeyField {
    std::u16string key;
    int32_t* word = nullptr;
    uint8_t* byte = nullptr;  // byte fields are written and read as 0..255
};

// "[%3d]": the index right-aligned in three places.
std::u16string Index(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "[%3d]", i);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

class KeyList {
public:
    void Word(std::u16string key, int32_t& field) { m_keys.push_back({std::move(key), &field, nullptr}); }
    void Byte(std::u16string key, uint8_t& field) { m_keys.push_back({std::move(key), nullptr, &field}); }
    void Screens(const std::u16string& name, tagUISTRUCT_DRAWSCREEN& s) {
        Word(name + u".bFullMap", s.bFullMap);
        Word(name + u".bSplitLeftMap", s.bSplitLeftMap);
        Word(name + u".bSplitRightMap", s.bSplitRightMap);
    }
    template <size_t N>
    void Words(const std::u16string& name, int32_t (&fields)[N]) {
        for (size_t i = 0; i < N; ++i) Word(name + Index(static_cast<int>(i)), fields[i]);
    }
    template <size_t R, size_t C>
    void Words(const std::u16string& name, int32_t (&fields)[R][C]) {
        for (size_t i = 0; i < R; ++i) Words(name + Index(static_cast<int>(i)), fields[i]);
    }
    template <size_t P, size_t R, size_t C>
    void Words(const std::u16string& name, int32_t (&fields)[P][R][C]) {
        for (size_t i = 0; i < P; ++i) Words(name + Index(static_cast<int>(i)), fields[i]);
    }
    std::vector<KeyField>& Keys() { return m_keys; }

private:
    std::vector<KeyField> m_keys;
};

std::vector<KeyField> UISettingKeys(UISettingRecord& r) {
    KeyList k;
    k.Screens(u"lPOIDrawScreen", r.lPOIDrawScreen);
    k.Screens(u"lAutoZoomInDrawScreen", r.lAutoZoomInDrawScreen);
    k.Screens(u"lTPEGDrawScreen", r.lTPEGDrawScreen);
    k.Word(u"eCarMark", r.eCarMark);
    k.Word(u"eMapColor", r.eMapColor);
    k.Word(u"eMapFontType", r.eMapFontType);
    k.Word(u"eMapFontSize", r.eMapFontSize);
    k.Word(u"eRouteColorDay", r.eRouteColorDay);
    k.Word(u"eRouteColorNight", r.eRouteColorNight);
    k.Word(u"ePOIViewLevel", r.ePOIViewLevel);
    k.Word(u"bDetailCross", r.bDetailCross);
    k.Word(u"bZoomCross", r.bZoomCross);
    k.Word(u"bOverSpeedSign", r.bOverSpeedSign);
    k.Word(u"eMapAutoZoomIn", r.eMapAutoZoomIn);
    k.Word(u"eAutoThemePopup", r.eAutoThemePopup);
    k.Word(u"e3DViewAngle", r.e3DViewAngle);
    k.Word(u"b3DBuilding", r.b3DBuilding);
    k.Word(u"eNightMode", r.eNightMode);
    for (int i = 0; i < 2; ++i) {
        k.Byte(u"lNightModeUserTime" + Index(i) + u".uHour", r.lNightModeUserTime[i].uHour);
        k.Byte(u"lNightModeUserTime" + Index(i) + u".uMinute", r.lNightModeUserTime[i].uMinute);
    }
    k.Word(u"bRoadLinePopup", r.bRoadLinePopup);
    k.Word(u"bScreenCapture", r.bScreenCapture);
    k.Word(u"bViewGPSLog", r.bViewGPSLog);
    k.Word(u"eNaviMode", r.eNaviMode);
    k.Word(u"bUseTrip", r.bUseTrip);
    k.Words(u"nArrPOIID", r.nArrPOIID);
    k.Word(u"nThemeCate", r.nThemeCate);
    k.Word(u"eMapAutoZoomInBy", r.eMapAutoZoomInBy);
    k.Words(u"eAutoZoomLevelBySpeed", r.eAutoZoomLevelBySpeed);
    k.Words(u"eAutoZoomLevelByDistance", r.eAutoZoomLevelByDistance);
    k.Word(u"bDetailCrossFullScreen", r.bDetailCrossFullScreen);
    k.Word(u"bDetailCrossTunnel", r.bDetailCrossTunnel);
    k.Word(u"bDetailCrossUnderRoad", r.bDetailCrossUnderRoad);
    k.Word(u"eDefaultRouteOption", r.eDefaultRouteOption);
    k.Word(u"bRouteWithPeloxWizard", r.bRouteWithPeloxWizard);
    k.Word(u"bRouteWithTPEG", r.bRouteWithTPEG);
    k.Word(u"bRouteWithGoalDir", r.bRouteWithGoalDir);
    k.Word(u"bRouteWithGoalNear", r.bRouteWithGoalNear);
    k.Word(u"bRouteWithOutShortTurn", r.bRouteWithOutShortTurn);
    k.Word(u"bRouteWithAlternative", r.bRouteWithAlternative);
    // The file lists the route weights alphabetically, not in record order.
    tagUISTRUCT_OPTIMUMROUTE& o = r.lOptimumRouteOption;
    k.Byte(u"lOptimumRouteOption.yAlley", o.yAlley);
    k.Byte(u"lOptimumRouteOption.yCityHighWay", o.yCityHighWay);
    k.Byte(u"lOptimumRouteOption.yDetourLeftTurn", o.yDetourLeftTurn);
    k.Byte(u"lOptimumRouteOption.yDetourUTurn", o.yDetourUTurn);
    k.Byte(u"lOptimumRouteOption.yHighWay", o.yHighWay);
    k.Byte(u"lOptimumRouteOption.yLane3", o.yLane3);
    k.Byte(u"lOptimumRouteOption.yTollRoad", o.yTollRoad);
    k.Word(u"nGuideSpeed", r.nGuideSpeed);
    k.Word(u"eTurnPointGuide", r.eTurnPointGuide);
    k.Words(u"bArrBasicVoiceGuideHiway", r.bArrBasicVoiceGuideHiway);
    k.Words(u"bArrBasicVoiceGuideNormalway", r.bArrBasicVoiceGuideNormalway);
    k.Words(u"bArrSafeVoiceGuideType", r.bArrSafeVoiceGuideType);
    k.Word(u"nSafeDriveGuideItem", r.nSafeDriveGuideItem);
    k.Word(u"nEtcVoiceGuideItem", r.nEtcVoiceGuideItem);
    k.Word(u"bSpeedOverAlram", r.bSpeedOverAlram);
    k.Word(u"eSpeedOverAlramType", r.eSpeedOverAlramType);
    k.Byte(u"ySpeedOverAlramLimit", r.ySpeedOverAlramLimit);
    k.Word(u"eAppVolumeMP3AtGuide", r.eAppVolumeMP3AtGuide);
    k.Word(u"eAppVolumeDMBAtGuide", r.eAppVolumeDMBAtGuide);
    k.Word(u"bTouchSoundUse", r.bTouchSoundUse);
    k.Word(u"bAutoVolumeBySpeed", r.bAutoVolumeBySpeed);
    k.Word(u"bAutoBrightByTime", r.bAutoBrightByTime);
    k.Word(u"eTPEGDrawRoadType", r.eTPEGDrawRoadType);
    k.Word(u"eTPEGDrawCongestion", r.eTPEGDrawCongestion);
    k.Word(u"bTPEGAutoReRoute", r.bTPEGAutoReRoute);
    k.Byte(u"yTPEGAutoReRouteTime", r.yTPEGAutoReRouteTime);
    k.Word(u"bViewRTM", r.bViewRTM);
    k.Word(u"bGuidanceRTM", r.bGuidanceRTM);
    k.Word(u"nMapUITempleteIndex", r.nMapUITempleteIndex);
    k.Word(u"nMapUIColorTempleteIndex", r.nMapUIColorTempleteIndex);
    k.Words(u"nArrMenuUITempleteIndex", r.nArrMenuUITempleteIndex);
    k.Words(u"nArrMainMenuMaxPageItem", r.nArrMainMenuMaxPageItem);
    k.Words(u"eArrMenuIDMainMenu", r.eArrMenuIDMainMenu);
    k.Words(u"eArrMenuIDSubMenu", r.eArrMenuIDSubMenu);
    k.Words(u"eArrMenuIDSubToolBar", r.eArrMenuIDSubToolBar);
    k.Word(u"eCarType", r.eCarType);
    k.Word(u"eRepeatCountFilterType", r.eRepeatCountFilterType);
    k.Word(u"bRepeatDestPopupUse", r.bRepeatDestPopupUse);
    k.Word(u"nRepeatDestPopupTime", r.nRepeatDestPopupTime);
    k.Word(u"nRepeatDestPopupMaxLine", r.nRepeatDestPopupMaxLine);
    k.Word(u"bRepeatDestPopupHomeNOffice", r.bRepeatDestPopupHomeNOffice);
    k.Word(u"bRepeatDestPopupFindName", r.bRepeatDestPopupFindName);
    k.Word(u"eTPEGBS", r.eTPEGBS);
    return std::move(k.Keys());
}

std::vector<KeyField> MapSettingKeys(UISettingRecord& r) {
    KeyList k;
    k.Word(u"eMapScreenMode", r.eMapScreenMode);
    k.Word(u"eLeftMapMode", r.eLeftMapMode);
    k.Word(u"eRightMapMode", r.eRightMapMode);
    k.Word(u"eLeftMapDirection", r.eLeftMapDirection);
    k.Word(u"eRightMapDirection", r.eRightMapDirection);
    k.Word(u"eLeftZoomLevel", r.eLeftZoomLevel);
    k.Word(u"eRightZoomLevel", r.eRightZoomLevel);
    k.Word(u"eMapCustomMode", r.eMapCustomMode);
    k.Word(u"eDestInfoMode", r.eDestInfoMode);
    k.Word(u"eLeftMapModeName", r.eLeftMapModeName);
    k.Word(u"eLeftMapModeRoad", r.eLeftMapModeRoad);
    k.Word(u"eLeftMapModeColor", r.eLeftMapModeColor);
    k.Word(u"eRightMapModeName", r.eRightMapModeName);
    k.Word(u"eRightMapModeRoad", r.eRightMapModeRoad);
    k.Word(u"eRightMapModeColor", r.eRightMapModeColor);
    tagUISTRUCT_ECODRIVE& e = r.lEcoDriveOption;
    k.Word(u"lEcoDriveOption.nEcoMode", e.nEcoMode);
    k.Word(u"lEcoDriveOption.bShowEcoInfo", e.bShowEcoInfo);
    k.Word(u"lEcoDriveOption.nOilPriceIdx", e.nOilPriceIdx);
    k.Word(u"lEcoDriveOption.nDisplacementIdx", e.nDisplacementIdx);
    k.Word(u"lEcoDriveOption.nFuelKindIdx", e.nFuelKindIdx);
    k.Word(u"lEcoDriveOption.nRoadKindIdx", e.nRoadKindIdx);
    k.Word(u"lEcoDriveOption.nTransmissionIdx", e.nTransmissionIdx);
    k.Word(u"lEcoDriveOption.nEstimateFuel", e.nEstimateFuel);
    k.Word(u"lEcoDriveOption.bCalculateFuel", e.bCalculateFuel);
    k.Word(u"lEcoDriveOption.nBasicFuel", e.nBasicFuel);
    k.Word(u"lEcoDriveOption.nOilPrice", e.nOilPrice);
    k.Word(u"eOilFilter", r.eOilFilter);
    k.Word(u"nOilCateCode", r.nOilCateCode);
    return std::move(k.Keys());
}

// Reads every key into its field; a missing key keeps the field and marks
// the file for completion.
void ReadKeys(NvConfigFile& file, const std::vector<KeyField>& keys) {
    for (const KeyField& k : keys) {
        int value = 0;
        if (!file.GetInt(k.key.c_str(), &value, 1)) continue;
        if (k.word) *k.word = value;
        if (k.byte) *k.byte = static_cast<uint8_t>(value);
    }
}

void WriteKeys(NvConfigFile& file, const std::vector<KeyField>& keys) {
    file.SetInt(u"nVersion", CMgrConfigUISetting::kFileVersion);
    for (const KeyField& k : keys) file.SetInt(k.key.c_str(), k.word ? *k.word : *k.byte);
}

// Digit rows of the voice guidance tables ("1110" = items 0-2 on).
template <size_t C>
void SetRow(int32_t (&row)[C], const char* digits) {
    for (size_t i = 0; i < C; ++i) row[i] = digits[i] == '1' ? 1 : 0;
}

template <size_t N>
void SetFromGroup(int32_t (&fields)[N], int group) {
    const std::vector<int32_t>& ids = MenuGroups()[static_cast<size_t>(group)];
    for (size_t i = 0; i < N; ++i) fields[i] = i < ids.size() ? ids[i] : 0;
}

std::atomic<AroundCategorySource*> g_categorySource{nullptr};

// Category trees are a few levels deep; the limit only stops a source whose
// children lead back to their parent.
constexpr int kMaxCategoryDepth = 8;

}  // namespace

CMgrConfigUISetting::CMgrConfigUISetting() {
    FillDefaults(m_record);
    bool uiLoaded = false;
    bool mapLoaded = false;
    {
        MgrLock hold(m_lock);
        UISettingRecord defaults;
        FillDefaults(defaults);
        bool marked = false;
        uiLoaded = LoadUIFile(defaults, &marked) == 1;
        mapLoaded = LoadMapFile(marked) == 1;
    }
    // Each file that could not be read starts again from the defaults of
    // its own part; the other file keeps what it holds.
    if (!uiLoaded) SaveUISetting();
    if (!mapLoaded) SaveMapSetting();
    m_saved.store(1, std::memory_order_release);
}

void CMgrConfigUISetting::SetDefaults(UISettingRecord* record) {
    if (record) {
        FillDefaults(*record);
        return;
    }
    MgrLock hold(m_lock);
    FillDefaults(m_record);
}

void CMgrConfigUISetting::FillDefaults(UISettingRecord& r) {
    r = UISettingRecord{};
    r.lPOIDrawScreen = {1, 1, 1};
    r.lAutoZoomInDrawScreen = {1, 1, 0};
    r.lTPEGDrawScreen = {1, 1, 1};
    r.eCarMark = 1;
    r.eMapColor = 1;
    r.eMapFontType = 1;
    r.eMapFontSize = 2;
    r.eRouteColorDay = 1;
    r.eRouteColorNight = 1;
    r.ePOIViewLevel = 2;
    r.bDetailCross = 1;
    r.bZoomCross = 1;
    r.bOverSpeedSign = 1;
    r.eMapAutoZoomIn = 2;
    r.eAutoThemePopup = 2;
    r.e3DViewAngle = 2;
    r.b3DBuilding = 1;
    r.eNightMode = 3;
    r.lNightModeUserTime[0] = {19, 0, 0};
    r.lNightModeUserTime[1] = {6, 0, 0};
    r.eNaviMode = 1;
    r.bUseTrip = 1;
    r.nThemeCate = 31;
    r.eMapAutoZoomInBy = 1;
    for (int i = 0; i < 4; ++i) {
        r.eAutoZoomLevelBySpeed[i] = 9 + i;
        r.eAutoZoomLevelByDistance[i] = 9 + i;
    }
    r.bDetailCrossTunnel = 1;
    r.bDetailCrossUnderRoad = 1;
    r.eDefaultRouteOption = 1;
    r.bRouteWithTPEG = 1;
    r.bRouteWithGoalDir = 1;
    r.lOptimumRouteOption = {5, 5, 5, 5, 5, 5, 5, 0};
    r.nGuideSpeed = 1;
    r.eTurnPointGuide = 1;
    const char* hiway[5] = {"1111", "0011", "0111", "0111", "1111"};
    const char* normalway[5] = {"1110", "0010", "0110", "0110", "1110"};
    for (int i = 0; i < 5; ++i) {
        SetRow(r.bArrBasicVoiceGuideHiway[i], hiway[i]);
        SetRow(r.bArrBasicVoiceGuideNormalway[i], normalway[i]);
    }
    SetRow(r.bArrSafeVoiceGuideType[0][0], "0110");
    SetRow(r.bArrSafeVoiceGuideType[0][1], "1100");
    SetRow(r.bArrSafeVoiceGuideType[1][0], "0100");
    SetRow(r.bArrSafeVoiceGuideType[1][1], "1000");
    r.nSafeDriveGuideItem = 0xFFFFF;
    r.nEtcVoiceGuideItem = 7;
    r.bSpeedOverAlram = 1;
    r.eSpeedOverAlramType = 1;
    r.eAppVolumeMP3AtGuide = 2;
    r.eAppVolumeDMBAtGuide = 2;
    r.bTouchSoundUse = 1;
    r.eTPEGDrawRoadType = 1;
    r.eTPEGDrawCongestion = 1;
    r.bTPEGAutoReRoute = 1;
    r.yTPEGAutoReRouteTime = 5;
    r.bViewRTM = 1;
    r.bGuidanceRTM = 1;
    for (int p = 0; p < kUIMainMenuPages; ++p) {
        r.nArrMainMenuMaxPageItem[p] = 8;
        SetFromGroup(r.eArrMenuIDMainMenu[p], p);
    }
    SetFromGroup(r.eArrMenuIDSubMenu, kSubMenuGroup);
    SetFromGroup(r.eArrMenuIDSubToolBar, kSubToolBarGroup);
    r.eCarType = 1;
    r.eRepeatCountFilterType = 2;
    r.bRepeatDestPopupUse = 1;
    r.nRepeatDestPopupTime = 10;
    r.nRepeatDestPopupMaxLine = 5;
    r.bRepeatDestPopupHomeNOffice = 1;

    r.eMapScreenMode = 3;
    r.eLeftMapMode = 1;
    r.eRightMapMode = 1;
    r.eLeftMapDirection = 1;
    r.eRightMapDirection = 1;
    r.eLeftZoomLevel = 9;
    r.eRightZoomLevel = 12;
    r.eMapCustomMode = 1;
    r.eDestInfoMode = 1;
    r.eLeftMapModeName = 1;
    r.eRightMapModeName = 1;
    r.lEcoDriveOption.nEcoMode = 2;
    r.lEcoDriveOption.bShowEcoInfo = 1;
    r.lEcoDriveOption.nOilPriceIdx = 8;
    r.lEcoDriveOption.nDisplacementIdx = 3;
    r.lEcoDriveOption.nEstimateFuel = 7;
    r.lEcoDriveOption.nBasicFuel = 120;
    r.lEcoDriveOption.nOilPrice = 1600;
    r.eOilFilter = 1;
    r.nOilCateCode = 10;
}

int CMgrConfigUISetting::Load() {
    MgrLock hold(m_lock);
    UISettingRecord defaults;
    FillDefaults(defaults);
    m_record = defaults;
    bool marked = false;
    const int ui = LoadUIFile(defaults, &marked);
    const int map = LoadMapFile(marked);
    return ui && map ? 1 : 0;
}

int CMgrConfigUISetting::LoadUIFile(const UISettingRecord& defaults, bool* marked) {
    const NvString path = NvFilePath().GetSettingsFileName(NV_FILE_UI_SETTING, 1);
    if (!m_file.Load(path)) {
        m_file.Clear();
        return 0;
    }
    int version = 0;
    m_file.GetInt(u"nVersion", &version, 1);
    ReadKeys(m_file, UISettingKeys(m_record));

    // Files of the older releases carry menu tables with ids that no longer
    // exist: those tables go back to the defaults and the file is rewritten.
    if (version >= kOldVersionFirst && version <= kOldVersionLast) {
        if (version < kOldVersionLast) {
            std::copy(&defaults.eArrMenuIDMainMenu[0][0],
                      &defaults.eArrMenuIDMainMenu[0][0] + kUIMainMenuPages * kUIMainMenuPageItems,
                      &m_record.eArrMenuIDMainMenu[0][0]);
        }
        std::copy(std::begin(defaults.eArrMenuIDSubMenu), std::end(defaults.eArrMenuIDSubMenu),
                  std::begin(m_record.eArrMenuIDSubMenu));
        std::copy(std::begin(defaults.eArrMenuIDSubToolBar), std::end(defaults.eArrMenuIDSubToolBar),
                  std::begin(m_record.eArrMenuIDSubToolBar));
        *marked = true;
    }
    const bool rewrite = m_file.HasMissingKey() || *marked;
    m_file.Clear();
    if (rewrite) SaveUISetting();
    return 1;
}

int CMgrConfigUISetting::LoadMapFile(bool marked) {
    const NvString path = NvFilePath().GetSettingsFileName(NV_FILE_MAP_SETTING, 1);
    if (!m_file.Load(path)) {
        m_file.Clear();
        return 0;
    }
    ReadKeys(m_file, MapSettingKeys(m_record));
    const bool rewrite = m_file.HasMissingKey() || marked;
    m_file.Clear();
    if (rewrite) SaveMapSetting();
    return 1;
}

int CMgrConfigUISetting::SaveUISetting() {
    int result = 0;
    {
        MgrLock hold(m_lock);
        m_file.Clear();
        m_file.SetFilePath(NvFilePath().GetSettingsFileName(NV_FILE_UI_SETTING, 1));
        WriteKeys(m_file, UISettingKeys(m_record));
        result = m_file.Save();
        m_file.Clear();
    }
    m_saved.store(1, std::memory_order_release);
    return result;
}

int CMgrConfigUISetting::SaveMapSetting() {
    MgrLock hold(m_lock);
    m_file.Clear();
    m_file.SetFilePath(NvFilePath().GetSettingsFileName(NV_FILE_MAP_SETTING, 1));
    WriteKeys(m_file, MapSettingKeys(m_record));
    const int result = m_file.Save();
    m_file.Clear();
    return result;
}

int CMgrConfigUISetting::SaveAll() {
    const int ui = SaveUISetting();
    const int map = SaveMapSetting();
    return ui && map ? 1 : 0;
}

int CMgrConfigUISetting::AppendMenuGroupIds(int group, NvArray<int32_t>* array) {
    if (!array || group < 0 || group >= static_cast<int>(MenuGroups().size())) return 0;
    const std::vector<int32_t>& ids = MenuGroups()[static_cast<size_t>(group)];
    if (ids.empty()) return 0;
    for (int32_t id : ids) array->Add(id);
    return 1;
}

int CMgrConfigUISetting::CountSubMenuItems() const {
    int count = 0;
    for (int32_t id : m_record.eArrMenuIDSubMenu) count += id != 0;
    return count;
}

int CMgrConfigUISetting::CountSubToolBarItems() const {
    int count = 0;
    for (int32_t id : m_record.eArrMenuIDSubToolBar) count += id != 0;
    return count;
}

void CMgrConfigUISetting::SetAroundCategorySource(AroundCategorySource* source) {
    g_categorySource.store(source, std::memory_order_release);
}

void CMgrConfigUISetting::RebuildPOICategoryList() {
    int32_t selectedCodes[kUIPOIIdCount];
    {
        MgrLock hold(m_lock);
        std::copy(std::begin(m_record.nArrPOIID), std::end(m_record.nArrPOIID), selectedCodes);
    }
    // The selected codes stand at the front of the table.
    const int selected = static_cast<int>(std::count_if(std::begin(selectedCodes), std::end(selectedCodes),
                                                        [](int32_t code) { return code != 0; }));
    // The search module is asked without holding this object's lock.
    std::vector<int32_t> leaves;
    for (int i = 0; i < selected; ++i) {
        if (selectedCodes[i] != 0) AddLeafCategories(selectedCodes[i], 0, leaves);
    }
    MgrLock hold(m_lock);
    m_poiCategories.RemoveAll();
    for (int32_t code : leaves) m_poiCategories.Add(code);
}

void CMgrConfigUISetting::AddLeafCategories(int32_t code, int depth, std::vector<int32_t>& leaves) {
    AroundCategorySource* source = g_categorySource.load(std::memory_order_acquire);
    AroundCategoryRow parent{};
    AroundCategoryRow rows[AroundCategorySource::kMaxRows]{};
    int children = -1;
    if (source && depth < kMaxCategoryDepth) children = source->GetAroundCateList(code, 1, &parent, rows);
    if (children <= 0) {
        leaves.push_back(code);
        return;
    }
    // Never trust a count beyond the rows the listing can fill.
    children = std::min(children, AroundCategorySource::kMaxRows);
    for (int i = 0; i < children; ++i) {
        if (rows[i].code != 0) AddLeafCategories(rows[i].code, depth + 1, leaves);
    }
}
