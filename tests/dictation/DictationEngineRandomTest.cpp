// The recognition engine under random use, on every screen table: seeded runs of partials,
// finals, errors, stops, taps while a stop is pending, the application leaving and coming back,
// the screen leaving and coming back through the navigation, the editor opening and saving, the
// application quitting (after which it starts afresh), silent tasks, availability changes, failed
// starts and time passing; after every run, and at quitting, each heard text stands exactly once.
// And a whole half-hour run on the notes table.

#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>

#include "detail/DetailEntryScreen.h"
#include "dictation/SwiftUIEditView.h"
#include "platform/avfaudio/AVAudioSession.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::test::DictationScreenFixture;
using quillora::test::DictationScreenTest;
using quillora::test::NotesScreenTest;
using quillora::test::RecipeScreenTest;

namespace {

constexpr int kRuns = 1000;
constexpr int kEventsPerRun = 40;

const std::regex& taskWord() {
    static const std::regex word(R"(t(\d+)w(\d+))");
    return word;
}

std::set<long> tasksIn(const std::string& text) {
    std::set<long> tasks;
    for (std::sregex_iterator m(text.begin(), text.end(), taskWord()), end; m != end; ++m)
        tasks.insert(std::stol((*m)[1]));
    return tasks;
}

// A screen that notes every write of a task's text made after a later task started: a task's text
// is appended before the next task starts, so such a write comes from a task that was replaced.
template <class Base> class WatchedScreen : public Base {
public:
    std::vector<std::string> staleWrites;

protected:
    void writeTranscript(const std::string& text) override {
        const auto started = ScriptedSpeech::shared().tasksStarted();
        const auto before = tasksIn(this->transcript()->text());
        for (long task : tasksIn(text))
            if (!before.count(task) && task < started)
                staleWrites.push_back("task " + std::to_string(task) + " wrote after task " +
                                      std::to_string(started) + " started: " + text);
        Base::writeTranscript(text);
    }
};

using MainRandomTest = DictationScreenFixture<WatchedScreen<quillora::ViewController>>;
using NotesRandomTest = DictationScreenFixture<WatchedScreen<quillora::NotesViewController>>;
using RecipeRandomTest = DictationScreenFixture<WatchedScreen<quillora::RecipeViewController>>;
using DetailRandomTest = DictationScreenFixture<WatchedScreen<quillora::DetailRecipeVCTableView>>;

// One seeded run against a screen shown by `fixture`; failures name the seed.
template <class Screen> class RandomRun {
public:
    RandomRun(DictationScreenFixture<Screen>& fixture, std::shared_ptr<Screen>& screen, unsigned seed)
        : fixture_(fixture), screen_(screen), random_(seed) {}

    void run() {
        screen_->staleWrites.clear();
        heard_.clear();
        for (int i = 0; i < kEventsPerRun && !quit_ && !::testing::Test::HasFailure(); ++i) {
            step();
            closeAlerts();
            checkButton("after event " + std::to_string(i));
        }
        // An application that quit hears nothing more: what it holds is checked as it was left.
        if (!quit_) drain();
        checkIdle();
        checkTranscript();
        for (const auto& write : screen_->staleWrites)
            ADD_FAILURE() << write;
        // The next run starts on the screen in view, with no editor up.
        if (editorText_ && screen_->presentedViewController())
            screen_->dismissViewControllerAnimated_completion(false, nullptr);
        if (away_) comeBack();
        fixture_.runUntilIdleForRandom();
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    // The screen goes through the navigation, as a person makes it go: the first screen's switch
    // (or Save) pushes another screen over it, the switch between the notes and recipe screens puts
    // the other in its place.
    void leave() {
        auto other = std::make_shared<UIViewController>();
        const bool switchedAway =
            !std::is_base_of_v<quillora::DetailEntryScreen, Screen> && screen_->screenTable().segment != 0;
        if (switchedAway)
            fixture_.randomNavigation()->setViewControllers_animated({other}, true);
        else
            fixture_.randomNavigation()->pushViewController_animated(other, true);
        away_ = true;
    }
    void comeBack() {
        fixture_.randomNavigation()->setViewControllers_animated({screen_}, true);
        away_ = false;
    }

    // Words no other task of the run says: task number and the task's own count.
    std::string words() {
        const auto task = ScriptedSpeech::shared().tasksStarted();
        return "t" + std::to_string(task) + "w" + std::to_string(++said_);
    }

    // Speaks `text` to the listening task and lets it arrive, noting it as what that task heard.
    void speak(bool final) {
        auto& speech = ScriptedSpeech::shared();
        const auto task = speech.tasksStarted();
        const std::string text = words();
        if (!(final ? speech.final(text) : speech.partial(text))) return;
        fixture_.runUntilIdleForRandom();
        heard_[task] = text;
    }

    void step() {
        auto& speech = ScriptedSpeech::shared();
        switch (pick(17)) {
        case 0:
        case 1:
            speak(false);
            break;
        case 2:
        case 3:
            speak(true);
            break;
        case 4:
            speech.fail("No speech detected");
            break;
        case 5:
        case 6:
            // A person's tap: starts, stops, or (while a stop is pending) does nothing.
            screen_->recordButton->tap();
            break;
        case 7:
            if (pick(2))
                UIApplication::sharedApplication().simulateResignActive();
            else
                UIApplication::sharedApplication().simulateBecomeActive();
            break;
        case 8:
            screen_->speechRecognizer_availabilityDidChange(*screen_->speechRecognizer, pick(3) != 0);
            break;
        case 9: {
            // The audio session refuses the next start, whether the person's or a restart.
            AVAudioSession::sharedInstance().injectFailure(
                AVAudioSession::Step::mode, NSError{"AVFAudioErrorDomain", 561017449, "Session busy"});
            if (pick(2))
                screen_->recordButton->tap();
            else
                speak(true);
            fixture_.runUntilIdleForRandom();
            AVAudioSession::sharedInstance().injectFailure(AVAudioSession::Step::mode, std::nullopt);
            break;
        }
        case 10:
            // Away and back before the stopped task has said its last: the person taps again at once.
            UIApplication::sharedApplication().simulateResignActive();
            UIApplication::sharedApplication().simulateBecomeActive();
            screen_->speechRecognizer_availabilityDidChange(*screen_->speechRecognizer, true);
            screen_->recordButton->tap();
            break;
        case 11:
            // The screen goes and, some other time, comes back to its transcript as it was left.
            if (!away_)
                leave();
            else
                comeBack();
            break;
        case 12:
            // The editor opens on the transcript, and later saves it as it was shown.
            if (!editorText_) {
                screen_->textEditButtonTapped();
                editorText_ = screen_->transcript()->text();
            } else {
                quillora::SwiftUIEditView editor;
                editor.presentingVC = std::weak_ptr<UIViewController>(screen_);
                editor.text.set(*editorText_);
                editor.save();
                editorText_.reset();
            }
            break;
        case 13:
            // Quitting, now and then: whatever was heard by then, the running task's phrase too,
            // stands in the text at once, as the termination saves it. The next run starts the
            // application afresh.
            if (pick(4)) break;
            fixture_.runUntilIdleForRandom();
            UIApplication::sharedApplication().simulateTerminate();
            quit_ = true;
            expectEveryHeardTextOnce("at quitting");
            break;
        case 14:
            // A pause longer than the recognizer waits for speech.
            fixture_.advanceForRandom(11);
            break;
        default:
            fixture_.advanceForRandom(std::uniform_real_distribution<double>(0, 12)(random_));
            break;
        }
        // Half the time the next event comes before queued work has run, as a quick person's would.
        if (pick(2)) fixture_.runUntilIdleForRandom();
        if (screen_->audioEngine->inputNode()->hasTapOnBus(0) && !screen_->audioEngine->isRunning() &&
            !screen_->recognitionTask())
            ADD_FAILURE() << "a tap is left without a run";
    }

    // Alerts other than the stop's progress alert are answered at once, as a person would.
    void closeAlerts() {
        for (int i = 0; i < 3; ++i) {
            auto alert = std::dynamic_pointer_cast<UIAlertController>(screen_->presentedViewController());
            if (!alert || alert->title() == " 📝 .....") return;
            if (alert->title() == "The microphone's tap is still in use") ADD_FAILURE() << "two taps";
            alert->pressActionWithTitle(alert->actions().at(0)->title().value_or(""));
            fixture_.runUntilIdleForRandom();
        }
    }

    void checkButton(const std::string& when) {
        if (screen_->isFinalStopped && screen_->recordButton->isEnabled())
            ADD_FAILURE() << "the record button is enabled while a stop is pending, " << when;
    }

    // Stops whatever runs and lets every task end.
    void drain() {
        auto& speech = ScriptedSpeech::shared();
        UIApplication::sharedApplication().simulateBecomeActive();
        for (int i = 0; i < 5; ++i) {
            closeAlerts();
            if (screen_->audioEngine->isRunning()) {
                screen_->recordButtonTapped();
                fixture_.runUntilIdleForRandom();
            }
            if (speech.hasCurrentTask()) speak(true);
            fixture_.runUntilIdleForRandom();
            checkButton("while draining");
        }
        fixture_.advanceForRandom(5);
        closeAlerts();
    }

    void checkIdle() {
        EXPECT_FALSE(screen_->audioEngine->isRunning()) << "the engine runs on";
        EXPECT_FALSE(screen_->audioEngine->inputNode()->hasTapOnBus(0)) << "the tap stays";
        EXPECT_FALSE(screen_->isFinalStopped) << "a stop never completed";
    }

    // What each task last heard is in the transcript exactly once.
    void expectEveryHeardTextOnce(const std::string& when) {
        const std::string text = screen_->transcript()->text();
        std::multiset<std::string> present;
        for (std::sregex_iterator m(text.begin(), text.end(), taskWord()), end; m != end; ++m)
            present.insert(m->str());
        for (const auto& [task, said] : heard_)
            EXPECT_EQ(present.count(said), 1u)
                << "task " << task << " heard \"" << said << "\" " << when << ": " << text;
    }

    // Every task's words are in the transcript at most once, and in the order the tasks ran; what
    // each task last heard is there exactly once.
    void checkTranscript() {
        const auto& word = taskWord();
        const std::string text = screen_->transcript()->text();
        expectEveryHeardTextOnce("after the run");
        std::set<long> tasks;
        long lastTask = -1, lastWord = -1;
        for (std::sregex_iterator m(text.begin(), text.end(), word), end; m != end; ++m) {
            const long task = std::stol((*m)[1]), said = std::stol((*m)[2]);
            EXPECT_TRUE(tasks.insert(task).second)
                << "task " << task << " reached the transcript twice: " << text;
            EXPECT_GT(task, lastTask) << "out of order: " << text;
            EXPECT_GT(said, lastWord) << "older words after newer ones: " << text;
            lastTask = task;
            lastWord = said;
        }
    }

    DictationScreenFixture<Screen>& fixture_;
    std::shared_ptr<Screen>& screen_;
    std::mt19937 random_;
    int said_ = 0;
    // What each task heard last, by task number.
    std::map<int, std::string> heard_;
    bool away_ = false;
    bool quit_ = false;
    std::optional<std::string> editorText_;
};

} // namespace

namespace {

template <class Fixture> void runSeeds(Fixture& fixture) {
    for (unsigned seed = 1; seed <= kRuns; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        fixture.resetForRandom(seed % 50 == 1);
        RandomRun run(fixture, fixture.randomScreen(), seed);
        run.run();
        if (::testing::Test::HasFailure()) {
            std::cerr << "the random run failed with seed " << seed << std::endl;
            return;
        }
    }
}

} // namespace

TEST_F(MainRandomTest, ThousandRandomRunsOnTheMainTableKeepEveryTasksTextOnceAndLeaveNothingRunning) {
    runSeeds(*this);
}

TEST_F(NotesRandomTest, ThousandRandomRunsOnTheNotesTableKeepEveryTasksTextOnceAndLeaveNothingRunning) {
    runSeeds(*this);
}

TEST_F(RecipeRandomTest, ThousandRandomRunsOnTheRecipeTableKeepEveryTasksTextOnceAndLeaveNothingRunning) {
    runSeeds(*this);
}

TEST_F(DetailRandomTest, ThousandRandomRunsOnTheDetailTableKeepEveryTasksTextOnceAndLeaveNothingRunning) {
    runSeeds(*this);
}

TEST_F(RecipeScreenTest, AHalfHourRunKeepsEveryTasksTextOnceAndInOrder) {
    show();
    record();
    std::string expected;
    int task = 0;
    while (screen->audioEngine->isRunning()) {
        // Heard before the recognizer's ten seconds without speech are up.
        advance(9.5);
        std::string words = "apple of task " + std::to_string(++task);
        ASSERT_TRUE(ScriptedSpeech::shared().partial(words));
        advance(0.5);
        ASSERT_TRUE(ScriptedSpeech::shared().final(words));
        runUntilIdle();
        expected += " 🍎 of task " + std::to_string(task);
        ASSERT_LT(task, 200) << "the run never ends";
    }
    EXPECT_EQ(task, 180);
    EXPECT_EQ(screen->Clipboard->text(), expected);
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_EQ(image(), "Play.png");
}

// A whole run: a task ends every ten seconds for 1800 seconds.
TEST_F(NotesScreenTest, AHalfHourRunRestartsAbout180TimesAndKeepsEveryTasksTextOnceAndInOrder) {
    show();
    const WholeRun run =
        runWithATaskEveryTenSeconds([](int task) { return "pushpin words of task " + std::to_string(task); });
    std::string expected;
    for (int task = 1; task <= run.tasks; ++task)
        expected += " 📌 words of task " + std::to_string(task);
    EXPECT_EQ(run.tasks, 180);
    EXPECT_EQ(countLines("start recodring again "), 179u);
    EXPECT_EQ(countLines("isFinal loop triggered "), 180u);
    EXPECT_EQ(screen->Clipboard->text(), expected);
    EXPECT_EQ(screen->timeLeft, 0);
    EXPECT_EQ(title(), "Start Recording");
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    for (const auto& t : run.ended)
        EXPECT_TRUE(t.expired());
    EXPECT_LE(RunLoop::main().pendingCount(), run.pendingAtTask20);
}
