#pragma once
// Views: a tree of rectangles that hold their state (geometry, transform, colours, layer style,
// constraints as records). Nothing is drawn. Animations apply their end state at once and finish
// on the main run loop after their duration.

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/CGAffineTransform.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIResponder.h"

typedef struct _cairo cairo_t;

namespace platform {

class UIView;
class UIWindow;
class UILayoutGuide;
class UIGestureRecognizer;

enum class NSLayoutAttribute { Left, Right, Top, Bottom, Leading, Trailing, Width, Height, CenterX, CenterY };
enum class NSLayoutRelation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

const char* describe(NSLayoutAttribute attribute);

// One side of a constraint: an item (a view or a layout guide) and one of its attributes.
struct NSLayoutAnchor {
    std::weak_ptr<NSObject> item;
    NSLayoutAttribute attribute;

    std::shared_ptr<class NSLayoutConstraint> constraintEqualToAnchor(const NSLayoutAnchor& other,
                                                                      CGFloat constant = 0) const;
    std::shared_ptr<NSLayoutConstraint> constraintGreaterThanOrEqualToAnchor(const NSLayoutAnchor& other,
                                                                             CGFloat constant = 0) const;
    std::shared_ptr<NSLayoutConstraint> constraintLessThanOrEqualToAnchor(const NSLayoutAnchor& other,
                                                                          CGFloat constant = 0) const;
    // Width and height anchors only.
    std::shared_ptr<NSLayoutConstraint> constraintEqualToConstant(CGFloat constant) const;
    std::shared_ptr<NSLayoutConstraint> constraintEqualToAnchor_multiplier(const NSLayoutAnchor& other,
                                                                           CGFloat multiplier) const;
};

// A constraint kept as a record; no layout is solved.
class NSLayoutConstraint : public NSObject {
public:
    std::weak_ptr<NSObject> firstItem;
    NSLayoutAttribute firstAttribute = NSLayoutAttribute::Top;
    NSLayoutRelation relation = NSLayoutRelation::Equal;
    std::weak_ptr<NSObject> secondItem; // empty for a constant constraint
    std::optional<NSLayoutAttribute> secondAttribute;
    CGFloat multiplier = 1;
    CGFloat constant = 0;
    float priority = 1000;

    bool isActive() const { return active_; }
    void setActive(bool active);

    static void activateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    // "view.leading == other.leading + 2"
    std::string description() const;

private:
    friend class UIView;
    bool active_ = false;
};

// Animation options: the timing curve lives in bits 16 to 19.
using UIViewAnimationOptions = std::uint64_t;
namespace UIViewAnimationOption {
inline constexpr UIViewAnimationOptions AllowUserInteraction = 1 << 1;
inline constexpr UIViewAnimationOptions BeginFromCurrentState = 1 << 2;
inline constexpr UIViewAnimationOptions Repeat = 1 << 3;
inline constexpr UIViewAnimationOptions Autoreverse = 1 << 4;
inline constexpr UIViewAnimationOptions CurveEaseInOut = 0 << 16;
inline constexpr UIViewAnimationOptions CurveEaseIn = 1 << 16;
inline constexpr UIViewAnimationOptions CurveEaseOut = 2 << 16;
inline constexpr UIViewAnimationOptions CurveLinear = 3 << 16;
inline constexpr UIViewAnimationOptions TransitionCrossDissolve = 5 << 20;
} // namespace UIViewAnimationOption

// The animation that last changed a view: what was asked and when it started.
struct UIViewAnimation {
    double duration = 0;
    double delay = 0;
    UIViewAnimationOptions options = 0;
    double startedAt = 0;
    // A spring's damping ratio (1: no overshoot) and initial velocity; none for a timing curve.
    std::optional<double> springDamping;
    double springVelocity = 0;
    double finishesAt() const { return startedAt + delay + duration; }
    // How far the animation has gone at `time`, 0 to 1 along its curve (a spring overshoots 1).
    double progressAt(double time) const;
};

// What an animated view shows while its animation runs, between the values it had and those
// it was given.
struct UIViewPresentation {
    CGRect frame;
    CGAffineTransform transform;
    CGFloat alpha = 1;
};

enum class UIViewContentMode {
    ScaleToFill,
    ScaleAspectFit,
    ScaleAspectFill,
    Redraw,
    Center,
    Top,
    Bottom,
    Left,
    Right
};

// Values a view was given by key path (setValue:forKeyPath:), kept for inspection.
using KeyValue = std::any;

class UIView : public UIResponder {
public:
    UIView();
    explicit UIView(const CGRect& frame);
    ~UIView() override;

