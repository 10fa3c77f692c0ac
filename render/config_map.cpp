#include "render/config_map.h"

#include <algorithm>
#include <cstring>

#include "foundation/debug_trace.h"

namespace {

constexpr int kStyleLevels[NcConfigMap::kLevels] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 11, 11, 12, 12, 13, 14, 14};

constexpr std::array<uint32_t, NcConfigMap::kFixedColourCount> kFixedColours = {
    0xFFB4,   0x7878FF, 0xF0FF,   0xE9FF00, 0x7878FF, 0x82FAFF, 0x7C35,   0xF0FEE,  0x2AB8F3, 0xA89706,
    0xF0FEE,  0x47DCFF, 0xFFB4,   0x7878FF, 0xF0FF,   0xE9FF00, 0x7878FF, 0x82FAFF, 0x7C35,   0xF0FEE,
    0x2AB8F3, 0xA89706, 0xF0FEE,  0x47DCFF, 0xCC90,   0x63673A, 0x45B0D0, 0x2E2EB3, 0x8612D,  0xC3C032,
    0x6186D6, 0xB0BA7,  0xFAB4,   0xE9FF00, 0xF0FF,   0x2323FF, 0x7C35,   0xA89706, 0x2AB8F3, 0xF0FEE,
    0x6BF880, 0xFFD866, 0x6CF5FF, 0xF0FEE,  0x80050,  0xF0098,  0x80050,  0x240CFF};

constexpr double kLevelDistance[NcConfigMap::kLevels] = {116736, 58368, 29184, 14592, 7296, 3648, 1824, 912, 456,
                                                         228,    199,   177,   171,   142,  114,  76,   38,  20};
constexpr int kLevelStep[NcConfigMap::kLevels] = {10000, 5000, 2500, 1250, 800, 500, 350, 200, 100,
                                                  50,    40,   40,   40,   25,  25,  18,  10,  5};

// Font heights H and height offsets D by face set and size class; face
// names by face set.
constexpr int kFontHeight[NcConfigMap::kFaceSets][NcConfigMap::kSizeClasses] = {
    {34, 30, 26}, {36, 32, 28}, {34, 30, 26}, {30, 26, 22}, {30, 26, 22}, {30, 26, 22}, {0, 0, 0}};
constexpr int kFontOffset[NcConfigMap::kFaceSets][NcConfigMap::kSizeClasses] = {
    {-4, 0, 4}, {-4, 0, 4}, {-4, 0, 4}, {-1, 0, 1}, {-2, 0, 2}, {-6, -4, -2}, {-6, -4, -2}};
constexpr const char* kFaceNames[NcConfigMap::kFaceSets] = {"FONT1", "FONT2", "FONT3", "FONT4",
                                                            "FONT5", "FONT2", "FONT3"};
// "굴림" in CP949, the face that some font records name.
constexpr char kGulim[] = "\xB1\xBC\xB8\xB2";

bool InRange(uint8_t low, uint8_t high, int level) { return low <= level && level <= high; }

}  // namespace

MapStyleSetup MapStyleSetupFromSettings(int eMapColor, int eMapFontType, int eMapFontSize) {
    MapStyleSetup s;
    // A stored value above the three modes means the first; a stored 0
    // must not become mode -1.
    s.colourMode = eMapColor - 1;
    if (s.colourMode < 0 || s.colourMode > 2) s.colourMode = 0;
    s.faceSet = eMapFontType - 1;
    if (s.faceSet < 0 || s.faceSet > 2) s.faceSet = 0;
    s.sizeClass = eMapFontSize - 1;
    if (s.sizeClass < 0 || s.sizeClass > 2) s.sizeClass = 1;
    return s;
}

NcConfigMap::NcConfigMap(CConfigManager& manager) : m_manager(manager) {}

NcConfigMap::~NcConfigMap() = default;

// ---- Set-up ------------------------------------------------------------------------

int NcConfigMap::Initialize(const std::string& stylePath, int colourMode, int faceSet, int sizeClass, int onDemand) {
    Release();
    const int code = m_manager.LoadConfig(stylePath, colourMode, onDemand);
    if (code != kStyleLoadOk) {
        DebugTrace(3, "config Initialize LoadConfig error: %d\n", code);
        return 0;
    }
    if (m_manager.FontNameCount() > 0) CreateFonts(faceSet, sizeClass);
    const int bitmaps = std::min(m_manager.Section19Count(), kMaxBitmaps);
    for (int i = 0; i < bitmaps; ++i) {
        const StyleSymbolEntry* e = m_manager.Section19(i);
        auto bitmap = std::make_unique<CMneBitmap>();
        if (!e->data || !bitmap->LoadFromMemory(e->data, e->dataSize)) {
            DebugTrace(3, "config Initialize bitmap %d: %s\n", i, bitmap->Error().c_str());
            Release();
            return 0;
        }
        m_bitmaps[static_cast<size_t>(i)] = std::move(bitmap);
    }
    m_fixedColours = kFixedColours;
    m_brushes.assign(static_cast<size_t>(m_manager.Section17Count()), EglPattern565{});
    for (int i = 0; i < m_manager.Section17Count(); ++i) {
        // A pattern that cannot be decoded stays empty: its areas fall back
        // to a solid fill.
        const StyleSymbolEntry* e = m_manager.Section17(i);
        CMneBitmap dib;
        if (e->data && dib.LoadPackedDib(e->data, e->dataSize)) dib.ToPattern(m_brushes[static_cast<size_t>(i)]);
    }
    m_manager.FreePatternData();
    m_manager.FreeLoaderHeap();
    return 1;
}

