#include "bench/line_fit.h"

#include <algorithm>
#include <cmath>

Line FitLine(const Point* first, const Point* last)
{
    Line line;
    const double n = static_cast<double>(last - first);
    if (n < 2)
        return line;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Point* p = first; p != last; ++p) {
        sx += p->x;
        sy += p->y;
        sxx += p->x * p->x;
        sxy += p->x * p->y;
    }
    line.Slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    line.Intercept = (sy - line.Slope * sx) / n;
    for (const Point* p = first; p != last; ++p)
        line.Deviation = std::max(line.Deviation, std::fabs(p->y - (line.Intercept + line.Slope * p->x)));
    return line;
}
