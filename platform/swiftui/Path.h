#pragma once
// Angles and paths. A path keeps every element it was built from, so a chart wedge can be read back
// as "an arc about this centre from this angle to that one, then a line to the centre".
//
// Angles grow from the positive x axis towards positive y (clockwise on a screen whose y grows
// downwards). The `clockwise` flag of addArc follows the platform's convention: set, the arc runs
// towards decreasing angles.

#include <optional>
#include <vector>

#include "platform/foundation/Geometry.h"

namespace platform::swiftui {

struct Angle {
    double radians = 0;

    static Angle degrees(double d);
    static Angle fromRadians(double r) { return {r}; }
    double degreesValue() const;

    Angle operator+(Angle o) const { return {radians + o.radians}; }
    Angle operator-(Angle o) const { return {radians - o.radians}; }
    bool operator==(const Angle&) const = default;
};

class Path {
public:
    enum class Kind { move, line, arc, close };
    struct Element {
        Kind kind;
        CGPoint point;  // move, line: the target; arc: its end point
        CGPoint center; // arc only
        double radius = 0;
        Angle startAngle, endAngle;
        bool clockwise = false;
        // Signed sweep actually drawn, in radians (negative towards decreasing angles).
        double sweep = 0;
    };

    void moveTo(CGPoint p);
    // A line from the current point; on an empty path it only sets the start.
    void addLine(CGPoint p);
    // Joins the arc's first point to the current point with a line (or starts there on an empty
    // path). A difference of a full turn or more between the angles draws a full circle.
    void addArc(CGPoint center, double radius, Angle startAngle, Angle endAngle, bool clockwise);
    void closeSubpath();

    const std::vector<Element>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    std::optional<CGPoint> currentPoint() const { return current_; }
    // Smallest rectangle holding every point the path passes (arcs included).
    CGRect boundingRect() const;
    // Even-odd-free winding test on the path flattened to a polygon, closing it implicitly as filling does.
    bool contains(CGPoint p) const;
    // The path as a polygon, arcs flattened to steps of at most `step` radians.
    std::vector<std::vector<CGPoint>> flattened(double step = 0.05) const;

private:
    std::vector<Element> elements_;
    std::optional<CGPoint> current_;
    std::optional<CGPoint> subpathStart_;
};

} // namespace platform::swiftui
