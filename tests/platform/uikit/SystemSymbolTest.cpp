// Every system symbol the code names draws from the symbol table (an icon of the theme or a
// drawing of ours), in the colour asked; none falls back.
#include <gtest/gtest.h>

#include <cairo.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "platform/uikit/SystemSymbol.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

std::filesystem::path sourceTree() {
    if (const char* source = std::getenv("QUILLORA_SOURCE"); source && *source) return source;
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path();
}

// The text of a call from its opening bracket to the matching closing one.
std::string callText(const std::string& source, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < source.size(); ++i) {
        if (source[i] == '(' || source[i] == '{') ++depth;
        if ((source[i] == ')' || source[i] == '}') && --depth == 0) return source.substr(open, i - open + 1);
    }
    return source.substr(open);
}

// The symbol names the code asks for: the literals given to Image::system, to the symbol drawing
// calls, and the second argument of the settings list's rows.
std::set<std::string> symbolNamesInCode() {
    std::set<std::string> out;
    const std::regex name("\"([a-z0-9]+(\\.[a-z0-9]+)*)\"");
    const std::regex call("(Image::system|SystemSymbol::draw|drawSymbol|systemImageNamed)\\s*\\(");
    const std::regex settingsRow("\\brow\\(\\s*(\"[^\"]*\"|[^,]+),\\s*\"([^\"]+)\"");
    for (const char* folder :
         {"app", "analysis", "dictation", "detail", "entries", "pdf", "settings", "templates", "platform"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(sourceTree() / folder)) {
            const auto ext = entry.path().extension();
            if (ext != ".cpp" && ext != ".h") continue;
            std::ifstream in(entry.path());
            std::ostringstream text;
            text << in.rdbuf();
            const std::string source = text.str();
            for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) {
                const std::string args =
                    callText(source, static_cast<std::size_t>(it->position() + it->length() - 1));
                for (std::sregex_iterator n(args.begin(), args.end(), name); n != end; ++n)
                    out.insert((*n)[1]);
            }
            if (source.find("SettingsCell") != std::string::npos)
                for (std::sregex_iterator it(source.begin(), source.end(), settingsRow), end; it != end; ++it)
                    out.insert((*it)[2]);
        }
    // Weights are words of the calls, not symbols.
    for (const char* weight : {"regular", "medium", "semibold", "bold"})
        out.erase(weight);
    return out;
}

struct Ink {
    long count = 0;
    double red = 0;
    // The rightmost inked column along the middle row and along the top quarter's row.
    int middleRight = -1, upperRight = -1;
};

Ink drawn(const std::string& name, const std::string& weight = "regular") {
    constexpr int side = 48;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 0, 0);
    SystemSymbol::draw(cr, name, {4, 4, 40, 40}, weight);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    Ink ink;
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const unsigned char* p = data + y * stride + x * 4;
            if (p[3] < 128) continue;
            ++ink.count;
            ink.red += p[2] / 255.0 * 255.0 / p[3];
            if (y == side / 2) ink.middleRight = std::max(ink.middleRight, x);
            if (y == side / 2 - 6) ink.upperRight = std::max(ink.upperRight, x);
        }
    if (ink.count) ink.red /= static_cast<double>(ink.count);
    cairo_surface_destroy(surface);
    return ink;
}

} // namespace

TEST(SystemSymbolTest, EverySymbolTheCodeNamesDrawsInItsColourWithoutFallingBack) {
    const auto names = symbolNamesInCode();
    // The search found the calls: the settings rows and the forms' pictures are among them.
    for (const char* known : {"chevron.right", "envelope.fill", "cpu", "person.2.square.stack.fill", "photo",
                              "largecircle.fill.circle", "square.and.arrow.up"})
        ASSERT_TRUE(names.count(known)) << known << " not found in the code at " << sourceTree();
    for (const auto& name : names) {
        EXPECT_TRUE(SystemSymbol::isAvailable(name)) << name << " falls back";
        const Ink ink = drawn(name);
        EXPECT_GT(ink.count, 20) << name << " draws nothing";
        EXPECT_GT(ink.red, 0.9) << name << " is not drawn in the colour asked";
    }
    // Icons come from the theme where it has one: the file exists.
    EXPECT_NE(SystemSymbol::iconFile("envelope.fill").find("Adwaita"), std::string::npos);
    // A name the table does not hold draws nothing at all (and says so) rather than a box.
    EXPECT_FALSE(SystemSymbol::isAvailable("no.such.symbol"));
    EXPECT_EQ(drawn("no.such.symbol").count, 0);
}

TEST(SystemSymbolTest, TheChevronPointsRightAndABolderWeightInksMore) {
    const Ink chevron = drawn("chevron.right");
    // Its tip, in the middle row, lies right of where its arms are higher up.
    EXPECT_GT(chevron.middleRight, chevron.upperRight + 3);
    for (const char* name : {"chevron.right", "envelope.fill", "waveform"})
        EXPECT_GT(drawn(name, "bold").count, drawn(name, "regular").count) << name;
}
