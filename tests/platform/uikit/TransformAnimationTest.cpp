// A transform animates by its parts, as the platform's animations do: a half turn turns through a
// quarter turn at mid-way (it never shrinks to nothing), a scale grows evenly, a move slides.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/foundation/RunLoop.h"
#include "platform/uikit/UIView.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

class TransformAnimationTest : public quillora::test::PlatformTest {
protected:
    // The view's transform half-way through a one-second animation from `from` to `to`.
    CGAffineTransform midway(const CGAffineTransform& from, const CGAffineTransform& to) {
        auto view = std::make_shared<UIView>(CGRect{0, 0, 50, 50});
        view->setTransform(from);
        UIView::animateWithDuration_delay_options_animations_completion(
            1, 0, UIViewAnimationOption::CurveLinear, [&] { view->setTransform(to); }, nullptr);
        return view->presentationAt(RunLoop::main().now() + 0.5).transform;
    }
};

TEST_F(TransformAnimationTest, RotationsTurnScalesGrowAndMovesSlideByTheirParts) {
    const double pi = std::numbers::pi;
    // The analysis button's half turn: a quarter turn at mid-way, at full size.
    CGAffineTransform t = midway(CGAffineTransformIdentity, CGAffineTransformMakeRotation(pi));
    EXPECT_NEAR(std::abs(t.rotation()), pi / 2, 1e-6);
    EXPECT_NEAR(t.scaleX(), 1, 1e-6);
    EXPECT_NEAR(t.scaleY(), 1, 1e-6);
    // And back again from the half turn.
    t = midway(CGAffineTransformMakeRotation(pi), CGAffineTransformIdentity);
    EXPECT_NEAR(std::abs(t.rotation()), pi / 2, 1e-6);
    EXPECT_NEAR(t.scaleX(), 1, 1e-6);

    // Turning while growing and moving: each part half-way.
    const CGAffineTransform to =
        CGAffineTransformTranslate(CGAffineTransformRotate(CGAffineTransformMakeScale(3, 3), pi / 2), 0, 0);
    CGAffineTransform target = to;
    target.tx = 40;
    target.ty = -20;
    t = midway(CGAffineTransformIdentity, target);
    EXPECT_NEAR(t.rotation(), pi / 4, 1e-6);
    EXPECT_NEAR(t.scaleX(), 2, 1e-6);
    EXPECT_NEAR(t.scaleY(), 2, 1e-6);
    EXPECT_NEAR(t.tx, 20, 1e-9);
    EXPECT_NEAR(t.ty, -10, 1e-9);

    // A mirror in x flips through zero width, as the platform's does.
    t = midway(CGAffineTransformIdentity, CGAffineTransformMakeScale(-1, 1));
    EXPECT_NEAR(t.a, 0, 1e-9);
    EXPECT_NEAR(t.d, 1, 1e-9);
}

} // namespace
