#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

#include "platform/foundation/Console.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

namespace {
// The animation whose block is running, so that the views it changes can remember it.
const UIViewAnimation* currentAnimation = nullptr;

std::shared_ptr<UIView> viewOf(const std::weak_ptr<NSObject>& item) {
    auto object = item.lock();
    if (auto view = std::dynamic_pointer_cast<UIView>(object)) return view;
    if (auto guide = std::dynamic_pointer_cast<UILayoutGuide>(object)) return guide->owningView.lock();
    return nullptr;
}

std::string itemName(const std::weak_ptr<NSObject>& item) {
    auto object = item.lock();
    if (!object) return "(gone)";
    if (auto guide = std::dynamic_pointer_cast<UILayoutGuide>(object)) {
        auto owner = guide->owningView.lock();
        return (owner ? owner->className() : std::string("?")) + "." + guide->identifier;
    }
    return object->className();
}

std::shared_ptr<NSLayoutConstraint> makeConstraint(const NSLayoutAnchor& first, NSLayoutRelation relation,
                                                   const NSLayoutAnchor* second, CGFloat constant,
                                                   CGFloat multiplier = 1) {
    auto c = std::make_shared<NSLayoutConstraint>();
    c->firstItem = first.item;
    c->firstAttribute = first.attribute;
    c->relation = relation;
    if (second) {
        c->secondItem = second->item;
        c->secondAttribute = second->attribute;
    }
    c->constant = constant;
    c->multiplier = multiplier;
    return c;
}
} // namespace

const char* describe(NSLayoutAttribute attribute) {
    switch (attribute) {
    case NSLayoutAttribute::Left:
        return "left";
    case NSLayoutAttribute::Right:
        return "right";
    case NSLayoutAttribute::Top:
        return "top";
    case NSLayoutAttribute::Bottom:
        return "bottom";
    case NSLayoutAttribute::Leading:
        return "leading";
    case NSLayoutAttribute::Trailing:
        return "trailing";
    case NSLayoutAttribute::Width:
        return "width";
    case NSLayoutAttribute::Height:
        return "height";
    case NSLayoutAttribute::CenterX:
        return "centerX";
    case NSLayoutAttribute::CenterY:
        return "centerY";
    }
    return "?";
}

std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintEqualToAnchor(const NSLayoutAnchor& other,
                                                                            CGFloat constant) const {
    return makeConstraint(*this, NSLayoutRelation::Equal, &other, constant);
}
std::shared_ptr<NSLayoutConstraint>
NSLayoutAnchor::constraintGreaterThanOrEqualToAnchor(const NSLayoutAnchor& other, CGFloat constant) const {
    return makeConstraint(*this, NSLayoutRelation::GreaterThanOrEqual, &other, constant);
}
std::shared_ptr<NSLayoutConstraint>
NSLayoutAnchor::constraintLessThanOrEqualToAnchor(const NSLayoutAnchor& other, CGFloat constant) const {
    return makeConstraint(*this, NSLayoutRelation::LessThanOrEqual, &other, constant);
}
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintEqualToConstant(CGFloat constant) const {
    return makeConstraint(*this, NSLayoutRelation::Equal, nullptr, constant);
}
std::shared_ptr<NSLayoutConstraint>
NSLayoutAnchor::constraintEqualToAnchor_multiplier(const NSLayoutAnchor& other, CGFloat multiplier) const {
    return makeConstraint(*this, NSLayoutRelation::Equal, &other, 0, multiplier);
}

void NSLayoutConstraint::setActive(bool active) {
    if (active == active_) return;
    auto view = viewOf(firstItem);
    if (!view) return;
    auto me = self<NSLayoutConstraint>();
    if (active)
        view->addConstraint(me);
    else
        view->removeConstraint(me);
}

void NSLayoutConstraint::activateConstraints(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(true);
}

void NSLayoutConstraint::deactivateConstraints(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(false);
}

