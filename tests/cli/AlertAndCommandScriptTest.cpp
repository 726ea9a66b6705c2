// The `alert` verb on tall action sheets, refusals of controls behind an alert or a sheet, Share ->
// Print, and the help sheets' two-word commands said alone, all through scripts.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Finger.h"
#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/Actionability.h"
#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UITextView.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;
using namespace platform;

namespace {

class AlertAndCommandScriptTest : public quillora::test::PlatformTest {
protected:
    // Runs `text` as a script; the reason of a failing line is kept in `errors`.
    int run(const std::string& text, const std::function<void(ScriptInterpreter&)>& extend = nullptr) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        Options options;
        options.home = home;
        options.clock = RunLoop::kDefaultVirtualEpoch;
        options.script = path.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        testing::internal::CaptureStderr();
        const int status = runProgram(options, 1, argv, extend);
        errors = testing::internal::GetCapturedStderr();
        return status;
    }
    std::string errors;
};

// `text NAME TEXT`: the text view of that property name holds TEXT now.
void addTextCheck(ScriptInterpreter& interpreter) {
    interpreter.addCommand("text", "text NAME TEXT", [](ScriptInterpreter&, const ScriptLine& line) {
        auto view = std::dynamic_pointer_cast<UITextView>(ScriptInterpreter::control(line.words.at(0)));
        if (!view) throw ScriptError("'" + line.words[0] + "' is not a text view");
        if (view->text() != line.textAfter(1))
            throw ScriptError(line.words[0] + " holds \"" + view->text() + "\", not \"" + line.textAfter(1) +
                              "\"");
    });
}

} // namespace

TEST_F(AlertAndCommandScriptTest, EveryRowOfEveryHelpSheetIsPressedByItsOwnTitle) {
    struct Sheet {
        const char* screen; // how the script reaches the screen
        const char* opener; // the button that opens its help sheet
        std::size_t rows;
    };
    const Sheet sheets[] = {{"", "CommandsButton", 16},
                            {"segment segmentcontrol Notes", "PushPin_emoji", 21},
                            {"segment segmentcontrol Recipe", "Fruit_emoji", 14}};
    for (const auto& sheet : sheets) {
        SCOPED_TRACE(sheet.opener);
        platform::resetSharedInstances();
        std::vector<std::string> pressed, titles;
        // `every`: opens the sheet once per row and presses that row with the `alert` verb.
        auto extend = [&](ScriptInterpreter& interpreter) {
            interpreter.addCommand("every", "every", [&](ScriptInterpreter& self, const ScriptLine& line) {
                self.runLine(std::string("tap ") + sheet.opener, line.number);
                auto alert = std::dynamic_pointer_cast<UIAlertController>(ScriptInterpreter::currentScreen());
                ASSERT_TRUE(alert);
                for (const auto& action : alert->actions())
                    titles.push_back(action->title().value_or(""));
                for (std::size_t i = 0; i < titles.size(); ++i) {
                    if (i > 0) self.runLine(std::string("tap ") + sheet.opener, line.number);
                    alert = std::dynamic_pointer_cast<UIAlertController>(ScriptInterpreter::currentScreen());
                    ASSERT_TRUE(alert);
                    self.runLine("alert " + titles[i], line.number);
                    pressed.push_back(alert->pressedAction() ? alert->pressedAction()->title().value_or("")
                                                             : "nothing");
                    EXPECT_NE(ScriptInterpreter::currentScreen(), alert) << "the sheet closed";
                }
            });
        };
        ASSERT_EQ(run(std::string(sheet.screen) + "\nevery\n", extend), 0) << errors;
        EXPECT_EQ(titles.size(), sheet.rows);
        EXPECT_EQ(pressed, titles) << "each title pressed its own row, the ones scrolled into sight too";
    }
    EXPECT_TRUE(consoleHas("User click Dismiss button"));
}