void NcConfigMap::CreateFonts(int faceSet, int sizeClass) {
    m_fonts.clear();
    m_faceSet = faceSet;
    m_sizeClass = sizeClass;
    // Only the three size classes have table values; a larger class would
    // read the next face set's values.
    if (faceSet < 0 || faceSet >= kFaceSets || sizeClass < 0 || sizeClass >= kSizeClasses) return;
    const int s = sizeClass;
    const auto& names = m_manager.FontNames();
    for (size_t i = 0; i < names.size(); ++i) {
        const StyleFontName& rec = names[i];
        int face = faceSet, extraWeight = 0, flag = 0;
        if (std::strcmp(rec.name, kGulim) == 0) {
            if (faceSet == 0 || faceSet == 4) {
                face = 4;
                flag = 1;
            } else if (faceSet == 1) {
                face = 5;
            } else if (faceSet == 2) {
                face = 6;
                extraWeight = 3;
            }
        }
        int height, weight;
        if (rec.size == 30) {
            height = kFontHeight[face][s];
            weight = rec.weight * 100;
        } else {
            height = (faceSet == 4 && s == 2 && rec.size <= 12) ? 11 : rec.size - kFontOffset[face][s];
            weight = (rec.weight - extraWeight) * 100;
        }
        auto font = std::make_unique<CMneVectorFont>();
        if (!font->Create(height, weight, kFaceNames[face], 1, flag))
            DebugTrace(3, "create Font fail font index : %d\n", static_cast<int>(i));
        m_fonts.push_back(std::move(font));
    }
}

int NcConfigMap::SetColourMode(int mode) {
    if (m_manager.LoadMapColor(mode) != 0) {
        DebugTrace(3, "config Initialize LoadMapColor error: %d\n", mode);
        return 0;
    }
    return 1;
}

void NcConfigMap::SetAlternateStyle(int value) {
    m_alternateValue = value;
    m_alternateFlag = value != 0 ? 1 : 0;
}

void NcConfigMap::SetScale(int scale) {
    m_scale = scale;
    const std::vector<uint32_t>& t1 = m_manager.LevelTable(1);
    m_levelIndex1 = 0;
    for (size_t i = t1.size(); i-- > 0;) {
        if (static_cast<int64_t>(t1[i]) >= scale) {
            m_levelIndex1 = static_cast<int>(i);
            break;
        }
    }
    const std::vector<uint32_t>& t2 = m_manager.LevelTable(2);
    m_levelIndex2 = t2.empty() ? 0 : static_cast<int>(t2.size()) - 1;
    for (size_t i = 0; i < t2.size(); ++i) {
        if (static_cast<int64_t>(t2[i]) >= scale) {
            m_levelIndex2 = static_cast<int>(i);
            break;
        }
    }
}

int NcConfigMap::ScaleOfLevel(int level) const {
    const std::vector<uint32_t>& t1 = m_manager.LevelTable(1);
    if (t1.empty()) return 0;
    return static_cast<int>(t1[static_cast<size_t>(std::clamp(level, 0, static_cast<int>(t1.size()) - 1))]);
}

void NcConfigMap::SetDrawOptions(int variant, int viewStyle, int option3, int option4) {
    m_variant = variant;
    m_viewStyle = viewStyle;
    m_option3 = option3;
    m_option4 = option4;
}

void NcConfigMap::Release() {
    m_fonts.clear();
    for (auto& b : m_bitmaps) b.reset();
    m_brushes.clear();
    m_manager.Unload();
}

int NcConfigMap::StyleLevelOf(int level) { return level >= 0 && level < kLevels ? kStyleLevels[level] : 0; }

// ---- Class styles ---------------------------------------------------------------------

const StyleDrawStyle* NcConfigMap::DrawStyleAt(uint32_t index) const {
    const auto& t = m_manager.DrawStyles();
    return index < t.size() ? &t[index] : nullptr;
}

