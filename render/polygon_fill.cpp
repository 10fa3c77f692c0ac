#include "render/polygon_fill.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <numeric>

#include "render/egl_draw.h"

int EglPattern565::Create(int32_t width, int32_t height, const std::vector<uint16_t>& rowsTopDown) {
    m_pixels.clear();
    m_width = m_height = 0;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return 0;
    if (rowsTopDown.size() < static_cast<size_t>(width) * height) return 0;
    m_pixels.assign(rowsTopDown.begin(), rowsTopDown.begin() + static_cast<ptrdiff_t>(width) * height);
    m_width = width;
    m_height = height;
    return 1;
}

CEglScanFill::CEglScanFill() {
    try {
        m_edges.resize(kInitialEdges);
        m_capacity = kInitialEdges;
    } catch (const std::bad_alloc&) {
        m_capacity = 0;
    }
}

CEglScanFill::~CEglScanFill() = default;

int CEglScanFill::BuildEdgeTable(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset) {
    int32_t used = 0;
    for (int32_t i = 0; i < count; ++i) {
        const EglPoint& p = points[i == 0 ? count - 1 : i - 1];
        const EglPoint& q = points[i];
        int64_t ax = static_cast<int64_t>(p.x) + xOffset, ay = static_cast<int64_t>(p.y) + yOffset;
        int64_t bx = static_cast<int64_t>(q.x) + xOffset, by = static_cast<int64_t>(q.y) + yOffset;
        if (ay == by) continue;  // horizontal edges add no crossings
        Edge& e = m_edges[used];
        e.winding = by > ay ? 1 : -1;
        if (ay > by) {
            std::swap(ax, bx);
            std::swap(ay, by);
        }
        const int64_t dy = by - ay, dx = bx - ax, adx = std::llabs(dx);
        e.x = ax;
        e.firstLine = ay;
        e.direction = dx > 0 ? 1 : -1;
        e.height = e.linesLeft = dy;
        e.error = dx < 0 ? 1 - dy : 0;
        if (adx > dy) {
            e.wholeStep = e.direction * (adx / dy);
            e.errorStep = adx % dy;
        } else {
            e.wholeStep = 0;
            e.errorStep = adx;
        }
        e.next = -1;
        ++used;
    }
    // Sorted by first line, then x; among equal keys a later edge goes first.
    m_order.resize(used);
    std::iota(m_order.begin(), m_order.end(), 0);
    std::sort(m_order.begin(), m_order.end(), [this](int32_t a, int32_t b) {
        const Edge &ea = m_edges[a], &eb = m_edges[b];
        if (ea.firstLine != eb.firstLine) return ea.firstLine < eb.firstLine;
        if (ea.x != eb.x) return ea.x < eb.x;
        return a > b;
    });
    m_table = -1;
    for (int32_t k = used - 1; k >= 0; --k) {
        m_edges[m_order[k]].next = m_table;
        m_table = m_order[k];
    }
    m_active = -1;
    return used;
}

void CEglScanFill::AdvanceEdges(int64_t steps) {
    int32_t prev = -1;
    for (int32_t i = m_active; i != -1;) {
        Edge& e = m_edges[i];
        const int32_t next = e.next;
        if (e.linesLeft <= steps) {
            if (prev == -1)
                m_active = next;
            else
                m_edges[prev].next = next;
        } else {
            e.linesLeft -= steps;
            if (steps == 1) {
                e.x += e.wholeStep;
                e.error += e.errorStep;
                if (e.error > 0) {
                    e.x += e.direction;
                    e.error -= e.height;
                }
            } else {
                // Many rows at once (rows above the image): the error stays in
                // (-height, 0], so the extra steps number ceil(total / height).
                const __int128 total = static_cast<__int128>(e.error) + static_cast<__int128>(steps) * e.errorStep;
                const __int128 extra = (total + e.height - 1) / e.height;
                e.x = static_cast<int64_t>(e.x + static_cast<__int128>(steps) * e.wholeStep + extra * e.direction);
                e.error = static_cast<int64_t>(total - extra * e.height);
            }
            prev = i;
        }
        i = next;
    }
}

