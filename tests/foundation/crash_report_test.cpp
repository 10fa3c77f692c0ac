#include "foundation/crash_report.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/thread_util.h"
#include "support/temp_dir.h"

namespace {

__attribute__((noinline, no_sanitize("address", "undefined"))) void TouchNull() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 42;
}

void CrashOnNamedThread(const std::string& reportPath) {
    InstallCrashHandler(reportPath);
    SetCrashReportVersions("1.0.0", "250101", "250102", "", "250103");
    std::thread([] {
        platform::SetCurrentThreadName("MODULEGPS");
        PrepareThreadForCrashReport();
        TouchNull();
    }).join();
}

TEST(CrashReportDeathTest, FaultOnNamedThreadWritesReportAndStillDies) {
    testsupport::TempDir dir;
    const std::string report = dir.File("errlog.txt");
    EXPECT_DEATH(CrashOnNamedThread(report), "");

    const std::string text = dir.Read("errlog.txt");
    EXPECT_EQ(text.rfind("[MODULEGPS]\n", 0), 0u) << text;
    EXPECT_NE(text.find("BASEMAP\t\t250101\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Code\t\t0x0000000b (SIGSEGV)"), std::string::npos) << text;
    EXPECT_NE(text.find("Address\t\t0x00000000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Information[0]\t"), std::string::npos) << text;
}

void ThrowOnWorker(const std::string& reportPath) {
    InstallCrashHandler(reportPath);
    std::thread([] {
        platform::SetCurrentThreadName("MODULERP");
        RunThreadBodyGuarded("MODULERP", [] { throw std::runtime_error("route table broken"); });
    }).join();
}

TEST(CrashReportDeathTest, EscapingExceptionIsReportedUnderTheThreadName) {
    testsupport::TempDir dir;
    EXPECT_DEATH(ThrowOnWorker(dir.File("errlog.txt")), "");
    const std::string text = dir.Read("errlog.txt");
    EXPECT_EQ(text.rfind("[MODULERP]\n", 0), 0u) << text;
    EXPECT_NE(text.find("(route table broken)"), std::string::npos) << text;
    EXPECT_NE(text.find("Parameters\t0x00000000\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Information["), std::string::npos) << text;
}

}  // namespace
