#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/swiftui/HostingView.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/swiftui/UIViewControllerRepresentable.h"
#include "platform/uikit/UIKitNotifications.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace platform::swiftui;
using quillora::test::PlatformTest;

namespace {

struct Helper : NSObject {};

class Probe : public UIViewController {
public:
    std::weak_ptr<Helper> helper;
};

// Stands for a UIKit screen: a new one, with a new coordinator, each time it is asked.
struct ProbePicker : UIViewControllerRepresentable<ProbePicker> {
    std::shared_ptr<int> made;
    std::shared_ptr<Helper> makeCoordinator() const { return std::make_shared<Helper>(); }
    std::shared_ptr<Probe> makeUIViewController(RepresentableContext& context) const {
        ++*made;
        auto probe = std::make_shared<Probe>();
        probe->helper = context.coordinatorAs<Helper>();
        return probe;
    }
    void updateUIViewController(Probe&, RepresentableContext&) const {}
};

struct Sheet {
    AnyView body() const {
        auto env = environment();
        return Button("close", [env] { env.dismiss(); });
    }
};

struct Launcher {
    State<bool> showingForm{false};
    State<bool> showingProbe{false};
    std::shared_ptr<int> made = std::make_shared<int>(0);
    AnyView body() const {
        auto self = *this;
        return VStack(
            {Button("Form", [self] { self.showingForm.set(true); })
                 .sheet(showingForm.binding(), [] { return AnyView(Sheet{}); }),
             Button("Probe", [self] { self.showingProbe.set(true); }).sheet(showingProbe.binding(), [self] {
                 return AnyView(ProbePicker{{}, self.made});
             })});
    }
};

struct Note {
    State<std::string> text{"draft"};
    auto states() { return std::tie(text); }
    AnyView body() const { return TextEditor(text.binding(), "Note"); }
};

} // namespace

class UIHostingControllerTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = std::make_shared<UIWindow>();
        base = std::make_shared<UIViewController>();
        window->setRootViewController(base);
        window->makeKeyAndVisible();
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> base;
};

TEST_F(UIHostingControllerTest, SheetsArePresentedAsNewControllersAfterTheAction) {
    Launcher view;
    auto hosting = std::make_shared<UIHostingController>(view);
    base->presentViewController_animated_completion(hosting, true, nullptr);
    ASSERT_EQ(base->presentedViewController(), hosting);

    ASSERT_TRUE(hosting->host()->press("Form"));
    EXPECT_EQ(hosting->presentedViewController(), nullptr) << "not inside the action";
    runUntilIdle();
    auto first = std::dynamic_pointer_cast<UIHostingController>(hosting->presentedViewController());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->presentingViewController(), hosting);

    ASSERT_TRUE(first->host()->press("close"));
    EXPECT_EQ(hosting->presentedViewController(), nullptr);
    runUntilIdle();
    EXPECT_FALSE(view.showingForm.get()) << "the flag follows the dismissal";

    ASSERT_TRUE(hosting->host()->press("Form"));
    runUntilIdle();
    auto second = hosting->presentedViewController();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    second->dismissViewControllerAnimated_completion(true, nullptr);
    runUntilIdle();
    EXPECT_FALSE(view.showingForm.get()) << "a dismissal from UIKit resets the flag too";
}

TEST_F(UIHostingControllerTest, RepresentableSheetPresentsTheControllerItMakes) {
    Launcher view;
    auto hosting = std::make_shared<UIHostingController>(view);
    base->presentViewController_animated_completion(hosting, true, nullptr);

    ASSERT_TRUE(hosting->host()->press("Probe"));
    runUntilIdle();
    auto probe = std::dynamic_pointer_cast<Probe>(hosting->presentedViewController());
    ASSERT_NE(probe, nullptr);
    EXPECT_FALSE(probe->helper.expired()) << "the coordinator lives while its controller is shown";
    EXPECT_EQ(*view.made, 1);

    // The screen closes itself; the next use of the host notices and resets the flag.
    probe->dismissViewControllerAnimated_completion(true, nullptr);
    ASSERT_TRUE(hosting->host()->press("Probe"));
    runUntilIdle();
    auto again = std::dynamic_pointer_cast<Probe>(hosting->presentedViewController());
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, probe);
    EXPECT_EQ(*view.made, 2);

    // Clearing the flag from the views takes the screen away.
    view.showingProbe.set(false);
    runUntilIdle();
    EXPECT_EQ(hosting->presentedViewController(), nullptr);
}

// The keyboard is up exactly while a text holds the focus: a sheet's editor takes it over from the
// presenter's text view, or brings it up, and it goes with the editor's focus, whether Return ends
// the typing or the sheet is closed under it.
TEST_F(UIHostingControllerTest, TheKeyboardGoesWithTheFocusOfASheetsEditor) {
    struct Case {
        const char* name;
        bool fromTextView;
        bool dismissed;
    };
    const Case cases[] = {{"Return, keyboard brought up", false, false},
                          {"Return, keyboard taken over", true, false},
                          {"closed, keyboard brought up", false, true},
                          {"closed, keyboard taken over", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> keyboard;
        auto observer = std::make_shared<int>(0);
        auto& center = NSNotificationCenter::defaultCenter();
        center.addObserver(observer, UIKeyboardWillShowNotification,
                           [&](const NSNotification&) { keyboard.push_back("show"); });
        center.addObserver(observer, UIKeyboardWillHideNotification,
                           [&](const NSNotification&) { keyboard.push_back("hide"); });
        auto text = std::make_shared<UITextView>(CGRect{0, 100, 390, 100});
        base->view()->addSubview(text);
        if (c.fromTextView) {
            ASSERT_TRUE(text->becomeFirstResponder());
        }
        auto last = [&] { return keyboard.empty() ? std::string("nothing") : keyboard.back(); };

        auto sheet = std::make_shared<UIHostingController>(Note{});
        base->presentViewController_animated_completion(sheet, true, nullptr);
        runUntilIdle();
        auto view = std::dynamic_pointer_cast<HostingView>(sheet->view());
        ASSERT_TRUE(view);
        ASSERT_TRUE(view->focusField(sheet->host()->tree().findControl("Note")->path));
        EXPECT_EQ(last(), "show");
        EXPECT_EQ(std::count(keyboard.begin(), keyboard.end(), "hide"), 0) << "up while the focus moves";

        if (c.dismissed) {
            sheet->dismissViewControllerAnimated_completion(true, nullptr);
        } else {
            EXPECT_TRUE(view->submit());
        }
        runUntilIdle();
        EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
        EXPECT_EQ(last(), "hide");
        EXPECT_EQ(std::count(keyboard.begin(), keyboard.end(), "hide"), 1);
        if (!c.dismissed) sheet->dismissViewControllerAnimated_completion(true, nullptr);
        runUntilIdle();
        center.removeObserver(observer.get());
        text->removeFromSuperview();
    }
}