    // Geometry. The frame is the untransformed rectangle in the superview's coordinates.
    CGRect frame() const { return frame_; }
    void setFrame(const CGRect& frame);
    CGRect bounds() const {
        return {bounds_.origin.x, bounds_.origin.y, frame_.size.width, frame_.size.height};
    }
    void setBounds(const CGRect& bounds);
    CGPoint center() const { return {frame_.midX(), frame_.midY()}; }
    void setCenter(const CGPoint& center);
    const CGAffineTransform& transform() const { return transform_; }
    void setTransform(const CGAffineTransform& transform);

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    CGFloat alpha() const { return alpha_; }
    void setAlpha(CGFloat alpha);
    const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<UIColor> color);
    // The tint colour: its own, else the superview's, else the system blue.
    UIColor tintColor() const;
    void setTintColor(std::optional<UIColor> color) { tintColor_ = std::move(color); }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    bool clipsToBounds() const { return layer_.masksToBounds; }
    void setClipsToBounds(bool clips) { layer_.masksToBounds = clips; }
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode) { contentMode_ = mode; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(std::string id) { accessibilityIdentifier_ = std::move(id); }

    CALayer& layer() { return layer_; }
    const CALayer& layer() const { return layer_; }

    // The tree.
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubview_atIndex(const std::shared_ptr<UIView>& view, std::size_t index);
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void removeFromSuperview();
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    bool isDescendantOfView(const UIView* view) const;
    // This view or the first descendant (depth first) with the tag.
    std::shared_ptr<UIView> viewWithTag(long tag);

    // Gesture recognisers, held by the view.
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return recognizers_;
    }
    // A finger lifted inside a view with a tap recogniser is that recogniser's tap; other touches
    // pass along the responder chain.
    void touchesEnded(const UITouch& touch) override;
    // The window this view is in, if any.
    std::shared_ptr<UIWindow> window() const;
    // Hidden itself or inside a hidden ancestor, or part of an input accessory bar whose text view
    // does not hold the focus.
    bool isHiddenOnScreen() const;
    // Marks the view as a text view's input accessory bar: off screen until that view is focused.
    void setServesAsInputAccessory(bool serves) { inputAccessory_ = serves; }
    bool isInInputAccessory() const;

    // Safe area: the window's insets, or the superview's.
    virtual UIEdgeInsets safeAreaInsets() const;
    std::shared_ptr<UILayoutGuide> safeAreaLayoutGuide();

    // Auto Layout, as records.
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizing_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool value) { translatesAutoresizing_ = value; }
    NSLayoutAnchor leadingAnchor() { return anchor(NSLayoutAttribute::Leading); }
    NSLayoutAnchor trailingAnchor() { return anchor(NSLayoutAttribute::Trailing); }
    NSLayoutAnchor leftAnchor() { return anchor(NSLayoutAttribute::Left); }
    NSLayoutAnchor rightAnchor() { return anchor(NSLayoutAttribute::Right); }
    NSLayoutAnchor topAnchor() { return anchor(NSLayoutAttribute::Top); }
    NSLayoutAnchor bottomAnchor() { return anchor(NSLayoutAttribute::Bottom); }
    NSLayoutAnchor widthAnchor() { return anchor(NSLayoutAttribute::Width); }
    NSLayoutAnchor heightAnchor() { return anchor(NSLayoutAttribute::Height); }
    NSLayoutAnchor centerXAnchor() { return anchor(NSLayoutAttribute::CenterX); }
    NSLayoutAnchor centerYAnchor() { return anchor(NSLayoutAttribute::CenterY); }
    // The active constraints whose first item is this view.
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints() const;
    void addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void removeConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);

    // Key-value coding: values set by key path are kept (and "hidden", "alpha", "backgroundColor"
    // and "tag" reach their properties).
    void setValue_forKeyPath(KeyValue value, const std::string& keyPath);
    const KeyValue* valueForKeyPath(const std::string& keyPath) const;

    // Animations: `animations` runs now; `completion(true)` runs on the main run loop once
    // delay + duration have passed. Views changed inside remember the animation.
    static void animateWithDuration_delay_options_animations_completion(double duration, double delay,
                                                                        UIViewAnimationOptions options,
                                                                        std::function<void()> animations,
                                                                        std::function<void(bool)> completion);
    static void animateWithDuration_animations(double duration, std::function<void()> animations);
    static void animateWithDuration_animations_completion(double duration, std::function<void()> animations,
                                                          std::function<void(bool)> completion);
    // A spring: `damping` 1 settles without overshoot, lower values overshoot and swing back;
    // `velocity` is the start speed in units of the whole change per second.
    static void
    animateWithDuration_delay_usingSpringWithDamping_initialSpringVelocity_options_animations_completion(
        double duration, double delay, double damping, double velocity, UIViewAnimationOptions options,
        std::function<void()> animations, std::function<void(bool)> completion);
    // The animation that last changed this view's geometry, transform, alpha or colour.
    const std::optional<UIViewAnimation>& lastAnimation() const { return lastAnimation_; }
    // The frame, transform and alpha shown at `time` (the main run loop's clock): the values given
    // once the last animation is over, in-between values while it runs.
    UIViewPresentation presentationAt(double time) const;

    // Grows the view from a scale of 0 to its full size, linear, in `duration` seconds.
    void zoomIn(double duration);

    std::string stateDescription() const override;

    // Drawing. `draw` paints the view's own content in its bounds coordinates; the renderer paints
    // the background and layer style before it and the subviews after it, clipped, transformed and
    // faded as the view's state says.
    virtual void draw(cairo_t* cr) const;
    // Draws the view's own content faded to `alpha` in one pass, where that looks the same as
    // drawing it at full strength into a layer of its own and fading the layer (content painted in
    // one piece, nothing of it over anything else of it); false, having drawn nothing, otherwise.
    virtual bool drawFaded(cairo_t* cr, CGFloat alpha) const;
    // Records that the content changed; the window draws a frame after such work.
    void setNeedsDisplay() { ++needsDisplayCount_; }
    std::size_t needsDisplayCount() const { return needsDisplayCount_; }

    // Whether drawing (and so touching) is cut at the bounds: clipsToBounds, and always for views
    // that scroll their content.
    virtual bool clipsWhenDrawn() const { return clipsToBounds(); }

    // Views that scroll what they draw by themselves, their subviews staying put (a web page
    // under its buttons), take a finger's pan and the wheel through these: whether there is
    // content beyond the view now, and moving it by `dy` points (down the content for dy > 0)
    // within it, false when it did not move.
    virtual bool scrollsOwnContent() const { return false; }
    virtual bool scrollOwnContentBy(CGFloat /*dy*/) { return false; }

    // Layout, run before a frame is drawn or a touch is placed: lays out the subviews, then theirs.
    void layoutIfNeeded();
    // Gives the subviews laid out by constraints their frames: each active equality constraint on
    // an edge, centre or size of a subview, against its superview, its safe area or a sibling.
    virtual void layoutSubviews();

    // Hit testing, the platform's way: `point` is in this view's bounds coordinates. A hidden,
    // nearly transparent (alpha < 0.01) or non-interactive view takes no touch, nor do its subviews;
    // the front-most subview that takes the point wins, else this view if the point is inside.
    virtual bool pointInside(CGPoint point) const;
    virtual std::shared_ptr<UIView> hitTest(CGPoint point);

    // Coordinates between views of one window; nullptr stands for the window (screen) coordinates.
    CGPoint convertPoint_toView(CGPoint point, const UIView* view) const;
    CGPoint convertPoint_fromView(CGPoint point, const UIView* view) const;
    CGRect convertRect_toView(CGRect rect, const UIView* view) const;
    CGRect convertRect_fromView(CGRect rect, const UIView* view) const;
    // From this view's bounds coordinates to its superview's: bounds origin, transform about the
    // centre, then the centre's place.
    CGAffineTransform transformToSuperview() const;
    // From bounds coordinates to the coordinates of the root of the tree (the window).
    CGAffineTransform transformToRoot() const;
    // As transformToSuperview, with the frame and transform shown at `time` while an animation runs.
    CGAffineTransform transformToSuperviewAt(double time) const;

    // The controller whose view this is; it is the view's next responder.
    void setOwningResponder(std::weak_ptr<UIResponder> owner) { owningResponder_ = std::move(owner); }
    std::shared_ptr<UIResponder> nextResponder() const override;

