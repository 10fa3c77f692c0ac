// Writes the demo data root: the folders and files the program reads at
// start-up. Usage: make_demo_root <folder>
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/paths.h"
#include "tools/writers/app_files_writer.h"
#include "tools/writers/demo_labels.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"
#include "tools/writers/route_fixture.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/route_data_writer.h"
#include "tools/writers/settings_writer.h"
#include "tools/writers/theme_ic_writer.h"
#include "tools/writers/traffic_writer.h"
#include "tools/writers/ui_resource_writer.h"
#include "tools/writers/voice_bank_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_root <folder>\n");
        return 2;
    }
    const std::string root = argv[1];
    static const char* const kFolders[] = {"App", "UI", "MAP", "User/Navi/Config", "Navi/Config", "Font"};
    for (const char* folder : kFolders) {
        if (!platform::MakeDirectories(root + "/" + folder)) {
            std::fprintf(stderr, "make_demo_root: cannot create %s/%s\n", root.c_str(), folder);
            return 1;
        }
    }
    std::string error;
    if (!settingswriter::WriteDemoSettings(root, &error)) {
        std::fprintf(stderr, "make_demo_root: settings files: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteDemoMap(root, &error)) {
        std::fprintf(stderr, "make_demo_root: map files: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteDemoSearch(root, &error)) {
        std::fprintf(stderr, "make_demo_root: search files: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteDemoThemesAndCodes(root, &error)) {
        std::fprintf(stderr, "make_demo_root: theme, interchange and book-code files: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteDemoRouteData(root, &error)) {
        std::fprintf(stderr, "make_demo_root: route files: %s\n", error.c_str());
        return 1;
    }
    if (!uiwriter::WriteDemoUi(root, &error)) {
        std::fprintf(stderr, "make_demo_root: UI resources: %s\n", error.c_str());
        return 1;
    }
    if (!demostyle::WriteDemoStyle(root, &error)) {
        std::fprintf(stderr, "make_demo_root: map style: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteMapFont(root, &error)) {
        std::fprintf(stderr, "make_demo_root: map font: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteDemoLayers(root, &error)) {
        std::fprintf(stderr, "make_demo_root: drawing layers: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteDemoGuideDat(root, &error)) {
        std::fprintf(stderr, "make_demo_root: saved route: %s\n", error.c_str());
        return 1;
    }
    if (!appwriter::WriteDemoAppFiles(root, &error)) {
        std::fprintf(stderr, "make_demo_root: program settings, splash and sounds: %s\n", error.c_str());
        return 1;
    }
    if (!writers::WriteDemoVoiceBanks(root, &error)) {
        std::fprintf(stderr, "make_demo_root: voice banks: %s\n", error.c_str());
        return 1;
    }
    // Fuel prices stamped now, so the fuel search finds them for 15 days.
    const uint32_t priceTime = static_cast<uint32_t>(platform::LocalToEpochSeconds(platform::GetLocalTime()));
    if (!writers::WriteDemoTraffic(root, priceTime, &error)) {
        std::fprintf(stderr, "make_demo_root: traffic files: %s\n", error.c_str());
        return 1;
    }
    std::printf("demo data root written to %s\n", root.c_str());
    return 0;
}
