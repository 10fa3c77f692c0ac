// The program's real window on a private X display (Xvfb, started and
// stopped by the test): an 800 x 480 window whose X screenshot shows what
// the program drew, and the refusal on a 640 x 480 display. Skipped where
// Xvfb is not installed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "shell/navi_app.h"
#include "support/cached_folder.h"
#include "support/temp_dir.h"
#include "tests/shell/navi_process.h"

namespace {

using navitest::BuiltProgram;
using navitest::ChildProcess;

// A private X server; the display number is the one it reports.
class PrivateXServer {
public:
    explicit PrivateXServer(const std::string& screen) {
        if (::access("/usr/bin/Xvfb", X_OK) != 0) return;
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
            const std::string fd = std::to_string(fds[1]);
            ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
                    "tcp", "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (::poll(&p, 1, 30000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
        ::close(fds[0]);
        if (!number.empty()) m_display = ":" + number;
    }
    ~PrivateXServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

bool WriteDemoRoot(const std::string& dir) {
    ChildProcess make(BuiltProgram("tools/make_demo_root"), {dir});
    return make.Wait(600000) == 0;
}

// An X screenshot of the whole display (xwd's format, 32 bits a pixel).
struct XShot {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;   // 0xRRGGBB
    uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

bool ReadXwd(const std::vector<uint8_t>& b, XShot& out) {
    auto u32 = [&](size_t at) {
        return at + 4 > b.size() ? 0u
                                 : (uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3]);
    };
    const uint32_t headerSize = u32(0), width = u32(16), height = u32(20), byteOrder = u32(28);
    // Four bytes a pixel (a 24-bit depth is stored in 32-bit units).
    const uint32_t bytesPerLine = u32(48), redMask = u32(56), colours = u32(76);
    if (bytesPerLine < width * 4 || width == 0 || height == 0 || width > 8192 || height > 8192) return false;
    const size_t start = headerSize + static_cast<size_t>(colours) * 12;
    if (start + static_cast<size_t>(bytesPerLine) * height > b.size()) return false;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.rgb.resize(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = &b[start + static_cast<size_t>(y) * bytesPerLine + x * 4];
            uint32_t v = byteOrder == 0 ? (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0])
                                        : (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]);
            if (redMask == 0xFF) v = (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
            out.rgb[static_cast<size_t>(y) * width + x] = v & 0xFFFFFF;
        }
    }
    return true;
}

int Field(const std::string& text, const std::string& name) {
    const size_t at = text.find(name);
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + name.size());
}

bool Near(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 8) return false;
    }
    return true;
}

class XWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
        root = dir.File("root");
        navitest::ProgramLock lock;
        ASSERT_TRUE(testsupport::CopyCachedFolder("demo-root-x", WriteDemoRoot, root));
    }
    std::vector<std::string> Env(const std::string& display) const {
        // The X client libraries and the message bus SDL opens keep some
        // allocations to the end of the process; the headless runs of the
        // program check for leaks.
        return {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "XAUTHORITY=/dev/null",
                "ASAN_OPTIONS=detect_leaks=0"};
    }
    testsupport::TempDir dir;
    std::string root;
};

TEST_F(XWindowTest, WindowIs800By480AndTheScreenShowsWhatTheProgramDrew) {
    PrivateXServer x("1024x768x24");
    ASSERT_FALSE(x.Display().empty()) << "Xvfb did not start";
    ChildProcess navi(BuiltProgram("shell/navi"),
                      {"--root", root, "--ipc", dir.File("ipc"), "--trace", "2", "--no-message-box"}, Env(x.Display()));
    // The splash is painted before the start-up thread starts.
    ASSERT_TRUE(navi.WaitFor("[STARTUP]")) << navi.Output();
    ChildProcess info("/usr/bin/xwininfo", {"-display", x.Display(), "-name", "Navi"});
    ASSERT_EQ(info.Wait(), 0) << info.Output();
    EXPECT_EQ(Field(info.Output(), "Width: "), 800) << info.Output();
    EXPECT_EQ(Field(info.Output(), "Height: "), 480) << info.Output();
    const int left = Field(info.Output(), "Absolute upper-left X:  ");
    const int top = Field(info.Output(), "Absolute upper-left Y:  ");
    ChildProcess shot("/usr/bin/xwd", {"-display", x.Display(), "-root", "-silent", "-out", dir.File("screen.xwd")});
    ASSERT_EQ(shot.Wait(), 0) << shot.Output();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(dir.File("screen.xwd"), bytes));
    XShot screen;
    ASSERT_TRUE(ReadXwd(bytes, screen)) << bytes.size() << " bytes";
    ASSERT_GE(left, 0);
    ASSERT_LE(left + 800, screen.width);
    ASSERT_LE(top + 480, screen.height);
    // The splash: the white band, the road below it.
    EXPECT_TRUE(Near(screen.At(left + 400, top + 230), 0xF0F0F5)) << std::hex << screen.At(left + 400, top + 230);
    EXPECT_TRUE(Near(screen.At(left + 400, top + 470), 0x464646)) << std::hex << screen.At(left + 400, top + 470);
    navi.Signal(SIGTERM);
    EXPECT_EQ(navi.Wait(), 0) << navi.Output();
    EXPECT_EQ(navi.Output().find("did not stop"), std::string::npos);
}

TEST_F(XWindowTest, SmallDisplayIsRefusedWithTheMessage) {
    PrivateXServer x("640x480x24");
    ASSERT_FALSE(x.Display().empty()) << "Xvfb did not start";
    ChildProcess navi(BuiltProgram("shell/navi"),
                      {"--root", root, "--ipc", dir.File("ipc"), "--no-message-box"}, Env(x.Display()));
    EXPECT_EQ(navi.Wait(), kExitFrameRefused) << navi.Output();
    EXPECT_NE(navi.Output().find("본 프로그램은 800x480 이상의 해상도에서만 동작합니다."), std::string::npos)
        << navi.Output();
}

}  // namespace
