// How declarative texts are set: a word longer than a line is handed to pango in pieces (a word of
// tens of thousands of letters would otherwise cost the square of its length), and a piece never
// ends inside what a person sees as one character, which would then be set as its parts: a flag as
// two letters, a family as three people.
#include <string>
#include <string_view>

#include "platform/swiftui/TextSetter.h"
#include "tests/support/PlatformTest.h"

using namespace platform::swiftui;

namespace {

std::string repeated(std::string_view prefix, std::string_view cluster, int count) {
    std::string text(prefix);
    for (int i = 0; i < count; ++i)
        text += cluster;
    return text;
}

TEST(TextSetterTest, AWordLongerThanALineIsSetCharacterByCharacterAsAShortOneIs) {
    const TextSetter setter;
    const TextStyle style;
    // Each prefix puts the first place a piece could end after 256 bytes inside a character.
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"flags", repeated("xxxxx", "\U0001F1EB\U0001F1F7", 100)},
        {"families", repeated("xxx", "\U0001F468\u200D\U0001F469\u200D\U0001F467", 60)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Wrapped at a width that holds it on one line, it is set as it is with no width at all,
        // where it is never cut.
        const platform::CGSize wrapped = setter.measure({TextRun{c.text, {}, {}}}, style, 1e6);
        const platform::CGSize whole = setter.measure({TextRun{c.text, {}, {}}}, style, std::nullopt);
        EXPECT_EQ(wrapped.width, whole.width);
        EXPECT_EQ(wrapped.height, whole.height);
    }
}

} // namespace
