#pragma once
// The program's engine modules as the start-up starts them, in their fixed
// order: map data, route planning, guidance, positioning, drawing, search,
// and traffic when the TPEG setting is 1.
#include <string>

#include "shell/startup_thread.h"

struct ProgramModuleConfig {
    std::string dataRoot;        // native
    int clientWidth = 800;
    int clientHeight = 480;
    int tpeg = 0;
    std::string runtimeFolder;   // where the traffic receiver's socket lies (empty: its default)
};

void AddProgramModules(EngineModules& modules, const ProgramModuleConfig& config);

// Guidance stands in until its module exists: it starts, is ready at once
// and stops.
class GuidanceStandIn : public EngineModule {
public:
    const char* Name() const override { return "guidance"; }
    int Start() override { return 1; }
    int InitState() override { return 1; }
    int Stop(uint32_t) override { return 1; }
};
