// The recipe screen: food commands, the 31 rows with their pictures and listening texts, the
// restore, the loop table's differences and the keyboard overlay's mends on this screen.

#include <filesystem>

#include "entries/EntryListViewController.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/storekit/SKStoreReviewController.h"
#include "platform/uikit/UIKitNotifications.h"
#include "tests/dictation/DictationTestSupport.h"

using namespace platform;
using quillora::test::RecipeScreenTest;
using quillora::test::store;

TEST_F(RecipeScreenTest, FoodNamesBecomeEmojiOnlyOnceATriggerFormWasHeard) {
    show();
    record();
    struct Case {
        const char* heard;
        const char* shown;
    };
    for (auto [heard, shown] :
         {Case{"veggie", "v🥚ie"}, Case{"BANANA and LEMON with egg", "BANANA and 🍋 with 🥚"},
          Case{"a Lemon", "a Lemon"}, Case{"Lemon", "🍋"}, Case{"Lemon pizza", "🍋 🍕"},
          Case{"Pineapple", "Pine🍎"}, Case{"an eggplant", "an 🥚plant"}, Case{"choclate", "choclate"},
          Case{"strawberries", "strawberries"}, Case{"Strawberries", "Strawberries"}, Case{"hot dog", "🌭"},
          Case{"a Hot dog", "a Hot dog"}, Case{"a hot dog and milk", "a 🌭 and 🥛"},
          Case{"Next item bullet add right", "✔️ ⦿ ➤"}}) {
        partial(heard);
        EXPECT_EQ(screen->textView->text(), shown) << heard;
    }
    EXPECT_EQ(quillora::recipeVoiceCommands().steps.size(), 52u);

    screen->Fruit_emoji();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "🍱🍔🍟🍎🥚🥐");
    // Its 13 food rows and Dismiss; the page of every command is the notes screen's.
    ASSERT_EQ(alert()->actions().size(), 13u + 1u);
    EXPECT_EQ(alert()->actions().back()->title(), "Dismiss");
    for (const auto& action : alert()->actions())
        EXPECT_NE(action->title(), "Complete List of Commands");

    // The bookmark file's path is kept beside the transcript file's; nothing opens it.
    ASSERT_TRUE(screen->dataFile_bookmarkV);
    EXPECT_EQ(std::filesystem::path(*screen->dataFile_bookmarkV).filename(), "dataFile_bookmarkV.dat");
    EXPECT_EQ(std::filesystem::path(*screen->dataFile_bookmarkV).parent_path(),
              std::filesystem::path(*screen->dataFile).parent_path());
    EXPECT_FALSE(std::filesystem::exists(*screen->dataFile_bookmarkV));
}

TEST_F(RecipeScreenTest, RowsBringTheirPicturesListeningTextsAndLocales) {
    show();
    const auto& table = quillora::recipeLanguageTable();
    ASSERT_EQ(table.size(), 31u);
    EXPECT_EQ(screen->pickerView->numberOfRowsInComponent(0), 31);
    EXPECT_EQ(screen->pickerView->titleForRow(10), "🇨🇦English-CA") << "the row recognises English (Canada)";
    EXPECT_EQ(table[27].pauseImage, "VN_Pause_Button.png");

    struct Case {
        long row;
        const char* listening;
        const char* play;
        const char* pause;
    };
    for (auto [row, listening, play, pause] :
         {Case{10, "Listening...", "Play.png", "Pause.png"},
          Case{26, "Слушаю ...", "RU_Play_Button.png", "RU_Pause_Button.png"},
          Case{27, "Đang nghe ...", "VN_Play_Button.png", "VN_Pause_Button.png"},
          Case{11, "Luisteren ...", "NL_Play_Button.png", "NL_Pause_Button.png"}}) {
        SCOPED_TRACE(row);
        screen->pickerView->userSelectRow(row);
        EXPECT_EQ(image(), play);
        record();
        EXPECT_EQ(screen->textView->text(), listening);
        EXPECT_EQ(image(), pause);
        screen->recordButton->tap();
        runUntilIdle();
        EXPECT_EQ(image(), play) << "back to idle";
    }
    screen->buttonSelect.reset();
    record();
    EXPECT_EQ(screen->textView->text(), "Listening....") << "no row";
    screen->recordButton->tap();
    runUntilIdle();

    // A row outside the table: the first locale's recognizer, row and picture kept.
    screen->pickerView->userSelectRow(26);
    screen->selectRecognitionLanguage(40);
    EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), "en-US");
    EXPECT_EQ(screen->buttonSelect, 26);
    EXPECT_EQ(image(), "RU_Play_Button.png");
}

