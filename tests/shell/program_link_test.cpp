// The program on the link, end to end: the headless program on the demo
// data root, with navi_peer listening beside it. The program's script sends
// commands through the link to its own window as another program would; the
// peer sees the status at creation and at shut-down, a bad route-point block is
// dropped with a trace, and the exit request (command 1016) ends the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_fixture.h"

namespace {

TEST(ProgramLinkEndToEnd, HeadlessProgramDrivenThroughTheLink) {
    testsupport::TempDir dir;
    linktest::ToolProcess demo("make_demo_root", {dir.File("root")});
    ASSERT_EQ(demo.Wait(600), 0) << demo.Report();

    const std::string folder = dir.File("rt/navi-windows");
    linktest::ToolProcess peer("navi_peer", {"--folder", folder, "--listen-ms", "-1"});
    ASSERT_TRUE(peer.WaitSaw("\"listening\""));

    dir.Write("script.txt",
              "wait 500\n"
              "command 1017 42\n"
              "command 1023 text bad\n"
              "command 1016\n"
              "wait 500\n"
              // Never reached: the exit request ends the run (else this
              // step fails it).
              "expect-chapter 999\n");
    linktest::ToolProcess navi("shell/navi", {"--root", dir.File("root"), "--ipc", dir.File("rt"), "--headless",
                                              "--script", dir.File("script.txt"), "--trace", "1", "--module-wait",
                                              "1000"},
                               true);
    EXPECT_EQ(navi.Wait(600), 0) << navi.Report();
    EXPECT_NE(navi.Report().find("[LINK] window "), std::string::npos) << navi.Report();
    EXPECT_NE(navi.Report().find("[LINK] command 1023: block of 8 bytes dropped"), std::string::npos)
        << navi.Report();
    // Status 0 at creation, 1 after shut-down, both broadcast to the peer.
    EXPECT_TRUE(peer.WaitSaw("\"name\":\"BMSG_PELOX\",\"wParam\":0,\"lParam\":0}"));
    EXPECT_TRUE(peer.WaitSaw("\"name\":\"BMSG_PELOX\",\"wParam\":1,\"lParam\":0}")) << peer.Report();
    // The program's window is gone from the folder; the peer's stays.
    EXPECT_EQ(LinkWindow::ListWindows(folder).size(), 1u);
}

}  // namespace
