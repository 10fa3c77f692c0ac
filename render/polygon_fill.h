#pragma once
// Polygon scan conversion for the span rasteriser: an edge table and an
// active edge list turn a polygon into horizontal spans, each span from the
// left edge's x to the right edge's x - 1, so a polygon's right column and
// bottom row stay unfilled and neighbouring polygons never overlap.
#include <cstddef>
#include <cstdint>
#include <vector>

class CEglDraw;

struct EglPoint {
    int32_t x = 0;
    int32_t y = 0;
};
static_assert(sizeof(EglPoint) == 8, "points are pairs of int32");

enum class EglFillRule {
    kEvenOdd,  // alternate: the centre of a self-crossing star stays hollow
    kWinding,  // non-zero winding: the centre is filled
};

// A pattern brush: RGB565 pixels, rows top-down, tiled from pixel (0, 0) of
// the target image so that neighbouring fills line up.
class EglPattern565 {
public:
    static constexpr int32_t kMaxSide = 1024;

    // 0 for sizes outside 1..kMaxSide or too few pixels.
    int Create(int32_t width, int32_t height, const std::vector<uint16_t>& rowsTopDown);
    bool Empty() const { return m_pixels.empty(); }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    // The pattern pixel that lands on image pixel (x, y); any x and y.
    uint16_t At(int32_t x, int32_t y) const {
        int32_t px = x % m_width, py = y % m_height;
        if (px < 0) px += m_width;
        if (py < 0) py += m_height;
        return m_pixels[static_cast<size_t>(py) * m_width + px];
    }
    const uint16_t* Row(int32_t patternRow) const { return &m_pixels[static_cast<size_t>(patternRow) * m_width]; }

private:
    std::vector<uint16_t> m_pixels;
    int32_t m_width = 0;
    int32_t m_height = 0;
};

class CEglScanFill {
public:
    static constexpr int32_t kInitialEdges = 1000;

    CEglScanFill();
    ~CEglScanFill();
    CEglScanFill(const CEglScanFill&) = delete;
    CEglScanFill& operator=(const CEglScanFill&) = delete;

    // Fills with the rasteriser's selected brush colour and grey flag at the
    // given opacity, every point shifted by the offsets. 1 when done (also
    // for fewer than 3 points, which draw nothing); 0 when the edge buffer
    // cannot grow or no brush is selected.
    int Fill(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset, CEglDraw& rasteriser,
             float opacity, EglFillRule rule = EglFillRule::kEvenOdd);
    // The same spans written with a pattern tiled from pixel (0, 0).
    int FillPattern(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset, CEglDraw& rasteriser,
                    const EglPattern565& pattern, EglFillRule rule = EglFillRule::kEvenOdd);

    // Room in the edge buffer, in edges; it only grows.
    int32_t Capacity() const { return m_capacity; }

private:
    struct Edge {
        int32_t next;       // index in m_edges, -1 ends a list
        int64_t firstLine;  // upper end's y
        int64_t x;          // current x
        int64_t wholeStep;  // whole x step per scan line
        int64_t errorStep;
        int64_t error;
        int64_t height;     // error modulus = edge height in scan lines
        int64_t linesLeft;
        int32_t direction;  // of x: +1 or -1
        int32_t winding;    // +1 drawn downwards, -1 upwards
    };

    template <class SpanFn>
    int Scan(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset, int32_t rows, EglFillRule rule,
             SpanFn&& span);
    int BuildEdgeTable(const EglPoint* points, int32_t count, int32_t xOffset, int32_t yOffset);
    void AdvanceEdges(int64_t steps);
    void SortActive();

    std::vector<Edge> m_edges;
    std::vector<int32_t> m_order;  // scratch for sorting
    int32_t m_capacity = 0;
    int32_t m_table = -1;   // edges not yet reached, by first line then x
    int32_t m_active = -1;  // edges crossing the current row, by x
};