TEST_F(AlertAndCommandScriptTest, AnAlertButtonUnderAnotherViewIsRefusedNotPressedThrough) {
    std::shared_ptr<UIAlertController> alert;
    auto extend = [&](ScriptInterpreter& interpreter) {
        // An alert whose second button lies under a view added to the alert's box.
        interpreter.addCommand("covered", "covered", [&](ScriptInterpreter&, const ScriptLine&) {
            alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
                "Covered", std::nullopt, UIAlertControllerStyle::ActionSheet);
            for (const char* title : {"First", "Second", "Third"})
                alert->addAction(UIAlertAction::actionWithTitle_style_handler(
                    title, UIAlertActionStyle::Default, nullptr));
            ScriptInterpreter::currentScreen()->presentViewController_animated_completion(alert, false,
                                                                                          nullptr);
            RunLoop::main().runUntilIdle();
            ScreenRenderer::layout();
            auto view = std::dynamic_pointer_cast<UIAlertControllerView>(alert->view());
            const CGRect button = view->layout().buttons[1], f = view->frame();
            auto cover = std::make_shared<UIView>(
                CGRect{button.minX() - f.minX(), button.minY() - f.minY(), button.width(), button.height()});
            view->addSubview(cover);
        });
    };
    EXPECT_EQ(run("covered\nalert Second\n", extend), 1);
    EXPECT_NE(errors.find("script.txt:2: 'Second' is covered by a UIView"), std::string::npos) << errors;
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->pressedAction(), nullptr) << "no other button was pressed instead";
}

TEST_F(AlertAndCommandScriptTest, AnAlertsActionIsNamedAsPressNamesAButton) {
    struct Case {
        const char* line;
        const char* pressed; // none when the line fails
        const char* reason;
    };
    const Case cases[] = {
        {"alert \"OK \"", "OK ", ""},
        {"alert OK", "OK ", ""},
        {"alert \"  OK\"", "OK ", ""},
        {"alert Save Draft", "Save Draft", ""},
        {"alert Dele", "Delete Draft", ""},
        {"alert Save", nullptr, "2 actions whose label starts with 'Save': 'Save Draft', 'Save As'"},
        {"alert Later", nullptr, "'Later ' is disabled"},
        {"alert Cancel", nullptr, "the alert has no action titled 'Cancel'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        platform::resetSharedInstances();
        std::shared_ptr<UIAlertController> alert;
        auto extend = [&](ScriptInterpreter& interpreter) {
            interpreter.addCommand("ask", "ask", [&](ScriptInterpreter&, const ScriptLine&) {
                alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
                    "Asked", std::nullopt, UIAlertControllerStyle::ActionSheet);
                for (const char* title : {"OK ", "Save Draft", "Save As", "Delete Draft", "Later "})
                    alert->addAction(UIAlertAction::actionWithTitle_style_handler(
                        title, UIAlertActionStyle::Default, nullptr));
                alert->actions().back()->setEnabled(false);
                ScriptInterpreter::currentScreen()->presentViewController_animated_completion(alert, false,
                                                                                              nullptr);
            });
        };
        EXPECT_EQ(run(std::string("ask\n") + c.line + "\n", extend), c.pressed ? 0 : 1) << errors;
        ASSERT_TRUE(alert);
        if (c.pressed) {
            ASSERT_TRUE(alert->pressedAction());
            EXPECT_EQ(alert->pressedAction()->title(), c.pressed);
        } else {
            EXPECT_EQ(alert->pressedAction(), nullptr);
            EXPECT_NE(errors.find(std::string("script.txt:2: ") + c.reason), std::string::npos) << errors;
        }
    }
}

TEST_F(AlertAndCommandScriptTest, AFailedLineEndsThroughTheTerminationSavesAndExitsWithOne) {
    // The phrase being spoken when the line fails reaches the stored transcript, as a quit's would.
    EXPECT_EQ(run("scripted\nmicrophone silence\ntap recordButton\npartial words said before the fault\n"
                  "tap noSuchButton\n"),
              1);
    EXPECT_NE(errors.find("script.txt:5: no control named 'noSuchButton'"), std::string::npos) << errors;
    EXPECT_TRUE(consoleHas("app going to terminate"));
    std::ifstream stored(home / "Library" / "Preferences" / "com.quillora.app.plist");
    const std::string preferences((std::istreambuf_iterator<char>(stored)), std::istreambuf_iterator<char>());
    EXPECT_NE(preferences.find("<string> words said before the fault</string>"), std::string::npos)
        << preferences;
}

