#include "shell/engine_modules.h"

#include <cstring>
#include <memory>

#include "foundation/system_settings.h"
#include "mapdb/mgr_map.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "positioning/gps_module.h"
#include "render/module_draw.h"
#include "route/module_rp.h"
#include "route/module_rp_param.h"
#include "route/route_engine.h"
#include "search/module_sch.h"
#include "settings/global_data.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"
#include "shell/startup.h"
#include "shell/system_bridge.h"
#include "foundation/debug_trace.h"
#include "traffic/module_tpeg.h"

namespace {

class MapModule : public EngineModule {
public:
    explicit MapModule(std::string root) : m_root(std::move(root)) {}
    const char* Name() const override { return "map data"; }
    int Start() override {
        CMgrMap* map = CMgrMap::Instance();
        if (!map) return 0;
        const int rc = map->Open(m_root);
        if (rc != 1) {
            DebugTrace(0, "[STARTUP] map data: %s\n", map->LastOpenFailure().c_str());
            return rc;
        }
        InstallGuideMapServices(*map);
        return 1;
    }
    int InitState() override { return 1; }
    int Stop(uint32_t) override {
        CMgrMap* map = CMgrMap::Instance();
        return map ? map->Close() : 1;
    }

private:
    std::string m_root;
};

class RouteModule : public EngineModule {
public:
    explicit RouteModule(std::string root) : m_root(std::move(root)) {}
    const char* Name() const override { return "route planning"; }
    int Start() override {
        ModuleRP* module = ModuleRP::Instance();
        ModuleRPParam* param = ModuleRPParam::Instance();
        if (!module || !param) return 0;
        param->SetEngine(std::make_shared<RouteEngine>(m_root));
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        ModuleRPSettingsBlock block;
        const std::u16string folder = platform::Utf8ToUtf16(m_root + "/MAP/");
        std::memset(block.mapFolder, 0, sizeof block.mapFolder);
        std::memcpy(block.mapFolder, folder.data(), std::min(folder.size(), std::size(block.mapFolder) - 1) * 2);
        if (global.m_rpCache > 0) block.roadMemoryKB = global.m_rpCache;
        block.releaseFlag = global.m_rpCacheInit != 1 ? 1 : 0;
        const int rc = module->StartModule(&block);
        return rc >= 0 ? 1 : rc;
    }
    int InitState() override {
        MgrConfigModuleRP* settings = MgrConfigModuleRP::Instance();
        if (!settings) return -1;
        const int32_t state = settings->GetState();
        if (state & kRpStateFailed) return -1;
        if (state & kRpStateEnded) return -1;
        return (state & kRpStateReady) ? 1 : 0;
    }
    int Stop(uint32_t timeoutMs) override {
        ModuleRP* module = ModuleRP::Instance();
        if (!module) return 1;
        const int rc = module->StopModule(timeoutMs);
        if (ModuleRPParam* param = ModuleRPParam::Instance()) param->SetEngine(nullptr);
        return rc;
    }

private:
    std::string m_root;
};

class GpsModule : public EngineModule {
public:
    const char* Name() const override { return "positioning"; }
    int Start() override {
        CModuleGPS* module = CModuleGPS::Instance();
        GpsStartBody body;
        int port = 0, baud = 0;
        GetConditionValue(COND_GPSPORT, &port);
        GetConditionValue(COND_GPSBAUD, &baud);
        body.portNumber = port;
        body.baudRate = baud;
        body.predictionMs = CMgrConfigGlobalData::Instance().m_gpsPrediction;
        return module ? module->Initialize(body) : 0;
    }
    // A receiver that never starts does not hold the start-up once the
    // module reports it stopped.
    int InitState() override {
        CModuleGPS* module = CModuleGPS::Instance();
        CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();
        if (!module || !block) return -1;
        if (module->IsStarted() || block->GetState() == kGpsStateStopped) return 1;
        return 0;
    }
    int Stop(uint32_t) override {
        if (CModuleGPS* module = CModuleGPS::Instance()) module->Uninitialize();
        return 1;
    }
};

class DrawModule : public EngineModule {
public:
    DrawModule(std::string root, int width, int height) : m_root(std::move(root)), m_width(width), m_height(height) {}
    const char* Name() const override { return "drawing"; }
    int Start() override {
        CModuleDraw* module = CModuleDraw::Instance();
        if (!module) return 0;
        MneDrawInit init;
        init.width = m_width;
        init.height = m_height;
        init.dataRoot = m_root;
        return module->Initialize(init);
    }
    // -1 is an ended thread, not a finished frame.
    int InitState() override {
        CModuleDraw* module = CModuleDraw::Instance();
        return module ? module->GetDrawStatus() : -1;
    }
    int Stop(uint32_t timeoutMs) override {
        CModuleDraw* module = CModuleDraw::Instance();
        if (!module || !module->IsInitialized()) return 1;
        module->StopThread(timeoutMs);
        return module->PollStopped() ? 1 : 0;
    }

private:
    std::string m_root;
    int m_width, m_height;
};

class SearchModule : public EngineModule {
public:
    explicit SearchModule(std::string root) : m_root(std::move(root)) {}
    const char* Name() const override { return "search"; }
    int Start() override {
        CModuleSCH* module = CModuleSCH::Instance();
        return module ? module->Initialize({m_root, 1}) : 0;
    }
    int InitState() override {
        CModuleSCH* module = CModuleSCH::Instance();
        return module ? module->GetInitState() : -1;
    }
    int Stop(uint32_t timeoutMs) override {
        CModuleSCH* module = CModuleSCH::Instance();
        return module ? module->Stop(timeoutMs) : 1;
    }

private:
    std::string m_root;
};

class TrafficModule : public EngineModule {
public:
    TrafficModule(std::string root, std::string runtime) : m_root(std::move(root)), m_runtime(std::move(runtime)) {}
    const char* Name() const override { return "traffic"; }
    int Start() override {
        CModuleTPEG* module = CModuleTPEG::Instance();
        if (!module) return 0;
        TrafficModuleSettings settings;
        settings.dataRoot = m_root;
        settings.runtimeDir = m_runtime;
        const int32_t limitMs = CMgrConfigGlobalData::Instance().m_tpegStateLimitTime;
        if (limitMs > 0) settings.stateLimitMs = static_cast<uint32_t>(limitMs);
        return module->Initialize(settings);
    }
    int InitState() override {
        CModuleTPEG* module = CModuleTPEG::Instance();
        return module ? module->GetInitState() : -1;
    }
    int Stop(uint32_t timeoutMs) override {
        CModuleTPEG* module = CModuleTPEG::Instance();
        if (!module) return 1;
        return module->Shutdown(timeoutMs) == 1 && module->IsStopped() == 1 ? 1 : 0;
    }

private:
    std::string m_root;
    std::string m_runtime;
};

}  // namespace

void AddProgramModules(EngineModules& modules, const ProgramModuleConfig& config) {
    modules.Add(std::make_unique<MapModule>(config.dataRoot));
    modules.Add(std::make_unique<RouteModule>(config.dataRoot));
    modules.Add(std::make_unique<GuidanceStandIn>());
    modules.Add(std::make_unique<GpsModule>());
    modules.Add(std::make_unique<DrawModule>(config.dataRoot, config.clientWidth, config.clientHeight));
    modules.Add(std::make_unique<SearchModule>(config.dataRoot));
    if (config.tpeg == 1) modules.Add(std::make_unique<TrafficModule>(config.dataRoot, config.runtimeFolder));
}
