#include "tools/writers/camera_writer.h"

#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "tools/writers/demo_map.h"
#include "tools/writers/version_trailer_writer.h"

namespace writers {
namespace {

constexpr uint32_t kHeaderBytes = 12;
constexpr uint32_t kEntryBytes = 16;
constexpr uint32_t kReverseBit = 0x08000000;

void PutRecord(std::vector<uint8_t>& bytes, uint32_t offset, const CameraEntry& e) {
    std::array<uint8_t, 21> record = e.record;
    const uint16_t count =
        static_cast<uint16_t>(e.forcedLinkCount >= 0 ? e.forcedLinkCount : static_cast<int>(e.links.size()));
    record[17] = static_cast<uint8_t>(count);
    record[18] = static_cast<uint8_t>(count >> 8);
    std::copy(record.begin(), record.end(), bytes.begin() + offset);
}

}  // namespace

std::array<uint8_t, 21> MakeCameraRecord(const MapPoint& where, uint8_t kind, uint16_t speedKmh,
                                         uint16_t section100m) {
    platform::ByteWriter w;
    w.I32(where.x);
    w.I32(where.y);
    w.U8(kind);
    w.U16(speedKmh);
    w.U16(section100m);
    w.Zeros(21 - w.Size());
    std::array<uint8_t, 21> out{};
    std::copy(w.Data().begin(), w.Data().end(), out.begin());
    return out;
}

std::vector<uint8_t> BuildCameraBlock(const std::vector<CameraEntry>& listA, const std::vector<CameraEntry>& listB) {
    platform::ByteWriter w;
    const uint32_t listAOffset = kHeaderBytes;
    const uint32_t listBOffset = listAOffset + static_cast<uint32_t>(listA.size()) * kEntryBytes;
    w.U16(static_cast<uint16_t>(listA.size()));
    w.U16(static_cast<uint16_t>(listB.size()));
    w.U32(listA.empty() ? 0 : listAOffset);
    w.U32(listB.empty() ? 0 : listBOffset);
    // Entries first (patched once their records are placed), then the data.
    const size_t entriesAt = w.Size();
    w.Zeros((listA.size() + listB.size()) * kEntryBytes);
    size_t slot = entriesAt;
    for (const auto* list : {&listA, &listB}) {
        for (const CameraEntry& e : *list) {
            const uint32_t recordAt = static_cast<uint32_t>(w.Size());
            w.Zeros(21);
            PutRecord(w.Data(), recordAt, e);
            w.Bytes(e.recordTail.data(), e.recordTail.size());
            uint32_t linksAt = 0;
            if (!e.links.empty()) {
                linksAt = static_cast<uint32_t>(w.Size());
                for (const CameraLink& l : e.links) {
                    w.U32(l.linkId);
                    w.U32(l.value);
                }
            }
            uint32_t furtherAt = 0;
            if (!e.further.empty()) {
                furtherAt = static_cast<uint32_t>(w.Size());
                w.Bytes(e.further.data(), e.further.size());
            }
            w.PatchU32(slot, e.key);
            w.PatchU32(slot + 4, recordAt);
            w.PatchU32(slot + 8, linksAt);
            w.PatchU32(slot + 12, furtherAt);
            slot += kEntryBytes;
        }
    }
    return w.Data();
}

void CameraFileWriter::Add(const MapPoint& where, CameraEntry entry, bool listB) {
    const int32_t side = GetLevelTileSide(2);
    AddToTile(where.x / side, where.y / side, std::move(entry), listB);
}

void CameraFileWriter::AddToTile(int x, int y, CameraEntry entry, bool listB) {
    Lists& lists = m_tiles[{x, y}];
    (listB ? lists.b : lists.a).push_back(std::move(entry));
}

std::vector<uint8_t> CameraFileWriter::Build() const {
    MapContainerWriter w(m_packed);
    w.AddEmptyLevel(2);
    for (const auto& [tile, lists] : m_tiles) w.AddBlock(2, tile.first, tile.second, BuildCameraBlock(lists.a, lists.b));
    for (const auto& [tile, block] : m_raw) w.AddBlock(2, tile.first, tile.second, block);
    return w.Build();
}

bool WriteDemoCameras(const std::string& root, std::string* error) {
    CameraFileWriter speed, safe;
    for (const DemoLink& l : DemoLinks()) {
        // A speed camera in the middle of the main street's and the
        // expressway's links, for both directions of a two-way link.
        const MapPoint mid = l.shape[l.shape.size() / 2];
        const uint16_t limit = l.roadClass == 0 ? 100 : 50;
        if (l.roadClass <= 3) {
            for (uint32_t id : {l.number, l.number | kReverseBit}) {
                if ((id & kReverseBit) && !l.twoWay) continue;
                CameraEntry e;
                e.key = id;
                e.record = MakeCameraRecord(mid, 1, limit);
                e.links = {{id, 300}};  // metres ahead where the warning starts
                speed.Add(mid, std::move(e));
            }
        }
        // Section control along the expressway eastwards: the start camera
        // (kind 7) near the west end of its western link, the end camera
        // (kind 8) near the east end of its eastern link.
        if (l.roadClass == 0) {
            const bool west = l.crossingAtEnd == "별빛IC";
            const MapPoint at = west ? l.shape[1] : l.shape[l.shape.size() - 2];
            CameraEntry e;
            e.key = l.number;
            e.record = MakeCameraRecord(at, west ? 7 : 8, 100, kDemoSectionLength100m);
            e.links = {{l.number, 300}};
            speed.Add(at, std::move(e));
        }
        // A signal camera (kind 4) at the east end of the second street's
        // first block, a bus-lane camera (kind 5) on the middle avenue's
        // first block.
        if (l.number == 5 || l.number == 29) {
            const MapPoint at = l.number == 5 ? l.shape.back() : mid;
            for (uint32_t id : {l.number, l.number | kReverseBit}) {
                CameraEntry e;
                e.key = id;
                e.record = MakeCameraRecord(at, l.number == 5 ? 4 : 5, 50);
                e.links = {{id, 200}};
                speed.Add(at, std::move(e));
            }
        }
        // Safe-drive points (a school zone) on the westernmost avenue.
        if (l.roadClass == 6 && l.shape.front().x == DemoLinks().front().shape.front().x) {
            CameraEntry e;
            e.key = l.number;
            e.record = MakeCameraRecord(mid, 2, 30);
            e.links = {{l.number, 200}, {l.number | kReverseBit, 200}};
            CameraEntry back = e;
            back.key = l.number | kReverseBit;
            safe.Add(mid, std::move(e));
            safe.Add(mid, std::move(back));
        }
    }
    const VersionStamp stamp{1, 0, 1, "20261210"};
    if (!platform::MakeDirectories(platform::ResolveUnder(root, "Map"))) {
        if (error) *error = "cannot create the Map folder";
        return false;
    }
    for (const auto& [name, writer] : {std::pair{"Map\\CameraT1.map", &speed}, std::pair{"Map\\CameraT2.map", &safe}}) {
        std::vector<uint8_t> bytes = writer->Build();
        AppendVersionTrailer(bytes, stamp);
        if (!platform::AtomicReplaceFile(platform::ResolveUnder(root, name), bytes, error)) return false;
    }
    return true;
}

}  // namespace writers
