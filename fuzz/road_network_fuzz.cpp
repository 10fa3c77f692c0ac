// Road network geometry files from untrusted bytes. Map.ndb gets a fixed
// top index pointing every square at the input, so the fuzzer works on the
// tile entries and link records; RoadLine.ndb and Path.ndb are the input.
// The readers and the top index are made once and reused for every input.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mapdb/road_network.h"
#include "platform/byte_cursor.h"
#include "platform/memory_files.h"

using fuzzsupport::WriteBytes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = fuzzsupport::MakeMapRoot("road_network_fuzz");
    // The top index (256 KB) is written once; each input replaces only the
    // largest tile size in front of it and the tile data behind it, in place
    // in the file's bytes in memory.
    static const std::shared_ptr<platform::MemoryFileData> map = [] {
        const std::string path = root + "/Map/Map.ndb";
        platform::ByteWriter w;
        w.U32(0);
        for (int i = 0; i < 256 * 256; ++i) w.U32(4 + 0x40000);
        WriteBytes(path, w.Data());
        std::shared_ptr<platform::MemoryFileData> file =
            fuzzsupport::MemoryFiles().Open(path, platform::File::Mode::kReadWrite);
        if (!file) std::abort();
        return file;
    }();
    {
        std::lock_guard<std::mutex> lock(map->mutex);
        std::vector<uint8_t>& bytes = map->bytes;
        bytes.resize(4 + 0x40000);
        // The largest tile size comes from the input too.
        std::fill_n(bytes.begin(), 4, 0);
        std::copy(data, data + std::min<size_t>(size, 4), bytes.begin());
        bytes.insert(bytes.end(), data, data + size);
    }
    WriteBytes(root + "/Map/RoadLine.ndb", data, size);
    WriteBytes(root + "/Map/Path.ndb", data, size);

    // The readers live across inputs: opened again, they keep their arenas.
    static CMneLinkMapFile cells;
    static CMneRoadLineMapFile line;
    static CMnePathMapFile path;
    if (cells.Open(root)) {
        std::vector<MneLinkEntry> out;
        for (int t : {0, 1, 63, 64, 4095, 16383}) cells.GetCellLinksCopy(t, t % 64, out);
    }
    if (line.Open(root)) {
        std::vector<MapPoint> pts;
        for (uint32_t id : {1u, 2u, 3u, 100u, 0x8000001u, line.LinkCount() - 1, line.LinkCount()})
            line.GetLinkShapeCopy(id, 1, pts);
    }
    if (path.Open(root)) {
        std::vector<MnePathEntry> out;
        for (uint32_t id : {1u, 2u, 0x8000001u, 0x8000002u, path.LinkCount() - 1}) path.GetLinkPathCopy(id, out);
    }
    return 0;
}
