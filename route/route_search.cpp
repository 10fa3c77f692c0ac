#include "route/route_search.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "foundation/debug_trace.h"
#include "platform/clock.h"

NcRoute::NcRoute(NcDALManager& road, const NcRouteConfig& config, const NcCostRules& rules)
    : m_road(road), m_graph(road, config, rules) {}

int NcRoute::Init(void* nodeMemory, void* markMemory, size_t markBytes) {
    // The other stages' index tables lie at the end of the mark memory when
    // it has room for them and a page.
    const bool stages = markMemory != nullptr && markBytes >= kNcLinkIndexBytes + kNcLinkPageBytes + kNcStageIndexBytes;
    const size_t ownBytes = stages ? markBytes - kNcStageIndexBytes : markBytes;
    if (!m_nodes.Init(nodeMemory) || !m_marks.Init(markMemory, ownBytes)) return 0;
    m_stageTableCount = 0;
    if (stages) {
        for (NcLinkIDMem& table : m_stageTables) {
            table.InitShared(static_cast<uint8_t*>(markMemory) + ownBytes + m_stageTableCount * kNcLinkIndexBytes, &m_marks);
            ++m_stageTableCount;
        }
    }
    m_queue.SetLinkMemory(&m_nodes, &m_marks);
    m_meetMemory.assign(NcMeetTable::kBytes, 0);
    return m_meet.Init(m_meetMemory.data(), m_meetMemory.size());
}

int NcRoute::Push(uint32_t link, int64_t cost, int32_t key, int level, int32_t parent, int64_t remainingM,
                  int stage, uint8_t state) {
    NcLink* node = m_nodes.Alloc();
    if (!node && m_queue.DropStale() > 0) node = m_nodes.Alloc();
    if (!node) return kNcSearchNoMemory;
    node->linkId = static_cast<int32_t>(link);
    node->pathCost = NcClampCost(cost);
    node->cost = key;
    node->level = static_cast<uint8_t>(level);
    node->stage = static_cast<uint8_t>(stage);
    node->remainingM = remainingM;
    node->state = state;
    const int rc = m_queue.PushChecked(node, parent);
    return rc < 0 ? kNcSearchNoMemory : rc;
}

int NcRoute::Fail(int code) {
    m_queue.FreeAll();
    return code;
}

NcLink* NcRoute::Take(int limit, int* code) {
    NcLink* label = m_queue.PopMin();
    if (!label) {
        *code = kNcSearchNoRoute;
        return nullptr;
    }
    if (++m_taken > limit) {
        m_nodes.Free(label);
        *code = kNcSearchTooManyLinks;
        return nullptr;
    }
    if (m_cancel != nullptr && m_taken % kNcCancelCheckLabels == 0 && m_cancel->exchange(false)) {
        m_nodes.Free(label);
        *code = kNcSearchCancelled;
        return nullptr;
    }
    return label;
}

bool NcRoute::ForwardChain(uint32_t link) {
    // Back along the parents; a walk longer than the labels taken would be
    // a loop in the parent table.
    const size_t first = m_route.size();
    for (uint32_t at = link;;) {
        m_route.push_back(at);
        const int32_t parent = m_marks.GetParent(at);
        if (parent == -1) break;
        if (parent == kNcNoParent || static_cast<int>(m_route.size() - first) > m_taken) return false;
        at = static_cast<uint32_t>(parent);
    }
    std::reverse(m_route.begin() + static_cast<long>(first), m_route.end());
    return true;
}

int32_t NcRoute::StartCost(size_t i, int32_t full) const {
    return i < m_shares.size() ? static_cast<int32_t>(std::lround(full * m_shares[i])) : full;
}

