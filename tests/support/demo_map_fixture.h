// The demo district's map, written and opened once per test suite, and the
// guidance route the positioning code follows, put into a service block.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mapdb/mgr_map.h"
#include "settings/module_rp.h"
#include "settings/module_svc.h"
#include "support/temp_dir.h"
#include "tools/writers/demo_map.h"

namespace testsupport {

class DemoMapTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir();
        std::string error;
        ASSERT_TRUE(writers::WriteDemoMap(dir->Path(), &error)) << error;
        map = new CMgrMap();
        ASSERT_EQ(map->Open(dir->Path()), 1) << map->LastOpenFailure();
    }
    static void TearDownTestSuite() {
        delete map;
        delete dir;
        map = nullptr;
        dir = nullptr;
    }

    static inline TempDir* dir = nullptr;
    static inline CMgrMap* map = nullptr;
};

// Puts the links into route slot 0 and selects it; with `cumulative`, the
// distance from the start to the end of each link in metres.
inline void SelectGuideRoute(CMgrConfigModuleSVC& svc, const std::vector<uint32_t>& links,
                             const std::vector<int32_t>& cumulative = {}) {
    ASSERT_NE(MgrConfigModuleRP::Instance(), nullptr);
    GuideRoute route;
    ASSERT_TRUE(route.AllocateArrays(static_cast<int32_t>(links.size())));
    for (size_t i = 0; i < links.size(); ++i) {
        route.LinkIds()[i] = static_cast<int32_t>(links[i]);
        if (i < cumulative.size()) route.arrays[kGuideArrayDistanceM].Data()[i] = cumulative[i];
    }
    ASSERT_EQ(svc.SetSlotRoute(0, std::move(route), nullptr, 0), 1);
    ASSERT_EQ(svc.SelectSlot(0), 1);
}

// As above, and the service block guides along it from link `current`.
inline void GuideAlong(CMgrConfigModuleSVC& svc, const std::vector<uint32_t>& links,
                       const std::vector<int32_t>& cumulative = {}, int32_t current = 0) {
    SelectGuideRoute(svc, links, cumulative);
    svc.SetState(CMgrConfigModuleSVC::kStateGuiding);
    svc.ResetTrackingState();
    MgrLock hold(*svc.GetLock());
    svc.Tracking().linkIndex = current;
}

}  // namespace testsupport
