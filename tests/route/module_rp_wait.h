#pragma once
// Waits of the route-planning module tests: they follow the route thread's
// own progress (its state word and route status); the bound only ends a hang.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "route/module_rp.h"

namespace rptest {

template <class Pred>
bool WaitState(Pred done) {
    for (int i = 0; i < 20000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Until the run in progress has ended; its status.
inline int WaitRun() {
    EXPECT_TRUE(WaitState([] { return ModuleRP::Instance()->GetRouteStatus() != kRpRunning; }));
    return ModuleRP::Instance()->GetRouteStatus();
}

}  // namespace rptest
