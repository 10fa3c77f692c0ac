#include "tools/writers/app_files_writer.h"

#include <algorithm>
#include <cmath>

#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/settings_writer.h"

namespace appwriter {

namespace {

bool Save(const std::string& path, const void* data, size_t size, std::string* error) {
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && !platform::MakeDirectories(path.substr(0, slash))) {
        if (error) *error = "cannot create the folder of " + path;
        return false;
    }
    return platform::AtomicReplaceFile(path, data, size, error);
}

// The demo's system settings: the screen, the splash, the start mode and
// the checks of the saved route.
std::vector<std::pair<std::string, int>> DemoSettings() {
    return {{"SCREENWIDTH", 800}, {"SCREENHEIGHT", 480}, {"SPLASH", 1},     {"HIDEMODE", 0},
            {"DEMO", 0},          {"ROTATE", 0},         {"DEBUGVIEW", 0},  {"TPEG", 0},
            {"RTCVALID", 1},      {"GPSPREDICTION", 500}, {"RPCACHE", 10240}, {"RPCACHEINIT", 0},
            {"SWVOLUMECTRL", 0},  {"SWAMP", 0},          {"TASKBARHIDE", 0}, {"PCM", 0},
            {"VOICEWARE", 0},     {"HIL", 0}};
}

}  // namespace

std::vector<uint8_t> ToneWave(const std::vector<std::pair<int, int>>& tones, int sampleRate) {
    std::vector<int16_t> samples;
    for (const auto& [hz, ms] : tones) {
        const int count = sampleRate * ms / 1000;
        const int fade = std::max(1, std::min(count / 4, sampleRate / 100));
        for (int i = 0; i < count; ++i) {
            const double envelope = std::min({1.0, i / static_cast<double>(fade), (count - i) / static_cast<double>(fade)});
            samples.push_back(static_cast<int16_t>(9000.0 * envelope * std::sin(2 * M_PI * hz * i / sampleRate)));
        }
    }
    platform::ByteWriter w;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    w.Bytes("RIFF", 4);
    w.U32(36 + dataBytes);
    w.Bytes("WAVEfmt ", 8);
    w.U32(16);
    w.U16(1);
    w.U16(1);
    w.U32(static_cast<uint32_t>(sampleRate));
    w.U32(static_cast<uint32_t>(sampleRate * 2));
    w.U16(2);
    w.U16(16);
    w.Bytes("data", 4);
    w.U32(dataBytes);
    for (int16_t s : samples) w.I16(s);
    return w.Data();
}

std::vector<uint8_t> SplashPicture() {
    bmpwriter::BmpDesc d;
    d.width = 800;
    d.height = 480;
    d.bitsPerPixel = 24;
    d.pixels.resize(800 * 480);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 800; ++x) {
            // A night-blue sky brightening to the horizon, a road in
            // perspective and a white band across the middle.
            uint32_t r = 10 + y / 8, g = 30 + y / 5, b = 90 + y / 4;
            if (y > 300) {
                const int half = (y - 300) * 3;
                if (std::abs(x - 400) < half) r = g = b = 70;
                if (std::abs(x - 400) < 4 && (y / 20) % 2 == 0) r = g = b = 230;
            }
            if (y >= 200 && y < 260 && x >= 150 && x < 650) {
                r = 240;
                g = 240;
                b = 245;
            }
            d.pixels[static_cast<size_t>(y) * 800 + x] = r | (g << 8) | (b << 16);
        }
    }
    return bmpwriter::BuildBmp(d);
}

bool WriteAppSettings(const std::string& root, const std::vector<std::pair<std::string, int>>& extra,
                      std::string* error) {
    std::vector<std::pair<std::string, int>> settings = DemoSettings();
    for (const auto& [key, value] : extra) {
        bool replaced = false;
        for (auto& s : settings) {
            if (s.first == key) {
                s.second = value;
                replaced = true;
            }
        }
        if (!replaced) settings.emplace_back(key, value);
    }
    std::vector<settingswriter::SettingLine> lines;
    for (const auto& [key, value] : settings) lines.push_back({key, 1, std::to_string(value)});
    lines.push_back({"WNDNAME", 2, "Navi"});
    std::string bytes;
    if (!settingswriter::SettingsFileBytes(lines, bytes, error)) return false;
    if (!Save(root + "/App/System.ini", bytes.data(), bytes.size(), error)) return false;
    // The receiver's port and rate (none on a desktop: the program starts
    // without a receiver) and the sound level.
    const std::vector<settingswriter::SettingLine> condition = {
        {"GPSPORT", 1, "0"}, {"GPSBAUD", 1, "9600"}, {"SWVOLUME", 1, "15"}, {"SWMUTE", 1, "0"}};
    if (!settingswriter::SettingsFileBytes(condition, bytes, error)) return false;
    return Save(root + "/App/Condition.ini", bytes.data(), bytes.size(), error);
}

bool WriteDemoAppFiles(const std::string& root, std::string* error) {
    if (!WriteAppSettings(root, {}, error)) return false;
    const std::vector<uint8_t> picture = SplashPicture();
    if (!Save(root + "/UI/SPLASH/splash.BMP", picture.data(), picture.size(), error)) return false;
    const std::vector<uint8_t> chime = ToneWave({{523, 180}, {659, 180}, {784, 360}});
    if (!Save(root + "/UI/SPLASH/splash.wav", chime.data(), chime.size(), error)) return false;
    const struct {
        const char* name;
        int hz;
        int ms;
    } kTouch[] = {{"TouchOK", 1200, 60},      {"TouchCancel", 700, 80}, {"TouchKeyboard", 1500, 30},
                  {"TouchVolume", 1000, 50}, {"TouchCapture", 1800, 120}};
    for (const auto& t : kTouch) {
        const std::vector<uint8_t> wave = ToneWave({{t.hz, t.ms}});
        if (!Save(root + "/MAP/Wave/" + t.name + ".wav", wave.data(), wave.size(), error)) return false;
    }
    return true;
}

}  // namespace appwriter
