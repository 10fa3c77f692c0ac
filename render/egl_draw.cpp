#include "render/egl_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace {

// Luminance with the weights 0.30, 0.59, 0.11 over channels widened by
// shifting, truncated: white gives 0xFFDF, blue 0x18C3, green 0x94B2 and red
// 0x4A49.
constexpr std::array<uint16_t, 65536> MakeGreyTable() {
    std::array<uint16_t, 65536> table{};
    for (uint32_t i = 0; i < 65536; ++i) {
        const uint32_t r = (i >> 11) << 3, g = ((i >> 5) & 0x3F) << 2, b = (i & 0x1F) << 3;
        const uint32_t y = (30 * r + 59 * g + 11 * b) / 100;
        table[i] = static_cast<uint16_t>(((y >> 3) << 11) | ((y >> 2) << 5) | (y >> 3));
    }
    return table;
}

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

inline int32_t Sat32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Per channel, both widened to 8 bits: (old * 256 + (new - old) * a8) >> 8.
inline uint16_t Blend565(uint16_t oldPx, uint16_t newPx, int a8) {
    const int orr = (oldPx >> 11) << 3, og = ((oldPx >> 5) & 0x3F) << 2, ob = (oldPx & 0x1F) << 3;
    const int nr = (newPx >> 11) << 3, ng = ((newPx >> 5) & 0x3F) << 2, nb = (newPx & 0x1F) << 3;
    const int r = (orr * 256 + (nr - orr) * a8) >> 8;
    const int g = (og * 256 + (ng - og) * a8) >> 8;
    const int b = (ob * 256 + (nb - ob) * a8) >> 8;
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Two pixels in one word with a 5-bit weight g (0..32): each channel becomes
// about (g * new + (32 - g) * old) / 32.
inline uint32_t BlendPair(uint32_t oldPair, uint32_t newPair, uint32_t g) {
    const uint32_t h = 32 - g;
    const uint32_t a = ((oldPair >> 5) & 0xFFC0F83Fu) * h + ((newPair >> 5) & 0xFFC0F83Fu) * g;
    const uint32_t b = (((oldPair & 0x07E0F81Fu) * h) >> 5) + (((newPair & 0x07E0F81Fu) * g) >> 5);
    const uint32_t c = ((oldPair >> 5) & 0x07C0F83Fu) * h + ((newPair >> 5) & 0x07C0F83Fu) * g;
    return ((a ^ b) & 0x07E0F81Fu) ^ c;
}

// A colour prepared for one drawing call.
struct Ink {
    uint16_t raw;    // RGB565 before grey (the blend input)
    uint16_t solid;  // what an opaque write stores
    bool opaque;
    bool grey;
    int a8;      // 8-bit weight of single-pixel blends
    uint32_t g;  // 5-bit weight of pair blends
};

Ink MakeInk(uint32_t colorBgr, float opacity, int32_t grey) {
    Ink ink{};
    ink.raw = Rgb565FromColor(colorBgr);
    ink.grey = grey == 1;
    ink.solid = ink.grey ? GreyTable565[ink.raw] : ink.raw;
    ink.opaque = opacity == 1.0f;
    // Out-of-range weights (and NaN) would carry into the next channel.
    const float o = (opacity > 0.0f) ? std::min(opacity, 1.0f) : 0.0f;
    ink.a8 = static_cast<int>(o * 255.0f);
    ink.g = static_cast<uint32_t>(o * 32.0f);
    return ink;
}

inline void WritePixel(uint8_t* p, const Ink& ink) {
    if (ink.opaque) {
        Store16(p, ink.solid);
        return;
    }
    uint16_t v = Blend565(Load16(p), ink.raw, ink.a8);
    if (ink.grey) v = GreyTable565[v];
    Store16(p, v);
}

// x1 <= x2, both inside the row. Odd first and even last pixels alone, the
// rest two pixels per 32-bit store.
void WriteSpan(uint8_t* row, int32_t x1, int32_t x2, const Ink& ink) {
    if (x1 & 1) WritePixel(row + x1++ * 2, ink);
    if (!(x2 & 1)) WritePixel(row + x2-- * 2, ink);
    if (x1 > x2) return;
    uint8_t* p = row + x1 * 2;
    uint8_t* const end = row + (x2 + 1) * 2;
    if (ink.opaque) {
        const uint32_t pair = ink.solid * 0x10001u;
        for (; p < end; p += 4) Store32(p, pair);
        return;
    }
    const uint32_t newPair = ink.raw * 0x10001u;
    for (; p < end; p += 4) {
        uint32_t v = BlendPair(Load32(p), newPair, ink.g);
        if (ink.grey) v = GreyTable565[v & 0xFFFF] | (static_cast<uint32_t>(GreyTable565[v >> 16]) << 16);
        Store32(p, v);
    }
}

}  // namespace

