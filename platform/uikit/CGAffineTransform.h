#pragma once
// Affine transforms of views: scale, rotation and translation, composed as the platform does.

#include <cmath>

#include "platform/foundation/Geometry.h"

namespace platform {

struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0; }
    CGFloat scaleX() const { return std::sqrt(a * a + b * b); }
    CGFloat scaleY() const { return std::sqrt(c * c + d * d); }
    // Rotation angle in radians.
    CGFloat rotation() const { return std::atan2(b, a); }
    bool operator==(const CGAffineTransform&) const = default;
};

inline const CGAffineTransform CGAffineTransformIdentity{};

inline CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) {
    return {sx, 0, 0, sy, 0, 0};
}
inline CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) {
    return {1, 0, 0, 1, tx, ty};
}
inline CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
    return {std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0};
}
// t1 then t2.
inline CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1, const CGAffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}
inline CGAffineTransform CGAffineTransformScale(const CGAffineTransform& t, CGFloat sx, CGFloat sy) {
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}
inline CGAffineTransform CGAffineTransformRotate(const CGAffineTransform& t, CGFloat angle) {
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}
// The inverse; a transform that cannot be inverted is returned unchanged, as the platform does.
inline CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t) {
    const CGFloat det = t.a * t.d - t.b * t.c;
    if (det == 0) return t;
    return {t.d / det,
            -t.b / det,
            -t.c / det,
            t.a / det,
            (t.c * t.ty - t.d * t.tx) / det,
            (t.b * t.tx - t.a * t.ty) / det};
}
inline CGAffineTransform CGAffineTransformTranslate(const CGAffineTransform& t, CGFloat tx, CGFloat ty) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}
inline CGPoint CGPointApplyAffineTransform(CGPoint p, const CGAffineTransform& t) {
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

} // namespace platform
