// A megabyte of ideographs printed from the recipe text view in the window: its spinner turns
// without a stutter a person sees, no worker of the window's process holds the fonts for long,
// and the PDF is made. The window writes the moment of each frame it draws (with its thread's
// wait for a processor so far) and the font lock's longest holds to the files it is given.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/PdfTools.h"
#include "tests/support/WindowManagerMessages.h"
#include "tests/window/WindowTest.h"

namespace {

class FrameGapsTest : public WindowTest {
protected:
    // Lines of 40 ideographs drawn from U+4E00 to U+9DFF, `size` bytes or a line more, the same
    // ones on every run: thousands of distinct glyphs, each a few times.
    static std::string ideographs(std::size_t size) {
        std::string text;
        std::uint32_t state = 7;
        while (text.size() < size) {
            for (int i = 0; i < 40; ++i) {
                state = state * 1664525u + 1013904223u;
                const std::uint32_t c = 0x4E00 + (state >> 8) % 20480;
                text += static_cast<char>(0xE0 | (c >> 12));
                text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                text += static_cast<char>(0x80 | (c & 0x3F));
            }
            text += '\n';
        }
        return text;
    }

    struct Frame {
        double at;      // monotonic seconds
        double waiting; // the window's thread's time so far waiting for a processor, seconds
    };
    // The frames the window wrote to `file`.
    static std::vector<Frame> frameTimes(const std::filesystem::path& file) {
        std::vector<Frame> frames;
        std::ifstream in(file);
        for (Frame f; in >> f.at >> f.waiting;)
            frames.push_back(f);
        return frames;
    }

    // The longest hold of the font lock by a thread other than the window's, in milliseconds, as
    // the program last wrote it to `file`; -1 where it wrote none.
    static double longestWorkerHold(const std::filesystem::path& file) {
        std::smatch match;
        const std::string stats = readFile(file);
        static const std::regex hold("longest worker hold ([0-9.]+) ms");
        return std::regex_search(stats, match, hold) ? std::stod(match[1]) : -1;
    }

    static double monotonicNow() {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
};

} // namespace

TEST_F(FrameGapsTest, WhileAMegabyteOfIdeographsIsPrintedTheSpinnerNeverWaitsATenthOfASecond) {
    std::string why;
    if (!startWindowManager(why)) FAIL() << why;
    quillora::test::writeFile(home / "app" / "Documents" / "datafile_recipe.dat", ideographs(1u << 20));
    const auto frames = home / "frames", stats = home / "font-lock";
    env_["QUILLORA_FRAME_TIMES"] = frames.string();
    env_["QUILLORA_FONT_LOCK_STATS"] = stats.string();
    auto [app, id, size, pressedAt] = pressRecipePDF();
    ASSERT_FALSE(id.empty()) << "the window did not come to the recipe's PDF: " << readFile(home / "app.log");
    const double pressed = std::chrono::duration<double>(pressedAt.time_since_epoch()).count();
    // The spinner turns from the first frame after the press until the PDF is written, which is
    // told a moment later; the alert that says so slides in meanwhile, drawn frame by frame too.
    // Under the sanitizers the export takes a minute: its first ten seconds are enough.
    quillora::test::waitUntil([&] { return printed("saved success") > 0; }, std::chrono::seconds(10));
    const double saved = std::min(monotonicNow(), pressed + 10);

    // A gap is the window's own when it was not waiting for a processor that other programs had:
    // at normal load that is the whole gap, beside a busy machine what the window itself held up.
    const auto times = frameTimes(frames);
    auto first = std::upper_bound(times.begin(), times.end(), pressed,
                                  [](double at, const Frame& f) { return at < f.at; });
    ASSERT_NE(first, times.end()) << "no frame was drawn after PDF was pressed";
    double longest = 0, longestAt = 0, longestGap = 0;
    int drawn = 1;
    for (auto t = first + 1; t != times.end() && t->at <= saved; ++t, ++drawn) {
        const double gap = t->at - t[-1].at;
        const double own = gap - (t->waiting - t[-1].waiting);
        if (own > longest) {
            longest = own;
            longestGap = gap;
            longestAt = t[-1].at - pressed;
        }
    }
    const double seconds = saved - pressed;
    EXPECT_GT(drawn, seconds * 12) << drawn << " frames in " << seconds
                                   << " s: fewer than the spinner's steps";
    EXPECT_LE(longest, 0.1) << "the window drew nothing for " << longestGap * 1000 << " ms, "
                            << (longestGap - longest) * 1000 << " ms of it waiting for a processor, "
                            << longestAt << " s after PDF was pressed (" << drawn << " frames in " << seconds
                            << " s)";
    const double hold = longestWorkerHold(stats);
    EXPECT_GE(hold, 0) << "the program wrote no font lock figures";
    EXPECT_LE(hold, 50) << "a worker of the window's process held the fonts " << hold << " ms at once";

    ASSERT_TRUE(waitForPrinted("saved success", 0)) << readFile(home / "app.log");
    std::filesystem::path pdf;
    for (const auto& entry : std::filesystem::directory_iterator(home / "app" / "Documents"))
        if (entry.path().extension() == ".pdf") pdf = entry.path();
    ASSERT_FALSE(pdf.empty()) << readFile(home / "app.log");
    EXPECT_GT(quillora::test::pdfPageCount(pdf), 100);
    ASSERT_TRUE(quillora::test::sendCloseRequest(display_, std::stoul(id)));
    EXPECT_EQ(app.wait(kHangLimit), 0) << readFile(home / "app.log");
}