constinit const std::array<uint16_t, 65536> GreyTable565 = MakeGreyTable();

std::atomic<int32_t> EglSmoothLines{0};

int32_t SetSmoothLines(int32_t value) { return EglSmoothLines.exchange(value, std::memory_order_acq_rel); }

CEglDraw::CEglDraw()
    : m_ownPen(std::make_unique<CEglPen>()),
      m_ownBrush(std::make_unique<CEglBrush>()),
      m_filler(std::make_unique<CEglScanFill>()) {
    m_pen = m_ownPen.get();
    m_brush = m_ownBrush.get();
}

CEglDraw::~CEglDraw() = default;

int CEglDraw::Attach(void* pixels, int32_t width, int32_t height) {
    if (pixels == nullptr || width < 1 || height < 1 || width > (1 << 20) || height > (1 << 20)) return 0;
    m_pixels = static_cast<uint8_t*>(pixels);
    m_width = width;
    m_height = height;
    m_bytesPerPixel = 2;
    m_stride = Rgb565Stride(width);
    return 1;
}

int CEglDraw::Clear(uint32_t colorBgr) {
    if (m_pixels == nullptr) return 1;
    const uint32_t pair = Rgb565FromColor(colorBgr) * 0x10001u;
    uint8_t* p = m_pixels;
    uint8_t* const end = m_pixels + static_cast<size_t>(m_stride) * m_height;
    for (; p < end; p += 4) Store32(p, pair);
    return 1;
}

CEglPen* CEglDraw::SelectPen(CEglPen* pen) { return std::exchange(m_pen, pen); }
CEglBrush* CEglDraw::SelectBrush(CEglBrush* brush) { return std::exchange(m_brush, brush); }
int32_t CEglDraw::SetLineMode(int32_t mode) { return std::exchange(m_lineMode, mode); }

uint32_t CEglDraw::SetPixel(int32_t x, int32_t y, uint32_t colorBgr, float opacity, int32_t grey) {
    if (x < 0 || x >= m_width || y < 0 || y >= m_height) return 0xFFFFFF;
    uint8_t* p = Row(y) + x * 2;
    const uint16_t old = Load16(p);
    WritePixel(p, MakeInk(colorBgr, opacity, grey));
    return old;
}

int CEglDraw::HLine(int32_t penWidth, int32_t y, int32_t x1, int32_t x2, uint32_t colorBgr, float opacity,
                    int32_t grey) {
    if (penWidth >= 2) {
        const int64_t top = static_cast<int64_t>(y) - (penWidth >> 1);
        return FillRect(x1, Sat32(top), x2, Sat32(top + penWidth - 1), colorBgr, opacity, grey);
    }
    if ((x1 < 0 && x2 < 0) || y < 0 || (x1 >= m_width && x2 >= m_width) || y >= m_height) return 1;
    x1 = std::clamp(x1, 0, m_width - 1);
    x2 = std::clamp(x2, 0, m_width - 1);
    if (x1 > x2) std::swap(x1, x2);
    WriteSpan(Row(y), x1, x2, MakeInk(colorBgr, opacity, grey));
    return 1;
}

