// Real recognition far behind the microphone, on the virtual clock with the decoder held back as a
// starved one would be: the run's audio waits for it however long, so every phrase arrives, late;
// the words before a stop are those the decoder gives when it keeps up; and a quit right after a
// stop saves the stopped phrase's final words, within the termination's wait.

#include <algorithm>

#include "platform/foundation/Sandbox.h"
#include "platform/speech/PocketsphinxEngine.h"
#include "tests/dictation/DictationTestSupport.h"
#include "tests/dictation/PhrasesWithPauses.h"

using namespace platform;
using quillora::test::DictationScreenTest;
using quillora::test::kTestClips;
using quillora::test::occurrences;
using quillora::test::sourceBundle;

namespace {

constexpr const char* kPhrase = "Go forward ten meters";

class LaggingRecognitionTest : public DictationScreenTest {
protected:
    void SetUp() override {
        DictationScreenTest::SetUp();
        ScriptedSpeech::shared().setScriptedLocales({});
    }
    void TearDown() override {
        PocketsphinxEngine::holdDecodersForTesting(false);
        DictationScreenTest::TearDown();
    }

    // A new main screen whose microphone hears `sound`.
    void hear(const std::filesystem::path& sound) {
        window.reset();
        nav.reset();
        screen.reset();
        runUntilIdle();
        AVAudioInputSource::setCurrent(AVAudioInputSource::file(sound));
        show();
    }
    // The transcript once the stop's last words are in.
    std::string stopAndWait() {
        EXPECT_TRUE(screen->recordButton->tap());
        PocketsphinxEngine::holdDecodersForTesting(false);
        // A wait on the virtual clock gives up after a minute of real time without news from the
        // decoder, which may need more to hear a long phrase on a busy machine.
        auto ended = [&] { return !screen->taskTextStillComing() && !screen->isFinalStopped; };
        for (int minute = 0; minute < 10 && !ended(); ++minute)
            RunLoop::main().runUntil(ended, 600);
        EXPECT_TRUE(ended());
        runUntilIdle();
        return screen->Clipboard->text();
    }
    bool consoleMentions(const std::string& words) const {
        const auto lines = consoleLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(words) != std::string::npos; });
    }
};

} // namespace

// Two and a half minutes of recording go by while the decoder hears none of it; let go, it hears
// all of it, phrase by phrase, while the recording goes on.
TEST_F(LaggingRecognitionTest, RecognitionMinutesBehindTheMicrophoneHearsEveryPhraseLate) {
    const auto sound = Sandbox::tmp() / "lagging.wav";
    ASSERT_TRUE(quillora::test::writePhrasesWithPauses(
        sound, std::vector<std::pair<std::filesystem::path, double>>(9, {sourceBundle() / "demo.wav", 18})));
    hear(sound);
    PocketsphinxEngine::holdDecodersForTesting(true);
    record();
    advance(150);
    EXPECT_EQ(screen->Clipboard->text(), "") << "nothing heard yet";
    PocketsphinxEngine::holdDecodersForTesting(false);
    advance(30);
    EXPECT_TRUE(screen->audioEngine->isRunning()) << "the run went on meanwhile";
    const std::string transcript = stopAndWait();
    EXPECT_EQ(occurrences(transcript, kPhrase), 9u) << transcript;
    EXPECT_FALSE(consoleMentions("unheard"));
}

// A stop at the same place in the same recording, learned by the decoder as it got there or long
// before (held back while the phrases before the stop went by): the same words.
TEST_F(LaggingRecognitionTest, TheWordsBeforeAStopDoNotDependOnWhenRecognitionLearnedOfIt) {
    const auto librivox = kTestClips / "librivox";
    const auto sound = Sandbox::tmp() / "phrases.wav";
    ASSERT_TRUE(quillora::test::writePhrasesWithPauses(
        sound, {{librivox / "sense_and_sensibility_01_austen_64kb-0880.wav", 0.3},
                {kTestClips / "numbers.raw", 0.6},
                {librivox / "sense_and_sensibility_01_austen_64kb-0930.wav", 1.0},
                {sourceBundle() / "demo.wav", 0.4},
                {librivox / "sense_and_sensibility_01_austen_64kb-0890.wav", 1.5}}))
        << "the test clips of pocketsphinx-testdata are needed";
    // Into the last phrase.
    constexpr double kStopAt = 30;
    hear(sound);
    record();
    advance(kStopAt);
    const std::string keptUp = stopAndWait();
    ASSERT_GT(quillora::test::wordsOf(keptUp).size(), 30u) << keptUp;

    hear(sound);
    PocketsphinxEngine::holdDecodersForTesting(true);
    record();
    advance(kStopAt);
    EXPECT_EQ(stopAndWait(), keptUp);
}

// Quit right after the stop, the decoder still on the stopped phrase: the termination waits for
// the phrase's final and saves it. A decoder that does not answer within the wait leaves the words
// heard so far saved, and the console says how much audio went unheard.
TEST_F(LaggingRecognitionTest, AQuitRightAfterAStopSavesTheStoppedPhrasesFinalWithinTheTerminationsWait) {
    struct Case {
        const char* name;
        bool decoderAnswers;
        double wait;
    };
    for (const Case& c :
         {Case{"the decoder catches up", true, 60}, Case{"the decoder stays held", false, 0.2}}) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        hear(sourceBundle() / "demo.wav");
        record();
        // The first words, then the decoder falls behind for the rest of the phrase.
        advance(1.4);
        PocketsphinxEngine::holdDecodersForTesting(true);
        const std::string partial = screen->textView->text();
        ASSERT_EQ(partial.rfind("Go", 0), 0u) << partial;
        ASSERT_LT(partial.size(), std::string(kPhrase).size()) << partial;
        advance(1.6);
        EXPECT_TRUE(screen->recordButton->tap());
        PocketsphinxEngine::holdDecodersForTesting(!c.decoderAnswers);
        UIApplication::sharedApplication().terminateAndSettle(c.wait);
        // What the termination stores of the transcript.
        EXPECT_EQ(quillora::test::store()->stringForKey("saveclipBoardText"),
                  " " + (c.decoderAnswers ? std::string(kPhrase) : partial));
        EXPECT_EQ(consoleMentions("1.6 s of audio behind the microphone"), !c.decoderAnswers);
    }
}
