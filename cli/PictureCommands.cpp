#include "cli/PictureCommands.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "cli/ScriptInterpreter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIScreen.h"

using namespace platform;

namespace quillora::cli {

namespace {
std::optional<double> parseNumber(const std::string& word) {
    if (word.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(word.c_str(), &end);
    if (*end || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}
} // namespace

void addPictureCommands(ScriptInterpreter& interpreter) {
    interpreter.addCommand(
        "snapshot", "snapshot FILE [SCALE]", [](ScriptInterpreter&, const ScriptLine& line) {
            ScriptInterpreter::requireWords(line, 1, "snapshot FILE [SCALE]");
            // A path with blanks in it comes in quotes.
            const auto [file, scaleWord] = line.firstAndRest("file");
            double scale = 2;
            if (!scaleWord.empty()) {
                auto parsed = parseNumber(scaleWord);
                if (!parsed || *parsed <= 0 || *parsed > 16)
                    throw ScriptError("the scale must be a number above 0 and at most 16, not '" + scaleWord +
                                      "'");
                scale = *parsed;
            }
            if (file.empty()) throw ScriptError("usage: snapshot FILE [SCALE]");
            if (auto error = ScreenRenderer::writePNG(file, scale)) throw ScriptError(*error);
            std::cout << file << std::endl;
        });

    // A touch at a point: down and up where the numbers say, as a person's finger; a name is the
    // control of that property name, as before.
    auto byName = interpreter.commandHandler("tap");
    interpreter.addCommand("tap", "tap NAME | tap X Y",
                           [byName](ScriptInterpreter& self, const ScriptLine& line) {
                               if (line.words.size() == 2) {
                                   auto x = parseNumber(line.words[0]), y = parseNumber(line.words[1]);
                                   if (x && y) {
                                       const CGRect screen = UIScreen::mainScreen().bounds();
                                       if (*x < screen.minX() || *x >= screen.maxX() || *y < screen.minY() ||
                                           *y >= screen.maxY())
                                           throw ScriptError("the point (" + line.words[0] + ", " +
                                                             line.words[1] + ") is outside the screen");
                                       const double now = RunLoop::main().now();
                                       ScreenRenderer::sendTouch(UITouchPhase::Began, {*x, *y}, now);
                                       ScreenRenderer::sendTouch(UITouchPhase::Ended, {*x, *y}, now + 0.1);
                                       return;
                                   }
                               }
                               if (!byName) throw ScriptError("usage: tap NAME | tap X Y");
                               byName(self, line);
                           });
}

} // namespace quillora::cli
