// What the renderer paints, read back pixel by pixel: the view state that decides what is seen
// (hidden, alpha, clipping, transform, corner radius, border) and the fonts the screens name.
#include <memory>
#include <optional>
#include <string>

#include <cairo.h>
#include <pango/pangocairo.h>

#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIViewControllerTransitioning.h"
#include "platform/uikit/UIWindow.h"
#include "tests/platform/uikit/DrawnScreenTest.h"

using namespace platform;

namespace {

struct Pixel {
    int r, g, b;
};

class ScreenDrawingTest : public quillora::test::DrawnScreenTest {
protected:
    Pixel at(int x, int y) const {
        const std::uint32_t p = rgb(x, y);
        return {static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff),
                static_cast<int>(p & 0xff)};
    }
    std::shared_ptr<UIView> box(const CGRect& frame, const UIColor& colour,
                                const std::shared_ptr<UIView>& parent = nullptr) {
        auto v = std::make_shared<UIView>(frame);
        v->setBackgroundColor(colour);
        (parent ? parent : root->view())->addSubview(v);
        return v;
    }
};

TEST_F(ScreenDrawingTest, HiddenFadedClippedAndTransformedViewsShowAsTheirStateSays) {
    auto red = box({10, 10, 100, 100}, UIColor::redColor());
    auto hidden = box({200, 10, 100, 100}, UIColor::blueColor());
    hidden->setHidden(true);
    auto faded = box({10, 200, 100, 100}, UIColor::blackColor());
    faded->setAlpha(0.5);
    auto clip = box({200, 200, 100, 100}, UIColor::whiteColor());
    clip->setClipsToBounds(true);
    box({50, 50, 100, 100}, UIColor::greenColor(), clip); // sticks out of its parent
    auto loose = box({200, 400, 100, 100}, UIColor::whiteColor());
    box({50, 50, 100, 100}, UIColor::greenColor(), loose); // not clipped
    auto half = box({10, 400, 100, 100}, UIColor::blueColor());
    half->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
    auto round = box({10, 600, 100, 100}, UIColor::blackColor());
    round->layer().cornerRadius = 30;
    round->layer().borderWidth = 4;
    round->layer().borderColor = UIColor::redColor();
    render();

    EXPECT_EQ(at(60, 60).r, 255);
    EXPECT_EQ(at(60, 60).g, 0);
    EXPECT_EQ(at(250, 60).b, 255) << "hidden: the white screen shows";
    EXPECT_EQ(at(250, 60).r, 255);
    EXPECT_NEAR(at(60, 250).r, 128, 2) << "half transparent black over white";
    EXPECT_EQ(at(320, 320).g, 255) << "clipped away: white";
    EXPECT_EQ(at(320, 320).r, 255);
    EXPECT_EQ(at(320, 520).r, 0) << "unclipped: the green child shows outside";
    EXPECT_EQ(at(15, 405).r, 255) << "scaled about its centre: the corner is empty";
    EXPECT_EQ(at(60, 450).b, 255);
    EXPECT_EQ(at(60, 450).r, 0);
    EXPECT_EQ(at(12, 602).r, 255) << "outside the rounded corner";
    EXPECT_EQ(at(12, 602).g, 255);
    EXPECT_EQ(at(60, 601).r, 255) << "the red border";
    EXPECT_EQ(at(60, 601).g, 0);
    EXPECT_EQ(at(60, 650).r, 0) << "the black inside";
}

TEST_F(ScreenDrawingTest, ButtonsShowPressedAndDisabledLooksAndLabelsTheirTextColour) {
    auto button = UIButton::buttonWithType(UIButtonType::System);
    button->setFrame({10, 10, 200, 60});
    button->setTitle_forState("WWWWWWWW", UIControlStates::Normal);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(40));
    root->view()->addSubview(button);
    auto darkest = [&] {
        int best = 255;
        for (int y = 10; y < 70; ++y)
            for (int x = 10; x < 210; ++x)
                best = std::min(best, at(x, y).r);
        return best;
    };
    render();
    const int normal = darkest();
    EXPECT_LT(normal, 40) << "the system blue title (red channel near 0)";
    button->setHighlighted(true);
    render();
    EXPECT_GT(darkest(), normal + 100) << "a pressed system button fades";
    button->setHighlighted(false);
    button->setEnabled(false);
    render();
    EXPECT_GT(darkest(), normal + 80) << "disabled: grey";

    auto label = std::make_shared<UILabel>(CGRect{10, 100, 300, 60});
    label->setText("MMMMMMMM");
    label->setFont(UIFont::boldSystemFontOfSize(40));
    label->setTextColor(UIColor::redColor());
    root->view()->addSubview(label);
    render();
    bool red = false;
    for (int x = 10; x < 300 && !red; ++x)
        red = at(x, 130).r > 200 && at(x, 130).g < 60;
    EXPECT_TRUE(red);
}

