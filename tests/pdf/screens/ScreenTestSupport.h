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
#include "tests/support/PlatformTest.h"

namespace quillora::test {

inline std::string shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// The PDF's text with runs of white space made one blank.
inline std::string pdfWords(const std::filesystem::path& pdf) {
    return std::regex_replace(shell("pdftotext '" + pdf.string() + "' -"), std::regex("\\s+"), " ");
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string pdfInfo(const std::filesystem::path& pdf) {
    return shell("pdfinfo '" + pdf.string() + "'");
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
            "Opening line of the dictation\nSecond line of it", kTranscriptKey);
    }

    std::filesystem::path tmpFile(const std::string& name) const { return home / "tmp" / name; }

    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<platform::UIViewController> base;
};

} // namespace quillora::test
