#pragma once
// A test of the program in its window, on a virtual display with a window manager as a person's
// desktop has. Fails, with the reason, where either cannot start: `make test` installs them.

#include <memory>
#include <string>
#include <utility>

#include "platform/desktop/DesktopWindow.h"
#include "platform/foundation/Geometry.h"
#include "platform/uikit/UIScreen.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/XvfbSession.h"

namespace quillora::test {

class WindowSessionTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        x_ = std::make_unique<XvfbSession>(home / "display");
        if (!x_->unavailable().empty()) FAIL() << x_->unavailable();
        std::string why;
        if (!x_->startWindowManager(why)) FAIL() << why;
    }
    void TearDown() override {
        x_.reset();
        PlatformTest::TearDown();
    }

    // A place on the screen (points) as pixels of the window, of `size`, that shows it.
    static platform::CGRect inWindow(std::pair<int, int> size, const platform::CGRect& r) {
        const auto fit =
            platform::DesktopWindow::fit(size.first, size.second, platform::UIScreen::mainScreen().bounds());
        return {fit.x + r.minX() * fit.scale, fit.y + r.minY() * fit.scale, r.width() * fit.scale,
                r.height() * fit.scale};
    }

    std::unique_ptr<XvfbSession> x_;
};

} // namespace quillora::test
