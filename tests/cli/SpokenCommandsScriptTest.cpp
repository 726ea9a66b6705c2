// Spoken commands where the recognizer writes a capital (the first word of a phrase, the first
// after a sentence's end) and the words it hears joined: with its written text through the
// scripted recognizer, and with synthesised speech heard by pocketsphinx.
#include <fstream>
#include <functional>
#include <string>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/speech/ScriptedSpeech.h"
#include "platform/uikit/UITextView.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;
using namespace platform;

namespace {

class SpokenCommandsScriptTest : public quillora::test::PlatformTest {
protected:
    // Runs `text` on a data folder of its own (the notes and recipe screens keep their transcripts).
    int run(const std::string& text) {
        const auto folder = home / ("run" + std::to_string(++runs_));
        std::filesystem::create_directories(folder);
        auto path = folder / "script.txt";
        std::ofstream(path) << text;
        Options options;
        options.home = folder;
        options.clock = RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        testing::internal::CaptureStderr();
        const int status = runProgram(options, 1, argv, [](ScriptInterpreter& interpreter) {
            // `written`: the scripted recognizer writes what it hears as pocketsphinx's words are
            // written (capitals, spoken punctuation).
            interpreter.addCommand("written", "written", [](ScriptInterpreter&, const ScriptLine&) {
                ScriptedSpeech::shared().setFormatsSpokenCommands(true);
            });
            // `text NAME TEXT`: the text view of that name holds TEXT.
            interpreter.addCommand("text", "text NAME TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
                auto view =
                    std::dynamic_pointer_cast<UITextView>(ScriptInterpreter::control(line.words.at(0)));
                if (!view) throw ScriptError("'" + line.words[0] + "' is not a text view");
                if (view->text() != line.textAfter(1))
                    throw ScriptError(line.words[0] + " holds \"" + view->text() + "\", not \"" +
                                      line.textAfter(1) + "\"");
            });
        });
        errors = testing::internal::GetCapturedStderr();
        return status;
    }
    std::string errors;

private:
    int runs_ = 0;
};

const char* const kNotes = "segment segmentcontrol Notes";
const char* const kRecipe = "segment segmentcontrol Recipe";

} // namespace

TEST_F(SpokenCommandsScriptTest, ACommandSaidFirstOrAloneIsMadeAsInMidPhrase) {
    struct Case {
        const char* screen;
        const char* heard; // as the recognizer hears it, before it writes it
        const char* shown;
    };
    const Case cases[] = {
        {"", "pencil", "✏️"},
        {"", "book mark", "🔖"},
        {"", "buy bread full stop pencil", "Buy bread. ✏️"},
        {kNotes, "red circle", "🔴"},
        {kNotes, "redcircle", "🔴"},
        {kNotes, "radio button", "🔘"},
        {kNotes, "radio button buy milk", "🔘 buy milk"},
        {kNotes, "buy milk radio button", "Buy milk 🔘"},
        {kRecipe, "ice cream", "🍦"},
        {kRecipe, "lemon and banana", "🍋 and 🍌"},
        // Not a command of the first screen: the words stay as said.
        {"", "red circle buy bread", "Red circle buy bread"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.screen) + ": " + c.heard);
        resetSharedInstances();
        // The first result of a run goes to the first handler, the one after a final to the second.
        const std::string heard = c.heard, shown = c.shown;
        EXPECT_EQ(run(std::string(c.screen) +
                      "\nscripted\nwritten\nmicrophone silence\ntap recordButton\npartial " + heard +
                      "\ntext textView " + shown + "\nfinal words\npartial " + heard + "\ntext textView " +
                      shown + "\n"),
                  0)
            << errors;
    }
}

TEST_F(SpokenCommandsScriptTest, SynthesisedSpeechMakesTheCommandsOfItsScreenOnlyAndElsewhereReadsAsSaid) {
    // Clips of a voice synthesiser (scripts/make-speech-clips), which pocketsphinx hears word for
    // word; the last row's words are heard as one added word, which no table of that screen holds.
    struct Case {
        const char* screen;
        const char* clip;
        const char* transcript;
    };
    const Case cases[] = {
        {kNotes, "red-circle", " 🔴"},
        {kNotes, "radio-button", " 🔘"},
        {kNotes, "radio-button-buy-milk", " 🔘 buy milk"},
        {kNotes, "buy-milk-radio-button", " Buy milk 🔘"},
        {kNotes, "red-circle-buy-bread", " 🔴 buy bread"},
        {kRecipe, "ice-cream", " 🍦"},
        {"", "red-circle-buy-bread", " Red circle buy bread"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.screen) + ": " + c.clip);
        resetSharedInstances();
        const auto clip =
            quillora::test::sourceTree() / "tests" / "support" / "speech" / (std::string(c.clip) + ".flac");
        ASSERT_TRUE(std::filesystem::exists(clip)) << clip;
        EXPECT_EQ(run(std::string(c.screen) + "\nspeak " + clip.string() +
                      "\ntap recordButton\nwait 6\ntap recordButton\nwait 2\ntext Clipboard \"" +
                      c.transcript + "\"\n"),
                  0)
            << errors;
    }
}