void NcRoute::Start(const std::vector<uint32_t>& origins, const std::vector<double>& startShares) {
    m_shares.clear();
    if (origins.size() > 1 && startShares.size() == origins.size()) m_shares = startShares;
    m_route.clear();
    m_legEnds.clear();
    m_cost = 0;
    m_taken = 0;
    m_backwardTaken = 0;
    m_nodes.Reset();
    m_marks.Clear();
    for (int i = 0; i < m_stageTableCount; ++i)
        if (m_stageTables[i].PageCount() > 0) m_stageTables[i].Clear();
    m_tableInUse.fill(false);
    m_tableInUse[0] = true;
    m_stageMarks.fill(nullptr);
    m_stageMarks[0] = &m_marks;
    for (int s = 1; s < kNcSearchLegsMax; ++s) m_queue.SetStageMarks(s, nullptr);
    m_queue.SetStageMarks(0, &m_marks);
    m_lowestStage = 0;
    m_queue.Reset();
}

int NcRoute::Search(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int iterationLimit,
                    const std::vector<double>& startShares) {
    if (!m_graph.Tuning().bidirectional) return SearchLegs(origins, {NcSearchLeg{goals, {}}}, iterationLimit, startShares);
    Start(origins, startShares);
    if (origins.empty() || goals.empty() || !m_graph.SetEnds(origins[0], goals[0])) return kNcSearchBadLink;
    return BidirSearch(origins, goals, iterationLimit);
}

namespace {

// The estimate of the way between two legs' centres: the time at 53 km/h in
// hundredths of a second.
int32_t BetweenLegsEstimate(int64_t distanceM) { return NcClampCost(distanceM * 100 * 3600 / 1000 / 53); }

}  // namespace

int NcRoute::SearchLegs(const std::vector<uint32_t>& origins, const std::vector<NcSearchLeg>& legs,
                        int iterationLimit, const std::vector<double>& startShares) {
    Start(origins, startShares);
    const size_t n = legs.size();
    if (origins.empty() || n == 0 || n > static_cast<size_t>(kNcSearchLegsMax)) return kNcSearchBadLink;
    for (const NcSearchLeg& leg : legs)
        if (leg.targets.empty()) return kNcSearchBadLink;
    // Each leg measures from where the one before ends to its first target;
    // what remains after a leg is the way between the centres of the legs
    // after it (a leg's centre: the mean of its targets' midpoints).
    std::vector<NcGraph::LegEnds> ends(n);
    std::vector<MapPoint> centres(n);
    for (size_t s = 0; s < n; ++s) {
        ends[s].originLink = s == 0 ? origins[0] : legs[s - 1].targets[0];
        ends[s].targetLink = legs[s].targets[0];
        if (n == 1) break;
        int64_t x = 0, y = 0, count = 0;
        for (uint32_t t : legs[s].targets) {
            if (m_road.LoadLink(0, t) != 1) continue;
            const MapPoint a = m_road.GetStartPoint(0), b = m_road.GetEndPoint(0);
            x += (int64_t{a.x} + b.x) / 2;
            y += (int64_t{a.y} + b.y) / 2;
            ++count;
        }
        if (count == 0) return kNcSearchBadLink;
        centres[s] = {static_cast<int32_t>(x / count), static_cast<int32_t>(y / count)};
    }
    int64_t after = 0;
    for (size_t s = n; s-- > 0;) {
        ends[s].after = NcClampCost(after);
        if (s > 0) after += BetweenLegsEstimate(NcDistanceM(centres[s - 1], centres[s]));
    }
    if (!m_graph.SetLegs(ends)) return kNcSearchBadLink;
    const int rc = ForwardSearch(origins, legs, iterationLimit);
    if (rc >= 0) {
        DebugTrace(kNcSearchTraceLevel, "$ Total Route Search Link: %d-----------\n", m_taken);
        DebugTrace(kNcSearchTraceLevel, "$ Total Route Result Link: %d-----------\n",
                   static_cast<int>(m_route.size()));
    }
    return rc;
}

NcLinkIDMem* NcRoute::StageMarks(int stage) {
    if (m_stageMarks[stage] != nullptr) return m_stageMarks[stage];
    for (int i = 0; i <= m_stageTableCount; ++i) {
        if (m_tableInUse[i]) continue;
        NcLinkIDMem* table = i == 0 ? &m_marks : &m_stageTables[i - 1];
        // A table given back is clean; one not used since Init is zeroed
        // here (clearing the first table would free the whole pool).
        if (i > 0) table->Clear();
        m_tableInUse[i] = true;
        m_stageMarks[stage] = table;
        m_queue.SetStageMarks(stage, table);
        return table;
    }
    return nullptr;
}

