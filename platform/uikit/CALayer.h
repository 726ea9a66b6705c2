#pragma once
// Layers: the style a view's own layer gives it (corners, border, shadow, clipping), and layers of
// their own added beneath one, each with its frame, colour, visibility and sublayers. A replicator
// layer draws its sublayers `instanceCount` times, each copy moved by the instance transform once
// more than the one before.

#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIColor.h"

namespace platform {

// A 3-D transform as the layers use it: a translation (the rest of the matrix is the identity).
struct CATransform3D {
    CGFloat tx = 0;
    CGFloat ty = 0;
    CGFloat tz = 0;
    bool operator==(const CATransform3D&) const = default;
};

inline constexpr CATransform3D CATransform3DIdentity{};

inline CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz) {
    return {tx, ty, tz};
}

struct CALayer {
    virtual ~CALayer() = default;

    CGFloat cornerRadius = 0;
    CGFloat borderWidth = 0;
    std::optional<UIColor> borderColor;
    bool masksToBounds = false;
    std::optional<UIColor> shadowColor;
    float shadowOpacity = 0;
    CGSize shadowOffset{0, -3};
    CGFloat shadowRadius = 3;

    // Of a layer of its own; a view's own layer takes them from its view.
    CGRect frame;
    std::optional<UIColor> backgroundColor;
    bool hidden = false;

    // Drawn above the layer's content (and, on a view's own layer, above its subviews), in order.
    const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
    void addSublayer(std::shared_ptr<CALayer> layer);

private:
    std::vector<std::shared_ptr<CALayer>> sublayers_;
};

struct CAReplicatorLayer : CALayer {
    long instanceCount = 1;
    CATransform3D instanceTransform = CATransform3DIdentity;
    // Seconds between the start of one copy's animations and the next; nothing animates here.
    double instanceDelay = 0;
};

} // namespace platform
