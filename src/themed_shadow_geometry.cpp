#include "themed_shadow_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// The shadow is opaque from this fraction of the way to the centre on.
constexpr double kOpaqueFrom = 0.05;

// How far out a point lies as a multiple of the outline's own distance from
// the centre along the same line (1 on the outline): the outline scaled about
// the centre by the answer passes through the point. u and v are the point's
// distances from the centre; halfWidth and halfHeight the outline's, radius
// its corners'.
double ScaleThrough(double u, double v, double halfWidth, double halfHeight, double radius) {
    const double a = halfWidth - radius, b = halfHeight - radius;  // the corner circles' centres, unscaled
    const double byHeight = v / halfHeight;
    if (u <= byHeight * a) return byHeight;  // on the line of the top or bottom edge
    const double byWidth = u / halfWidth;
    if (v <= byWidth * b) return byWidth;  // on the line of the left or right edge
    // On a corner: (u - ta)^2 + (v - tb)^2 = (tr)^2, the smaller root.
    const double quadratic = a * a + b * b - radius * radius, half = u * a + v * b, constant = u * u + v * v;
    if (std::fabs(quadratic) < 1e-9) return constant / (2 * half);
    return (half - std::sqrt(std::max(0.0, half * half - quadratic * constant))) / quadratic;
}

}  // namespace

RECT ShadowRect(const RECT& ownerRect, int size) {
    return RECT{ownerRect.left + size, ownerRect.top + size, ownerRect.right + size, ownerRect.bottom + size};
}

RECT ShadowHiddenPart(const RECT& client, int size, int inset) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    return RECT{client.left, client.top, client.left + width - (size + inset), client.top + height - (size + inset)};
}

int ShadowAlphaAt(int x, int y, int width, int height, int cornerDiameter) {
    const double halfWidth = width / 2.0, halfHeight = height / 2.0;
    if (halfWidth <= 0 || halfHeight <= 0) return 0;
    const double radius = std::clamp(cornerDiameter / 2.0, 0.0, std::min(halfWidth, halfHeight));
    const double scale =
        ScaleThrough(std::fabs(x + 0.5 - halfWidth), std::fabs(y + 0.5 - halfHeight), halfWidth, halfHeight, radius);
    if (!(scale < 1.0)) return 0;
    const double depth = std::min(1.0, (1.0 - scale) / kOpaqueFrom);
    return static_cast<int>(depth * 255.0 + 0.5);
}
