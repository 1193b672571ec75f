#pragma once
// The benches' one least-squares line.

#include <cstddef>

struct Point {
    double x, y;
};

// y = Intercept + Slope * x through the points, and the largest vertical
// distance of a point from it. Fewer than two points give the line y = x.
struct Line {
    double Slope = 1;
    double Intercept = 0;
    double Deviation = 0;
};

Line FitLine(const Point* first, const Point* last);
