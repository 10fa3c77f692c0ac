// The splash picture and sound: the BMP forms it reads, damaged files
// refused through the byte cursor, the picture read once and painted over
// the client, the sound handed to the sink and stopped by a press.
#include "shell/splash_window.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "tools/writers/bmp_writer.h"
#include "uikit/presenter.h"

namespace {

// A 4 x 3 picture: red top-left, blue bottom-right, green elsewhere.
bmpwriter::BmpDesc Picture(int bits, bool topDown, bool masks = false) {
    bmpwriter::BmpDesc d;
    d.width = 4;
    d.height = 3;
    d.bitsPerPixel = bits;
    d.topDown = topDown;
    d.bitfields565 = masks;
    d.pixels.assign(12, 0x0000FF00);
    d.pixels[0] = 0x000000FF;
    d.pixels[11] = 0x00FF0000;
    if (bits == 8) {
        d.palette = {0x0000FF00, 0x000000FF, 0x00FF0000};
        d.pixels.assign(12, 0);
        d.pixels[0] = 1;
        d.pixels[11] = 2;
    }
    return d;
}

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F;

TEST(SplashPictureTest, ReadsTheBmpForms) {
    const struct {
        const char* name;
        bmpwriter::BmpDesc desc;
    } kCases[] = {{"24 bits", Picture(24, false)},
                  {"24 bits top-down", Picture(24, true)},
                  {"32 bits", Picture(32, false)},
                  {"16 bits 5-6-5", Picture(16, false, true)},
                  {"16 bits 5-5-5", Picture(16, false)},
                  {"8 bits", Picture(8, false)}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> file = bmpwriter::BuildBmp(c.desc);
        DibImage565 image;
        std::string error;
        ASSERT_TRUE(DecodeBmp565(file.data(), file.size(), image, &error)) << error;
        ASSERT_EQ(image.Width(), 4);
        ASSERT_EQ(image.Height(), 3);
        // 5-5-5 green widens to 0x07C0: compare channels' top bits.
        EXPECT_EQ(image.Pixel(0, 0) & 0xF800, kRed);
        EXPECT_EQ(image.Pixel(3, 2) & 0x001F, kBlue);
        EXPECT_EQ(image.Pixel(1, 1) & 0x07C0, kGreen & 0x07C0);
    }
}

TEST(SplashPictureTest, DamagedFilesAreRefused) {
    const std::vector<uint8_t> good = bmpwriter::BuildBmp(Picture(24, false));
    auto with = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> f = good;
        std::memcpy(f.data() + offset, &value, 4);
        return f;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } kCases[] = {
        {"empty", {}},
        {"not BM", with(0, 0x00004141)},
        {"cut in the header", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
        {"pixels cut short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"bits offset past the end", with(10, 0x7FFFFFF0)},
        {"bits offset inside the header", with(10, 20)},
        {"huge width", with(18, 0x7FFFFFFF)},
        {"zero height", with(22, 0)},
        {"compressed", with(30, 1)},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        DibImage565 image;
        std::string error;
        EXPECT_FALSE(DecodeBmp565(c.bytes.data(), c.bytes.size(), image, &error));
        EXPECT_FALSE(error.empty());
    }
}

std::vector<uint8_t> Wave(uint32_t samples) {
    std::vector<uint8_t> w;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { w.push_back(static_cast<uint8_t>(v)); w.push_back(static_cast<uint8_t>(v >> 8)); };
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    u32(36 + samples * 2);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16);
    u16(1);
    u16(1);
    u32(22050);
    u32(44100);
    u16(2);
    u16(16);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    u32(samples * 2);
    for (uint32_t i = 0; i < samples; ++i) u16(static_cast<uint16_t>(i * 997));
    return w;
}

TEST(SplashWindowTest, PictureReadOncePaintedOverTheClientAndSoundPlayed) {
    testsupport::TempDir dir;
    const std::vector<uint8_t> bmp = bmpwriter::BuildBmp(Picture(24, false));
    const std::vector<uint8_t> wav = Wave(22050);
    ASSERT_TRUE(platform::MakeDirectories(dir.File("UI/Splash")));
    dir.Write("UI/Splash/SPLASH.bmp", std::string(bmp.begin(), bmp.end()));
    dir.Write("UI/Splash/splash.WAV", std::string(wav.begin(), wav.end()));
    CaptureSoundSink sound;
    SplashWindow splash;
    splash.Start(dir.File("UI"), true, &sound);
    ASSERT_TRUE(splash.HasPicture());
    // Removing the file does not matter: the picture was read at start.
    platform::RemoveFile(dir.File("UI/Splash/SPLASH.bmp"));
    NvHeadlessPresenter window(8, 6);
    splash.Paint(window, 8, 6);
    splash.Paint(window, 8, 6);
    EXPECT_EQ(window.PresentCount(), 2);
    EXPECT_EQ(window.Frame().Pixel(0, 0), kRed);     // stretched 2 x 2
    EXPECT_EQ(window.Frame().Pixel(1, 1), kRed);
    EXPECT_EQ(window.Frame().Pixel(7, 5), kBlue);
    EXPECT_EQ(window.Frame().Pixel(4, 2), kGreen);
    const std::vector<WaveClip> clips = sound.Clips();
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(clips[0].LengthMs(), 1000u);
    EXPECT_EQ(clips[0].sampleRate, 22050);
    splash.OnPress();
    EXPECT_EQ(sound.StopCount(), 1);
    splash.Close();
    splash.Close();
    splash.Paint(window, 8, 6);
    EXPECT_EQ(window.PresentCount(), 2);
}

TEST(SplashWindowTest, SplashSettingOffOrDamagedPictureShowsNothing) {
    testsupport::TempDir dir;
    ASSERT_TRUE(platform::MakeDirectories(dir.File("UI/SPLASH")));
    dir.Write("UI/SPLASH/splash.BMP", "BM not really a picture");
    CaptureSoundSink sound;
    {
        SplashWindow splash;
        splash.Start(dir.File("UI"), true, &sound);
        EXPECT_TRUE(splash.IsOpen());
        EXPECT_FALSE(splash.HasPicture());
    }
    const std::vector<uint8_t> bmp = bmpwriter::BuildBmp(Picture(24, false));
    dir.Write("UI/SPLASH/splash.BMP", std::string(bmp.begin(), bmp.end()));
    SplashWindow off;
    off.Start(dir.File("UI"), false, &sound);
    EXPECT_FALSE(off.HasPicture());
    EXPECT_TRUE(sound.Clips().empty());
}

TEST(WaveTest, DamagedWavesAreRefused) {
    const std::vector<uint8_t> good = Wave(100);
    WaveClip clip;
    ASSERT_TRUE(ParseWave(good.data(), good.size(), clip, nullptr));
    EXPECT_EQ(clip.samples.size(), 200u);
    std::vector<uint8_t> cut(good.begin(), good.end() - 1);
    std::vector<uint8_t> notPcm = good;
    notPcm[20] = 3;
    std::vector<uint8_t> noData(good.begin(), good.begin() + 36);
    for (const auto* bytes : {&cut, &notPcm, &noData}) {
        std::string error;
        EXPECT_FALSE(ParseWave(bytes->data(), bytes->size(), clip, &error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
