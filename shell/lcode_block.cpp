#include "shell/lcode_block.h"

#include <cstdio>
#include <cstring>

#include "foundation/geodesy.h"
#include "settings/ui_setting.h"
#include "shell/system_bridge.h"

bool FormatPositionCode(const MapPoint& position, std::u16string* text) {
    double lonNmea = 0, latNmea = 0;
    DmsAngle lon, lat, lonBessel, latBessel;
    if (!MapPointToNmea(position, lonNmea, latNmea) || !NmeaToDms(lonNmea, lon) || !NmeaToDms(latNmea, lat)) {
        return false;
    }
    ConvertDatumDms(1, lon, lat, lonBessel, latBessel);
    int32_t lonCode = 0, latCode = 0;
    if (!DmsToPositionCode(lonBessel, latBessel, lonCode, latCode)) return false;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%5d%5d", latCode, lonCode);
    // Ten characters regrouped 3, 3 and 4 with single blanks.
    const std::string grouped = std::string(digits, 3) + " " + std::string(digits + 3, 3) + " " + (digits + 6);
    text->assign(grouped.begin(), grouped.end());
    return true;
}

LCodeSharedMemory::LCodeSharedMemory() { m_block.Open(kLCodeBlockName, kLCodeBlockBytes); }

LCodeSharedMemory::~LCodeSharedMemory() {
    Clear();
    m_block.Close();
}

int LCodeSharedMemory::WritePosition(const MapPoint& position) {
    std::u16string text;
    if (!FormatPositionCode(position, &text)) {
        Clear();
        return 0;
    }
    uint8_t bytes[kLCodeBlockBytes] = {};
    for (size_t i = 0; i < text.size() && 2 * i + 1 < sizeof bytes; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(text[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return Write(bytes, sizeof bytes);
}

int LCodeSharedMemory::Write(const void* text, size_t bytes) {
    if (bytes > kLCodeBlockBytes || !m_block.IsOpen()) return 0;
    std::memcpy(m_block.Data(), text, bytes);
    std::memset(m_block.Data() + bytes, 0, kLCodeBlockBytes - bytes);
    return 1;
}

int LCodeSharedMemory::Clear() {
    if (!m_block.IsOpen()) return 0;
    std::memset(m_block.Data(), 0, kLCodeBlockBytes);
    return 1;
}

int PublishTrafficBroadcaster(int value) {
    return RegistryKeyStore::SetDword(RegistryHive::kCurrentUser, kDmbRegistryKey, u"TC", static_cast<uint32_t>(value));
}

int SelectTrafficBroadcaster(int* enabled, int* broadcaster, CMgrConfigUISetting* ui) {
    int32_t bs = 1;
    if (ui) {
        MgrLock hold(*ui->GetLock());
        bs = ui->Record().eTPEGBS;
    }
    int which = 0;
    switch (bs) {
        case 1: which = 0; break;
        case 2: which = 1; break;
        case 4: which = 2; break;
        default:
            bs = 1;
            if (ui) {
                {
                    MgrLock hold(*ui->GetLock());
                    ui->Record().eTPEGBS = 1;
                }
                ui->SaveUISetting();
            }
            break;
    }
    if (enabled) *enabled = 1;
    if (broadcaster) *broadcaster = which;
    PublishTrafficBroadcaster(bs);
    return 1;
}