std::string NSLayoutConstraint::description() const {
    std::ostringstream os;
    os << itemName(firstItem) << "." << describe(firstAttribute)
       << (relation == NSLayoutRelation::Equal             ? " == "
           : relation == NSLayoutRelation::LessThanOrEqual ? " <= "
                                                           : " >= ");
    if (secondAttribute) {
        os << itemName(secondItem) << "." << describe(*secondAttribute);
        if (multiplier != 1) os << " * " << multiplier;
        if (constant > 0) os << " + " << constant;
        if (constant < 0) os << " - " << -constant;
    } else {
        os << constant;
    }
    return os.str();
}

UIView::UIView() = default;
UIView::UIView(const CGRect& frame) : frame_(frame) {
    animatedFrom_.frame = frame;
}

UIView::~UIView() {
    // Children outlive us only if someone else holds them; they must not point back at a dead view.
    for (auto& child : subviews_)
        child->superview_.reset();
}

void UIView::noteAnimatableChange() {
    if (!currentAnimation) return;
    // A view changed by a new animation starts from what it shows now, even mid-way through an
    // earlier one.
    const bool sameAnimation = lastAnimation_ && lastAnimation_->startedAt == currentAnimation->startedAt &&
                               lastAnimation_->duration == currentAnimation->duration &&
                               lastAnimation_->delay == currentAnimation->delay;
    if (!sameAnimation) animatedFrom_ = presentationAt(RunLoop::main().now());
    lastAnimation_ = *currentAnimation;
}

void UIView::setFrame(const CGRect& frame) {
    noteAnimatableChange();
    frame_ = frame;
    if (!currentAnimation) animatedFrom_.frame = frame_;
}

void UIView::setBounds(const CGRect& bounds) {
    noteAnimatableChange();
    CGPoint c = center();
    bounds_.origin = bounds.origin;
    frame_ = CGRect(c.x - bounds.width() / 2, c.y - bounds.height() / 2, bounds.width(), bounds.height());
    if (!currentAnimation) animatedFrom_.frame = frame_;
}

void UIView::setCenter(const CGPoint& center) {
    noteAnimatableChange();
    frame_.origin = {center.x - frame_.width() / 2, center.y - frame_.height() / 2};
    if (!currentAnimation) animatedFrom_.frame = frame_;
}

void UIView::setTransform(const CGAffineTransform& transform) {
    noteAnimatableChange();
    transform_ = transform;
    if (!currentAnimation) animatedFrom_.transform = transform_;
}

void UIView::setHidden(bool hidden) {
    hidden_ = hidden;
}

void UIView::setAlpha(CGFloat alpha) {
    noteAnimatableChange();
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    if (!currentAnimation) animatedFrom_.alpha = alpha_;
}

void UIView::setBackgroundColor(std::optional<UIColor> color) {
    noteAnimatableChange();
    backgroundColor_ = std::move(color);
}

UIColor UIView::tintColor() const {
    if (tintColor_) return *tintColor_;
    if (auto parent = superview()) return parent->tintColor();
    return UIColor::systemBlueColor();
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    insertSubview_atIndex(view, subviews_.size());
}

void UIView::insertSubview_atIndex(const std::shared_ptr<UIView>& view, std::size_t index) {
    if (!view || view.get() == this) return;
    if (isDescendantOfView(view.get())) fatalError("a view cannot be added inside one of its own subviews");
    auto keep = view;
    if (auto old = view->superview()) {
        auto& siblings = old->subviews_;
        auto it = std::find(siblings.begin(), siblings.end(), view);
        if (it != siblings.end()) {
            if (old.get() == this && static_cast<std::size_t>(it - siblings.begin()) < index) --index;
            siblings.erase(it);
        }
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<long>(index), keep);
    keep->superview_ = self<UIView>();
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    auto keep = *it;
    subviews_.erase(it);
    subviews_.push_back(keep);
}

void UIView::removeFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    auto keep = self<UIView>();
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    superview_.reset();
}

bool UIView::isDescendantOfView(const UIView* view) const {
    for (const UIView* v = this; v; v = v->superview_.lock().get())
        if (v == view) return true;
    return false;
}

std::shared_ptr<UIView> UIView::viewWithTag(long tag) {
    if (tag_ == tag) return self<UIView>();
    for (auto& child : subviews_)
        if (auto found = child->viewWithTag(tag)) return found;
    return nullptr;
}