void NcRoute::DropStagesBelow(int stage) {
    for (; m_lowestStage < stage; ++m_lowestStage) {
        NcLinkIDMem* table = m_stageMarks[m_lowestStage];
        if (table == nullptr) continue;
        table->Release();
        m_tableInUse[table == &m_marks ? 0 : 1 + static_cast<size_t>(table - m_stageTables.data())] = false;
        m_stageMarks[m_lowestStage] = nullptr;
        m_queue.SetStageMarks(m_lowestStage, nullptr);
    }
}

int NcRoute::GoOn(int stage, uint32_t from, int64_t cost, uint8_t state, const NcSearchLeg& leg) {
    uint32_t start = from;
    for (const auto& [target, link] : leg.startsFrom)
        if (target == from) start = link;
    // The car is on the link already: an avoided one is kept.
    if (!m_graph.ReadLink(start, true)) return 0;
    // Turned back onto another link, the leg pays for it as a start and
    // its state is a start's; on the same link the label goes on with the
    // state it had.
    if (start != from) {
        const uint8_t entered = m_graph.SeenState(0);
        cost += m_graph.SeenCost(entered);
        state = NcLeaveState(entered, m_graph.SeenLengthM());
    }
    if (StageMarks(stage) == nullptr) return kNcSearchNoMemory;
    m_graph.SelectLeg(stage);
    const NcLinkSeen& seen = m_graph.Seen();
    const NcLegDistances d = m_graph.LegDistances(seen.end);
    return Push(start, cost, m_graph.KeyAt(cost, d, seen.roadClass, false), m_graph.LevelAt(seen.end, d),
                FromStageBelow(from), d.toTarget, stage, state);
}

bool NcRoute::KeepChain(int stage, uint32_t link) {
    const NcLinkIDMem* marks = m_stageMarks[stage];
    if (marks == nullptr) return false;
    Chain chain;
    chain.stage = stage;
    chain.link = link;
    chain.begin = m_chainLinks.size();
    // A walk longer than the labels taken would be a loop in the table.
    for (uint32_t at = link;;) {
        m_chainLinks.push_back(at);
        const int32_t parent = marks->GetParent(at);
        if (parent < 0) {
            chain.rootParent = parent;
            break;
        }
        if (parent == kNcNoParent || static_cast<int>(m_chainLinks.size() - chain.begin) > m_taken) return false;
        at = static_cast<uint32_t>(parent);
    }
    chain.end = m_chainLinks.size();
    m_chains.push_back(chain);
    return true;
}

bool NcRoute::BuildLegs(int lastStage, uint32_t link) {
    std::vector<const Chain*> used(static_cast<size_t>(lastStage) + 1, nullptr);
    uint32_t at = link;
    for (int s = lastStage; s >= 0; --s) {
        const auto it = std::find_if(m_chains.begin(), m_chains.end(),
                                     [&](const Chain& c) { return c.stage == s && c.link == at; });
        if (it == m_chains.end() || (s == 0) != (it->rootParent == -1)) return false;
        used[static_cast<size_t>(s)] = &*it;
        if (s > 0) at = static_cast<uint32_t>(-2 - it->rootParent);
    }
    m_route.clear();
    m_legEnds.clear();
    for (const Chain* c : used) {
        for (size_t i = c->end; i-- > c->begin;) {
            // A stage begins on the link the one before ended on, unless it
            // turned back onto another.
            if (i + 1 == c->end && c->stage > 0 && m_chainLinks[i] == m_route.back()) continue;
            m_route.push_back(m_chainLinks[i]);
        }
        m_legEnds.push_back(m_route.size() - 1);
    }
    return true;
}