int CEglDraw::VLine(int32_t penWidth, int32_t x, int32_t y1, int32_t y2, uint32_t colorBgr, float opacity,
                    int32_t grey) {
    if (penWidth >= 2) {
        const int64_t left = static_cast<int64_t>(x) - (penWidth >> 1);
        return FillRect(Sat32(left), y1, Sat32(left + penWidth - 1), y2, colorBgr, opacity, grey);
    }
    if (x < 0 || x >= m_width || (y1 < 0 && y2 < 0) || (y1 >= m_height && y2 >= m_height)) return 1;
    y1 = std::clamp(y1, 0, m_height - 1);
    y2 = std::clamp(y2, 0, m_height - 1);
    if (y1 > y2) std::swap(y1, y2);
    const Ink ink = MakeInk(colorBgr, opacity, grey);
    for (int32_t y = y1; y <= y2; ++y) WritePixel(Row(y) + x * 2, ink);
    return 1;
}

int CEglDraw::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity,
                       int32_t grey) {
    if ((x1 < 0 && x2 < 0) || (y1 < 0 && y2 < 0) || (x1 >= m_width && x2 >= m_width) ||
        (y1 >= m_height && y2 >= m_height))
        return 1;
    x1 = std::clamp(x1, 0, m_width - 1);
    x2 = std::clamp(x2, 0, m_width - 1);
    y1 = std::clamp(y1, 0, m_height - 1);
    y2 = std::clamp(y2, 0, m_height - 1);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const Ink ink = MakeInk(colorBgr, opacity, grey);
    for (int32_t y = y1; y <= y2; ++y) WriteSpan(Row(y), x1, x2, ink);
    return 1;
}

int CEglDraw::LineStep(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity,
                       int32_t grey) {
    const int64_t dx = static_cast<int64_t>(x2) - x1, dy = static_cast<int64_t>(y2) - y1;
    const bool yMajor = std::llabs(dx) < std::llabs(dy);
    const int64_t dMajor = yMajor ? dy : dx, dMinor = yMajor ? dx : dy;
    const int64_t slope = dMajor == 0 ? 0 : dMinor * 65536 / dMajor;
    const int64_t dir = dMajor >= 0 ? 1 : -1;
    const int64_t step = dir * slope;  // added going forwards, subtracted going backwards
    const int64_t major0 = yMajor ? y1 : x1;
    const int64_t minor0 = (static_cast<int64_t>(yMajor ? x1 : y1) << 16) + 0x8000;
    const int64_t majorSize = yMajor ? m_height : m_width, minorSize = yMajor ? m_width : m_height;
    const int64_t n = std::llabs(dMajor);
    // Only the steps whose major coordinate lies on the buffer can write;
    // the minor coordinate of step i is minor0 + i * step either way.
    int64_t first, last;
    if (dir > 0) {
        first = std::max<int64_t>(0, -major0);
        last = std::min<int64_t>(n, majorSize - 1 - major0);
    } else {
        first = std::max<int64_t>(0, major0 - (majorSize - 1));
        last = std::min<int64_t>(n, major0);
    }
    const Ink ink = MakeInk(colorBgr, opacity, grey);
    for (int64_t i = first; i <= last; ++i) {
        const int64_t major = major0 + dir * i;
        const int64_t minor = (minor0 + i * step) >> 16;
        if (minor < 0 || minor >= minorSize) continue;
        const int32_t px = static_cast<int32_t>(yMajor ? minor : major);
        const int32_t py = static_cast<int32_t>(yMajor ? major : minor);
        WritePixel(Row(py) + px * 2, ink);
    }
    return 1;
}