std::shared_ptr<UIWindow> UIView::window() const {
    for (auto v = std::const_pointer_cast<UIView>(self<UIView>()); v; v = v->superview())
        if (auto w = std::dynamic_pointer_cast<UIWindow>(v)) return w;
    return nullptr;
}

// Walked from `this`, so that a view no shared pointer owns (one on the stack) can answer too.
bool UIView::isInInputAccessory() const {
    for (const UIView* v = this; v; v = v->superview().get())
        if (v->inputAccessory_) return true;
    return false;
}

bool UIView::isHiddenOnScreen() const {
    for (const UIView* v = this; v; v = v->superview().get()) {
        if (v->hidden_) return true;
        // An accessory bar is in a window only while its text view has the keyboard.
        if (v->inputAccessory_ && !v->superview()) return true;
    }
    return false;
}

UIEdgeInsets UIView::safeAreaInsets() const {
    if (auto parent = superview()) return parent->safeAreaInsets();
    return {};
}

std::shared_ptr<UILayoutGuide> UIView::safeAreaLayoutGuide() {
    if (!safeAreaGuide_) {
        safeAreaGuide_ = std::make_shared<UILayoutGuide>();
        safeAreaGuide_->identifier = "safeAreaLayoutGuide";
        safeAreaGuide_->owningView = self<UIView>();
    }
    return safeAreaGuide_;
}

NSLayoutAnchor UIView::anchor(NSLayoutAttribute attribute) {
    return {weak_from_this(), attribute};
}

std::vector<std::shared_ptr<NSLayoutConstraint>> UIView::constraints() const {
    return constraints_;
}

void UIView::addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint) {
    if (!constraint || constraint->active_) return;
    constraint->active_ = true;
    constraints_.push_back(constraint);
}

void UIView::removeConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it == constraints_.end()) return;
    (*it)->active_ = false;
    constraints_.erase(it);
}

void UIView::setValue_forKeyPath(KeyValue value, const std::string& keyPath) {
    if (keyPath == "hidden") {
        if (auto b = std::any_cast<bool>(&value)) setHidden(*b);
    } else if (keyPath == "alpha") {
        if (auto d = std::any_cast<double>(&value)) setAlpha(*d);
    } else if (keyPath == "backgroundColor") {
        if (auto c = std::any_cast<UIColor>(&value)) setBackgroundColor(*c);
    } else if (keyPath == "tag") {
        if (auto t = std::any_cast<long>(&value)) setTag(*t);
    }
    keyValues_[keyPath] = std::move(value);
}

const KeyValue* UIView::valueForKeyPath(const std::string& keyPath) const {
    auto it = keyValues_.find(keyPath);
    return it == keyValues_.end() ? nullptr : &it->second;
}

void UIView::animateWithDuration_delay_options_animations_completion(double duration, double delay,
                                                                     UIViewAnimationOptions options,
                                                                     std::function<void()> animations,
                                                                     std::function<void(bool)> completion) {
    UIViewAnimation animation;
    animation.duration = duration;
    animation.delay = delay;
    animation.options = options;
    animation.startedAt = RunLoop::main().now();
    const UIViewAnimation* outer = currentAnimation;
    currentAnimation = &animation;
    if (animations) animations();
    currentAnimation = outer;
    if (completion)
        RunLoop::main().schedule(delay + duration,
                                 [completion = std::move(completion)] { completion(true); });
}

void UIView::
    animateWithDuration_delay_usingSpringWithDamping_initialSpringVelocity_options_animations_completion(
        double duration, double delay, double damping, double velocity, UIViewAnimationOptions options,
        std::function<void()> animations, std::function<void(bool)> completion) {
    UIViewAnimation animation;
    animation.duration = duration;
    animation.delay = delay;
    animation.options = options;
    animation.startedAt = RunLoop::main().now();
    animation.springDamping = std::max(damping, 0.01);
    animation.springVelocity = velocity;
    const UIViewAnimation* outer = currentAnimation;
    currentAnimation = &animation;
    if (animations) animations();
    currentAnimation = outer;
    if (completion)
        RunLoop::main().schedule(delay + duration,
                                 [completion = std::move(completion)] { completion(true); });
}

