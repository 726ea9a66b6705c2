#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/ScreenPrinter.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {
class ControlsTest : public quillora::test::PlatformTest {};

class Receiver : public UIViewController {
public:
    int taps = 0;
    void recordButtonTapped() { ++taps; }
};

class Languages : public NSObject, public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    std::vector<std::string> rows{"English", "Español", "Deutsch"};
    std::vector<long> picked;
    long numberOfComponentsInPickerView(UIPickerView&) override { return 1; }
    long pickerView_numberOfRowsInComponent(UIPickerView&, long) override {
        return static_cast<long>(rows.size());
    }
    std::optional<std::string> pickerView_titleForRow_forComponent(UIPickerView&, long row, long) override {
        return rows[static_cast<std::size_t>(row)];
    }
    void pickerView_didSelectRow_inComponent(UIPickerView&, long row, long) override {
        picked.push_back(row);
    }
};

class Editor : public NSObject, public UITextViewDelegate {
public:
    bool allowBegin = true;
    std::vector<std::string> calls;
    bool textViewShouldBeginEditing(UITextView&) override {
        calls.push_back("shouldBegin");
        return allowBegin;
    }
    void textViewDidBeginEditing(UITextView&) override { calls.push_back("didBegin"); }
    void textViewDidEndEditing(UITextView&) override { calls.push_back("didEnd"); }
    bool textView_shouldChangeTextInRange_replacementText(UITextView&, NSRange range,
                                                          const std::string& text) override {
        calls.push_back("shouldChange " + std::to_string(range.location) + "+" +
                        std::to_string(range.length) + " " + text);
        return text != "forbidden";
    }
    void textViewDidChange(UITextView& view) override { calls.push_back("didChange " + view.text()); }
};
} // namespace

TEST_F(ControlsTest, TapReachesALiveTargetOnlyWhenTheButtonCanBeTouched) {
    auto receiver = std::make_shared<Receiver>();
    auto container = std::make_shared<UIView>();
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    container->addSubview(button);
    button->addTarget(
        receiver, "recordButtonTapped", [](Receiver& r) { r.recordButtonTapped(); },
        UIControlEvent::TouchUpInside);

    ASSERT_EQ(button->targetActions().size(), 1u);
    EXPECT_EQ(button->targetActions()[0].action, "recordButtonTapped");
    EXPECT_EQ(button->targetActions()[0].events, UIControlEvent::TouchUpInside);
    EXPECT_EQ(button->actionsForTarget_forControlEvent(receiver.get(), UIControlEvent::TouchUpInside),
              (std::vector<std::string>{"recordButtonTapped"}));

    EXPECT_TRUE(button->tap());
    button->setEnabled(false);
    EXPECT_FALSE(button->tap());
    button->setEnabled(true);
    button->setHidden(true);
    EXPECT_FALSE(button->tap());
    button->setHidden(false);
    container->setHidden(true);
    EXPECT_FALSE(button->tap()) << "inside a hidden view";
    container->setHidden(false);
    button->sendActionsForControlEvents(UIControlEvent::ValueChanged);
    EXPECT_EQ(receiver->taps, 1);
    button->sendActionsForControlEvents(UIControlEvent::TouchUpInside);
    EXPECT_EQ(receiver->taps, 2) << "code may send actions whatever the button's state";

    // The button never keeps its target alive, nor calls it once gone.
    std::weak_ptr<Receiver> weak = receiver;
    receiver.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(button->tap());
}

TEST_F(ControlsTest, ButtonShowsTheValuesOfItsCurrentStateFallingBackOnNormal) {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setTitle_forState("Start Recording", UIControlStates::Normal);
    button->setTitle_forState("Speech recognition not yet authorized", UIControlStates::Disabled);
    auto image = std::make_shared<UIImage>("Play.png", "");
    button->setImage_forState(image, UIControlStates::Normal);

    EXPECT_EQ(button->currentTitle(), "Start Recording");
    button->setEnabled(false);
    EXPECT_EQ(button->currentTitle(), "Speech recognition not yet authorized");
    EXPECT_EQ(button->currentImage(), image) << "no disabled image: the normal one shows";
    button->setTitle_forState(std::nullopt, UIControlStates::Disabled);
    EXPECT_EQ(button->currentTitle(), "Start Recording");
    button->setImage_forState(nullptr, UIControlStates::Normal);
    EXPECT_EQ(button->currentImage(), nullptr);
    EXPECT_EQ(UIImage::imageNamed("no-such-picture.png"), nullptr);
}

