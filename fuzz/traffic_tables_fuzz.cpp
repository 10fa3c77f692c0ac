// Traffic link tables: the input is cut into the link id table, the image
// index table and the station table (two u16 lengths first, the station
// table takes the rest). An accepted load is looked up, searched and listed,
// reading station names and telephone fields at the offsets the table gave.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/byte_cursor.h"
#include "traffic/traffic_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The folder is spelled as the engine names it, so that finding the
    // tables needs no folder scan.
    static const std::string root = [] {
        fuzzsupport::SilenceTrace();
        std::string dir = fuzzsupport::MakeMemoryFolder("traffic_tables_fuzz");
        if (!fuzzsupport::MemoryFiles().MakeFolder(dir + "/map")) std::abort();
        return dir;
    }();
    static std::vector<uint8_t> block(TrafficArenaLayout::TotalBytes(true));
    static TrafficServicesFixture services;
    if (size < 4 || size > 300000) return 0;
    platform::ByteReader r(data, size);
    const size_t linkBytes = std::min<size_t>(r.U16(), size - 4);
    const size_t indexBytes = std::min<size_t>(r.U16(), size - 4 - linkBytes);
    const uint8_t* p = data + 4;
    fuzzsupport::WriteBytes(root + "/map/LinkID.tdb", p, linkBytes);
    fuzzsupport::WriteBytes(root + "/map/ImageIDIdx.tdb", p + linkBytes, indexBytes);
    fuzzsupport::WriteBytes(root + "/map/OpiID.tdb", p + linkBytes + indexBytes, size - 4 - linkBytes - indexBytes);

    CMgrConfigModuleTPEG store;
    TrafficEngine engine(store, services);
    TrafficPathSettings settings;
    settings.dataRoot = root;
    if (!engine.BuildPaths(settings)) std::abort();
    if (engine.LoadTables(block.data(), block.size()) <= 0) return 0;
    engine.FindLinkIndex(100);
    // Searching and listing stations reads the table again; only for inputs
    // whose first length byte asks for it, to keep most runs short.
    if (!(data[0] & 1)) return 0;
    engine.FindStationIndex(11);
    uint8_t levels[8], speeds[8];
    int slots = 0;
    engine.GetCTTSUMInfo(0, &slots, levels, speeds, 8, nullptr);
    // Give every station a price, then search by a name and list.
    platform::ByteWriter w;
    const int stations = engine.GetStationCount();
    w.U16(static_cast<uint16_t>(std::min(stations, 64)));
    w.Zeros(6);
    for (int i = 0; i < std::min(stations, 64); ++i) {
        w.U32(static_cast<uint32_t>(i));
        w.U32(0);
        w.U8(1);
        w.U8(1);
        w.I16(1500);
    }
    engine.ReceiveOPI(w.Data().data(), w.Size());
    TPEGOilStationQuery query;
    query.nFuelKind = 1;
    query.szName[0] = u'ㄱ';
    int count = 0;
    engine.SearchOilStation(query, &count);
    query.szName[0] = 0;
    if (engine.SearchOilStation(query, &count) == 0) {
        TPEGOilStationRow rows[4];
        count = 4;
        engine.GetOilStationList(0, rows, &count);
    }
    return 0;
}
