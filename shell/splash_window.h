#pragma once
// The start picture and sound shown while the start-up thread works. The
// picture is read once, through the byte cursor, when the splash starts; a
// damaged file is refused (the program starts without a picture). The main
// thread paints it: the window system is touched by one thread only.
#include <cstdint>
#include <string>

#include "render/dib_image.h"
#include "shell/sound_out.h"

class NvPresenter;

// A BMP file's pixels as RGB565 (24 and 32 bits, 16 bits as 5-5-5 or with
// 5-6-5 bit-field masks, 8 bits through a colour table); false with a
// message for a damaged or unsupported file.
bool DecodeBmp565(const uint8_t* data, size_t size, DibImage565& out, std::string* error);

class SplashWindow {
public:
    // uiFolder: the native UI folder; the files are "SPLASH/splash.BMP" and
    // "SPLASH/splash.wav" in it (any case). enabled: the SPLASH setting.
    void Start(const std::string& uiFolder, bool enabled, SoundSink* sound);
    // Paints the picture over the whole client (nothing without one).
    void Paint(NvPresenter& window, int32_t clientWidth, int32_t clientHeight);
    // A press on the splash stops its sound.
    void OnPress();
    // Closing twice is harmless.
    void Close();
    bool IsOpen() const { return m_open; }
    bool HasPicture() const { return !m_picture.Empty(); }

private:
    bool m_open = false;
    DibImage565 m_picture;
    WaveClip m_sound;
    SoundSink* m_sink = nullptr;
};