const StyleColourRef* NcConfigMap::ColourRefAt(uint32_t index) const {
    const auto& t = m_manager.ColourRefs();
    return index < t.size() ? &t[index] : nullptr;
}

uint32_t NcConfigMap::PaletteColour(uint32_t index, uint32_t fallback) const {
    const auto& p = m_manager.Palette();
    return index < p.size() ? p[index] : fallback;
}

const StyleClassHead* NcConfigMap::ClassHead(int cls) const {
    const auto& t = m_manager.ClassHeads();
    return cls >= 0 && static_cast<size_t>(cls) < t.size() ? &t[static_cast<size_t>(cls)] : nullptr;
}

const StyleSymbolClassHead* NcConfigMap::SymbolClassHead(int cls) const {
    const auto& t = m_manager.SymbolClassHeads();
    return cls >= 0 && static_cast<size_t>(cls) < t.size() ? &t[static_cast<size_t>(cls)] : nullptr;
}

const StyleClassItem* NcConfigMap::PickClassItem(const StyleClassHead& head, int lineOnly, int anyLevel) const {
    if (head.firstItem < 0 || (head.raw.U32(0) & 0xFF) == 0 || head.ItemCount() == 0) return nullptr;
    const StyleClassItem* items = m_manager.ClassItems().data() + head.firstItem;
    const int n = head.ItemCount();
    const int level = StyleLevel();
    const StyleClassItem* pick = nullptr;
    for (int i = 0; i < n && !pick; ++i)
        if (items[i].kind == 1 && (anyLevel == 1 || InRange(items[i].lowLevel, items[i].highLevel, level)))
            pick = &items[i];
    if (m_viewStyle != 1 && lineOnly != 1) {
        for (int i = 0; i < n; ++i)
            if (items[i].kind == m_viewStyle && InRange(items[i].lowLevel, items[i].highLevel, level)) {
                pick = &items[i];
                break;
            }
    } else if (m_viewStyle == 2 && m_option3 >= 1 && m_option3 <= 3) {
        for (int i = 0; i < n; ++i)
            if (items[i].kind == 3 && InRange(items[i].lowLevel, items[i].highLevel, level)) {
                pick = &items[i];
                break;
            }
    }
    return pick;
}

int NcConfigMap::GetClassStyle(int cls, const StyleDrawStyle** outStyle, const StyleColourRef** outColour,
                               int lineOnly, int anyLevel) const {
    if (outStyle) *outStyle = nullptr;
    if (outColour) *outColour = nullptr;
    const StyleClassHead* head = ClassHead(cls);
    const StyleClassItem* item = head ? PickClassItem(*head, lineOnly, anyLevel) : nullptr;
    if (!item) return 0;
    if (lineOnly) {
        const uint16_t index = Half(item->words[StyleClassItem::kLineStyle]);
        const StyleDrawStyle* style = index ? DrawStyleAt(index) : nullptr;
        if (!style) return 0;
        if (outStyle) *outStyle = style;
        return 1;
    }
    const uint16_t styleIndex = Half(item->words[StyleClassItem::kDrawStyle]);
    const uint16_t colourIndex = Half(item->words[StyleClassItem::kColourRef]);
    const StyleDrawStyle* style = styleIndex ? DrawStyleAt(styleIndex) : nullptr;
    const StyleColourRef* colour = colourIndex ? ColourRefAt(colourIndex) : nullptr;
    if (!style && !colour) return 0;
    if (outStyle) *outStyle = style;
    if (outColour) *outColour = colour;
    return 1;
}

int NcConfigMap::GetClassStyle3(int cls, const StyleDrawStyle** outStyle, const StyleColourRef** outColour1,
                                const StyleColourRef** outColour2) const {
    if (outStyle) *outStyle = nullptr;
    if (outColour1) *outColour1 = nullptr;
    if (outColour2) *outColour2 = nullptr;
    const StyleClassHead* head = ClassHead(cls);
    const StyleClassItem* item = head ? PickClassItem(*head, 0, 0) : nullptr;
    if (!item) return 0;
    const uint16_t s = Half(item->words[StyleClassItem::kDrawStyle2]);
    const uint16_t c2 = Half(item->words[StyleClassItem::kColourRef2]);
    const uint16_t c3 = Half(item->words[StyleClassItem::kColourRef3]);
    const StyleDrawStyle* style = s ? DrawStyleAt(s) : nullptr;
    const StyleColourRef* colour2 = c2 ? ColourRefAt(c2) : nullptr;
    if (!style && !colour2) return 0;
    if (outStyle) *outStyle = style;
    if (outColour1) *outColour1 = colour2;
    if (outColour2) *outColour2 = c3 ? ColourRefAt(c3) : nullptr;
    return 1;
}