int CEglDraw::LineSmooth(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float /*opacity*/,
                         int32_t grey) {
    SetPixel(x1, y1, colorBgr, 1.0f, grey);
    SetPixel(x2, y2, colorBgr, 1.0f, grey);
    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const int64_t dx = static_cast<int64_t>(x2) - x1, dy = static_cast<int64_t>(y2) - y1;
    // The walk is clipped to the buffer; each position is computed from the
    // start, which is what stepping by the slope gives without its drift.
    auto plot = [&](int64_t x, int64_t y, double t) {
        if (x < 0 || x >= m_width || y < 0 || y >= m_height) return;
        SetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y), colorBgr, static_cast<float>(t), grey);
    };
    if (std::llabs(dy) < std::llabs(dx)) {
        const bool firstIsLeft = x1 < x2;
        const int64_t xs = firstIsLeft ? x1 : x2, xe = firstIsLeft ? x2 : x1;
        const int64_t ys = firstIsLeft ? y1 : y2;
        const double k = static_cast<double>(dy) / static_cast<double>(dx);
        const int64_t from = std::max<int64_t>(xs + 1, 0), to = std::min<int64_t>(xe - 1, m_width - 1);
        for (int64_t x = from; x <= to; ++x) {
            const double y = static_cast<double>(ys) + k * static_cast<double>(x - xs);
            const double f = std::floor(y);
            const double t = y - f;
            plot(x, static_cast<int64_t>(f), 1.0 - t);
            plot(x, static_cast<int64_t>(f) + 1, t);
        }
    } else if (dy != 0) {
        const double k = static_cast<double>(dx) / static_cast<double>(dy);
        const int64_t from = std::max<int64_t>(static_cast<int64_t>(y1) + 1, 0);
        const int64_t to = std::min<int64_t>(static_cast<int64_t>(y2) - 1, m_height - 1);
        for (int64_t y = from; y <= to; ++y) {
            const double x = static_cast<double>(x1) + k * static_cast<double>(y - y1);
            const double f = std::floor(x);
            const double t = x - f;
            plot(static_cast<int64_t>(f), y, 1.0 - t);
            plot(static_cast<int64_t>(f) + 1, y, t);
        }
    }
    return 1;
}

int CEglDraw::ThickLine(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity,
                        int32_t grey) {
    if (x1 == x2) return VLine(w, x1, y1, y2, colorBgr, opacity, grey);
    if (y1 == y2) return HLine(w, y1, x1, x2, colorBgr, opacity, grey);
    // Opaque writes of the same pixel agree, so only the union of the
    // w x w lines matters; blended ones count every overlap.
    if (w >= 2 && opacity == 1.0f && ThickLineRows(w, x1, y1, x2, y2, colorBgr, grey)) return 1;
    const int64_t aw = std::llabs(static_cast<int64_t>(w));
    const int64_t start = std::min<int64_t>(-(w / 2), static_cast<int64_t>(w) - (w / 2));
    for (int64_t i = start; i < start + aw; ++i)
        for (int64_t j = start; j < start + aw; ++j)
            LineStep(Sat32(x1 + i), Sat32(y1 + j), Sat32(x2 + i), Sat32(y2 + j), colorBgr, opacity, grey);
    return 1;
}

