#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSBundle.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {
class ViewTreeTest : public quillora::test::PlatformTest {};

class Field : public NSObject, public UITextFieldDelegate {
public:
    bool allowEnd = true;
    std::vector<std::string> calls;
    void textFieldDidBeginEditing(UITextField&) override { calls.push_back("begin"); }
    bool textFieldShouldEndEditing(UITextField&) override { return allowEnd; }
    void textFieldDidEndEditing(UITextField&) override { calls.push_back("end"); }
    bool textField_shouldChangeCharactersInRange_replacementString(UITextField&, NSRange range,
                                                                   const std::string& text) override {
        calls.push_back("change@" + std::to_string(range.location) + " " + text);
        return true;
    }
    bool textFieldShouldReturn(UITextField&) override {
        calls.push_back("return");
        return false;
    }
};

void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
} // namespace

TEST_F(ViewTreeTest, SubviewsMoveBetweenParentsAndNeverOutliveThemAsChildren) {
    auto a = std::make_shared<UIView>();
    auto b = std::make_shared<UIView>();
    auto x = std::make_shared<UIView>();
    auto y = std::make_shared<UIView>();
    a->addSubview(x);
    a->addSubview(y);
    b->addSubview(x);
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<UIView>>{y}));
    EXPECT_EQ(x->superview(), b);

    // Moving a view within its own parent lands it where asked.
    a->addSubview(x);
    a->insertSubview_atIndex(y, 2);
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<UIView>>{x, y}));
    a->bringSubviewToFront(x);
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<UIView>>{y, x}));
    EXPECT_TRUE(b->subviews().empty());

    y->removeFromSuperview();
    EXPECT_EQ(y->superview(), nullptr);
    EXPECT_EQ(a->subviews().size(), 1u);

    EXPECT_DEATH(x->addSubview(a), "inside one of its own subviews");

    std::weak_ptr<UIView> weakParent = a;
    a.reset();
    EXPECT_TRUE(weakParent.expired()) << "children do not keep their parent alive";
    EXPECT_EQ(x->superview(), nullptr);
}

TEST_F(ViewTreeTest, GeometryTintAndSafeAreaComeFromTheViewOrItsAncestors) {
    auto view = std::make_shared<UIView>(CGRect(10, 20, 100, 50));
    view->setCenter({100, 100});
    EXPECT_EQ(view->frame(), CGRect(50, 75, 100, 50));
    view->setBounds(CGRect(0, 0, 20, 10));
    EXPECT_EQ(view->frame(), CGRect(90, 95, 20, 10)) << "bounds resize around the centre";
    view->setTransform(CGAffineTransformMakeScale(0, 0));
    EXPECT_EQ(view->frame(), CGRect(90, 95, 20, 10)) << "a transform leaves the frame as laid out";

    auto window = std::make_shared<UIWindow>();
    auto parent = std::make_shared<UIView>();
    window->addSubview(parent);
    parent->addSubview(view);
    EXPECT_EQ(view->window(), window);
    EXPECT_EQ(view->safeAreaInsets().top, 47);
    window->setSafeAreaInsets({20, 0, 0, 0});
    EXPECT_EQ(view->safeAreaInsets().top, 20);
    EXPECT_EQ(std::make_shared<UIView>()->safeAreaInsets().top, 0)
        << "outside a window there is no safe area";

    EXPECT_EQ(view->tintColor().name, "systemBlue");
    parent->setTintColor(UIColor::blackColor());
    EXPECT_EQ(view->tintColor().name, "black");

    // A pad has other insets and a bigger keyboard; the screen size can be injected.
    UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Pad);
    UIScreen::mainScreen().setBounds(CGRect(0, 0, 820, 1180));
    auto padWindow = std::make_shared<UIWindow>();
    EXPECT_EQ(padWindow->frame().width(), 820);
    EXPECT_EQ(padWindow->safeAreaInsets().top, 24);
    EXPECT_EQ(UIScreen::mainScreen().keyboardHeight(), 398);
}