TEST_F(RecipeScreenTest, TheRestoreTakesTheStoredRowElseTheRegionsRow) {
    struct Case {
        const char* locale;
        std::optional<long long> stored;
        long row;
        const char* recognizer;
        const char* picture;
    };
    for (const auto& c :
         {Case{"en_US", 26, 26, "ru-RU", "RU_Play_Button.png"}, Case{"en_US", 45, 0, "en-US", "Play.png"},
          Case{"en_CA", {}, 10, "en-CA", "Play.png"}, Case{"es_ES", {}, 0, "en-US", "Play.png"},
          Case{"pt_BR", {}, 0, "en-US", "Play.png"}, Case{"hi_IN", {}, 29, "hi-IN", "IN_Play_Button.png"}}) {
        SCOPED_TRACE(std::string(c.locale) + " stored " + (c.stored ? std::to_string(*c.stored) : "none"));
        store()->removeObjectForKey("lastlangaugeselected");
        if (c.stored) store()->setInteger_forKey(*c.stored, "lastlangaugeselected");
        NSLocale::setCurrentLocaleForTesting(NSLocale(c.locale));
        window.reset();
        nav.reset();
        show();
        EXPECT_EQ(screen->buttonSelect, c.row);
        EXPECT_EQ(screen->speechRecognizer->localeIdentifier(), c.recognizer);
        EXPECT_EQ(image(), c.picture);
        screen->viewWillDisappear(false);
        EXPECT_EQ(store()->integerForKey("lastlangaugeselected"), c.row)
            << "the row in use is stored on leaving";
    }
}

TEST_F(RecipeScreenTest, LostConnectionReviewAndBackgroundFollowTheRecipeTable) {
    show();
    // Five failed tasks in a row end the run, whatever the language's listening text.
    for (long row : {0, 4}) {
        screen->pickerView->userSelectRow(row);
        record();
        for (int failures = 1; failures <= 4; ++failures)
            fail();
        EXPECT_FALSE(alert()) << "row " << row;
        fail();
        ASSERT_TRUE(alert()) << "row " << row;
        EXPECT_EQ(screen->Clipboard->text(), "") << "row " << row << ": no label in the transcript";
        alert()->pressActionWithTitle("OK ");
        runUntilIdle();
    }

    // A new screen: its word lists are empty, so passes over texts without words add nothing.
    window.reset();
    nav.reset();
    show();
    auto scene = UIApplication::sharedApplication().connectSceneIfNeeded();
    scene->setActivationState(UISceneActivationState::ForegroundActive);
    record();
    auto failSilently = [&] {
        screen->textView->setText("");
        fail();
    };
    screen->WordCountforApp = 3000;
    failSilently();
    advance(4);
    EXPECT_TRUE(SKStoreReviewController::requests().empty()) << "3000 words";
    screen->WordCountforApp = 3001;
    failSilently(); // second handler
    advance(1.9);
    EXPECT_TRUE(SKStoreReviewController::requests().empty());
    advance(0.2);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 1u) << "2.0 s after the second handler";
    failSilently(); // first handler
    advance(2.9);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 1u);
    advance(0.2);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 2u) << "3.0 s after the first handler";
    screen->recordButton->tap(); // a stop asks for none
    runUntilIdle();
    advance(4);
    EXPECT_EQ(SKStoreReviewController::requests().size(), 2u);

    screen->pickerView->userSelectRow(6);
    record();
    UIApplication::sharedApplication().simulateResignActive();
    EXPECT_FALSE(screen->audioEngine->isRunning());
    EXPECT_FALSE(screen->audioEngine->inputNode()->hasTapOnBus(0));
    EXPECT_FALSE(screen->recognitionTask());
    EXPECT_TRUE(screen->isStopped);
    EXPECT_FALSE(screen->recordButton->isEnabled());
    EXPECT_EQ(image(), "MX_Play_Button.png");
    EXPECT_TRUE(consoleHas("APP moved to background , stopped AUDIO engine"));
}

TEST_F(RecipeScreenTest, TheOverlayNeverTakesAnOlderTextAndSymbolsWithoutItGoToTheTranscript) {
    show();
    screen->Clipboard->setText("list");
    screen->pushpin();
    EXPECT_EQ(screen->Clipboard->text(), "list📌") << "no overlay yet";
    NSNotificationCenter::defaultCenter().postNotificationName(UIKeyboardWillHideNotification, nullptr, {});
    EXPECT_EQ(screen->Clipboard->text(), "list📌") << "a hide with no overlay keeps the text";

    screen->Clipboard->becomeFirstResponder();
    runUntilIdle();
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    ASSERT_TRUE(screen->Clipboard_keyboard);
    EXPECT_EQ(screen->Clipboard_keyboard->layer().borderWidth, 1.5);
    EXPECT_EQ(screen->Clipboard->layer().borderWidth, 0.5);
    ASSERT_TRUE(screen->Clipboard_keyboard->typeText(" typed"));
    screen->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    // The keyboard goes by itself: its last frame change must not put the older transcript over it.
    screen->Clipboard_keyboard->resignFirstResponder();
    runUntilIdle();
    EXPECT_EQ(screen->Clipboard->text(), "list📌 typed");
    EXPECT_FALSE(consoleHas("chnage text"));
    EXPECT_FALSE(screen->outletNamed("StickyDynamicButton"));
    EXPECT_EQ(screen->SaveArrowButton->actionsForTarget_forControlEvent(screen.get(),
                                                                        UIControlEvent::TouchUpInside),
              (std::vector<std::string>{"SaveText_R"}));
}