bool CEglDraw::ThickLineRows(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr,
                             int32_t grey) {
    constexpr int64_t kMaxCoordinate = 1 << 20, kMaxWidth = 1 << 12;
    if (std::llabs(x1) > kMaxCoordinate || std::llabs(y1) > kMaxCoordinate || std::llabs(x2) > kMaxCoordinate ||
        std::llabs(y2) > kMaxCoordinate || w > kMaxWidth)
        return false;
    // The one-pixel line of LineStep, unclipped: its y never goes back, so
    // each of its rows holds one run of x.
    const int64_t dx = static_cast<int64_t>(x2) - x1, dy = static_cast<int64_t>(y2) - y1;
    const bool yMajor = std::llabs(dx) < std::llabs(dy);
    const int64_t dMajor = yMajor ? dy : dx, dMinor = yMajor ? dx : dy;
    const int64_t slope = dMinor * 65536 / dMajor;
    const int64_t dir = dMajor >= 0 ? 1 : -1;
    const int64_t step = dir * slope;
    const int64_t major0 = yMajor ? y1 : x1;
    const int64_t minor0 = (static_cast<int64_t>(yMajor ? x1 : y1) << 16) + 0x8000;
    const int64_t n = std::llabs(dMajor);
    auto pixel = [&](int64_t i, int64_t* x, int64_t* y) {
        const int64_t major = major0 + dir * i, minor = (minor0 + i * step) >> 16;
        *x = yMajor ? minor : major;
        *y = yMajor ? major : minor;
    };
    // Widened by s .. s + w - 1 (s = -(w / 2)), only the steps whose major
    // coordinate lands within lo .. hi can reach the buffer.
    const int64_t s = -(w / 2);
    const int64_t lo = -(s + w - 1), hi = (yMajor ? m_height : m_width) - 1 - s;
    const int64_t firstStep = dir > 0 ? std::max<int64_t>(0, lo - major0) : std::max<int64_t>(0, major0 - hi);
    const int64_t lastStep = dir > 0 ? std::min<int64_t>(n, hi - major0) : std::min<int64_t>(n, major0 - lo);
    if (firstStep > lastStep) return true;
    int64_t xa, ya, xb, yb;
    pixel(firstStep, &xa, &ya);
    pixel(lastStep, &xb, &yb);
    const int64_t top = std::min(ya, yb), rows = std::max(ya, yb) - top + 1;
    m_rowLow.assign(static_cast<size_t>(rows), std::numeric_limits<int32_t>::max());
    m_rowHigh.assign(static_cast<size_t>(rows), std::numeric_limits<int32_t>::min());
    for (int64_t i = firstStep; i <= lastStep; ++i) {
        int64_t x, y;
        pixel(i, &x, &y);
        const size_t row = static_cast<size_t>(y - top);
        m_rowLow[row] = std::min(m_rowLow[row], static_cast<int32_t>(x));
        m_rowHigh[row] = std::max(m_rowHigh[row], static_cast<int32_t>(x));
    }
    // Row Y of the union gathers the line's rows Y - s - w + 1 .. Y - s;
    // x moves one way along the line, so the extremes lie at the ends of
    // that window.
    const int64_t first = std::max<int64_t>(top + s, 0);
    const int64_t last = std::min<int64_t>(top + rows - 1 + s + w - 1, m_height - 1);
    const Ink ink = MakeInk(colorBgr, 1.0f, grey);
    for (int64_t Y = first; Y <= last; ++Y) {
        const int64_t a = std::max<int64_t>(Y - s - w + 1 - top, 0), b = std::min<int64_t>(Y - s - top, rows - 1);
        const int64_t low = std::min(m_rowLow[static_cast<size_t>(a)], m_rowLow[static_cast<size_t>(b)]) + s;
        const int64_t high = std::max(m_rowHigh[static_cast<size_t>(a)], m_rowHigh[static_cast<size_t>(b)]) + s + w - 1;
        if (high < 0 || low >= m_width) continue;
        WriteSpan(Row(static_cast<int32_t>(Y)), static_cast<int32_t>(std::max<int64_t>(low, 0)),
                  static_cast<int32_t>(std::min<int64_t>(high, m_width - 1)), ink);
    }
    return true;
}

int CEglDraw::ThickLineSmooth(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr,
                              float opacity, int32_t grey) {
    if (x1 == x2) return VLine(w, x1, y1, y2, colorBgr, opacity, grey);
    if (y1 == y2) return HLine(w, y1, x1, x2, colorBgr, opacity, grey);
    int64_t h = -(w / 2), e = static_cast<int64_t>(w) + h;
    if (e < h) std::swap(h, e);
    for (int64_t i = h; i < e; ++i) {
        for (int64_t j = h; j < e; ++j) {
            const bool corner = (i == h || i == e - 1) && (j == h || j == e - 1);
            const int32_t ax = Sat32(x1 + i), ay = Sat32(y1 + j), bx = Sat32(x2 + i), by = Sat32(y2 + j);
            if (corner)
                LineSmooth(ax, ay, bx, by, colorBgr, opacity, grey);
            else
                LineStep(ax, ay, bx, by, colorBgr, opacity, grey);
        }
    }
    return 1;
}

void CEglDraw::Segment(int32_t w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colorBgr, float opacity,
                       int32_t grey) {
    if (m_lineMode == 1 && EglSmoothLines.load(std::memory_order_acquire) == 1)
        ThickLineSmooth(w, x1, y1, x2, y2, colorBgr, opacity, grey);
    else
        ThickLine(w, x1, y1, x2, y2, colorBgr, opacity, grey);
}