TEST_F(ViewTreeTest, FocusMovesOnlyWhenTheHolderLetsItGo) {
    auto first = std::make_shared<UITextField>();
    auto second = std::make_shared<UITextField>();
    auto firstDelegate = std::make_shared<Field>();
    auto secondDelegate = std::make_shared<Field>();
    first->setDelegate(firstDelegate);
    second->setDelegate(secondDelegate);

    EXPECT_TRUE(first->typeText("ab"));
    EXPECT_TRUE(first->typeText("c"));
    EXPECT_EQ(first->text(), "abc");
    EXPECT_FALSE(first->pressReturn());

    firstDelegate->allowEnd = false;
    EXPECT_FALSE(second->becomeFirstResponder());
    EXPECT_TRUE(first->isFirstResponder());
    firstDelegate->allowEnd = true;
    EXPECT_TRUE(second->becomeFirstResponder());
    EXPECT_FALSE(first->isFirstResponder());
    EXPECT_EQ(UIResponder::currentFirstResponder(), second);
    EXPECT_EQ(firstDelegate->calls,
              (std::vector<std::string>{"begin", "change@0 ab", "change@2 c", "return", "end"}));
    EXPECT_EQ(secondDelegate->calls, (std::vector<std::string>{"begin"}));

    auto third = std::make_shared<UITextField>();
    third->setEnabled(false);
    EXPECT_FALSE(third->typeText("x")) << "a disabled field takes no text";

    // A destroyed first responder leaves no focus behind.
    second.reset();
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
}

TEST_F(ViewTreeTest, ImagesAreFoundInTheBundleWithTheirPixelSize) {
    auto bundle = home / "bundle";
    std::filesystem::create_directories(bundle);
    NSBundle::mainBundle().setBundlePath(bundle);
    // A PNG signature and IHDR chunk of 120 x 48 pixels.
    writeBytes(bundle / "Play.png", {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a, 0,  0, 0, 13, 'I', 'H', 'D',
                                     'R',  0,   0,   0,   120,  0,    0,    0,    48, 8, 6, 0,  0,   0});
    // A JPEG with an APP0 segment before its start-of-frame: 640 wide, 480 high.
    writeBytes(bundle / "delete.jpg", {0xff, 0xd8, 0xff, 0xe0, 0x00, 0x04, 0x00, 0x00, 0xff, 0xc0, 0x00,
                                       0x11, 0x08, 0x01, 0xe0, 0x02, 0x80, 0x03, 0x01, 0x22, 0x00});
    writeBytes(bundle / "broken.png", {0x89, 'P'});

    auto play = UIImage::imageNamed("Play");
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->name(), "Play");
    EXPECT_EQ(play->size(), (CGSize{120, 48}));
    EXPECT_EQ(UIImage::imageNamed("Play.png")->size(), (CGSize{120, 48}));
    auto photo = UIImage::imageNamed("delete.jpg");
    ASSERT_NE(photo, nullptr);
    EXPECT_EQ(photo->size(), (CGSize{640, 480}));
    EXPECT_EQ(UIImage::imageNamed("broken.png")->size(), (CGSize{0, 0}));
    EXPECT_EQ(UIImage::imageNamed("delete"), nullptr) << "only PNG names may leave out their ending";
}

TEST_F(ViewTreeTest, BarButtonItemsAndTheEditItemActOnlyWhenEnabled) {
    auto controller = std::make_shared<UIViewController>();
    auto edit = controller->editButtonItem();
    EXPECT_EQ(edit->title(), "Edit");
    EXPECT_TRUE(edit->press());
    EXPECT_TRUE(controller->isEditing());
    EXPECT_EQ(edit->title(), "Done");
    edit->setEnabled(false);
    EXPECT_FALSE(edit->press());
    EXPECT_TRUE(controller->isEditing());

    int saved = 0;
    auto save = UIBarButtonItem::initWithTitle_style_target_action(
        "Save", UIBarButtonItemStyle::Done, controller, "SaveText", [&](UIViewController&, NSObject& sender) {
            saved += dynamic_cast<UIBarButtonItem*>(&sender) ? 1 : 100;
        });
    EXPECT_EQ(save->action(), "SaveText");
    EXPECT_EQ(save->target(), controller);
    EXPECT_TRUE(save->press());
    EXPECT_EQ(saved, 1) << "the item is the sender";
    controller.reset();
    EXPECT_EQ(save->target(), nullptr);
    EXPECT_TRUE(save->press());
    EXPECT_EQ(saved, 1);
}

TEST_F(ViewTreeTest, OpenedUrlsAreRecordedAndNeverReportedOpenedUnlessArranged) {
    auto& app = UIApplication::sharedApplication();
    std::vector<bool> results;
    app.openURL_options_completionHandler("itms-apps://example/app", {},
                                          [&](bool ok) { results.push_back(ok); });
    EXPECT_TRUE(results.empty()) << "the answer comes later, on the run loop";
    runUntilIdle();
    app.setOpensURLs(true);
    app.openURL_options_completionHandler("https://example.org", {}, [&](bool ok) { results.push_back(ok); });
    runUntilIdle();
    EXPECT_EQ(results, (std::vector<bool>{false, true}));
    EXPECT_EQ(app.openedURLs(), (std::vector<std::string>{"itms-apps://example/app", "https://example.org"}));
}