double UIViewAnimation::progressAt(double time) const {
    const double t = time - startedAt - delay;
    if (t <= 0) return 0;
    if (duration <= 0 || t >= duration) return 1;
    const double u = t / duration;
    if (springDamping) {
        // A damped spring tuned so that its swing has died down (to a thousandth) by the end.
        const double zeta = *springDamping;
        if (zeta >= 1) {
            const double w = 9.23 / duration;
            return 1 - std::exp(-w * t) * (1 + (w - springVelocity) * t);
        }
        const double w = std::log(1000.0) / (zeta * duration);
        const double wd = w * std::sqrt(1 - zeta * zeta);
        return 1 - std::exp(-zeta * w * t) *
                       (std::cos(wd * t) + (zeta * w - springVelocity) / wd * std::sin(wd * t));
    }
    switch (options & (UIViewAnimationOptions{0xF} << 16)) {
    case UIViewAnimationOption::CurveLinear:
        return u;
    case UIViewAnimationOption::CurveEaseIn:
        return u * u;
    case UIViewAnimationOption::CurveEaseOut:
        return 1 - (1 - u) * (1 - u);
    default:
        return u * u * (3 - 2 * u);
    }
}

namespace {
// A transform taken apart as the platform animates it: translation, rotation angle, scale, and
// what shear is left, each of which is interpolated on its own.
struct DecomposedTransform {
    double tx = 0, ty = 0, angle = 0, sx = 1, sy = 1;
    double r11 = 1, r12 = 0, r21 = 0, r22 = 1;
};

DecomposedTransform decompose(const CGAffineTransform& t) {
    DecomposedTransform out;
    out.tx = t.tx;
    out.ty = t.ty;
    out.sx = std::hypot(t.a, t.b);
    out.sy = std::hypot(t.c, t.d);
    // A mirrored transform: one axis takes the flip, the one that keeps the angle smaller.
    if (t.a * t.d - t.b * t.c < 0) {
        if (t.a < t.d)
            out.sx = -out.sx;
        else
            out.sy = -out.sy;
    }
    double a = t.a, b = t.b, c = t.c, d = t.d;
    if (out.sx != 0) a /= out.sx, b /= out.sx;
    if (out.sy != 0) c /= out.sy, d /= out.sy;
    out.angle = std::atan2(b, a);
    // What the rotation leaves: the rows turned back by the angle.
    const double cs = std::cos(out.angle), sn = std::sin(out.angle);
    out.r11 = a * cs + b * sn;
    out.r12 = -a * sn + b * cs;
    out.r21 = c * cs + d * sn;
    out.r22 = -c * sn + d * cs;
    return out;
}

CGAffineTransform recompose(const DecomposedTransform& d) {
    const CGAffineTransform scaled{d.sx * d.r11, d.sx * d.r12, d.sy * d.r21, d.sy * d.r22, 0, 0};
    CGAffineTransform out = CGAffineTransformConcat(scaled, CGAffineTransformMakeRotation(d.angle));
    out.tx = d.tx;
    out.ty = d.ty;
    return out;
}

CGAffineTransform interpolate(const CGAffineTransform& from, const CGAffineTransform& to, double p) {
    if (from == to) return to;
    DecomposedTransform a = decompose(from), b = decompose(to);
    // A flip on one axis against one on the other is the same as a half turn: compare like with like.
    if ((a.sx < 0 && b.sy < 0) || (a.sy < 0 && b.sx < 0)) {
        a.sx = -a.sx;
        a.sy = -a.sy;
        a.angle += a.angle < 0 ? std::numbers::pi : -std::numbers::pi;
    }
    auto mix = [p](double x, double y) { return x + (y - x) * p; };
    DecomposedTransform m;
    m.tx = mix(a.tx, b.tx);
    m.ty = mix(a.ty, b.ty);
    m.angle = mix(a.angle, b.angle);
    m.sx = mix(a.sx, b.sx);
    m.sy = mix(a.sy, b.sy);
    m.r11 = mix(a.r11, b.r11);
    m.r12 = mix(a.r12, b.r12);
    m.r21 = mix(a.r21, b.r21);
    m.r22 = mix(a.r22, b.r22);
    return recompose(m);
}
} // namespace

