#include "settings/module_draw.h"

CMgrConfigModuleDraw::CMgrConfigModuleDraw() = default;

CMgrConfigModuleDraw::~CMgrConfigModuleDraw() { ReleaseDrawObjects(); }

void CMgrConfigModuleDraw::ReleaseDrawObjects() {
    MgrLock hold(m_lock);
    for (DrawOwnedObject& object : drawObjects) object.Reset();
    styleObject.Reset();
    secondStyleObject.Reset();
}