int NcRoute::ForwardSearch(const std::vector<uint32_t>& origins, const std::vector<NcSearchLeg>& legs, int limit) {
    const int n = static_cast<int>(legs.size());
    m_legTargets.resize(legs.size());
    for (size_t s = 0; s < legs.size(); ++s) {
        m_legTargets[s] = legs[s].targets;
        std::sort(m_legTargets[s].begin(), m_legTargets[s].end());
        m_legTargets[s].erase(std::unique(m_legTargets[s].begin(), m_legTargets[s].end()), m_legTargets[s].end());
    }
    const auto isTarget = [this](int stage, uint32_t id) {
        const std::vector<uint32_t>& t = m_legTargets[static_cast<size_t>(stage)];
        return std::binary_search(t.begin(), t.end(), id);
    };
    std::array<size_t, kNcSearchLegsMax> reached{};
    m_chains.clear();
    m_chainLinks.clear();
    for (size_t i = 0; i < origins.size(); ++i) {
        const uint32_t origin = origins[i];
        bool ok = false;
        const int32_t cost = StartCost(i, m_graph.LinkCost(origin, &ok, true));
        if (!ok) return Fail(kNcSearchBadLink);
        const int rc = Push(origin, cost, m_graph.Key(cost, m_graph.Seen().end, m_graph.Seen().roadClass, false),
                            m_graph.LevelAt(m_graph.Seen().end), -1, -1, 0,
                            NcLeaveState(m_graph.SeenState(0), m_graph.SeenLengthM()));
        if (rc < 0) return Fail(rc);
    }
    std::array<NcConnection, kNcRunEntriesMax> next{};
    for (;;) {
        int code = 0;
        NcLink* label = Take(limit, &code);
        if (!label) return Fail(code);
        const uint32_t link = static_cast<uint32_t>(label->linkId);
        const int32_t cost = label->pathCost;
        const int nodeLevel = label->level;  // the level at the node its successors start from
        const int64_t remainingM = label->remainingM;
        const int stage = label->stage;
        const uint8_t state = label->state;
        m_nodes.Free(label);
        if (isTarget(stage, link)) {
            // The leg ends here: its way is kept before its stage may be
            // given up, and the label goes on in the next stage.
            if (!KeepChain(stage, link)) {
                m_route.clear();
                return Fail(kNcSearchNoMemory);
            }
            if (++reached[static_cast<size_t>(stage)] == m_legTargets[static_cast<size_t>(stage)].size())
                DropStagesBelow(stage + 1);
            if (stage + 1 == n) {
                if (!BuildLegs(stage, link)) {
                    m_route.clear();
                    return Fail(kNcSearchNoMemory);
                }
                m_cost = cost;
                m_queue.FreeAll();
                return static_cast<int>(link);
            }
            const int rc = GoOn(stage + 1, link, cost, state, legs[static_cast<size_t>(stage) + 1]);
            if (rc < 0) return Fail(rc);
            continue;
        }
        if (!m_road.LoadLink(0, link)) continue;
        const NcLinkIDMem* marks = m_stageMarks[static_cast<size_t>(stage)];
        m_graph.SelectLeg(stage);
        const MapPoint node = m_road.GetEndPoint(0);
        m_graph.UpdateProgress(node, false, remainingM);
        const int count = Successors(&next);
        for (int i = 0; i < count; ++i) {
            if (next[i].allowed != 1) continue;
            const uint32_t to = static_cast<uint32_t>(next[i].linkId);
            const bool target = isTarget(stage, to);
            // A link closed in this stage would be queued again only at a
            // higher level, and the graph gives a link the same level every
            // time within a leg: it is passed over unread, as in the
            // bidirectional phases.
            if (marks->GetMark(to) == kNcMarkClosed) continue;
            if (!target && m_graph.RefusedUnread(to, node, nodeLevel)) continue;
            if (!m_graph.ReadLink(to)) continue;
            const NcLinkSeen& seen = m_graph.Seen();
            const NcLegDistances d = m_graph.LegDistances(seen.end);
            const int level = m_graph.LevelAt(seen.end, d);
            if (!target && (seen.roadClass == kNcClassNoThrough ||
                            !m_graph.MayEnter(seen.networkLevel, level, seen.end) ||
                            m_graph.PruneNearStart(d.fromOrigin, seen.networkLevel, seen.roadClass)))
                continue;
            const uint8_t entered = m_graph.SeenState(NcPassState(state, next[i].code));
            const int32_t own = m_graph.SeenCost(entered);
            const int64_t total = int64_t{cost} + own + m_graph.TurnCost(level, next[i]);
            const int rc = Push(to, total, m_graph.KeyAt(total, d, seen.roadClass, false), level, static_cast<int32_t>(link),
                                d.toTarget, stage, NcLeaveState(entered, m_graph.SeenLengthM()));
            if (rc < 0) return Fail(rc);
        }
    }
}