// A picture button disabled with a title for that state (why it is disabled) shows the title where
// it can be read, on a light screen too; its other titles keep the colour they were given.
TEST_F(ScreenDrawingTest, ADisabledPictureButtonShowsTheTitleThatSaysWhyBesideItsPicture) {
    struct Case {
        const char* name;
        UIControlState titledState;
        std::optional<UIColor> disabledColour;
        bool readable;
    };
    for (const Case& c :
         {Case{"a reason", UIControlStates::Disabled, std::nullopt, true},
          Case{"a normal title", UIControlStates::Normal, std::nullopt, false},
          Case{"a reason coloured", UIControlStates::Disabled, UIColor::whiteColor(), false}}) {
        SCOPED_TRACE(c.name);
        auto button = UIButton::buttonWithType(UIButtonType::Custom);
        button->setFrame({10, 300, 350, 50});
        button->setImage_forState(UIImage::imageNamed("Play.png"), UIControlStates::Normal);
        button->setTitle_forState("Connect to the internet", c.titledState);
        if (c.disabledColour) button->setTitleColor_forState(*c.disabledColour, UIControlStates::Disabled);
        button->setEnabled(false);
        root->view()->addSubview(button);
        render();
        int darkest = 255;
        // Right of the picture, where the title goes.
        for (int y = 300; y < 350; ++y)
            for (int x = 130; x < 360; ++x)
                darkest = std::min(darkest, at(x, y).r);
        EXPECT_EQ(darkest < 200, c.readable) << "darkest " << darkest;
        button->removeFromSuperview();
    }
}

TEST_F(ScreenDrawingTest, TheScreensFontNamesReachInstalledFamilies) {
    EXPECT_EQ(TextDrawing::familyForFontName("Courier"), "monospace");
    EXPECT_EQ(TextDrawing::familyForFontName("HelveticaNeue-Bold"), "Helvetica Neue");
    EXPECT_EQ(TextDrawing::familyForFontName(UIFont::systemFontOfSize(17).fontName), "sans-serif");
    // Courier is drawn monospaced: "iiii" as wide as "MMMM".
    TextStyle courier;
    courier.font = *UIFont::fontWithName_size("Courier", 20);
    EXPECT_NEAR(TextDrawing::measure("iiii", courier).width, TextDrawing::measure("MMMM", courier).width,
                0.5);
    TextStyle sans;
    sans.font = UIFont::systemFontOfSize(20);
    EXPECT_LT(TextDrawing::measure("iiii", sans).width, TextDrawing::measure("MMMM", sans).width / 2);
    // Bold is wider than regular in the same family; sizes are in points.
    TextStyle bold = sans;
    bold.font = UIFont::boldSystemFontOfSize(20);
    EXPECT_GT(TextDrawing::measure("MMMM", bold).width, TextDrawing::measure("MMMM", sans).width);
    sans.font.pointSize = 40;
    EXPECT_NEAR(TextDrawing::lineHeight(sans.font), 2 * TextDrawing::lineHeight(UIFont::systemFontOfSize(20)),
                2);
    // A long text wraps to the width it is given.
    EXPECT_GT(TextDrawing::measure(std::string(60, 'a') + " " + std::string(60, 'b'), sans, 300).height,
              1.5 * TextDrawing::lineHeight(sans.font));
}

TEST_F(ScreenDrawingTest, EmojiAreDrawnInColour) {
    auto label = std::make_shared<UILabel>(CGRect{10, 10, 200, 80});
    label->setText("🍎");
    label->setFont(UIFont::systemFontOfSize(60));
    label->setTextColor(UIColor::blackColor());
    root->view()->addSubview(label);
    render();
    bool coloured = false;
    for (int y = 10; y < 90 && !coloured; ++y)
        for (int x = 10; x < 210 && !coloured; ++x) {
            const Pixel p = at(x, y);
            coloured = p.r > 150 && p.g < 80 && p.b < 80;
        }
    EXPECT_TRUE(coloured) << "a red apple, not a black outline";
}

// An animator that leaves the presented screen on its way in until the test completes it.
class HalfwayAnimator : public NSObject,
                        public UIViewControllerAnimatedTransitioning,
                        public UIViewControllerTransitioningDelegate {
public:
    std::shared_ptr<UIViewControllerContextTransitioning> context;
    double transitionDuration(const std::shared_ptr<UIViewControllerContextTransitioning>&) override {
        return 1;
    }
    void animateTransition(const std::shared_ptr<UIViewControllerContextTransitioning>& c) override {
        context = c;
        // On the way out the presenter's view goes under the leaving one, as a zoom back does.
        if (auto to = c->viewForKey(UITransitionContextToViewKey)) c->containerView()->addSubview(to);
        if (auto from = c->viewForKey(UITransitionContextFromViewKey))
            c->containerView()->bringSubviewToFront(from);
    }
    std::shared_ptr<UIViewControllerAnimatedTransitioning>
    animationControllerForDismissedController(const std::shared_ptr<UIViewController>&) override {
        return std::static_pointer_cast<UIViewControllerAnimatedTransitioning>(self<HalfwayAnimator>());
    }
    std::shared_ptr<UIViewControllerAnimatedTransitioning>
    animationControllerForPresentedController_presentingController_sourceController(
        const std::shared_ptr<UIViewController>&, const std::shared_ptr<UIViewController>&,
        const std::shared_ptr<UIViewController>&) override {
        return std::static_pointer_cast<UIViewControllerAnimatedTransitioning>(self<HalfwayAnimator>());
    }
};

