// Start-up hands guidance the open map's road names and link ends, so
// that road names and the continuity check of a route work in the program.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/debug_trace.h"
#include "mapdb/mgr_map.h"
#include "platform/codepage.h"
#include "settings/module_svc.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"

namespace {

GuideRoute Route(std::initializer_list<int32_t> linkIds) {
    GuideRoute route;
    EXPECT_TRUE(route.AllocateArrays(static_cast<int32_t>(linkIds.size())));
    int32_t i = 0;
    for (int32_t id : linkIds) route.arrays[kGuideArrayLinkId][i++] = id;
    return route;
}

TEST(Startup, GuidanceReadsRoadNamesAndLinkEndsFromTheOpenMap) {
    SetDebugTraceSink([](std::string_view) {}, false);
    testsupport::TempDir dir;
    std::string error;
    ASSERT_TRUE(writers::WriteDemoMap(dir.Path(), &error)) << error;
    CMgrMap map;
    ASSERT_EQ(map.Open(dir.Path() + "/"), 1) << map.LastOpenFailure();
    InstallGuideMapServices(map);

    CMgrConfigModuleSVC svc;
    // Street 0 runs east from the grid origin in links 1 to 4.
    const writers::DemoLink& first = writers::DemoLinks()[0];
    MneLinkGuideRecord record{};
    ASSERT_EQ(map.GetLinkRecord(first.number, &record), 1);
    std::u16string name;
    EXPECT_EQ(svc.GetRoadName(static_cast<int32_t>(record.nameId), &name), 1);
    EXPECT_EQ(platform::Utf16ToUtf8(name), first.nameUtf8);

    struct Case {
        const char* what;
        GuideRoute route;
        int expected;
    } cases[] = {
        {"links in a row", Route({1, 2, 3}), 1},
        {"back the same way", Route({3 | (1 << 27), 2 | (1 << 27)}), 1},
        {"a link skipped", Route({1, 3}), CMgrConfigModuleSVC::kRouteGap},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(svc.SetSlotRoute(1, std::move(c.route), nullptr, 0), 1);
        EXPECT_EQ(svc.CheckRouteContinuity(1), c.expected);
    }
    svc.ClearSlotGuideData();
    SetGuideMapServices({});
    SetDebugTraceSink({});
}

}  // namespace