int NcConfigMap::GetClassValues(int cls, uint16_t* outA, uint16_t* outB) const {
    const StyleClassHead* head = ClassHead(cls);
    if (!head) return 0;
    if (outA) *outA = head->raw.U16(4);
    if (outB) *outB = head->raw.U16(6);
    return 1;
}

int NcConfigMap::GetClassValue(int cls, int type, uint32_t* out) const {
    const StyleClassHead* head = ClassHead(cls);
    if (!head) return 0;
    uint32_t v;
    switch (type) {
        case 2: v = head->raw.U16(8); break;
        case 3: v = head->raw.U8(10); break;
        case 4: v = head->raw.U8(11); break;
        default: return 0;
    }
    if (out) *out = v;
    return 1;
}

int NcConfigMap::GetClassLevel(int cls) const {
    const int none = static_cast<int>(m_manager.LevelTable(1).size());
    const StyleClassHead* head = ClassHead(cls);
    if (!head || head->firstItem < 0) return none;
    const int kind = (m_viewStyle == 3 || m_viewStyle == 4) ? m_viewStyle : 1;
    const StyleClassItem* items = m_manager.ClassItems().data() + head->firstItem;
    for (int i = 0; i < head->ItemCount(); ++i)
        if (items[i].kind == kind) return items[i].mark ? items[i].lowLevel : none;
    return none;
}

int NcConfigMap::GetClassStyleCopy(int cls, StyleDrawStyle* outStyle, StyleColourRef* outColour,
                                   int styleOnly) const {
    const StyleClassHead* head = ClassHead(cls);
    if (!head) return 0;
    if (head->firstItem < 0 || head->ItemCount() == 0) return 255;
    const StyleClassItem* items = m_manager.ClassItems().data() + head->firstItem;
    const int n = head->ItemCount();
    const int level = StyleLevel();
    const StyleClassItem* item = &items[n - 1];
    for (int i = 0; i < n; ++i)
        if (InRange(items[i].lowLevel, items[i].highLevel, level)) {
            item = &items[i];
            break;
        }
    const uint16_t styleIndex = Half(item->words[StyleClassItem::kDrawStyle]);
    const uint16_t colourIndex = Half(item->words[StyleClassItem::kColourRef]);
    if (styleOnly) {
        const StyleDrawStyle* style = styleIndex ? DrawStyleAt(styleIndex) : nullptr;
        if (!style) return 0;
        if (outStyle) *outStyle = *style;
        return 1;
    }
    if (styleIndex == 0 && colourIndex == 0) return 0;
    const StyleColourRef* colour = ColourRefAt(colourIndex);
    if (!colour) return 0;
    const StyleDrawStyle* style =
        DrawStyleAt(colour->kind == kColourRefPatternKind || styleIndex == 0 ? 0 : styleIndex);
    if (!style) return 0;
    if (outColour) *outColour = *colour;
    if (outStyle) *outStyle = *style;
    return 1;
}

int NcConfigMap::GetRangedStyle(int cls, const StyleDrawStyle** outStyle) const {
    if (outStyle) *outStyle = nullptr;
    const auto& classes = m_manager.RangedClasses();
    if (cls < 0 || static_cast<size_t>(cls) >= classes.size()) return 0;
    const StyleRangedClass& head = classes[static_cast<size_t>(cls)];
    const int n = head.ItemCount();
    if (n == 0 || head.firstItem < 0) return 0;
    const StyleRangedItem* items = m_manager.RangedItems().data() + head.firstItem;
    const int level = StyleLevel();
    const StyleRangedItem* item = &items[n - 1];
    for (int i = 0; i < n; ++i)
        if (InRange(items[i].lowLevel, items[i].highLevel, level)) {
            item = &items[i];
            break;
        }
    const StyleDrawStyle* style = DrawStyleAt(m_alternateFlag ? item->alternateStyle : item->normalStyle);
    if (!style || style->colourIndex == 0) return 0;
    if (outStyle) *outStyle = style;
    return 1;
}

int NcConfigMap::GetRangedLevel(int cls) const {
    const auto& classes = m_manager.RangedClasses();
    const int none = static_cast<int>(m_manager.LevelTable(1).size());
    if (cls < 0 || static_cast<size_t>(cls) >= classes.size()) return none;
    const uint32_t word = classes[static_cast<size_t>(cls)].word;
    return (word >> 16) & 0xFF ? static_cast<int>(word & 0xFF) : none;
}

// ---- Symbol classes ----------------------------------------------------------------------

