// Real recognition far behind the microphone, on the virtual clock with the decoder held back as a
// starved one would be: the run's audio waits for it however long, so every phrase arrives, late;
// the words before a stop are those the decoder gives when it keeps up; and a quit right after a
// stop saves the stopped phrase's final words, within the termination's wait.

#include <algorithm>
#include <chrono>
#include <thread>

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
        PocketsphinxEngine::holdEndsOfUtterancesForTesting(false);
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
    // Until a decoder is inside its end of utterance, held there.
    static bool decoderHeldInEnd() {
        for (int ms = 0; ms < 60000 && PocketsphinxEngine::decodersHeldInEndForTesting() == 0; ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return PocketsphinxEngine::decodersHeldInEndForTesting() > 0;
    }
    // The seconds the console said went unheard; none without the line.
    std::optional<double> unheardSeconds() const {
        for (const auto& line : consoleLines())
            if (auto at = line.find("recognition ");
                at != std::string::npos && line.find("unheard") != std::string::npos)
                return std::stod(line.substr(at + 12));
        return std::nullopt;
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
        // Unheard: at least what followed the last stretch the decoder had read.
        const auto unheard = unheardSeconds();
        EXPECT_EQ(unheard.has_value(), !c.decoderAnswers);
        if (unheard) {
            EXPECT_GE(*unheard, 1.6);
        }
    }
}

// The decoder deep in its last pass over an utterance (seconds on a starved core) when the
// application ends: the saves do not wait for it, and every phrase finished before is saved once.
TEST_F(LaggingRecognitionTest, AQuitNeverWaitsForADecoderInsideItsEndOfUtterance) {
    struct Case {
        const char* name;
        int phrasesBefore;
        bool stopFirst;
    };
    for (const Case& c : {Case{"the phrase being spoken", 0, false}, Case{"after a stop", 0, true},
                          Case{"a phrase already final, the next one held", 1, false}}) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const auto sound = Sandbox::tmp() / "phrases.wav";
        ASSERT_TRUE(quillora::test::writePhrasesWithPauses(
            sound, std::vector<std::pair<std::filesystem::path, double>>(c.phrasesBefore + 1,
                                                                         {sourceBundle() / "demo.wav", 2})));
        hear(sound);
        record();
        if (c.phrasesBefore > 0) {
            advance(4);
            ASSERT_EQ(screen->Clipboard->text(), " " + std::string(kPhrase));
        }
        PocketsphinxEngine::holdEndsOfUtterancesForTesting(true);
        if (c.stopFirst) {
            advance(1.4);
            EXPECT_TRUE(screen->recordButton->tap());
        } else
            for (int step = 0; step < 20 && PocketsphinxEngine::decodersHeldInEndForTesting() == 0; ++step)
                advance(0.5);
        ASSERT_TRUE(decoderHeldInEnd());
        UIApplication::sharedApplication().terminateAndSettle(0.5);
        EXPECT_EQ(PocketsphinxEngine::decodersHeldInEndForTesting(), 1) << "the end waited for the decoder";
        const std::string saved = quillora::test::store()->stringForKey("saveclipBoardText").value_or("");
        EXPECT_EQ(saved.rfind(" Go", 0), 0u) << saved;
        if (c.phrasesBefore > 0) {
            EXPECT_EQ(saved.rfind(" " + std::string(kPhrase) + " Go", 0), 0u) << saved;
        }
        EXPECT_LE(occurrences(saved, kPhrase), static_cast<std::size_t>(c.phrasesBefore + 1)) << saved;
    }
}

// What the decoder heard before the saves is saved, though it had not reached the screen: after a
// stop it posts no partial results, and it is held inside the phrase's end. The console counts as
// unheard only the audio after the last word saved.
TEST_F(LaggingRecognitionTest, AQuitSavesWhatTheDecoderHeardAndCountsOnlyTheRestUnheard) {
    struct Case {
        const char* name;
        bool decoderHearsTheRest;
        double unheardAtLeast;
        double unheardAtMost;
    };
    for (const Case& c : {Case{"the decoder heard up to the stop", true, 0, 1.2},
                          Case{"the decoder stayed behind", false, 1.5, 1.8}}) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        hear(sourceBundle() / "demo.wav");
        record();
        advance(1.4);
        PocketsphinxEngine::holdDecodersForTesting(true);
        const std::string seen = screen->textView->text();
        ASSERT_EQ(seen.rfind("Go", 0), 0u) << seen;
        advance(1.6);
        EXPECT_TRUE(screen->recordButton->tap());
        if (c.decoderHearsTheRest) {
            PocketsphinxEngine::holdEndsOfUtterancesForTesting(true);
            PocketsphinxEngine::holdDecodersForTesting(false);
            ASSERT_TRUE(decoderHeldInEnd());
        }
        UIApplication::sharedApplication().terminateAndSettle(0.2);
        EXPECT_EQ(quillora::test::store()->stringForKey("saveclipBoardText"),
                  " " + (c.decoderHearsTheRest ? std::string(kPhrase) : seen));
        const auto unheard = unheardSeconds();
        ASSERT_TRUE(unheard) << "no unheard line";
        EXPECT_GE(*unheard, c.unheardAtLeast);
        EXPECT_LE(*unheard, c.unheardAtMost);
    }
}
