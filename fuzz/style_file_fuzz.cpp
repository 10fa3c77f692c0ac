// The map style file: the input is a whole "MNCF" file. Whatever the loader
// accepts is then asked every kind of style question the renderers ask, in
// each colour mode and at every level, and every symbol image it hands out
// is read row by row, so a check that lets a damaged offset, count or index
// through shows up as a read outside the data.
#include <cstddef>
#include <cstdint>

#include "foundation/debug_trace.h"
#include "render/config_map.h"
#include "render/style_file.h"

namespace {

uint32_t Touch(const MneBitmapDesc& image) {
    uint32_t sum = 0;
    const auto* bytes = static_cast<const uint8_t*>(image.bits);
    const int32_t rowBytes = (image.width * image.bitsPixel + 7) / 8;
    for (int32_t y = 0; y < image.height; ++y) sum += bytes[y * image.widthBytes] + bytes[y * image.widthBytes + rowBytes - 1];
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        SetDebugTraceSink([](std::string_view) {}, false);
        return true;
    }();
    (void)quiet;
    static CConfigManager manager;
    if (manager.LoadConfigFromMemory(data, size, 0) != kStyleLoadOk) return 0;
    NcConfigMap style(manager);
    uint32_t sum = 0;
    for (int mode = 0; mode < manager.ModeCount(); ++mode) {
        manager.LoadMapColor(mode);
        sum += style.GetBackgroundColour(0);
    }
    const int classes = static_cast<int>(manager.ClassHeads().size()) + 1;
    const int lines = static_cast<int>(manager.RangedClasses().size()) + 1;
    const int pois = manager.SymbolClassCount() + 1;
    for (int level : {2, 16}) {
        style.SetScale(style.ScaleOfLevel(level));
        for (int alternate = 0; alternate < 2; ++alternate) {
            style.SetAlternateStyle(alternate);
            style.SetDrawOptions(1 + level % 4, 1 + level % 4, level % 4, level % 4);
            for (int c = 0; c < classes && c < 16; ++c) {
                const StyleDrawStyle* pen = nullptr;
                const StyleColourRef* brush = nullptr;
                const StyleColourRef* brush2 = nullptr;
                if (style.GetClassStyle(c, &pen, &brush, alternate, level % 2)) sum += pen ? pen->colour : brush ? brush->colour : 0;
                if (style.GetClassStyle3(c, &pen, &brush, &brush2)) sum += pen ? pen->width : 1;
                StyleDrawStyle copy;
                StyleColourRef ref;
                sum += static_cast<uint32_t>(style.GetClassStyleCopy(c, &copy, &ref, alternate));
                sum += static_cast<uint32_t>(style.GetClassLevel(c));
            }
            for (int c = 0; c < lines && c < 16; ++c) {
                const StyleDrawStyle* pen = nullptr;
                if (style.GetRangedStyle(c, &pen)) sum += pen->colour;
                sum += static_cast<uint32_t>(style.GetRangedLevel(c));
            }
            for (int c = 0; c < pois && c < 16; ++c) {
                StyleSymbol s;
                if (style.GetSymbolClassSymbol(c, &s)) sum += Touch(s.image);
                SymbolClassAttributes attr;
                int visible = 0;
                sum += static_cast<uint32_t>(style.GetSymbolClassAttributes(c, &attr, &visible));
                sum += static_cast<uint32_t>(style.GetSymbolClassLabelAttributes(c, &attr));
                sum += static_cast<uint32_t>(style.GetSymbolClassFlags(c));
            }
        }
    }
    for (int i = 0; i < 24; ++i) {
        StyleSymbol s;
        if (style.GetMap14Symbol(i * 5, &s)) sum += Touch(s.image);
        if (style.GetMap16Symbol(i % 20, &s)) sum += Touch(s.image);
        if (style.GetPoiSymbol(i % 20, &s)) sum += Touch(s.image);
        if (style.GetGroupSymbol(i % 8, i % 2, &s)) sum += Touch(s.image);
        if (i < 20 && style.GetMap14SecondRunSymbol(i, &s)) sum += Touch(s.image);
        if (i < 20 && style.GetMap14ThirdRunSymbol(i, &s)) sum += Touch(s.image);
        if (style.GetSignSymbol(i + 6 * (i & 1), i * 5, &s)) sum += Touch(s.image);
        if (i < 4 && style.GetKeyedSymbol(static_cast<uint32_t>(i), i & 1, &s)) sum += Touch(s.image);
        sum += style.GetLandmarkStyleValue(i % 8, i % 4) + manager.GetLandmarkField(i % 8, i % 3);
    }
    for (int i = 0; i < manager.Section17Count(); ++i) sum += manager.Section17(i)->dataSize;
    for (int i = 0; i < 40; ++i) sum += static_cast<uint32_t>(style.GetPatternBrush(i, i & 1) != nullptr);
    return sum == 0xFFFFFFFF ? 1 : 0;   // keeps the reads from being optimised away
}