int NcConfigMap::GetSymbolClassSymbol(int cls, StyleSymbol* out) const {
    const StyleSymbolClassHead* head = SymbolClassHead(cls);
    if (!head || head->firstItem < 0) return 0;
    const StyleSymbolClassItem* items = m_manager.SymbolClassItems().data() + head->firstItem;
    const int n = head->ItemCount();
    const int level = StyleLevel();
    const StyleSymbolClassItem* pick = nullptr;
    for (int i = 0; i < n && !pick; ++i)
        if (items[i].U8(0) == m_variant && InRange(items[i].U8(1), items[i].U8(2), level)) pick = &items[i];
    for (int i = 0; i < n && !pick; ++i)
        if (items[i].U8(0) == 1) pick = &items[i];
    if (!pick) return 0;
    int index = pick->U16(4);
    if (index == 0) return 0;
    if (pick->U8(8) == 4) index = m_variant > 2 ? 2 : 1;
    return Symbol(index, kSymbolBase13, out);
}

int NcConfigMap::EffectiveVariant(const StyleSymbolClassHead& head) const {
    int variant = m_variant;
    if (m_option3 >= 1 && m_option3 <= 3) variant = 4;
    if (m_option3 == 2 || m_option3 == 3) variant = head.raw.U8(7) == 1 ? 2 : 4;
    return variant;
}

void NcConfigMap::FillAttributes(const StyleSymbolClassHead& head, const StyleSymbolClassItem& item,
                                 SymbolClassAttributes* out) const {
    if (!out) return;
    for (int i = 0; i < 4; ++i) out->itemBytes[i] = item.U8(static_cast<size_t>(i));
    out->symbolIndex = item.U16(4);
    out->itemValue = item.U16(6);
    out->headAttribute = head.raw.U32(12);
    out->symbolKind = item.U8(8);
    out->itemByte9 = item.U8(9);
    out->itemByte10 = item.U8(10);
    for (int i = 0; i < 3; ++i) out->marks[i] = head.raw.U8(7 + static_cast<size_t>(i));
    out->headByte10 = head.raw.U8(10);
}

// The item of the effective variant, else the first of variant 1, else
// the last item (or the first, for the label form); no level test.
const StyleSymbolClassItem* NcConfigMap::AttributeItem(const StyleSymbolClassHead& head, bool lastFallback) const {
    if (head.firstItem < 0 || head.ItemCount() == 0) return nullptr;
    const StyleSymbolClassItem* items = m_manager.SymbolClassItems().data() + head.firstItem;
    const int n = head.ItemCount();
    const int variant = EffectiveVariant(head);
    for (int i = 0; i < n; ++i)
        if (items[i].U8(0) == variant) return &items[i];
    for (int i = 0; i < n; ++i)
        if (items[i].U8(0) == 1) return &items[i];
    return lastFallback ? &items[n - 1] : &items[0];
}

int NcConfigMap::GetSymbolClassAttributes(int cls, SymbolClassAttributes* out, int* visible) const {
    const StyleSymbolClassHead* head = SymbolClassHead(cls);
    const StyleSymbolClassItem* item = head ? AttributeItem(*head, true) : nullptr;
    if (!item) return 0;
    FillAttributes(*head, *item, out);
    if (visible) {
        const bool applies = m_option4 == 1 || (m_option4 == 2 && m_option3 == 1) || (m_option4 == 3 && m_option3 == 3);
        *visible = applies && (m_option4 == 1 || head->raw.U8(9) != 1) ? 1 : 0;
    }
    return 1;
}

int NcConfigMap::GetSymbolClassLabelAttributes(int cls, SymbolClassAttributes* out) const {
    const StyleSymbolClassHead* head = SymbolClassHead(cls);
    const StyleSymbolClassItem* item = head ? AttributeItem(*head, false) : nullptr;
    if (!item) return 0;
    FillAttributes(*head, *item, out);
    return 1;
}

int32_t NcConfigMap::GetSymbolClassFlags(int cls) const {
    if (m_variant == 1) return -1;
    const StyleSymbolClassHead* head = SymbolClassHead(cls);
    if (!head) return 0;
    const uint8_t b7 = head->raw.U8(7), b8 = head->raw.U8(8), b9 = head->raw.U8(9);
    const bool themed = m_option3 == 2 || m_option3 == 3;
    uint32_t value = 0;
    if (m_variant == 2 && b7 == 1) value = 65;
    if (m_variant == 3 && b8 == 1) value = 33;
    if (m_variant == 4) {
        if (b9 == 1) value = 17;
        if (themed && b7 == 1) value = 65;
    }
    if (b7 == 0 && b8 == 0 && b9 == 0) {
        if (m_variant == 2) value |= 0xFFFFFFBF;
        else if (m_variant == 3) value |= 0xFFFFFFDF;
        else if (m_variant == 4) value |= themed ? 0xFFFFFFAF : 0xFFFFFFEF;
    }
    if ((m_variant == 2 || m_variant == 3) && value == 0) return -1;
    return static_cast<int32_t>(value);
}