protected:
    NSLayoutAnchor anchor(NSLayoutAttribute attribute);
    // Called before an animatable property changes: inside an animation block, the view keeps
    // what it shows now as the animation's starting point.
    void noteAnimatableChange();

private:
    friend class NSLayoutConstraint;
    CGRect frame_;
    CGRect bounds_;
    CGAffineTransform transform_;
    bool hidden_ = false;
    bool inputAccessory_ = false;
    CGFloat alpha_ = 1;
    std::optional<UIColor> backgroundColor_;
    std::optional<UIColor> tintColor_;
    bool userInteractionEnabled_ = true;
    UIViewContentMode contentMode_ = UIViewContentMode::ScaleToFill;
    long tag_ = 0;
    std::string accessibilityIdentifier_;
    CALayer layer_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::weak_ptr<UIView> superview_;
    std::shared_ptr<UILayoutGuide> safeAreaGuide_;
    bool translatesAutoresizing_ = true;
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
    std::map<std::string, KeyValue> keyValues_;
    std::optional<UIViewAnimation> lastAnimation_;
    UIViewPresentation animatedFrom_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    std::size_t needsDisplayCount_ = 0;
    std::weak_ptr<UIResponder> owningResponder_;
};

// A rectangle for constraints that is not a view (the safe area).
class UILayoutGuide : public NSObject {
public:
    std::string identifier;
    std::weak_ptr<UIView> owningView;

    NSLayoutAnchor leadingAnchor() { return anchor(NSLayoutAttribute::Leading); }
    NSLayoutAnchor trailingAnchor() { return anchor(NSLayoutAttribute::Trailing); }
    NSLayoutAnchor topAnchor() { return anchor(NSLayoutAttribute::Top); }
    NSLayoutAnchor bottomAnchor() { return anchor(NSLayoutAttribute::Bottom); }
    NSLayoutAnchor widthAnchor() { return anchor(NSLayoutAttribute::Width); }
    NSLayoutAnchor heightAnchor() { return anchor(NSLayoutAttribute::Height); }
    NSLayoutAnchor centerXAnchor() { return anchor(NSLayoutAttribute::CenterX); }
    NSLayoutAnchor centerYAnchor() { return anchor(NSLayoutAttribute::CenterY); }

private:
    NSLayoutAnchor anchor(NSLayoutAttribute attribute) { return {weak_from_this(), attribute}; }
};

} // namespace platform
