#include "sim/match/EnclosingCircle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

// Points this close outside a circle count as on it (mm).
constexpr double kOnCircle = 1e-7;

struct Circle {
    posicaoXY centre;
    double radius;

    bool holds(posicaoXY p) const { return std::hypot(p.x - centre.x, p.y - centre.y) <= radius + kOnCircle; }
};

Circle onDiameter(posicaoXY a, posicaoXY b)
{
    const posicaoXY m = {(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
    return {m, std::hypot(a.x - m.x, a.y - m.y)};
}

Circle throughThree(posicaoXY a, posicaoXY b, posicaoXY c)
{
    const double bx = b.x - a.x;
    const double by = b.y - a.y;
    const double cx = c.x - a.x;
    const double cy = c.y - a.y;
    const double d = 2.0 * (bx * cy - by * cx);
    if (std::fabs(d) < 1e-12) {
        // In a line: the two farthest apart span the circle.
        Circle best = onDiameter(a, b);
        for (const Circle& other : {onDiameter(a, c), onDiameter(b, c)}) {
            if (other.radius > best.radius) {
                best = other;
            }
        }
        return best;
    }
    const double b2 = bx * bx + by * by;
    const double c2 = cx * cx + cy * cy;
    const posicaoXY centre = {a.x + (cy * b2 - by * c2) / d, a.y + (bx * c2 - cx * b2) / d};
    return {centre, std::hypot(a.x - centre.x, a.y - centre.y)};
}

}  // namespace

bool withinOneDisc(const std::vector<posicaoXY>& points, double radius, std::vector<posicaoXY>& scratch)
{
    if (points.empty()) {
        return true;
    }
    // The bounding box settles most cases: a moving ball spans more than a
    // diameter, a still one fits in the box's own circle.
    double minX = points[0].x;
    double maxX = minX;
    double minY = points[0].y;
    double maxY = minY;
    for (const posicaoXY& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    if (maxX - minX > 2.0 * radius || maxY - minY > 2.0 * radius) {
        return false;
    }
    if (std::hypot(maxX - minX, maxY - minY) / 2.0 <= radius) {
        return true;
    }
    // The smallest enclosing circle, grown point by point; a fixed shuffle
    // keeps the expected work linear for points that come in path order.
    scratch.assign(points.begin(), points.end());
    std::uint32_t state = 2463534242u;
    for (std::size_t i = scratch.size(); i > 1; --i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        std::swap(scratch[i - 1], scratch[state % i]);
    }
    Circle c{scratch[0], 0.0};
    for (std::size_t i = 1; i < scratch.size(); ++i) {
        if (c.holds(scratch[i])) {
            continue;
        }
        c = {scratch[i], 0.0};
        for (std::size_t j = 0; j < i; ++j) {
            if (c.holds(scratch[j])) {
                continue;
            }
            c = onDiameter(scratch[i], scratch[j]);
            for (std::size_t k = 0; k < j; ++k) {
                if (!c.holds(scratch[k])) {
                    c = throughThree(scratch[i], scratch[j], scratch[k]);
                }
            }
        }
        // The circle only grows from here.
        if (c.radius > radius + kOnCircle) {
            return false;
        }
    }
    return c.radius <= radius + kOnCircle;
}
