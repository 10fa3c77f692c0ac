#include "route/link_sets.h"

#include <algorithm>
#include <array>

#include "foundation/debug_trace.h"

void RouteDetour::ResetBase() {
    m_hasLinks = 0;
    m_count = 0;
    m_appendCount = 0;
    m_capacity = 0;
    m_ids.reset();
}

void RouteDetour::Reset() { ResetBase(); }

void RouteDetour::FreeAndReset() { RouteDetour::Reset(); }

int RouteDetour::Clear() {
    FreeAndReset();
    return 1;
}

void RouteDetour::Reserve(int total) {
    if (total <= m_capacity) return;
    const int capacity = (total / kGrowStep) * kGrowStep + kGrowStep;
    auto grown = std::make_unique<int32_t[]>(static_cast<size_t>(capacity));
    if (m_ids && m_count > 0) std::copy(m_ids.get(), m_ids.get() + m_count, grown.get());
    m_ids = std::move(grown);
    m_capacity = capacity;
}

void RouteDetour::Replace(int n, const int32_t* ids) {
    if (n <= 0 || ids == nullptr) {
        FreeAndReset();
        return;
    }
    m_count = 0;   // nothing to keep when growing
    Reserve(n);
    std::copy(ids, ids + n, m_ids.get());
    m_count = n;
    m_appendCount = 1;
    m_hasLinks = 1;
}

void RouteDetour::Append(int n, const int32_t* ids) {
    if (n <= 0 || ids == nullptr) {
        DebugTrace(1, "[RP**] detour links: nothing to append\n");
        return;
    }
    Reserve(m_count + n);
    std::copy(ids, ids + n, m_ids.get() + m_count);
    m_count += n;
    m_appendCount += 1;
    m_hasLinks = 1;
}

int RouteDetour::Get(const int32_t** ids) const {
    if (ids != nullptr) *ids = m_ids.get();
    return m_count;
}

void RouteDetour::Save(bool freeAfter) {
    DropSaved();
    if (m_hasLinks != 0 && m_count > 0) {
        m_saved.count = m_count;
        m_saved.ids = std::make_unique<int32_t[]>(static_cast<size_t>(m_count));
        std::copy(m_ids.get(), m_ids.get() + m_count, m_saved.ids.get());
        SaveExtra(m_saved);
        m_saved.flag = 1;
    }
    if (freeAfter) FreeAndReset();
}

int RouteDetour::Restore() {
    Replace(0, nullptr);
    if (m_saved.flag == 0 || m_saved.count <= 0) return 0;
    Reserve(m_saved.count);
    std::copy(m_saved.ids.get(), m_saved.ids.get() + m_saved.count, m_ids.get());
    m_count = m_saved.count;
    RestoreExtra(m_saved);
    m_hasLinks = 1;
    return 1;
}

void RouteDetour::DropSaved() { m_saved = Saved{}; }

void RoutePeloxWizard::Reset() {
    m_groupCount = 0;
    m_effectiveCount = 0;
    RouteDetour::Reset();
}

void RoutePeloxWizard::FreeAndReset() {
    Reset();
    std::fill(std::begin(m_groupEnds), std::end(m_groupEnds), 0);
}

void RoutePeloxWizard::Replace(int n, const int32_t* ids) {
    if (n <= 0 || ids == nullptr) {
        FreeAndReset();
        return;
    }
    RouteDetour::Replace(n, ids);
    m_groupCount = 1;
    m_groupEnds[1] = m_count;
    // The replaced ids are all in use; a stale effective count would hide
    // them from the search.
    m_effectiveCount = m_count;
}

void RoutePeloxWizard::Append(int n, const int32_t* ids) {
    RouteDetour::Append(n, ids);
    m_effectiveCount = m_count;
}

int RoutePeloxWizard::Get(const int32_t** ids) const {
    if (ids != nullptr) *ids = m_ids.get();
    return m_effectiveCount;
}

int RoutePeloxWizard::MarkGroupEnd() {
    if (m_groupCount >= kMaxGroups) return 0;
    ++m_groupCount;
    m_groupEnds[m_groupCount] = m_count;
    return 1;
}

int RoutePeloxWizard::KeepGroup(int g) {
    if (m_hasLinks == 0 || g < 0 || g > m_groupCount) return 0;
    const int32_t end = m_groupEnds[g];
    std::fill(std::begin(m_groupEnds), std::end(m_groupEnds), end);
    m_effectiveCount = end;
    return 1;
}

void RoutePeloxWizard::SaveExtra(Saved& s) const {
    s.groupCount = m_groupCount;
    std::copy(std::begin(m_groupEnds), std::end(m_groupEnds), std::begin(s.groupEnds));
    s.effectiveCount = m_effectiveCount;
}

void RoutePeloxWizard::RestoreExtra(const Saved& s) {
    m_groupCount = s.groupCount;
    std::copy(std::begin(s.groupEnds), std::end(s.groupEnds), std::begin(m_groupEnds));
    m_effectiveCount = s.effectiveCount;
}

int32_t OptionLinkThresholdM(int64_t totalM) {
    const auto part = [totalM](int64_t from, int64_t to) {
        return static_cast<float>(std::clamp<int64_t>(totalM - from, 0, to - from));
    };
    constexpr int64_t kBeyond = int64_t{1} << 40;
    const float c = 0.9f * part(0, 10000) + 0.75f * part(10000, 20000) + 0.45f * part(20000, 50000) +
                    0.25f * part(50000, kBeyond);
    return static_cast<int32_t>(std::min(c, 2.0e9f));
}

std::vector<int32_t> PickOptionLinks(const int32_t* routeLinks, int count, const RouteLinkLookup& lookup) {
    std::vector<int32_t> picked;
    if (routeLinks == nullptr || count <= 0) return picked;

    constexpr int kClasses = 16;
    std::vector<RouteLinkFacts> facts(static_cast<size_t>(count));
    std::array<int64_t, kClasses> bins{};
    int64_t total = 0;
    for (int i = 0; i < count; ++i) {
        RouteLinkFacts f;
        if (!lookup || !lookup(routeLinks[i], &f)) f = RouteLinkFacts{0, kClasses - 1, 0};
        f.roadClass = std::clamp(f.roadClass, 0, kClasses - 1);
        facts[static_cast<size_t>(i)] = f;
        bins[static_cast<size_t>(f.roadClass)] += f.lengthM;
        total += f.lengthM;
    }

    const int32_t threshold = OptionLinkThresholdM(total);
    int classLimit = kClasses - 1;
    int64_t covered = 0;
    for (int k = 0; k < kClasses; ++k) {
        covered += bins[static_cast<size_t>(k)];
        if (covered >= threshold) {
            classLimit = k;
            break;
        }
    }

    // One walk over the leading links with a length budget; the first walk
    // (budget: what the classes up to the limit cover) sizes the pick, the
    // second (budget: the threshold) takes it.
    const auto walk = [&](int64_t budget, size_t limit, std::vector<int32_t>* out) {
        size_t counted = 0;
        for (int i = 0; i < count && counted < limit; ++i) {
            const RouteLinkFacts& f = facts[static_cast<size_t>(i)];
            if (budget <= 0) break;
            if ((f.linkType == 3 || f.linkType == 5) && budget < 4000) break;
            if (f.roadClass > classLimit && counted == 0) continue;
            ++counted;
            budget -= f.lengthM;
            if (out != nullptr) out->push_back(routeLinks[i]);
        }
        return counted;
    };
    const size_t first = walk(covered, static_cast<size_t>(count), nullptr);
    picked.reserve(first);
    walk(threshold, first, &picked);
    return picked;
}
