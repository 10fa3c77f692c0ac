#include "tools/writers/traffic_writer.h"

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "tools/writers/demo_map.h"

namespace writers {
namespace {

void Header(platform::ByteWriter& w, uint32_t count, bool extended) {
    if (extended) {
        w.U32(0);
        w.U32(count);
        w.U32(0);
    } else {
        w.U16(static_cast<uint16_t>(count));
        w.Zeros(6);
    }
}

void ExtendedItem(platform::ByteWriter& w, const CttItem& item) {
    w.U8(item.speed);
    w.U32(item.linkId);
    w.Zeros(2);
    w.U8(item.level);
    w.U8(item.longItem ? 1 : 0);
    if (item.longItem) {
        w.U8(item.speed2);
        w.Zeros(2);
        w.U8(item.level2);
        w.Zeros(4);
    }
}

std::vector<uint8_t> BuildIncidents(const std::vector<IncidentItem>& items, std::optional<uint32_t> forcedCount,
                                    bool extended) {
    platform::ByteWriter w;
    Header(w, forcedCount.value_or(static_cast<uint32_t>(items.size())), extended);
    for (const IncidentItem& item : items) {
        const std::string detail = ToCp949(item.detailUtf8);
        if (!extended) w.U8(item.typeCode);
        w.U8(static_cast<uint8_t>(item.typeText.size()));
        w.U16(static_cast<uint16_t>(detail.size()));
        w.Bytes(item.typeText.data(), item.typeText.size());
        w.Bytes(detail.data(), detail.size());
        w.U32(item.linkId);
        if (extended) w.U16(item.extra);
        w.U32(item.lon);
        w.U32(item.lat);
    }
    return w.Data();
}

std::string ItemText(const NewsItem& item) { return item.rawText.empty() ? ToCp949(item.textUtf8) : item.rawText; }

}  // namespace

std::string ToCp949(const std::string& utf8) {
    std::string out;
    for (char16_t c : platform::Utf8ToUtf16(utf8)) {
        std::string one;
        out += platform::Utf16ToCp949(std::u16string_view(&c, 1), one) ? one : std::string("?");
    }
    return out;
}

std::vector<uint8_t> BuildLinkTable(const std::vector<TrafficLinkRow>& links, std::optional<uint32_t> forcedCount) {
    platform::ByteWriter w;
    w.U32(forcedCount.value_or(static_cast<uint32_t>(links.size())));
    for (const TrafficLinkRow& l : links) w.U32(l.linkId);
    for (const TrafficLinkRow& l : links) w.U8(l.flag);
    return w.Data();
}

std::vector<uint8_t> BuildImageIndex(const std::vector<uint32_t>& firstSlots) {
    platform::ByteWriter w;
    for (uint32_t slot : firstSlots) w.U32(slot);
    return w.Data();
}

std::vector<uint8_t> BuildStationTable(const std::vector<TrafficStation>& stations) {
    std::vector<TrafficStation> byId = stations;
    std::sort(byId.begin(), byId.end(), [](const auto& a, const auto& b) { return a.stationId < b.stationId; });
    struct Named {
        std::string name;
        uint16_t position;
        const TrafficStation* station;
    };
    std::vector<Named> byName;
    for (size_t i = 0; i < byId.size(); ++i) {
        byName.push_back({ToCp949(byId[i].nameUtf8), static_cast<uint16_t>(i), &byId[i]});
    }
    std::stable_sort(byName.begin(), byName.end(), [](const Named& a, const Named& b) { return a.name < b.name; });

    const uint32_t m = static_cast<uint32_t>(stations.size());
    platform::ByteWriter w;
    w.U32(m);
    w.Zeros(19);
    for (const TrafficStation& s : byId) w.U16(s.stationId);
    uint32_t nameAt = 4 + 19 + 2 * m + 23 * m;
    for (const Named& n : byName) {
        const TrafficStation& s = *n.station;
        w.U16(n.position);
        w.U32(nameAt);
        w.U8(static_cast<uint8_t>(n.name.size()));
        w.U8(s.kindBits);
        w.U8(s.brand);
        w.I32(s.where.x);
        w.I32(s.where.y);
        w.U16(s.areaCode);
        w.U32(s.phone);
        nameAt += static_cast<uint32_t>(n.name.size());
    }
    for (const Named& n : byName) w.Bytes(n.name.data(), n.name.size());
    return w.Data();
}

std::vector<uint8_t> BuildCtt(const std::vector<CttItem>& items) {
    platform::ByteWriter w;
    Header(w, static_cast<uint32_t>(items.size()), false);
    for (const CttItem& item : items) {
        w.U32(item.linkId);
        w.U8(item.speed);
        w.U8(item.level);
        w.Zeros(2);
    }
    return w.Data();
}

std::vector<uint8_t> BuildCttExt(const std::vector<CttItem>& items) {
    platform::ByteWriter w;
    Header(w, static_cast<uint32_t>(items.size()), true);
    for (const CttItem& item : items) ExtendedItem(w, item);
    return w.Data();
}

std::vector<uint8_t> BuildCttSum(const std::vector<CttItem>& items) {
    platform::ByteWriter w;
    Header(w, static_cast<uint32_t>(items.size()), false);
    for (const CttItem& item : items) {
        w.U32(item.linkId);
        w.U16(static_cast<uint16_t>(item.level << 8 | item.speed));
        w.Zeros(2);
    }
    return w.Data();
}

std::vector<uint8_t> BuildCttSumExt(const std::vector<CttItem>& items) { return BuildCttExt(items); }

std::vector<uint8_t> BuildRtm(const std::vector<IncidentItem>& items, std::optional<uint32_t> forcedCount) {
    return BuildIncidents(items, forcedCount, false);
}

std::vector<uint8_t> BuildRtmExt(const std::vector<IncidentItem>& items, std::optional<uint32_t> forcedCount) {
    return BuildIncidents(items, forcedCount, true);
}

std::vector<uint8_t> BuildNws(const std::vector<NewsItem>& items, std::optional<uint32_t> forcedCount) {
    platform::ByteWriter w;
    Header(w, forcedCount.value_or(static_cast<uint32_t>(items.size())), false);
    for (const NewsItem& item : items) {
        const std::string title = ToCp949(item.titleUtf8);
        const std::string text = ItemText(item);
        w.U8(item.kindCode);
        w.U8(static_cast<uint8_t>(title.size()));
        w.U16(static_cast<uint16_t>(text.size()));
        w.Bytes(title.data(), title.size());
        w.Bytes(text.data(), text.size());
    }
    return w.Data();
}

std::vector<uint8_t> BuildNwsExt(const std::vector<NewsGroup>& groups) {
    platform::ByteWriter w;
    Header(w, static_cast<uint32_t>(groups.size()), true);
    for (const NewsGroup& g : groups) {
        w.U8(g.a);
        w.U8(g.b);
        w.U8(static_cast<uint8_t>(g.items.size()));
        w.U8(g.tail ? 1 : 0);
        w.Zeros(static_cast<size_t>(g.a) * 3 + 1);
        w.Zeros(static_cast<size_t>(g.b) * 4);
        for (const NewsItem& item : g.items) {
            const std::string title = ToCp949(item.titleUtf8);
            const std::string text = ItemText(item);
            const bool scroll = title == "Scroll";
            // Not "Scroll": the kind byte counts in L.
            const size_t length = scroll || text.empty() ? text.size() : text.size() + 1;
            w.U8(0);
            w.U8(static_cast<uint8_t>(title.size()));
            w.U16(static_cast<uint16_t>(length));
            w.U8(static_cast<uint8_t>(item.pBlocks.size()));
            w.U8(static_cast<uint8_t>(item.qBlocks.size()));
            w.Bytes(title.data(), title.size());
            if (!scroll && length > 0) w.U8(item.kindCode);
            w.Bytes(text.data(), text.size());
            for (const std::string& p : item.pBlocks) {
                w.U8(0);
                w.U32(static_cast<uint32_t>(p.size()));
                w.Bytes(p.data(), p.size());
                w.U8(0);
            }
            for (const std::string& q : item.qBlocks) {
                const size_t first = q.size() / 3, second = q.size() / 3;
                w.U8(static_cast<uint8_t>(first));
                w.U8(static_cast<uint8_t>(second));
                w.U8(static_cast<uint8_t>(q.size() - first - second));
                w.Bytes(q.data(), q.size());
            }
        }
        if (g.tail) {
            w.U8(0);
            w.U8(static_cast<uint8_t>(g.tail->size()));
            w.Bytes(g.tail->data(), g.tail->size());
        }
    }
    return w.Data();
}

namespace {

std::vector<uint8_t> BuildPrices(const std::vector<PriceItem>& items, uint32_t count, bool extended) {
    platform::ByteWriter w;
    Header(w, count, extended);
    for (const PriceItem& item : items) {
        w.U32(item.stationId);
        w.U32(item.priceTime);
        w.U8(static_cast<uint8_t>(item.prices.size()));
        for (const PriceEntry& p : item.prices) {
            w.U8(p.kind);
            w.I16(p.price);
        }
    }
    return w.Data();
}

}  // namespace

std::vector<uint8_t> BuildOpi(const std::vector<PriceItem>& items, std::optional<uint32_t> forcedCount) {
    return BuildPrices(items, forcedCount.value_or(static_cast<uint32_t>(items.size())), false);
}

std::vector<uint8_t> BuildOpiExt(const std::vector<PriceItem>& items) {
    return BuildPrices(items, static_cast<uint32_t>(items.size()), true);
}

bool WriteTrafficFile(const std::string& root, const std::string& name, const std::vector<uint8_t>& bytes,
                      std::string* error) {
    const std::string folder = platform::ResolveUnder(root, "map");
    if (folder.empty() || !platform::MakeDirectories(folder)) {
        if (error) *error = "cannot create the map folder under " + root;
        return false;
    }
    return platform::AtomicReplaceFile(folder + "/" + name, bytes, error);
}

bool WriteTrafficTables(const std::string& root, const std::vector<TrafficLinkRow>& links,
                        const std::vector<uint32_t>& imageIndex, const std::vector<TrafficStation>& stations,
                        std::string* error) {
    return WriteTrafficFile(root, "LinkID.tdb", BuildLinkTable(links), error) &&
           WriteTrafficFile(root, "ImageIDIdx.tdb", BuildImageIndex(imageIndex), error) &&
           WriteTrafficFile(root, "OpiID.tdb", BuildStationTable(stations), error);
}

bool WriteDemoTraffic(const std::string& root, uint32_t priceTime, std::string* error) {
    const std::vector<DemoLink>& links = DemoLinks();
    std::vector<TrafficLinkRow> rows;
    for (const DemoLink& l : links) rows.push_back({l.number, static_cast<uint8_t>(l.roadClass <= 1 ? 1 : 0)});
    // Summary pictures 0, 1 and 2 of 10, 6 and 6 positions.
    const std::vector<uint32_t> imageIndex = {0, 10, 16, 22};
    const int32_t baseX = 127 * kMapUnitsPerDegree, baseY = static_cast<int32_t>(37.5 * kMapUnitsPerDegree);
    const std::vector<TrafficStation> stations = {
        {101, "한빛주유소", 1, 1, {baseX + 2000, baseY + 1500}, 2, 1234567},
        {102, "가람주유소", 1, 2, {baseX + 5200, baseY + 800}, 2, 3456789},
        {103, "누리LPG충전소", 2, 5, {baseX + 800, baseY + 4200}, 31, 2345678},
        {104, "다온셀프주유소", 1, 3, {baseX + 6100, baseY + 5100}, 0, 7654321},
    };
    // Congestion: a jam on the first links, slow traffic after them, the
    // rest flowing.
    std::vector<CttItem> ctt;
    for (const DemoLink& l : links) {
        const uint8_t level = l.number <= 3 ? 4 : l.number <= 6 ? 3 : 1;
        const uint8_t speed = level == 4 ? 8 : level == 3 ? 18 : 45;
        ctt.push_back({l.number, speed, level});
    }
    const std::vector<CttItem> summary = {{1001, 20, 3}, {1002, 8, 4}, {1003, 50, 1}, {2001, 30, 2}};
    const DemoLink& incidentLink = links[links.size() / 2];
    const MapPoint at = incidentLink.shape.front();
    const auto toReceived = [](int32_t units) {
        return static_cast<uint32_t>(static_cast<double>(units) / kMapUnitsPerDegree * 100000.0 + 0.5);
    };
    const std::vector<IncidentItem> rtm = {
        {1, "", "교차로 부근 추돌사고로 2개 차로 통제 중", incidentLink.number, 0, toReceived(at.x), toReceived(at.y)}};
    const std::vector<NewsItem> nws = {
        {7, "출근길 정체 안내", "시내 방향 주요 도로가 혼잡합니다. 대중교통을 이용해 주십시오.", "", {}, {}}};
    std::vector<PriceItem> opi;
    for (const TrafficStation& s : stations) {
        if (s.kindBits & 2) opi.push_back({s.stationId, priceTime, {{129, 985}}});
        else opi.push_back({s.stationId, priceTime, {{1, static_cast<int16_t>(1650 + s.stationId)}, {2, 1480}}});
    }
    struct File {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const File files[] = {
        {"LinkID.tdb", BuildLinkTable(rows)},
        {"ImageIDIdx.tdb", BuildImageIndex(imageIndex)},
        {"OpiID.tdb", BuildStationTable(stations)},
        {"EVT_CTT_TRANSFER_0.bin", BuildCtt(ctt)},
        {"EVT_CTTSUM_TRANSFER_0.bin", BuildCttSum(summary)},
        {"EVT_RTM_TRANSFER_0.bin", BuildRtm(rtm)},
        {"EVT_NWS_TRANSFER_0.bin", BuildNws(nws)},
        {"EVT_OPI_TRANSFER_0.bin", BuildOpi(opi)},
    };
    for (const File& f : files) {
        if (!WriteTrafficFile(root, f.name, f.bytes, error)) return false;
    }
    // The simulated receiver's script: the live version of the same picture.
    std::string script =
        "# Simulated traffic receiver for the demo district:\n"
        "#   traffic_receiver_sim --script <root>/TPEG/receiver_sim.txt\n"
        "[setup]\n"
        "status 4 1    # on channel (channel type 0), fuel prices served\n"
        "[start]\n"
        "ctt";
    for (const CttItem& c : ctt) {
        script += " " + std::to_string(c.linkId) + ":" + std::to_string(c.speed) + ":" + std::to_string(c.level);
    }
    script += "\ncttsum 1001:20:3 1002:8:4 1003:50:1 2001:30:2\nwait 500\n";
    script += "rtm 1 " + std::to_string(incidentLink.number) + " " + std::to_string(toReceived(at.x)) + " " +
              std::to_string(toReceived(at.y)) + " " + rtm[0].detailUtf8 + "\n";
    script += "nws 7 " + nws[0].titleUtf8 + " | " + nws[0].textUtf8 + "\n";
    script += "opi";
    for (const PriceItem& p : opi) {
        for (const PriceEntry& e : p.prices) {
            script += " " + std::to_string(p.stationId) + ":" + std::to_string(e.kind) + ":" + std::to_string(e.price);
        }
    }
    script += "\n";
    const std::string folder = platform::ResolveUnder(root, "TPEG");
    if (folder.empty() || !platform::MakeDirectories(folder)) {
        if (error) *error = "cannot create the TPEG folder under " + root;
        return false;
    }
    return platform::AtomicReplaceFile(folder + "/receiver_sim.txt", script, error);
}

}  // namespace writers