UIViewPresentation UIView::presentationAt(double time) const {
    UIViewPresentation now{frame_, transform_, alpha_};
    if (!lastAnimation_ || time >= lastAnimation_->finishesAt()) return now;
    const double p = lastAnimation_->progressAt(time);
    auto mix = [p](double from, double to) { return from + (to - from) * p; };
    const UIViewPresentation& from = animatedFrom_;
    now.frame = CGRect(mix(from.frame.minX(), frame_.minX()), mix(from.frame.minY(), frame_.minY()),
                       mix(from.frame.width(), frame_.width()), mix(from.frame.height(), frame_.height()));
    now.transform = interpolate(from.transform, transform_, p);
    now.alpha = std::clamp(mix(from.alpha, alpha_), 0.0, 1.0);
    return now;
}

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (auto old = recognizer->view(); old && old.get() != this) old->removeGestureRecognizer(recognizer);
    if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) == recognizers_.end())
        recognizers_.push_back(recognizer);
    recognizer->view_ = self<UIView>();
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
    if (it == recognizers_.end()) return;
    (*it)->view_.reset();
    recognizers_.erase(it);
}

void UIView::touchesEnded(const UITouch& touch) {
    if (!touch.movedPastSlop && pointInside(touch.locationInView(this))) {
        auto keep = self<UIView>();
        for (const auto& recognizer : std::vector(recognizers_))
            if (std::dynamic_pointer_cast<UITapGestureRecognizer>(recognizer) &&
                recognizer->recognize(touch.locationInWindow))
                return;
    }
    UIResponder::touchesEnded(touch);
}

void UIView::animateWithDuration_animations(double duration, std::function<void()> animations) {
    animateWithDuration_delay_options_animations_completion(duration, 0, 0, std::move(animations), nullptr);
}

void UIView::animateWithDuration_animations_completion(double duration, std::function<void()> animations,
                                                       std::function<void(bool)> completion) {
    animateWithDuration_delay_options_animations_completion(duration, 0, 0, std::move(animations),
                                                            std::move(completion));
}

void UIView::zoomIn(double duration) {
    setTransform(CGAffineTransformMakeScale(0, 0));
    auto weak = weakSelf<UIView>();
    animateWithDuration_delay_options_animations_completion(
        duration, 0, UIViewAnimationOption::CurveLinear,
        [weak] {
            if (auto view = weak.lock()) view->setTransform(CGAffineTransformIdentity);
        },
        nullptr);
}

std::string UIView::stateDescription() const {
    std::string out;
    if (hidden_) out += " hidden";
    if (!hidden_ && isHiddenOnScreen() && isInInputAccessory()) out += " off-screen";
    if (alpha_ < 1) out += " alpha=" + std::to_string(alpha_).substr(0, 4);
    if (backgroundColor_ && backgroundColor_->name != "clear")
        out += " background=" + backgroundColor_->description();
    return out.empty() ? out : out.substr(1);
}

void UIView::draw(cairo_t*) const {}

bool UIView::drawFaded(cairo_t*, CGFloat) const {
    return false;
}

void UIView::layoutIfNeeded() {
    auto keep = self<UIView>();
    layoutSubviews();
    const auto children = subviews_;
    for (const auto& child : children)
        child->layoutIfNeeded();
}

