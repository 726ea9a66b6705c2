#pragma once
// A window with a plain screen on it, from which the template screens are presented, and the
// poppler look-ups the screen tests read their PDFs with.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "pdf/TemplateStore.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

inline std::string pdfInfo(const std::filesystem::path& pdf) {
    return run("pdfinfo " + quoted(pdf));
}

class ScreenTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = std::make_shared<platform::UIWindow>();
        base = std::make_shared<platform::UIViewController>();
        window->setRootViewController(base);
        window->makeKeyAndVisible();
        platform::NSUserDefaults::standardUserDefaults()->setObject_forKey(
            "Opening line of the dictation\nSecond line of it",
            std::string(quillora::keys::saveclipBoardText));
    }

    std::filesystem::path tmpFile(const std::string& name) const { return home / "tmp" / name; }

    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<platform::UIViewController> base;
};

} // namespace quillora::test