// ---- Colours and brushes -------------------------------------------------------------------

uint32_t NcConfigMap::GetBackgroundColour(int forced) const {
    if (forced) return m_alternateValue ? 0x9EBAB9 : 0xD0F2F5;
    uint16_t row[3];
    if (!m_manager.ModeColourRow(row)) return 0xFFFFFF;
    const StyleColourRef* ref = ColourRefAt(row[m_alternateFlag]);
    return ref ? ref->colour : 0xFFFFFF;
}

const EglPattern565* NcConfigMap::GetPatternBrush(int index, int second) const {
    const auto& palette = m_manager.Palette();
    if (index < 0 || static_cast<size_t>(index) >= palette.size()) return nullptr;
    uint64_t number = palette[static_cast<size_t>(index)];
    const uint64_t count = m_brushes.size();
    if (second && number + count / 2 < count) number += count / 2;
    if (number >= count || m_brushes[number].Empty()) return nullptr;
    return &m_brushes[number];
}

uint32_t NcConfigMap::FixedColour(int index) const {
    return index >= 0 && index < kFixedColourCount ? m_fixedColours[static_cast<size_t>(index)] : 0;
}

int NcConfigMap::GetRouteColours(uint32_t out[6], int index, int whole, int alternate) const {
    if (!out) return 0;
    int e[6];
    if (whole) {
        const int w[6] = {0, 6, 45, 44, 47, 46};
        std::copy(w, w + 6, e);
    } else if (alternate) {
        if (index < 0 || index > 5) return 0;
        const int a[6] = {12 + index, 18 + index, 30, 24, 38, 32};
        std::copy(a, a + 6, e);
    } else {
        if (index < 0 || index > 5) return 0;
        const int k = index <= 3 ? index : 0;
        const int n[6] = {index, 6 + index, 24 + k, 28 + k, 32 + k, 36 + k};
        std::copy(n, n + 6, e);
    }
    for (int i = 0; i < 6; ++i) out[i] = m_fixedColours[static_cast<size_t>(e[i])];
    return 1;
}

// ---- Symbols ----------------------------------------------------------------------------------