namespace {
// The value of an attribute of a constraint's item, in the coordinates of `container`'s bounds.
std::optional<CGFloat> attributeValue(const std::weak_ptr<NSObject>& item, NSLayoutAttribute attribute,
                                      const UIView& container) {
    auto object = item.lock();
    if (!object) return std::nullopt;
    CGRect r;
    if (auto guide = std::dynamic_pointer_cast<UILayoutGuide>(object)) {
        auto owner = guide->owningView.lock();
        if (!owner) return std::nullopt;
        const UIEdgeInsets in = owner->safeAreaInsets();
        const CGRect b = owner.get() == &container ? owner->bounds() : owner->frame();
        r = {b.minX() + in.left, b.minY() + in.top, b.width() - in.left - in.right,
             b.height() - in.top - in.bottom};
    } else if (auto view = std::dynamic_pointer_cast<UIView>(object)) {
        if (view.get() == &container)
            r = view->bounds();
        else if (view->superview().get() == &container)
            r = view->frame();
        else
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    switch (attribute) {
    case NSLayoutAttribute::Left:
    case NSLayoutAttribute::Leading:
        return r.minX();
    case NSLayoutAttribute::Right:
    case NSLayoutAttribute::Trailing:
        return r.maxX();
    case NSLayoutAttribute::Top:
        return r.minY();
    case NSLayoutAttribute::Bottom:
        return r.maxY();
    case NSLayoutAttribute::Width:
        return r.width();
    case NSLayoutAttribute::Height:
        return r.height();
    case NSLayoutAttribute::CenterX:
        return r.midX();
    case NSLayoutAttribute::CenterY:
        return r.midY();
    }
    return std::nullopt;
}
} // namespace

void UIView::layoutSubviews() {
    for (const auto& child : subviews_) {
        if (child->translatesAutoresizing_) continue;
        std::map<NSLayoutAttribute, CGFloat> known;
        // A constraint may be kept by the view it constrains or by a view above it.
        std::vector<std::shared_ptr<NSLayoutConstraint>> all = child->constraints_;
        for (const auto& c : constraints_)
            if (c->firstItem.lock() == child) all.push_back(c);
        // Written the other way round (container.bottom == child.bottom + 40): solved for the child.
        for (const auto& c : constraints_) {
            if (c->relation != NSLayoutRelation::Equal || !c->secondAttribute || c->multiplier == 0) continue;
            if (c->secondItem.lock() != child) continue;
            // Only against the container itself: a sibling's constraint on this child lays out the
            // sibling, not the child.
            auto first = c->firstItem.lock();
            auto guide = std::dynamic_pointer_cast<UILayoutGuide>(first);
            if (first.get() != this && !(guide && guide->owningView.lock().get() == this)) continue;
            if (auto v = attributeValue(c->firstItem, c->firstAttribute, *this))
                known[*c->secondAttribute] = (*v - c->constant) / c->multiplier;
        }
        for (const auto& c : all) {
            if (c->firstItem.lock() != child) continue;
            if (c->relation != NSLayoutRelation::Equal) continue;
            if (!c->secondAttribute) {
                known[c->firstAttribute] = c->constant;
                continue;
            }
            if (auto v = attributeValue(c->secondItem, *c->secondAttribute, *this))
                known[c->firstAttribute] = *v * c->multiplier + c->constant;
        }
        if (known.empty()) continue;
        auto get = [&](NSLayoutAttribute a, NSLayoutAttribute b) -> std::optional<CGFloat> {
            if (auto it = known.find(a); it != known.end()) return it->second;
            if (auto it = known.find(b); it != known.end()) return it->second;
            return std::nullopt;
        };
        // One axis: from two of its edges, an edge and the size, or the centre and the size.
        auto solve = [](std::optional<CGFloat> low, std::optional<CGFloat> high, std::optional<CGFloat> mid,
                        std::optional<CGFloat> size, CGFloat& origin, CGFloat& length) {
            if (size) length = *size;
            if (low && high) {
                origin = *low;
                length = *high - *low;
            } else if (low) {
                origin = *low;
            } else if (high) {
                // A far edge alone moves the view when its size is fixed, else stretches it.
                if (size)
                    origin = *high - length;
                else
                    length = std::max<CGFloat>(0, *high - origin);
            } else if (mid) {
                origin = *mid - length / 2;
            }
        };
        CGRect f = child->frame();
        solve(get(NSLayoutAttribute::Leading, NSLayoutAttribute::Left),
              get(NSLayoutAttribute::Trailing, NSLayoutAttribute::Right),
              get(NSLayoutAttribute::CenterX, NSLayoutAttribute::CenterX),
              get(NSLayoutAttribute::Width, NSLayoutAttribute::Width), f.origin.x, f.size.width);
        solve(get(NSLayoutAttribute::Top, NSLayoutAttribute::Top),
              get(NSLayoutAttribute::Bottom, NSLayoutAttribute::Bottom),
              get(NSLayoutAttribute::CenterY, NSLayoutAttribute::CenterY),
              get(NSLayoutAttribute::Height, NSLayoutAttribute::Height), f.origin.y, f.size.height);
        if (!(f == child->frame())) child->frame_ = f;
    }
}

bool UIView::pointInside(CGPoint point) const {
    const CGRect b = bounds();
    return point.x >= b.minX() && point.x < b.maxX() && point.y >= b.minY() && point.y < b.maxY();
}

std::shared_ptr<UIView> UIView::hitTest(CGPoint point) {
    if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled_) return nullptr;
    const bool inside = pointInside(point);
    // Subviews outside a clipping view's bounds cannot be seen, so they cannot be touched either.
    if (!inside && clipsWhenDrawn()) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        const auto& child = *it;
        const CGPoint local =
            CGPointApplyAffineTransform(point, CGAffineTransformInvert(child->transformToSuperview()));
        if (auto hit = child->hitTest(local)) return hit;
    }
    return inside ? self<UIView>() : nullptr;
}

