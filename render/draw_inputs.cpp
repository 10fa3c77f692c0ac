#include "render/draw_inputs.h"

#include "settings/module_gps.h"
#include "settings/module_svc.h"
#include "settings/ui_setting.h"

void MneSettingsDrawInputs::Read(MneDrawInputs* out) {
    if (CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance()) {
        MgrLock hold(*ui->GetLock());
        const UISettingRecord& r = ui->Record();
        out->eMapColor = r.eMapColor;
        out->eMapFontType = r.eMapFontType;
        out->eMapFontSize = r.eMapFontSize;
        out->e3DViewAngle = r.e3DViewAngle;
        out->building3d = r.b3DBuilding;
        out->autoZoomBySpeed = r.eMapAutoZoomInBy == 1 ? 1 : 0;
        for (int i = 0; i < 4; ++i) {
            out->autoZoomBySpeedSteps[i] = r.eAutoZoomLevelBySpeed[i];
            out->autoZoomByDistanceSteps[i] = r.eAutoZoomLevelByDistance[i];
        }
        out->poiCategoriesChosen = ui->POICategoryList().GetCount() > 0 ? 1 : 0;
        out->poiViewLevel = r.ePOIViewLevel;
        out->themeSwitches = r.nThemeCate & 0x1F;
        out->poiCategories.clear();
        const NvArray<int32_t>& chosen = ui->POICategoryList();
        for (int i = 0; i < chosen.GetCount(); ++i) out->poiCategories.push_back(*chosen.GetAt(i));
    }
    if (CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance()) {
        GpsFixRecord fix;
        gps->GetFix(&fix);
        out->position = gps->GetMatchedPosition();
        out->headingDeg = fix.headingDeg % 360;
        out->speedKmh = fix.speedKmh;
        out->fixValid = fix.status == 'A' || fix.status == 'a';
    }
    if (CMgrConfigModuleSVC* svc = CMgrConfigModuleSVC::Instance()) {
        out->guidanceState = svc->GetState();
        out->guidanceActive = svc->IsGuiding();
        out->distanceToPointM = svc->GetTracking().remainingDistanceM;
        out->pathPoints.clear();
        out->pathSections.clear();
        if (out->guidanceActive) {
            // The route path and its sections for the look-ahead view.
            MgrLock hold(*svc->GetLock());
            GuideRoute& route = svc->SelectedRoute();
            out->currentSection = svc->Status().currentSection;
            const MapPoint* points = route.pathPoints.Data();
            if (points) out->pathPoints.assign(points, points + route.pathPoints.Count());
            for (int32_t i = 0; i < route.sections.Count(); ++i)
                out->pathSections.push_back({route.sections[i].firstPathPoint, route.sections[i].lastPathPoint});
        }
    }
}

void MneFixedDrawInputs::Read(MneDrawInputs* out) {
    std::lock_guard<std::mutex> hold(m_mutex);
    *out = m_inputs;
}

void MneFixedDrawInputs::Set(const MneDrawInputs& inputs) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_inputs = inputs;
}
