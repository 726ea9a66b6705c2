#include "dictation/SwiftUIEditView.h"

#include "analysis/GradientButtonStyle.h"
#include "common/StoredKeys.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

using namespace platform::swiftui;

namespace {
void dismissPresented(const std::weak_ptr<platform::UIViewController>& presentingVC) {
    if (auto presenter = presentingVC.lock(); presenter && presenter->presentedViewController())
        presenter->dismissViewControllerAnimated_completion(true, nullptr);
}
} // namespace

SwiftUIEditView::SwiftUIEditView() {
    auto defaults = platform::NSUserDefaults::standardUserDefaults();
    text = State<std::string>(defaults->stringForKey(std::string(keys::saveclipBoardText)).value_or(""));
    checkchangedtextinEdit =
        State<platform::NSInteger>(defaults->integerForKey(std::string(keys::checkchangedtextinEdit)));
}

void SwiftUIEditView::cancel() const {
    platform::console().print("cancel pressed ");
    dismissPresented(presentingVC);
}

void SwiftUIEditView::save() const {
    platform::console().print("save pressed ");
    auto defaults = platform::NSUserDefaults::standardUserDefaults();
    checkchangedtextinEdit.set(1);
    defaults->setInteger_forKey(checkchangedtextinEdit.get(), std::string(keys::checkchangedtextinEdit));
    const std::string edited = text.get();
    defaults->setObject_forKey(edited, std::string(keys::saveclipBoardText));
    platform::NSNotificationCenter::defaultCenter().postNotificationName(
        std::string(keys::printValue), nullptr, {{std::string(keys::userInfoValue), edited}});
    dismissPresented(presentingVC);
}

AnyView SwiftUIEditView::body() const {
    auto self = *this;
    auto label = [](const char* title) { return Text(title).font(Font::footnote()); };
    AnyView controls = VStack(
        {HStack({Button(label("Cancel"), [self] { self.cancel(); }).buttonStyle(GradientButtonStyleBlue{}),
                 Spacer(),
                 Button(label("Save"), [self] { self.save(); }).buttonStyle(GradientButtonStyleBlue{})}),
         Spacer(),
         VStack({Spacer(), Text("\U0001F64B\u200D\u2640\uFE0F Click to Edit Text")
                               .font(Font::footnote())
                               .foregroundColor(Color::blue())
                               .padding(EdgeInsets{3, 3, 3, 3})}),
         Spacer()});

    AnyView editor =
        ZStack({Text("Editor"),
                TextEditor(text.binding(), "Editor")
                    .background(Color::white())
                    .frame(FrameOptions{{}, 500, {}, {}, {}, {}})
                    .overlay(RoundedRectangle(5, CornerStyle::continuous).stroke(Color::white(), 1))})
            .shadow(Color::white(0, 0.33), 4, 0, 0);

    return ScrollView(Axis::vertical, true, VStack({controls, editor, Spacer(), Spacer(), Spacer()}));
}

} // namespace quillora