CGAffineTransform UIView::transformToSuperview() const {
    const CGRect b = bounds();
    CGAffineTransform t =
        CGAffineTransformMakeTranslation(-b.minX() - b.width() / 2, -b.minY() - b.height() / 2);
    t = CGAffineTransformConcat(t, transform_);
    return CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(frame_.midX(), frame_.midY()));
}

CGAffineTransform UIView::transformToSuperviewAt(double time) const {
    if (!lastAnimation_ || time >= lastAnimation_->finishesAt()) return transformToSuperview();
    const UIViewPresentation shown = presentationAt(time);
    const CGRect b = bounds();
    CGAffineTransform t = CGAffineTransformMakeTranslation(-b.minX() - shown.frame.width() / 2,
                                                           -b.minY() - shown.frame.height() / 2);
    t = CGAffineTransformConcat(t, shown.transform);
    return CGAffineTransformConcat(t,
                                   CGAffineTransformMakeTranslation(shown.frame.midX(), shown.frame.midY()));
}

CGAffineTransform UIView::transformToRoot() const {
    CGAffineTransform t = CGAffineTransformIdentity;
    for (const UIView* v = this; v; v = v->superview_.lock().get()) {
        if (!v->superview_.lock()) {
            // The root (a window) places its content by its own frame on the screen.
            if (!dynamic_cast<const UIWindow*>(v)) t = CGAffineTransformConcat(t, v->transformToSuperview());
            break;
        }
        t = CGAffineTransformConcat(t, v->transformToSuperview());
    }
    return t;
}

CGPoint UIView::convertPoint_toView(CGPoint point, const UIView* view) const {
    const CGPoint inRoot = CGPointApplyAffineTransform(point, transformToRoot());
    return view ? CGPointApplyAffineTransform(inRoot, CGAffineTransformInvert(view->transformToRoot()))
                : inRoot;
}

CGPoint UIView::convertPoint_fromView(CGPoint point, const UIView* view) const {
    const CGPoint inRoot = view ? CGPointApplyAffineTransform(point, view->transformToRoot()) : point;
    return CGPointApplyAffineTransform(inRoot, CGAffineTransformInvert(transformToRoot()));
}

namespace {
// The smallest rectangle holding the four converted corners.
template <class Convert> CGRect convertCorners(const CGRect& rect, Convert convert) {
    const CGPoint corners[] = {
        convert(CGPoint{rect.minX(), rect.minY()}), convert(CGPoint{rect.maxX(), rect.minY()}),
        convert(CGPoint{rect.minX(), rect.maxY()}), convert(CGPoint{rect.maxX(), rect.maxY()})};
    CGFloat minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const auto& c : corners) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
    }
    return {minX, minY, maxX - minX, maxY - minY};
}
} // namespace

CGRect UIView::convertRect_toView(CGRect rect, const UIView* view) const {
    return convertCorners(rect, [&](CGPoint p) { return convertPoint_toView(p, view); });
}

CGRect UIView::convertRect_fromView(CGRect rect, const UIView* view) const {
    return convertCorners(rect, [&](CGPoint p) { return convertPoint_fromView(p, view); });
}

std::shared_ptr<UIResponder> UIView::nextResponder() const {
    if (auto owner = owningResponder_.lock()) return owner;
    return superview_.lock();
}

} // namespace platform
