#pragma once
// Writes what the program reads at start beside the map data: the system
// settings "App\System.ini" and the condition values "App\Condition.ini",
// the splash picture and sound ("UI\SPLASH\splash.BMP", "splash.wav") and
// the touch sounds ("MAP\Wave\Touch*.wav").
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace appwriter {

// A mono 16-bit PCM wave of the given tones (frequency Hz, milliseconds),
// each faded in and out.
std::vector<uint8_t> ToneWave(const std::vector<std::pair<int, int>>& tones, int sampleRate = 22050);

// The splash picture: 800 x 480, 24 bits.
std::vector<uint8_t> SplashPicture();

// System settings of the demo beside the defaults; extra lines replace or
// add keys (a test's "HIDEMODE" 1).
bool WriteAppSettings(const std::string& root, const std::vector<std::pair<std::string, int>>& extra,
                      std::string* error = nullptr);

// Everything above under root.
bool WriteDemoAppFiles(const std::string& root, std::string* error = nullptr);

}  // namespace appwriter