int NcConfigMap::Symbol(int index, int base, StyleSymbol* out) const {
    if (index < 0) return 0;
    if (!out) return m_manager.GetSymbol(index, base, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return m_manager.GetSymbol(index, base, &out->a, &out->b, &out->c, &out->d, &out->image, &out->hold);
}

int NcConfigMap::GetPoiSymbol(int index, StyleSymbol* out) const { return Symbol(index, kSymbolBase13, out); }

int NcConfigMap::GetMap16Symbol(int index, StyleSymbol* out) const {
    return Symbol(m_manager.SymbolMap16Target(index), kSymbolBase16, out);
}

int NcConfigMap::GetMap14Symbol(int index, StyleSymbol* out) const {
    return Symbol(m_manager.SymbolMap14Target(index), kSymbolBase14, out);
}

int NcConfigMap::GetMap14SecondRunSymbol(int index, StyleSymbol* out) const {
    return Symbol(m_manager.SymbolMap14SecondRun(index), kSymbolBase14, out);
}

int NcConfigMap::GetMap14ThirdRunSymbol(int index, StyleSymbol* out) const {
    return Symbol(m_manager.SymbolMap14ThirdRun(index), kSymbolBase14, out);
}

int NcConfigMap::GetKeyedSymbol(uint32_t id, int byPosition, StyleSymbol* out) const {
    if (!out) return m_manager.GetKeyedSymbol(id, byPosition, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return m_manager.GetKeyedSymbol(id, byPosition, &out->a, &out->b, &out->c, &out->d, &out->image, &out->hold);
}

int NcConfigMap::GetGroupSymbol(int index, int group, StyleSymbol* out) const {
    if (!out) return m_manager.GetGroupSymbol(index, group, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return m_manager.GetGroupSymbol(index, group, &out->a, &out->b, &out->c, &out->d, &out->image, &out->hold);
}

int NcConfigMap::GetAlternateSymbol(StyleSymbol* out) const {
    const int index = m_alternateValue ? 99 : 98;
    if (m_manager.OnDemand()) return Symbol(index, kSymbolBase14, out);
    return GetMap14Symbol(index, out);
}

int NcConfigMap::SignSymbolIndex(int type, int value) {
    const int tens = value / 10;
    switch (type) {
        case 0: return value >= 30 && value <= 130 ? tens + 39 : -1;
        case 1:
        case 7:
        case 8: return value >= 0 && tens <= 13 ? tens + 17 : -1;
        case 2: return value >= 0 && tens <= 13 ? tens + 50 : -1;
        case 3: return value >= 0 && tens <= 13 ? tens + 28 : -1;
        case 4: return 64;
        case 5: return 66;
        case 6: return 67;
        case 9:
        case 10:
        case 11:
        case 12:
        case 15: return 92;
        case 13:
        case 14: return 65;
        case 16: return 68;
        case 17: return 70;
        case 18: return 72;
        case 19: return 77;
        case 20:
        case 21: return 79;
        case 22: return 81;
        case 23: return 71;
        case 24: return 73;
        case 25: return 78;
        case 26: return 80;
        case 27: return 94;
        case 28: return 93;
        case 29: return 95;
        case 30: return 105;
        default: return -1;
    }
}

int NcConfigMap::GuideSymbolIndex(int id) { return (id >= 0 && id <= 17) || id == 82 ? id : -1; }

int NcConfigMap::TurnSymbolIndex(int type) {
    switch (type) {
        case 1: return 86;
        case 2: return 88;
        case 4: return 89;
        case 8: return 91;
        default: return -1;
    }
}

int NcConfigMap::GetSignSymbol(int type, int value, StyleSymbol* out) const {
    const int i = SignSymbolIndex(type, value);
    return i >= 0 ? GetMap14Symbol(i, out) : 0;
}

int NcConfigMap::GetGuideSymbol(int id, StyleSymbol* out) const {
    const int i = GuideSymbolIndex(id);
    return i >= 0 ? GetMap14Symbol(i, out) : 0;
}

int NcConfigMap::GetTurnSymbol(int type, StyleSymbol* out) const {
    const int i = TurnSymbolIndex(type);
    return i >= 0 ? GetMap14Symbol(i, out) : 0;
}

const CMneBitmap* NcConfigMap::GetBitmap(int index) const {
    return index >= 0 && index < kMaxBitmaps ? m_bitmaps[static_cast<size_t>(index)].get() : nullptr;
}

// ---- Small tables ----------------------------------------------------------------------------------

int NcConfigMap::GetSymbolKind(int type, int level, int large) {
    if (large) {
        const int band = level >= 15 ? 0 : level >= 7 ? 1 : level >= 3 ? 2 : 3;
        const int first = type == 0 ? 12 : type == 2 ? 4 : type == 3 ? 8 : 0;
        return first + band;
    }
    if (level < 0) return 0;
    if (level >= 7) return type == 0 ? 19 : type == 2 ? 17 : type == 3 ? 18 : 16;
    if (level >= 3) return type == 0 ? 14 : type == 2 ? 6 : type == 3 ? 10 : 2;
    return type == 0 ? 15 : type == 2 ? 7 : type == 3 ? 11 : 3;
}

void NcConfigMap::GetTrafficLineParams(int type, int forced, int* outA, int* outB) {
    const bool roadType = type == 1 || type == 2;
    int a = 7, b = 3;
    if (forced && roadType) {
        a = 13;
        b = 5;
    } else if (!forced && !roadType) {
        a = 3;
        b = 1;
    }
    if (outA) *outA = a;
    if (outB) *outB = b;
}

int NcConfigMap::FlagToIndex(uint32_t flags) {
    for (int i = 0; i < 5; ++i)
        if (flags & (1u << i)) return i + 1;
    return 0;
}

int NcConfigMap::PriorityToIndex(int32_t flags) {
    if (flags <= 0) return -1;
    const auto f = static_cast<uint32_t>(flags);
    for (int i = 0; i < 3; ++i)
        if (f & (0x100u << i)) return i;
    for (int i = 0; i < 4; ++i)
        if (f & (1u << i)) return i;
    return 0;
}

double NcConfigMap::LevelDistance(int level) { return level >= 0 && level < kLevels ? kLevelDistance[level] : 0.0; }

int NcConfigMap::LevelStep(int level) { return level >= 0 && level < kLevels ? kLevelStep[level] : 0; }

// ---- Fonts ---------------------------------------------------------------------------------------

CMneVectorFont* NcConfigMap::GetFont(int index) const {
    return index >= 0 && static_cast<size_t>(index) < m_fonts.size() ? m_fonts[static_cast<size_t>(index)].get()
                                                                     : nullptr;
}

CMneVectorFont* NcConfigMap::GetLandmarkFont(int landmarkStyle, int drawType, int limit, int mode) const {
    switch (mode) {
        case 0:
            if (landmarkStyle <= 0 || limit > 2) return nullptr;
            break;
        case 1:
            if (landmarkStyle <= 0) return nullptr;
            break;
        case 2:
            if (landmarkStyle == 0) return nullptr;
            drawType = 0;
            break;
        default: return GetFont(0);
    }
    return GetFont(static_cast<int>(m_manager.GetLandmarkColourA(landmarkStyle, drawType) & 0xFFFF));
}

// ---- Landmarks -------------------------------------------------------------------------------------

int NcConfigMap::GetLandmarkRecord(int index, StyleLandmark* out) const {
    const auto& t = m_manager.Landmarks();
    if (index < 0 || static_cast<size_t>(index) >= t.size()) return 0;
    if (out) *out = t[static_cast<size_t>(index)];
    return 1;
}

uint32_t NcConfigMap::GetLandmarkStyleValue(int style, int drawType) const {
    return m_alternateFlag ? m_manager.GetLandmarkColourB(style, drawType)
                           : m_manager.GetLandmarkColourA(style, drawType);
}

void NcConfigMap::GetLandmarkExtraColours(int style, uint32_t* out1, uint32_t* out2) const {
    const auto& t = m_manager.LandmarkStyles();
    const uint32_t fallback = m_alternateFlag ? 0 : 0xFFFFFF;
    uint32_t c1 = fallback, c2 = fallback;
    if (style >= 0 && static_cast<size_t>(style) < t.size()) {
        const StyleLandmarkStyle& s = t[static_cast<size_t>(style)];
        c1 = PaletteColour(s.U16(m_alternateFlag ? 26 : 16), fallback);
        c2 = PaletteColour(s.U16(m_alternateFlag ? 28 : 18), fallback);
    }
    if (out1) *out1 = c1;
    if (out2) *out2 = c2;
}

float NcConfigMap::GetLandmarkOpacity(int style) const {
    const auto& t = m_manager.LandmarkStyles();
    if (style < 0 || static_cast<size_t>(style) >= t.size()) return 0.0f;
    const uint16_t v = t[static_cast<size_t>(style)].U16(2);
    return CConfigManager::OpacityFromByte(static_cast<uint8_t>(std::min<uint16_t>(v, 10)));
}

void NcConfigMap::GetLandmarkStyleBytes(int style, uint8_t* out0, uint8_t* out1) const {
    const auto& t = m_manager.LandmarkStyles();
    const bool ok = style >= 0 && static_cast<size_t>(style) < t.size();
    if (out0) *out0 = ok ? t[static_cast<size_t>(style)].U8(0) : 0;
    if (out1) *out1 = ok ? t[static_cast<size_t>(style)].U8(1) : 0;
}

int NcConfigMap::GetLandmarkColour(int landmark, int drawType, uint32_t* outColour, int* outStyle) const {
    const auto& landmarks = m_manager.Landmarks();
    if (landmark < 0 || static_cast<size_t>(landmark) >= landmarks.size()) return 0;
    const StyleLandmark& l = landmarks[static_cast<size_t>(landmark)];
    const int style = l.record.U16(26);
    const auto& styles = m_manager.LandmarkStyles();
    if (l.record.U32(0) < 0x1000000 || style == 0 || static_cast<size_t>(style) >= styles.size()) return 0;
    static constexpr size_t kNormal[3] = {14, 10, 12}, kAlternate[3] = {24, 20, 22};
    if (drawType < 0 || drawType > 2) return 0;
    const size_t at = (m_alternateFlag ? kAlternate : kNormal)[drawType];
    if (outColour) *outColour = PaletteColour(styles[static_cast<size_t>(style)].U16(at), 0xFFFFFF);
    if (outStyle) *outStyle = style;
    return 1;
}

namespace {
void LandmarkSizes(const StyleLandmark& l, StyleSymbol* out) {
    const int a0 = l.image.U16(0), a1 = l.image.U16(2);
    out->a = a1;
    out->b = a0;
    out->c = a0 / 2;
    out->d = a1 / 2;
}
}  // namespace

int NcConfigMap::GetNamedLandmarkImage(int index, StyleSymbol* out) const {
    const auto& landmarks = m_manager.Landmarks();
    if (!out || index < 0 || static_cast<size_t>(index) >= landmarks.size()) return 0;
    if (!m_manager.GetLandmarkImage(index, &out->image, &out->hold)) return 0;
    LandmarkSizes(landmarks[static_cast<size_t>(index)], out);
    return 1;
}

int NcConfigMap::GetLandmarkImage(int index, StyleSymbol* out) const {
    const int named = m_manager.LandmarkCount() - m_manager.UnnamedLandmarkCount();
    return index < named ? GetNamedLandmarkImage(index, out) : GetUnnamedLandmarkImage(index - named, out);
}

int NcConfigMap::GetUnnamedLandmarkImage(int index, StyleSymbol* out) const {
    const auto& landmarks = m_manager.Landmarks();
    const int named = m_manager.LandmarkCount() - m_manager.UnnamedLandmarkCount();
    if (!out || index < 0 || index >= m_manager.UnnamedLandmarkCount()) return 0;
    if (!m_manager.ReadLandmarkImage(index + named, &out->image)) return 0;
    LandmarkSizes(landmarks[static_cast<size_t>(index + named)], out);
    return 1;
}