TEST_F(ScreenDrawingTest, AnOpaqueScreenOnItsWayInHidesWhatItCoversAndNothingElse) {
    root->view()->setBackgroundColor(UIColor::redColor());
    auto faded = std::make_shared<UIImageView>(UIImage::imageNamed("info.png"));
    faded->setFrame({0, 0, 390, 844});
    faded->setAlpha(0.5);
    root->view()->addSubview(faded);
    auto detail = std::make_shared<UIViewController>();
    detail->setModalPresentationStyle(UIModalPresentationStyle::FullScreen);
    detail->view()->setBackgroundColor(UIColor::blueColor());
    auto animator = std::make_shared<HalfwayAnimator>();
    detail->setTransitioningDelegate(
        std::static_pointer_cast<UIViewControllerTransitioningDelegate>(animator));
    root->presentViewController_animated_completion(detail, true, nullptr);
    ASSERT_TRUE(animator->context);
    // Part of the way: a little over half the screen, its edges between pixels.
    detail->view()->setTransform(CGAffineTransformMakeScale(0.5013, 0.5013));
    auto picture = [&](double scale) {
        cairo_surface_t* s =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(390 * scale), int(844 * scale));
        cairo_t* cr = cairo_create(s);
        ScreenRenderer::draw(cr, scale);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        return s;
    };
    auto pixel = [](cairo_surface_t* s, int x, int y) {
        const auto p = *reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                               y * cairo_image_surface_get_stride(s) + x * 4);
        return Pixel{int(p >> 16 & 0xff), int(p >> 8 & 0xff), int(p & 0xff)};
    };
    // Twice: the second time the still picture comes from its kept resampling.
    for (int round = 0; round < 2; ++round) {
        cairo_surface_t* s = picture(2);
        EXPECT_EQ(pixel(s, 390, 844).b, 255) << "the screen on its way in";
        EXPECT_EQ(pixel(s, 390, 844).r, 0);
        EXPECT_GT(pixel(s, 4, 4).r, 100) << "the presenter round it";
        // The edge pixel is partly each: the presenter is drawn under it.
        const int edge = int(390 * (1 - 0.5013)); // the left edge at 97.25 points, pixel 194
        const Pixel mixed = pixel(s, edge, 844);
        EXPECT_GT(mixed.b, 20);
        EXPECT_GT(mixed.r, 20);
        cairo_surface_destroy(s);
    }
    // Grown past the screen's edges it hides the presenter entirely.
    detail->view()->setTransform(CGAffineTransformMakeScale(1.05, 1.05));
    cairo_surface_t* s = picture(2);
    EXPECT_EQ(pixel(s, 0, 0).b, 255);
    EXPECT_EQ(pixel(s, 779, 1687).r, 0);
    cairo_surface_destroy(s);
    animator->context->completeTransition(true);

    // On its way out, shrunk again: the presenter shows round it from the transition's container.
    root->dismissViewControllerAnimated_completion(true, nullptr);
    ASSERT_TRUE(detail->isBeingDismissed());
    ASSERT_NE(root->view()->superview(), nullptr);
    detail->view()->setTransform(CGAffineTransformMakeScale(0.5013, 0.5013));
    s = picture(2);
    EXPECT_EQ(pixel(s, 390, 844).b, 255) << "the leaving screen";
    EXPECT_GT(pixel(s, 4, 4).r, 100) << "the presenter round it, not black";
    cairo_surface_destroy(s);
    animator->context->completeTransition(true);
}

} // namespace

TEST_F(ScreenDrawingTest, AViewAnimatingInSightAsksForFramesUntilItsAnimationHasEnded) {
    // A window draws again only when asked: a view zooming in from nothing must ask for each frame
    // of its zoom and for its end, else it stays undrawn.
    auto hint = box({100, 100, 50, 50}, UIColor::blueColor());
    auto unseen = box({200, 100, 50, 50}, UIColor::blueColor());
    unseen->setHidden(true);
    unseen->zoomIn(5);
    EXPECT_FALSE(ScreenRenderer::nextChangeIn()) << "a hidden view's animation draws nothing";

    hint->zoomIn(2);
    render();
    EXPECT_EQ(at(125, 125).r, 255) << "drawn as it stands: no bigger than nothing yet";
    int frames = 0;
    while (auto next = ScreenRenderer::nextChangeIn()) {
        ASSERT_GT(*next, 0);
        ASSERT_LE(*next, ScreenRenderer::kAnimationFrameInterval + 1e-9);
        advance(*next);
        ++frames;
        ASSERT_LT(frames, 1000) << "the frames never end";
    }
    EXPECT_GE(frames, 2 * 60 - 1);
    render();
    EXPECT_EQ(at(125, 125).b, 255) << "the last frame asked for shows it at its full size";
    EXPECT_EQ(at(125, 125).r, 0);
    EXPECT_EQ(at(102, 102).r, 0);
}