TEST_F(AlertAndCommandScriptTest, AControlBehindAnAlertOrSheetIsRefusedAsCovered) {
    struct Case {
        const char* script;
        const char* reason;
    };
    for (const auto& c : {
             Case{"tap CommandsButton\ntap recordButton\n",
                  "script.txt:2: 'recordButton' is covered by the alert"},
             Case{"tap CommandsButton\nfocus Clipboard\n",
                  "script.txt:2: 'Clipboard' is covered by the alert"},
             Case{"segment segmentcontrol Notes\ntap Font_change\ntap recordButton\n",
                  "script.txt:3: 'recordButton' is covered by the alert"},
             Case{"tap FontDynamicButton\ntap recordButton\n",
                  "script.txt:2: 'recordButton' is covered by the sheet"},
             Case{"tap CommandsButton\ntap noSuchButton\n",
                  "script.txt:2: no control named 'noSuchButton' on this screen"},
         }) {
        SCOPED_TRACE(c.script);
        platform::resetSharedInstances();
        EXPECT_EQ(run(c.script), 1);
        EXPECT_NE(errors.find(c.reason), std::string::npos) << errors;
    }
}

TEST_F(AlertAndCommandScriptTest, ShareThenPrintOnADetailScreenPrintsTheEntryText) {
    // `activity TITLE`: a finger on the share sheet's row of that title.
    auto extend = [](ScriptInterpreter& interpreter) {
        interpreter.addCommand("activity", "activity TITLE", [](ScriptInterpreter&, const ScriptLine& line) {
            auto share =
                std::dynamic_pointer_cast<UIActivityViewController>(ScriptInterpreter::currentScreen());
            if (!share) throw ScriptError("no share sheet is shown");
            auto view = std::dynamic_pointer_cast<UIActivityViewControllerView>(share->view());
            const auto offered = share->offeredActivities();
            for (std::size_t i = 0; i < offered.size(); ++i)
                if (offered[i].second == line.textAfter(0))
                    return Finger::tap(*view, offered[i].second, view->rowRects()[i]);
            throw ScriptError("the share sheet offers no '" + line.textAfter(0) + "'");
        });
    };
    ASSERT_EQ(run("scripted\nmicrophone silence\ntap recordButton\nfinal Printed words of the entry.\n"
                  "tap recordButton\nwait 2\ntap SaveDynamicButton\nrow table 0\n"
                  "tap ShareDynamicButton\nactivity Print\nshow\n",
                  extend),
              0)
        << errors;
    auto* services = DesktopServices::recording();
    ASSERT_TRUE(services);
    ASSERT_EQ(services->printRequests().size(), 1u) << "the print dialog was asked for";
    const auto pdf = services->printRequests()[0].pdf;
    EXPECT_EQ(services->printRequests()[0].jobName, "Printed words of the entry.")
        << "the dialog is named after the entry, not the file its pages wait in";
    EXPECT_NE(quillora::test::pdfWords(pdf).find("Printed words of the entry."), std::string::npos);
    EXPECT_TRUE(consoleHas("Print dialog for " + pdf.filename().string()));
}

TEST_F(AlertAndCommandScriptTest, TwoWordCommandsOfTheHelpSheetsWorkSaidAlone) {
    struct Case {
        const char* screen;
        const char* said;
        const char* shown;
    };
    // The first result of a run goes to the first handler, the one after a final to the second.
    const Case cases[] = {
        {"", "book mark", "🔖"},
        {"", "round pushpin", "📍"},
        {"segment segmentcontrol Notes", "red circle", "🔴"},
        {"segment segmentcontrol Notes", "radio button", "🔘"},
        {"segment segmentcontrol Notes", "black circle", "⚫️"},
        {"segment segmentcontrol Notes", "ballot box", "☑️"},
        {"segment segmentcontrol Recipe", "ice cream", "🍦"},
        {"segment segmentcontrol Recipe", "hot dog", "🌭"},
        {"segment segmentcontrol Recipe", "birthday cake", "🎂"},
        {"segment segmentcontrol Recipe", "french fries", "🍟"},
        {"segment segmentcontrol Recipe", "smiling face", "😊"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        platform::resetSharedInstances();
        const std::string said = c.said;
        ASSERT_EQ(run(std::string(c.screen) + "\nscripted\nmicrophone silence\ntap recordButton\npartial " +
                          said + "\ntext textView " + c.shown + "\nfinal words\npartial " + said +
                          "\ntext textView " + c.shown + "\n",
                      addTextCheck),
                  0)
            << errors;
    }
    // A capital letter the recognizer heard in mid-phrase still keeps the gate shut, as for a
    // one-word command.
    platform::resetSharedInstances();
    EXPECT_EQ(run("segment segmentcontrol Recipe\nscripted\nmicrophone silence\ntap recordButton\n"
                  "partial two Ice cream\ntext textView two Ice cream\n",
                  addTextCheck),
              0)
        << errors;
}