void CEglScanFill::SortActive() {
    // One row's step leaves the list nearly in order: an insertion sort of
    // the links, stable (edges of equal x keep their order).
    int32_t sorted = -1, tail = -1;
    for (int32_t i = m_active; i != -1;) {
        const int32_t next = m_edges[i].next;
        const int64_t x = m_edges[i].x;
        if (tail == -1 || m_edges[tail].x <= x) {
            m_edges[i].next = -1;
            if (tail == -1)
                sorted = i;
            else
                m_edges[tail].next = i;
            tail = i;
        } else {
            int32_t* link = &sorted;
            while (m_edges[*link].x <= x) link = &m_edges[*link].next;
            m_edges[i].next = *link;
            *link = i;
        }
        i = next;
    }
    m_active = sorted;
}

template <class SpanFn>
int CEglScanFill::Scan(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset, int32_t rows,
                       EglFillRule rule, SpanFn&& span) {
    if (points == nullptr || count < 3) return 1;
    if (m_capacity < count) {
        try {
            m_edges.clear();
            m_edges.shrink_to_fit();
            m_edges.resize(count);
            m_order.reserve(count);
            m_capacity = count;
        } catch (const std::bad_alloc&) {
            m_edges.clear();
            m_capacity = 0;
            return 0;
        }
    }
    m_order.reserve(m_capacity);
    if (BuildEdgeTable(points, count, xOffset, yOffset) == 0) return 1;

    auto emit = [&](int64_t y, int64_t left, int64_t right) {
        if (left > right || y < 0 || y >= rows) return;
        constexpr int64_t kLo = std::numeric_limits<int32_t>::min(), kHi = std::numeric_limits<int32_t>::max();
        span(static_cast<int32_t>(y), static_cast<int32_t>(std::clamp(left, kLo, kHi)),
             static_cast<int32_t>(std::clamp(right, kLo, kHi)));
    };

    int64_t y = m_edges[m_table].firstLine;
    while (m_table != -1 || m_active != -1) {
        if (y >= rows) break;  // nothing below the image can show
        // (a) edges starting on this row join the active list, kept by x.
        while (m_table != -1 && m_edges[m_table].firstLine == y) {
            const int32_t i = m_table;
            m_table = m_edges[i].next;
            int32_t* link = &m_active;
            while (*link != -1 && m_edges[*link].x < m_edges[i].x) link = &m_edges[*link].next;
            m_edges[i].next = *link;
            *link = i;
        }
        if (m_active == -1) {
            y = m_edges[m_table].firstLine;
            continue;
        }
        if (y < 0) {
            // Rows above the image draw nothing: jump to row 0 or to the next
            // edge start, whichever comes first, in one step.
            int64_t target = 0;
            if (m_table != -1) target = std::min(target, m_edges[m_table].firstLine);
            if (target > y + 1) {
                AdvanceEdges(target - y);
                SortActive();
                y = target;
                continue;
            }
        }
        // (b) spans between crossings.
        if (rule == EglFillRule::kEvenOdd) {
            for (int32_t i = m_active; i != -1 && m_edges[i].next != -1; i = m_edges[m_edges[i].next].next)
                emit(y, m_edges[i].x, m_edges[m_edges[i].next].x - 1);
        } else {
            int32_t winding = 0;
            int64_t start = 0;
            for (int32_t i = m_active; i != -1; i = m_edges[i].next) {
                const int32_t before = winding;
                winding += m_edges[i].winding;
                if (before == 0 && winding != 0)
                    start = m_edges[i].x;
                else if (before != 0 && winding == 0)
                    emit(y, start, m_edges[i].x - 1);
            }
        }
        // (c) advance, (d) re-sort, (e) next row.
        AdvanceEdges(1);
        SortActive();
        ++y;
    }
    m_table = m_active = -1;
    return 1;
}

int CEglScanFill::Fill(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset, CEglDraw& rasteriser,
                       float opacity, EglFillRule rule) {
    const CEglBrush* brush = rasteriser.SelectedBrush();
    if (brush == nullptr) return 0;
    const uint32_t color = brush->Color();
    const int32_t grey = brush->Grey();
    return Scan(points, count, xOffset, yOffset, rasteriser.Height(), rule, [&](int32_t y, int32_t x1, int32_t x2) {
        rasteriser.HLine(1, y, x1, x2, color, opacity, grey);
    });
}

int CEglScanFill::FillPattern(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset,
                              CEglDraw& rasteriser, const EglPattern565& pattern, EglFillRule rule) {
    if (pattern.Empty()) return 0;
    return Scan(points, count, xOffset, yOffset, rasteriser.Height(), rule,
                [&](int32_t y, int32_t x1, int32_t x2) { rasteriser.PatternSpan(y, x1, x2, pattern); });
}
