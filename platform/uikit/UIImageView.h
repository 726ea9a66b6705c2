#pragma once
// Image views.

#include <memory>

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

namespace platform {

class UIImageView : public UIView {
public:
    UIImageView() = default;
    explicit UIImageView(std::shared_ptr<UIImage> image) : image_(std::move(image)) {}
    explicit UIImageView(const CGRect& frame) : UIView(frame) {}

    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }

    std::string stateDescription() const override {
        std::string out = "image=" + (image_ ? quote(image_->name()) : std::string("none"));
        if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
        return out;
    }

    void draw(cairo_t* cr) const override;
    bool drawFaded(cairo_t* cr, CGFloat alpha) const override;

private:
    std::shared_ptr<UIImage> image_;
};

class UIActivityIndicatorView : public UIView {
public:
    enum class Style { Medium, Large };
    explicit UIActivityIndicatorView(Style style = Style::Medium) : style_(style) { setHidden(true); }

    Style activityIndicatorViewStyle() const { return style_; }
    void startAnimating() {
        animating_ = true;
        setHidden(false);
    }
    void stopAnimating() {
        animating_ = false;
        if (hidesWhenStopped_) setHidden(true);
    }
    bool isAnimating() const { return animating_; }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }

    // A large spinner turning in the middle of `view`, over what it shows, while long work keeps
    // the screen live; stopAnimating and removeFromSuperview end it.
    static std::shared_ptr<UIActivityIndicatorView> startedOver(UIView& view) {
        auto spinner = std::make_shared<UIActivityIndicatorView>(Style::Large);
        const CGRect bounds = view.bounds();
        spinner->setFrame({bounds.midX() - 40, bounds.midY() - 40, 80, 80});
        view.addSubview(spinner);
        spinner->startAnimating();
        return spinner;
    }
    void setHidesWhenStopped(bool value) { hidesWhenStopped_ = value; }

    std::string stateDescription() const override {
        std::string out = animating_ ? "animating" : "stopped";
        if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
        return out;
    }

    // The spokes of the platform's spinner; the brightest turns with the clock while animating,
    // a spoke further this many times a second.
    static constexpr double kStepsPerSecond = 12;
    void draw(cairo_t* cr) const override;

private:
    Style style_;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
};

} // namespace platform
