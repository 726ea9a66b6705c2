#include "platform/swiftui/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform::swiftui {

namespace {
constexpr double kTurn = 2 * std::numbers::pi;
constexpr double kEpsilon = 1e-9;

CGPoint pointOnCircle(CGPoint c, double r, double angle) {
    return {c.x + r * std::cos(angle), c.y + r * std::sin(angle)};
}

double sweepFor(double start, double end, bool clockwise) {
    double diff = end - start;
    if (std::abs(diff) >= kTurn - kEpsilon) return clockwise ? -kTurn : kTurn;
    double forward = std::fmod(clockwise ? start - end : end - start, kTurn);
    if (forward < 0) forward += kTurn;
    return clockwise ? -forward : forward;
}
} // namespace

Angle Angle::degrees(double d) {
    return {d * std::numbers::pi / 180.0};
}
double Angle::degreesValue() const {
    return radians * 180.0 / std::numbers::pi;
}

void Path::moveTo(CGPoint p) {
    elements_.push_back({Kind::move, p, {}, 0, {}, {}, false, 0});
    current_ = p;
    subpathStart_ = p;
}

void Path::addLine(CGPoint p) {
    if (!current_) {
        moveTo(p);
        return;
    }
    elements_.push_back({Kind::line, p, {}, 0, {}, {}, false, 0});
    current_ = p;
}

void Path::addArc(CGPoint center, double radius, Angle startAngle, Angle endAngle, bool clockwise) {
    CGPoint first = pointOnCircle(center, radius, startAngle.radians);
    if (!current_)
        moveTo(first);
    else if (*current_ != first)
        addLine(first);
    double sweep = sweepFor(startAngle.radians, endAngle.radians, clockwise);
    CGPoint last = pointOnCircle(center, radius, startAngle.radians + sweep);
    elements_.push_back({Kind::arc, last, center, radius, startAngle, endAngle, clockwise, sweep});
    current_ = last;
}

void Path::closeSubpath() {
    if (!current_) return;
    elements_.push_back({Kind::close, subpathStart_.value_or(*current_), {}, 0, {}, {}, false, 0});
    current_ = subpathStart_;
}

std::vector<std::vector<CGPoint>> Path::flattened(double step) const {
    std::vector<std::vector<CGPoint>> polygons;
    for (const Element& e : elements_) {
        switch (e.kind) {
        case Kind::move:
            polygons.push_back({e.point});
            break;
        case Kind::line:
            polygons.back().push_back(e.point);
            break;
        case Kind::arc: {
            int steps = std::max(1, static_cast<int>(std::ceil(std::abs(e.sweep) / step)));
            for (int i = 1; i <= steps; ++i)
                polygons.back().push_back(
                    pointOnCircle(e.center, e.radius, e.startAngle.radians + e.sweep * i / steps));
            break;
        }
        case Kind::close:
            break;
        }
    }
    return polygons;
}

CGRect Path::boundingRect() const {
    auto polygons = flattened(0.01);
    bool any = false;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (const auto& poly : polygons)
        for (CGPoint p : poly) {
            if (!any) {
                minX = maxX = p.x;
                minY = maxY = p.y;
                any = true;
            }
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    if (!any) return CGRectZero;
    return {minX, minY, maxX - minX, maxY - minY};
}

bool Path::contains(CGPoint p) const {
    int winding = 0;
    for (const auto& poly : flattened()) {
        for (std::size_t i = 0; i < poly.size(); ++i) {
            CGPoint a = poly[i], b = poly[(i + 1) % poly.size()];
            double cross = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
            if (a.y <= p.y && b.y > p.y && cross > 0) ++winding;
            if (a.y > p.y && b.y <= p.y && cross < 0) --winding;
        }
    }
    return winding != 0;
}

} // namespace platform::swiftui
