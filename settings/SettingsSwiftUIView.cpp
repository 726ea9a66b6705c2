#include "settings/SettingsSwiftUIView.h"

#include <cstdio>

#include "platform/avkit/VideoPlayer.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "settings/AppCatalogue.h"
#include "settings/AppShareSheet.h"
#include "settings/SettingsCell.h"

#include "common/StoredKeys.h"

namespace quillora {

using namespace platform;
using namespace platform::swiftui;

namespace {

// The size a fresh installation stores, and a bound far beyond any size the stepper reaches.
constexpr NSInteger kDefaultFontSize = 18;
constexpr NSInteger kMaxFontSize = 100000;

std::string key(std::string_view name) {
    return std::string(name);
}

std::string localized(const std::string& text) {
    return NSBundle::mainBundle().localizedStringForKey(text);
}

} // namespace

SettingsSwiftUIView::SettingsSwiftUIView() : defaults(NSUserDefaults::standardUserDefaults()) {
    auto stored = defaults->integerForKey(key(keys::savefontSizeApp));
    // Only a size a text can have is taken from the file; anything else (1e308, infinity, a
    // number typed into the file by hand) would let the stepper run past the integers.
    if (stored < -kMaxFontSize || stored > kMaxFontSize) stored = kDefaultFontSize;
    oldfontSizeApp.set(stored);
    stepperValue.set(stored);
}

void SettingsSwiftUIView::step(NSInteger delta, const char* line) const {
    console().print(line);
    stepperValue.set(stepperValue.get() + delta);
    std::string text = std::to_string(stepperValue.get());
    // Stored before the post: observers read the new size while they handle it.
    defaults->setInteger_forKey(stepperValue.get(), key(keys::savefontSizeApp));
    NSNotificationCenter::defaultCenter().postNotificationName(key(keys::fontValue), nullptr,
                                                               {{key(keys::userInfoFontValue), text}});
}

void SettingsSwiftUIView::onIncrement() const {
    step(1, "Stepper onIncrement");
}

void SettingsSwiftUIView::onDecrement() const {
    step(-1, "Stepper onDecrement");
}

void SettingsSwiftUIView::close() const {
    auto screen = presentingVC.lock();
    if (screen && screen->presentedViewController())
        screen->dismissViewControllerAnimated_completion(true, nullptr);
}

void SettingsSwiftUIView::share() const {
    auto sheet = settings::AppShareSheet::recommendation();
    auto windows = UIApplication::sharedApplication().windows();
    if (!sheet || windows.empty()) return;
    auto root = windows.front()->rootViewController();
    if (!root) return;
    CGRect screen = UIScreen::mainScreen().bounds();
    // The root is already presenting this screen: the sheet goes above it, anchored at the bottom
    // centre of the screen on a pad.
    settings::AppShareSheet::present(
        sheet, root,
        {root->view(), CGRect{screen.width() / 2, screen.height(), 0, 0}, UIPopoverArrowDirections::Down});
}

std::shared_ptr<AVPlayer> SettingsSwiftUIView::player() const {
    if (playerSlot_->player) return playerSlot_->player;
    auto path = NSBundle::mainBundle().pathForResource("videotutorial", "mp4");
    if (!path) {
        // Without its video the screen still opens, with a player that shows nothing.
        console().print("videotutorial.mp4 is missing from the bundle");
        path = NSBundle::mainBundle().bundlePath() / "videotutorial.mp4";
    }
    playerSlot_->player = AVPlayer::playerWithURL(NSURL::fileURLWithPath(path->string()));
    return playerSlot_->player;
}

AnyView SettingsSwiftUIView::body() const {
    auto self = *this;
    const EnvironmentValues& env = environment();
    const ColorScheme colorscheme = env.colorScheme;
    const Color titleColor = colorscheme == ColorScheme::dark ? Color::white() : Color::black();
    auto openURL = [env](std::string_view url) { return [env, url] { env.openURL(std::string(url)); }; };
    auto row = [&](const std::string& title, const std::string& symbol, const Color& color,
                   std::function<void()> action) {
        return Button(AnyView(SettingsCell{title, symbol, color}).foregroundColor(titleColor),
                      std::move(action));
    };

    AnyView closeButton =
        Button(localized(" \U0001F167 Cancel "), [self] { self.close(); })
            .padding(EdgeInsets{12, 10, 12, 10})
            .foregroundColor(Color::white())
            .background(
                AnyView(Color::blue()).modifier("edgesIgnoringSafeArea", {{"edges", std::string("all")}}))
            .clipShape(RoundedRectangle(10, CornerStyle::continuous))
            .shadow(Color::blue(), 5, 0, 5)
            .font(Font::custom("Avenir-Medium", 10));

    AnyView video = VideoPlayer(player()).frame(UIScreen::mainScreen().bounds().width(), 300);

    char label[64];
    std::snprintf(label, sizeof label, localized("Font Size: %lld").c_str(),
                  static_cast<long long>(stepperValue.get()));
    AnyView stepper = Stepper(
        Text(label).bold(), [self] { self.onIncrement(); }, [self] { self.onDecrement(); });

    AnyView feedback =
        row("Feedback", "envelope.fill", Color::yellow(),
            [self] { self.isShowingMailView.set(!self.isShowingMailView.get()); })
            .disabled(!MFMailComposeViewController::canSendMail())
            .sheet(isShowingMailView.binding(), [self] { return AnyView(MailView(self.result.binding())); });

    AnyView footer = HStack(StackOptions{Alignment::center, 10},
                            {Image("textanalysis").resizable().frame(30, 30).foregroundColor(Color::blue()),
                             Text("Made by " + std::string(settings::makerName) + " · quillora.app")
                                 .font(Font::footnote())
                                 .foregroundColor(Color::blue())});

    AnyView list =
        List(
            {stepper, row("Our Apps", "apps.iphone", Color::orange(), openURL(settings::developerPage)),
             row("Voice Recognition Commands", "waveform", Color::blue(), openURL(settings::commandHelpPage)),
             row("Website", "display", Color::red(), openURL(settings::website)),
             row(std::string(settings::otherProductTitle), "cpu", Color::green(),
                 openURL(settings::otherProductPage)),
             row("Share with Friends", "person.2.square.stack.fill", Color::blue(), [self] { self.share(); }),
             feedback, footer})
            .modifier("listStyle", {{"style", std::string("grouped")}})
            .modifier("environment", {{"horizontalSizeClass", std::string("compact")}})
            .padding(10);

    return VStack({closeButton, video, list});
}

} // namespace quillora