TEST_F(ControlsTest, PickerIgnoresRowsOutOfRangeAndOnlyTheUsersPickReachesTheDelegate) {
    auto languages = std::make_shared<Languages>();
    auto picker = std::make_shared<UIPickerView>();
    EXPECT_EQ(picker->selectedRowInComponent(0), -1) << "no data source, no rows";
    picker->setDataSource(languages);
    picker->setDelegate(languages);

    picker->selectRow_inComponent_animated(2, 0, false);
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    picker->selectRow_inComponent_animated(3, 0, false);
    picker->selectRow_inComponent_animated(-1, 0, false);
    picker->selectRow_inComponent_animated(0, 1, false);
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    EXPECT_TRUE(languages->picked.empty()) << "selecting from code tells no one";

    EXPECT_TRUE(picker->userSelectRow(1));
    EXPECT_FALSE(picker->userSelectRow(7));
    // A picker out of sight, itself or through its superview, takes no pick.
    auto holder = std::make_shared<UIView>();
    holder->addSubview(picker);
    picker->setHidden(true);
    EXPECT_FALSE(picker->userSelectRow(0));
    picker->setHidden(false);
    holder->setHidden(true);
    EXPECT_FALSE(picker->userSelectRow(0));
    EXPECT_EQ(picker->selectedRowInComponent(0), 1);
    holder->setHidden(false);
    EXPECT_EQ(languages->picked, (std::vector<long>{1}));
    EXPECT_EQ(picker->titleForRow(1), "Español");

    languages->rows.resize(1);
    picker->reloadAllComponents();
    EXPECT_EQ(picker->selectedRowInComponent(0), 0) << "a shrunk table keeps the selection in range";
}

TEST_F(ControlsTest, AnimationsApplyTheirEndStateNowAndCompleteAfterTheirDuration) {
    auto view = std::make_shared<UIView>(CGRect(0, 0, 50, 50));
    view->zoomIn(2.0);
    EXPECT_TRUE(view->transform().isIdentity());
    ASSERT_TRUE(view->lastAnimation());
    EXPECT_EQ(view->lastAnimation()->duration, 2.0);
    EXPECT_EQ(view->lastAnimation()->options & 0xF0000, UIViewAnimationOption::CurveLinear);

    std::vector<bool> finished;
    advance(1.0);
    UIView::animateWithDuration_delay_options_animations_completion(
        1.0, 0.5, 0, [&] { view->setAlpha(0); }, [&](bool done) { finished.push_back(done); });
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(view->lastAnimation()->startedAt, 1.0);
    advance(1.49);
    EXPECT_TRUE(finished.empty());
    advance(0.01);
    EXPECT_EQ(finished, (std::vector<bool>{true}));

    // Scale and rotation read back from the transform.
    auto t = CGAffineTransformRotate(CGAffineTransformMakeScale(2, 2), 0.5);
    EXPECT_NEAR(t.scaleX(), 2, 1e-9);
    EXPECT_NEAR(t.rotation(), 0.5, 1e-9);
}

TEST_F(ControlsTest, TextViewFocusAndTypingGoThroughItsDelegate) {
    auto editor = std::make_shared<Editor>();
    auto view = std::make_shared<UITextView>();
    view->setDelegate(editor);
    auto observer = std::make_shared<int>();
    std::vector<std::string> keyboard;
    std::optional<CGRect> shownFrame;
    NSNotificationCenter::defaultCenter().addObserver(
        observer, UIKeyboardWillShowNotification, [&](const NSNotification& n) {
            keyboard.push_back("show");
            shownFrame = n.rectForKey(UIKeyboardFrameEndUserInfoKey);
        });
    NSNotificationCenter::defaultCenter().addObserver(
        observer, UIKeyboardWillHideNotification, [&](const NSNotification&) { keyboard.push_back("hide"); });

    editor->allowBegin = false;
    EXPECT_FALSE(view->becomeFirstResponder());
    EXPECT_FALSE(view->isFirstResponder());
    EXPECT_TRUE(keyboard.empty());

    editor->allowBegin = true;
    view->setText("Hi 👋");
    EXPECT_TRUE(view->typeText("!"));
    EXPECT_EQ(view->text(), "Hi 👋!");
    EXPECT_TRUE(view->isFirstResponder());
    EXPECT_FALSE(view->typeText("forbidden"));
    EXPECT_EQ(view->text(), "Hi 👋!");
    EXPECT_TRUE(view->resignFirstResponder());
    EXPECT_EQ(editor->calls,
              (std::vector<std::string>{"shouldBegin", "shouldBegin", "didBegin", "shouldChange 5+0 !",
                                        "didChange Hi 👋!", "shouldChange 6+0 forbidden", "didEnd"}))
        << "ranges count UTF-16 units: the emoji is two";
    EXPECT_EQ(keyboard, (std::vector<std::string>{"show", "hide"}));
    ASSERT_TRUE(shownFrame);
    EXPECT_EQ(shownFrame->maxY(), 844);

    auto readOnly = std::make_shared<UITextView>();
    readOnly->setEditable(false);
    EXPECT_FALSE(readOnly->typeText("x"));
    EXPECT_EQ(readOnly->text(), "");
}