int CEglDraw::Polyline(const EglPoint* points, int32_t count, float opacity) {
    if (points == nullptr || count <= 1 || m_pen == nullptr || m_pen->Style() == CEglPen::kStyleNull) return 0;
    for (int32_t i = 0; i + 1 < count; ++i)
        Segment(m_pen->Width(), points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, m_pen->Color(), opacity,
                m_pen->Grey());
    return 1;
}

int CEglDraw::PolylineClosed(const EglPoint* points, int32_t count, float opacity) {
    if (!Polyline(points, count, opacity)) return 0;
    const EglPoint& a = points[0];
    const EglPoint& b = points[count - 1];
    if (a.x != b.x || a.y != b.y) Segment(m_pen->Width(), a.x, a.y, b.x, b.y, m_pen->Color(), opacity, m_pen->Grey());
    return 1;
}

int CEglDraw::PolylineDashed(const EglPoint* points, int32_t count, const EglDashStyle& style) {
    if (points == nullptr || count <= 1) return 0;
    int piece = 0;
    int parity = 0;
    auto stroke = [&](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
        if (style.mode == 0 || (style.mode == 1 && parity == 0))
            Segment(style.width, ax, ay, bx, by, parity ? style.colorOdd : style.colorEven, style.opacity,
                    style.grey);
    };
    for (int32_t s = 0; s + 1 < count; ++s) {
        int64_t left[4];
        for (int k = 0; k < 4; ++k) left[k] = style.pieces[k];
        const int32_t x0 = points[s].x, y0 = points[s].y, x1 = points[s + 1].x, y1 = points[s + 1].y;
        const int64_t adx = std::llabs(static_cast<int64_t>(x1) - x0), ady = std::llabs(static_cast<int64_t>(y1) - y0);
        const int32_t sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
        const bool xMajor = adx >= ady;
        const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
        int64_t error = major;
        int32_t cx = x0, cy = y0, bx = x0, by = y0;
        bool endedOnBreak = false;
        for (int64_t step = 1; step <= major; ++step) {
            if (xMajor)
                cx += sx;
            else
                cy += sy;
            error -= minor;
            if (error < 1) {
                if (xMajor)
                    cy += sy;
                else
                    cx += sx;
                error += major;
            }
            // A piece of length 0 (or less) ends at once instead of never.
            if (--left[piece] <= 0) {
                piece = (piece + 1) % 4;
                if (piece == 0)
                    for (int k = 0; k < 4; ++k) left[k] = style.pieces[k];
                stroke(bx, by, cx, cy);
                bx = cx;
                by = cy;
                parity ^= 1;
                if (step == major) endedOnBreak = true;
            }
        }
        if (!endedOnBreak) stroke(bx, by, x1, y1);
    }
    return 1;
}

int CEglDraw::Polygon(const EglPoint* points, int32_t count, float opacity, EglFillRule rule) {
    if (points == nullptr || count <= 1 || m_brush == nullptr || m_brush->Style() == CEglBrush::kStyleNull) return 0;
    return m_filler->Fill(points, count, 0, 0, *this, opacity, rule);
}

int CEglDraw::PolygonPattern(const EglPoint* points, int32_t count, const EglPattern565& pattern, EglFillRule rule) {
    if (points == nullptr || count <= 1 || pattern.Empty()) return 0;
    return m_filler->FillPattern(points, count, 0, 0, *this, pattern, rule);
}

void CEglDraw::PatternSpan(int32_t y, int32_t x1, int32_t x2, const EglPattern565& pattern) {
    if (y < 0 || y >= m_height || pattern.Empty()) return;
    if ((x1 < 0 && x2 < 0) || (x1 >= m_width && x2 >= m_width)) return;
    x1 = std::clamp(x1, 0, m_width - 1);
    x2 = std::clamp(x2, 0, m_width - 1);
    if (x1 > x2) std::swap(x1, x2);
    const uint16_t* src = pattern.Row(y % pattern.Height());
    int32_t px = x1 % pattern.Width();
    uint8_t* p = Row(y) + x1 * 2;
    for (int32_t x = x1; x <= x2; ++x, p += 2) {
        Store16(p, src[px]);
        if (++px == pattern.Width()) px = 0;
    }
}
