#pragma once
// What a person's finger can reach on the screen, checked the way UI-test drivers check before a
// touch: the view is on the front-most screen and shown, the scroll views around it are dragged
// until it is in sight, and a point of it is drawn on the screen where the hit test finds it
// (nothing lies over it); a control must be enabled too. The touches then go through the screen
// like any finger's, to whatever the hit test finds there.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Geometry.h"

namespace platform {

class UIView;

class Actionability {
public:
    // A point of the screen (points) where a touch reaches what was asked for, or why none does.
    struct Reach {
        std::optional<CGPoint> point;
        std::string reason;
        explicit operator bool() const { return point.has_value(); }
        static Reach at(CGPoint p) { return {p, {}}; }
        static Reach failed(std::string why) { return {std::nullopt, std::move(why)}; }
    };
    // Whether the view the hit test finds at a screen point counts as reaching the target.
    using Accepts = std::function<bool(const std::shared_ptr<UIView>& hit, CGPoint screenPoint)>;

    // Brings `part` of `view` (its bounds coordinates; all of it when none) into sight by dragging
    // the scroll views around it, then finds a point of it that a touch reaches: by default one
    // where the hit test finds the view or a view inside it. `name` is how reasons name the view:
    // "'Send' is not shown", "'X' is off screen (below the sheet's bottom edge)", "'X' is covered
    // by the keyboard overlay", "'X' is disabled".
    static Reach reach(UIView& view, const std::string& name, std::optional<CGRect> part = std::nullopt,
                       const Accepts& accepts = {});
    // As reach, without scrolling: the part as the screen shows it now.
    static Reach pointIn(UIView& view, const std::string& name, CGRect part, const Accepts& accepts = {});
    // Drags the scroll views around `view`, innermost first, until `part` is in their sight or
    // they go no further.
    static void scrollIntoView(UIView& view, CGRect part);

    // A finger put down at a point and lifted there.
    static void tap(CGPoint screenPoint);
    // A finger put down at `from`, moved to `to` in a few steps and lifted there.
    static void drag(CGPoint from, CGPoint to);

    // What lies over a point, as a reason names it: "the keyboard overlay", "the alert", "'name'"
    // (a control of the screen by its property name) or "a UILabel".
    static std::string describeCover(const std::shared_ptr<UIView>& hit);
    // Points of a rectangle to try, the middle first, then spread over it.
    static std::vector<CGPoint> samplePoints(CGRect rect);
};

} // namespace platform
