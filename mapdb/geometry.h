#pragma once
// Integer geometry on map coordinates for the link searches and drawing:
// a point's foot on a segment, a search box around a point, orientation and
// segment intersection, point in quadrilateral, box-against-quad clipping
// and rectangle overlap.
#include <cstdint>

#include "foundation/coords.h"

// Distance in whole metres from P to its foot on segment A-B. t is the foot's
// parameter: inside (0, 1) as computed, 1 exactly at B and 2 beyond it, 0
// exactly at A and -1 before it.
int CalcPointToSegmentDist(const MapPoint& p, const MapPoint& a, const MapPoint& b, MapPoint* foot, float* t);
// The box of +-metres around P, in map units at P's latitude.
void CalcBoundBoxAroundPoint(const MapPoint& p, int metres, MapPoint* min, MapPoint* max);
// 1, 0 or -1: the sign of (B - A) x (C - A).
int Orientation(const MapPoint& a, const MapPoint& b, const MapPoint& c);
// 1 proper crossing, 0 touching, -1 apart.
int SegmentsIntersect(MapPoint a, MapPoint b, MapPoint c, MapPoint d);
// 1 when P lies inside the polygon of count points (a quadrilateral).
int PointInQuad(const MapPoint* points, int count, const MapPoint& p);

class CMneQuad {
public:
    virtual ~CMneQuad() = default;
    // Clips the box (boxMin, boxMax) against the four-point quad: the
    // bounding box of the part they share. 1 when they meet.
    static int ClipBox(const MapPoint* quad, const MapPoint& boxMin, const MapPoint& boxMax, MapPoint* outMin,
                       MapPoint* outMax);
};

// ClipBox with the box (boxMin, boxMax) as the quad and A, B as the box.
int SegmentMeetsBox(const MapPoint& boxMin, const MapPoint& boxMax, const MapPoint& a, const MapPoint& b);
// 1 unless the rectangle (x, y, width, height) lies wholly beside
// (left, top, right, bottom); touching edges overlap.
int IsRectOverlap(int32_t x, int32_t y, int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                  int32_t bottom);
