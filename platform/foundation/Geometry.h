#pragma once
// Points, sizes and rectangles in points, as the screens lay themselves out.

#include <charconv>
#include <ostream>
#include <string>

namespace platform {

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0, y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0, height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;

    CGRect() = default;
    CGRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) : origin{x, y}, size{w, h} {}
    CGFloat minX() const { return origin.x; }
    CGFloat minY() const { return origin.y; }
    CGFloat maxX() const { return origin.x + size.width; }
    CGFloat maxY() const { return origin.y + size.height; }
    CGFloat midX() const { return origin.x + size.width / 2; }
    CGFloat midY() const { return origin.y + size.height / 2; }
    CGFloat width() const { return size.width; }
    CGFloat height() const { return size.height; }
    bool isEmpty() const { return size.width <= 0 || size.height <= 0; }
    bool operator==(const CGRect&) const = default;
};

inline const CGRect CGRectZero{};

// The part two rectangles share; an empty rectangle at the origin when they do not meet.
inline CGRect intersection(const CGRect& a, const CGRect& b) {
    const CGFloat x0 = a.minX() > b.minX() ? a.minX() : b.minX(),
                  y0 = a.minY() > b.minY() ? a.minY() : b.minY();
    const CGFloat x1 = a.maxX() < b.maxX() ? a.maxX() : b.maxX(),
                  y1 = a.maxY() < b.maxY() ? a.maxY() : b.maxY();
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

struct UIEdgeInsets {
    CGFloat top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

// A number as the platform prints a floating-point value: the shortest digits that read back the
// same, and a whole number with ".0" ("844.0", "291.5", "-0.5").
inline std::string decimalDescription(CGFloat value) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    std::string text(buffer, end);
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}

// A rectangle as the platform prints one: "(0.0, 508.0, 390.0, 336.0)".
inline std::string decimalDescription(const CGRect& r) {
    return "(" + decimalDescription(r.origin.x) + ", " + decimalDescription(r.origin.y) + ", " +
           decimalDescription(r.size.width) + ", " + decimalDescription(r.size.height) + ")";
}

inline std::ostream& operator<<(std::ostream& os, const CGRect& r) {
    return os << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height
              << ")";
}

} // namespace platform