TEST_F(ControlsTest, ScreenPrinterShowsExposedControlsThenWhatIsPresented) {
    auto screen = std::make_shared<Receiver>();
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(UINavigationController::initWithRootViewController(screen));
    window->makeKeyAndVisible();
    auto record = UIButton::buttonWithType(UIButtonType::Custom);
    record->setImage_forState(std::make_shared<UIImage>("Play.png", ""), UIControlStates::Normal);
    record->setEnabled(false);
    auto text = std::make_shared<UITextView>();
    text->setText("one\ntwo");
    text->setEditable(false);
    auto languages = std::make_shared<Languages>();
    auto picker = std::make_shared<UIPickerView>();
    picker->setDataSource(languages);
    picker->setDelegate(languages);
    auto label = std::make_shared<UILabel>();
    label->setHidden(true);
    screen->exposeOutlet("recordButton", record);
    screen->exposeOutlet("textView", text);
    screen->exposeOutlet("pickerView", picker);
    screen->exposeOutlet("SpeechTimeLabel", label);
    screen->view()->addSubview(record);
    screen->view()->addSubview(text);
    screen->view()->addSubview(picker);
    screen->view()->addSubview(label);

    auto alert = UIAlertController::alertControllerWithTitle_message_preferredStyle(
        "Colour Pick", "Please Select Background Colour", UIAlertControllerStyle::ActionSheet);
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler("Red", UIAlertActionStyle::Default, nullptr));
    alert->addAction(
        UIAlertAction::actionWithTitle_style_handler("Dismiss", UIAlertActionStyle::Cancel, nullptr));
    screen->presentViewController_animated_completion(alert, false, nullptr);

    EXPECT_EQ(ScreenPrinter::printScreen(), "Receiver\n"
                                            "  recordButton: UIButton image=\"Play.png\" disabled\n"
                                            "  textView: UITextView text=\"one\\ntwo\" not-editable\n"
                                            "  pickerView: UIPickerView row=0/3 \"English\"\n"
                                            "  SpeechTimeLabel: UILabel text=\"\" hidden\n"
                                            "presented UIAlertController actionSheet title=\"Colour Pick\" "
                                            "message=\"Please Select Background Colour\"\n"
                                            "  action \"Red\"\n"
                                            "  action \"Dismiss\" cancel\n");
    EXPECT_EQ(ScreenPrinter::currentViewController(), alert);
    EXPECT_EQ(screen->outletNamed("textView"), text);
    EXPECT_EQ(screen->outletNamed("nothing"), nullptr);
}

TEST_F(ControlsTest, ConstraintsAndKeyValuesAreKeptAsRecords) {
    auto root = std::make_shared<UIView>(CGRect(0, 0, 390, 844));
    auto picker = std::make_shared<UIPickerView>();
    picker->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(picker);
    NSLayoutConstraint::activateConstraints({
        picker->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 2),
        picker->bottomAnchor().constraintEqualToAnchor(root->safeAreaLayoutGuide()->bottomAnchor(), -10),
        picker->heightAnchor().constraintEqualToConstant(50),
    });
    std::vector<std::string> described;
    for (auto& c : picker->constraints())
        described.push_back(c->description());
    EXPECT_EQ(described,
              (std::vector<std::string>{"UIPickerView.leading == UIView.leading + 2",
                                        "UIPickerView.bottom == UIView.safeAreaLayoutGuide.bottom - 10",
                                        "UIPickerView.height == 50"}));
    picker->constraints()[0]->setActive(false);
    EXPECT_EQ(picker->constraints().size(), 2u);

    picker->setValue_forKeyPath(UIColor::linkColor(), "textColor");
    auto stored = picker->valueForKeyPath("textColor");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::any_cast<UIColor>(*stored).name, "link");

    auto tagged = std::make_shared<UIView>();
    tagged->setTag(42);
    picker->addSubview(tagged);
    EXPECT_EQ(root->viewWithTag(42), tagged);
    EXPECT_EQ(root->viewWithTag(7), nullptr);
}
