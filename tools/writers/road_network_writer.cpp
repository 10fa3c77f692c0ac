#include "tools/writers/road_network_writer.h"

#include <algorithm>

#include "platform/byte_cursor.h"

namespace writers {

std::vector<uint8_t> EncodeLinkRecord(const LinkSegment& s) {
    platform::ByteWriter w;
    w.U8(static_cast<uint8_t>((s.a << 4) | (s.b & 0x0F)));
    w.U8(static_cast<uint8_t>((s.c << 4) | (s.d & 0x0F)));
    w.U32(s.linkId);
    for (auto [x, y] : {std::pair{s.x1, s.y1}, std::pair{s.x2, s.y2}}) {
        w.U8(static_cast<uint8_t>(x & 0xFF));
        w.U8(static_cast<uint8_t>(((y & 0x0F) << 4) | ((x >> 8) & 0x0F)));
        w.U8(static_cast<uint8_t>((y >> 4) & 0xFF));
    }
    w.I16(s.value12);
    w.U32(s.value14);
    return w.Data();
}

std::vector<uint8_t> BuildLinkMap(const std::map<std::pair<int, int>, std::vector<LinkSegment>>& tiles) {
    platform::ByteWriter out;
    uint32_t largest = 0;
    for (const auto& [tile, links] : tiles) largest = std::max<uint32_t>(largest, links.size() * 18);
    out.U32(largest);
    out.Zeros(0x40000);
    std::map<int, size_t> squares;  // square number -> its entry block
    for (const auto& [tile, links] : tiles) {
        const int square = (tile.second / 64) * 256 + tile.first / 64;
        if (!squares.count(square)) {
            squares[square] = out.Size();
            out.PatchU32(4 + square * 4, static_cast<uint32_t>(out.Size()));
            out.Zeros(0x8000);
        }
    }
    for (const auto& [tile, links] : tiles) {
        const size_t block = squares[(tile.second / 64) * 256 + tile.first / 64];
        const size_t entry = block + ((tile.second % 64) * 64 + tile.first % 64) * 8;
        out.PatchU32(entry, static_cast<uint32_t>(out.Size()));
        out.PatchU32(entry + 4, static_cast<uint32_t>(links.size() * 18));
        for (const auto& s : links) {
            const auto bytes = EncodeLinkRecord(s);
            out.Bytes(bytes.data(), bytes.size());
        }
    }
    return out.Data();
}

// Index and data are laid out in one buffer sized up front.
void PutLe(std::vector<uint8_t>& out, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> BuildRoadLine(const std::map<uint32_t, std::vector<MapPoint>>& shapes) {
    const uint32_t count = shapes.empty() ? 1 : shapes.rbegin()->first + 1;
    size_t total = 4 + static_cast<size_t>(count) * 6;
    for (const auto& [number, points] : shapes) total += points.size() * 8;
    std::vector<uint8_t> out(total, 0);
    PutLe(out, 0, count, 4);
    size_t at = 4 + static_cast<size_t>(count) * 6;
    for (const auto& [number, points] : shapes) {
        PutLe(out, 4 + number * 6, static_cast<uint32_t>(at), 4);
        PutLe(out, 4 + number * 6 + 4, static_cast<uint32_t>(points.size()), 2);
        for (const auto& p : points) {
            PutLe(out, at, static_cast<uint32_t>(p.x), 4);
            PutLe(out, at + 4, static_cast<uint32_t>(p.y), 4);
            at += 8;
        }
    }
    return out;
}

uint32_t EncodePathEntry(const PathTarget& t) {
    return t.value | ((t.linkNumber & 0x3FFFFF) << 8) | (t.reverse ? 0x40000000u : 0u);
}

std::vector<uint8_t> BuildPath(const std::map<uint32_t, PathLists>& paths) {
    const uint32_t count = paths.empty() ? 1 : paths.rbegin()->first + 1;
    size_t total = 4 + static_cast<size_t>(count) * 5;
    for (const auto& [number, lists] : paths) total += (lists.forward.size() + lists.backward.size()) * 4;
    std::vector<uint8_t> out(total, 0);
    PutLe(out, 0, count, 4);
    size_t at = 4 + static_cast<size_t>(count) * 5;
    for (const auto& [number, lists] : paths) {
        PutLe(out, 4 + number * 5, static_cast<uint32_t>(at), 4);
        out[4 + number * 5 + 4] =
            static_cast<uint8_t>(((lists.forward.size() & 0x0F) << 4) | (lists.backward.size() & 0x0F));
        for (const auto* list : {&lists.forward, &lists.backward}) {
            for (const auto& t : *list) {
                PutLe(out, at, EncodePathEntry(t), 4);
                at += 4;
            }
        }
    }
    return out;
}

}  // namespace writers