int NcRoute::Successors(std::array<NcConnection, kNcRunEntriesMax>* out) const {
    // Decoded from the bound record in place (the runs were checked when
    // the block came in: at most 8 entries each).
    const NcRoad& view = m_road.View(0);
    const int run = view.GetSuccessorRun();
    const int n = std::min(view.GetRunCount(run), kNcRunEntriesMax);
    for (int i = 0; i < n; ++i) (*out)[i] = view.GetRunEntry(run, i);
    return n;
}

int NcRoute::BidirSearch(const std::vector<uint32_t>& origins, const std::vector<uint32_t>& goals, int limit) {
    std::vector<uint32_t> sortedOrigins = origins;
    std::sort(sortedOrigins.begin(), sortedOrigins.end());
    const auto isOrigin = [&](uint32_t id) {
        return std::binary_search(sortedOrigins.begin(), sortedOrigins.end(), id);
    };
    m_meet.Clear();
    const uint64_t startedMs = platform::GetTickCount64();
    const auto sinceMs = [](uint64_t ms) { return static_cast<int>(platform::GetTickCount64() - ms); };
    // The way on to the destination from a link of the table, the link
    // itself included; false on a loop or a broken chain.
    const auto backwardChain = [this](uint32_t from) {
        for (int32_t at = static_cast<int32_t>(from), steps = 0; at != -1; ++steps) {
            int32_t next = -1;
            if (steps > m_meet.Count() || !m_meet.Find(at, nullptr, &next)) return false;
            m_route.push_back(static_cast<uint32_t>(at));
            at = next;
        }
        return true;
    };

    // Backward from the goal links: a label's cost is that of its link and
    // of the way on from it to the destination.
    bool full = false;
    for (uint32_t goal : goals) {
        bool ok = false;
        const int32_t cost = m_graph.LinkCost(goal, &ok, true);
        if (!ok) return Fail(kNcSearchBadLink);
        const int rc = Push(goal, cost, m_graph.Key(cost, m_graph.Seen().start, m_graph.Seen().roadClass, true), m_graph.LevelAt(m_graph.Seen().start), -1);
        if (rc < 0) return Fail(rc);
        if (rc == 1 && !m_meet.Add(static_cast<int32_t>(goal), cost, -1)) full = true;
    }
    std::array<uint32_t, kNcRunEntriesMax> into{};
    while (!full) {
        int code = 0;
        NcLink* label = Take(limit, &code);
        if (!label) {
            if (code == kNcSearchNoRoute) break;  // all the goal can be reached from is in the table
            return Fail(code);
        }
        const uint32_t link = static_cast<uint32_t>(label->linkId);
        const int32_t cost = label->pathCost;
        const int nodeLevel = label->level;  // the level at the node its successors start from
        const int64_t remainingM = label->remainingM;
        m_nodes.Free(label);
        if (isOrigin(link)) {
            // The backward phase found the whole way.
            m_meet.Sort();
            if (!backwardChain(link)) {
                m_route.clear();
                return Fail(kNcSearchNoMemory);
            }
            // Its cost holds the whole origin link: only the part from the
            // origin point counts.
            bool ok = false;
            const int32_t full = m_graph.LinkCost(link, &ok, true);
            const size_t i = static_cast<size_t>(std::find(origins.begin(), origins.end(), link) - origins.begin());
            m_cost = ok ? cost - (full - StartCost(i, full)) : cost;
            m_backwardTaken = m_taken;
            m_queue.FreeAll();
            DebugTrace(kNcSearchTraceLevel, "[RP**] BACKWARD SEARCH LINK: %d (%d)\n", m_taken,
                       static_cast<int>(m_route.size()));
            DebugTrace(kNcSearchTraceLevel,
                       "[RP**] FORWARD SEARCH LINK: 0 --> Sorry, PathFinding Terminated!!!\n");
            return static_cast<int>(m_route.back());
        }
        if (!m_road.LoadLink(0, link)) continue;
        const MapPoint node = m_road.GetStartPoint(0);
        m_graph.UpdateProgress(node, true, remainingM);
        const int handOver = m_graph.Tuning().option == 4 ? 100 : 92;
        if (m_taken >= 19 && !m_graph.Tuning().viaLinkList &&
            (m_graph.Progress() >= handOver || m_graph.BestRemaining() < 2000))
            break;
        // The links that lead into this one: the entries of the run at its
        // start, read in the other direction.
        const NcRoad& view = m_road.View(0);
        const int startRun = 1 - view.GetSuccessorRun();
        const int n = std::min(view.GetRunCount(startRun), kNcRunEntriesMax);
        for (int i = 0; i < n; ++i)
            into[i] = static_cast<uint32_t>(view.GetRunEntry(startRun, i).linkId) ^ kNcLinkReverseBit;
        for (int i = 0; i < n && !full; ++i) {
            const uint32_t from = into[i];
            // A closed link is queued again only at a higher level, and the
            // graph gives a link the same level every time: it is passed
            // over before its record is read.
            if (m_marks.GetMark(from) == kNcMarkClosed) continue;
            if (!isOrigin(from) && m_graph.RefusedUnread(from, node, nodeLevel)) continue;
            if (!m_graph.ReadLink(from)) continue;
            const NcLinkSeen& seen = m_graph.Seen();
            // Whether the turn into this link is allowed is in the other
            // link's own list.
            NcConnection turn;
            if (!m_road.View(0).FindSuccessor(link, &turn)) continue;
            const NcLegDistances d = m_graph.LegDistances(seen.start);
            const int level = m_graph.LevelAt(seen.start, d);
            if (!isOrigin(from) && (seen.roadClass == kNcClassNoThrough ||
                                    !m_graph.MayEnter(seen.networkLevel, level, seen.start) ||
                                    m_graph.PruneNearStart(d.toTarget, seen.networkLevel, seen.roadClass)))
                continue;
            const int32_t own = m_graph.SeenCost();
            const int64_t total = int64_t{cost} + own + m_graph.TurnCost(level, turn);
            const int rc = Push(from, total, m_graph.KeyAt(total, d, seen.roadClass, true), level,
                                static_cast<int32_t>(link), d.fromOrigin);
            if (rc < 0) return Fail(rc);
            if (rc == 1 && !m_meet.Add(static_cast<int32_t>(from), NcClampCost(total), static_cast<int32_t>(link)))
                full = true;
        }
    }
    m_backwardTaken = m_taken;
    DebugTrace(kNcSearchTraceLevel, "[RP**] REVERSE ROUTING TIME: %d (N:%d)\n", sinceMs(startedMs),
               m_backwardTaken);
    const uint64_t forwardMs = platform::GetTickCount64();

    // Forward from the origin links until they meet the backward labels.
    m_meet.Sort();
    m_queue.FreeAll();
    m_nodes.Reset();
    m_marks.Clear();
    m_queue.Reset();
    m_graph.ResetProgress();
    struct Meeting {
        int64_t cost = INT64_MAX;
        int32_t from = -1;  // the forward label's link, -1 when the meeting is an origin link
        uint32_t to = 0;    // the link of the table met
    } met;
    int horizon = INT_MAX;
    for (size_t i = 0; i < origins.size(); ++i) {
        const uint32_t origin = origins[i];
        bool ok = false;
        const int32_t full = m_graph.LinkCost(origin, &ok, true);
        if (!ok) return Fail(kNcSearchBadLink);
        const int32_t cost = StartCost(i, full);
        const uint8_t startState = NcLeaveState(m_graph.SeenState(0), m_graph.SeenLengthM());
        int32_t back = 0;
        if (m_meet.Find(static_cast<int32_t>(origin), &back) && back - (full - cost) < met.cost) {
            met = {back - (full - cost), -1, origin};
            horizon = m_taken + kNcMeetHorizon;
        }
        const int rc = Push(origin, cost, m_graph.Key(cost, m_graph.Seen().end, m_graph.Seen().roadClass, false),
                            m_graph.LevelAt(m_graph.Seen().end), -1, -1, 0, startState);
        if (rc < 0) return Fail(rc);
    }
    std::array<NcConnection, kNcRunEntriesMax> next{};
    while (m_taken < horizon) {
        int code = 0;
        NcLink* label = Take(limit, &code);
        if (!label) {
            if (code == kNcSearchNoRoute && met.cost != INT64_MAX) break;
            return Fail(code);
        }
        const uint32_t link = static_cast<uint32_t>(label->linkId);
        const int32_t cost = label->pathCost;
        const int nodeLevel = label->level;  // the level at the node its successors start from
        const int64_t remainingM = label->remainingM;
        const uint8_t state = label->state;
        m_nodes.Free(label);
        if (!m_road.LoadLink(0, link)) continue;
        const MapPoint node = m_road.GetEndPoint(0);
        m_graph.UpdateProgress(node, false, remainingM);
        const int n = Successors(&next);
        Meeting hit;
        for (int i = 0; i < n; ++i) {
            if (next[i].allowed != 1) continue;
            const uint32_t to = static_cast<uint32_t>(next[i].linkId);
            // A link of the table is a meeting whatever its level.
            int32_t back = 0;
            const bool meets = m_meet.Find(static_cast<int32_t>(to), &back);
            // A closed link is passed over unread, as in the backward phase.
            if (!meets && (m_marks.GetMark(to) == kNcMarkClosed || m_graph.RefusedUnread(to, node, nodeLevel)))
                continue;
            if (!m_graph.ReadLink(to)) continue;
            const NcLinkSeen& seen = m_graph.Seen();
            const NcLegDistances d = m_graph.LegDistances(seen.end);
            const int level = m_graph.LevelAt(seen.end, d);
            const int32_t turn = m_graph.TurnCost(level, next[i]);
            if (meets) {
                const int64_t meeting = int64_t{cost} + turn + back;
                if (meeting < hit.cost) hit = {meeting, static_cast<int32_t>(link), to};
                continue;
            }
            if (seen.roadClass == kNcClassNoThrough ||
                !m_graph.MayEnter(seen.networkLevel, level, seen.end) ||
                m_graph.PruneNearStart(d.fromOrigin, seen.networkLevel, seen.roadClass))
                continue;
            const uint8_t entered = m_graph.SeenState(NcPassState(state, next[i].code));
            const int64_t total = int64_t{cost} + m_graph.SeenCost(entered) + turn;
            const int rc = Push(to, total, m_graph.KeyAt(total, d, seen.roadClass, false), level, static_cast<int32_t>(link),
                                d.toTarget, 0, NcLeaveState(entered, m_graph.SeenLengthM()));
            if (rc < 0) return Fail(rc);
        }
        if (hit.cost == INT64_MAX) continue;
        if (met.cost == INT64_MAX) {
            DebugTrace(kNcSearchTraceLevel, "[RP**] FRONT ROUTING TIME: %d (N: %d)\n", sinceMs(forwardMs),
                       m_taken - m_backwardTaken);
            met = hit;
            horizon = m_taken + kNcMeetHorizon;
        } else if (hit.cost < met.cost) {
            met = hit;
        } else {
            break;  // the meetings stopped getting cheaper
        }
    }
    if (met.cost == INT64_MAX) return Fail(kNcSearchNoRoute);
    const uint64_t buildMs = platform::GetTickCount64();
    if ((met.from >= 0 && !ForwardChain(static_cast<uint32_t>(met.from))) || !backwardChain(met.to)) {
        m_route.clear();
        return Fail(kNcSearchNoMemory);
    }
    m_cost = NcClampCost(met.cost);
    m_queue.FreeAll();
    DebugTrace(kNcSearchTraceLevel, "[RP**] MAKE RESULT LINK-SET TIME: %d\n", sinceMs(buildMs));
    DebugTrace(kNcSearchTraceLevel, "RP> BIDIR SEARCH LINK: %d (%d)\n", m_taken,
               static_cast<int>(m_route.size()));
    return static_cast<int>(m_route.back());
}
