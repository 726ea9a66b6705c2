#include "platform/uikit/UIResponder.h"

#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UIView.h"

namespace platform {

namespace {
std::weak_ptr<UIResponder>& focus() {
    static std::weak_ptr<UIResponder> current;
    static const bool registered = [] {
        registerSharedInstanceReset([] { focus().reset(); });
        return true;
    }();
    (void)registered;
    return current;
}
} // namespace

std::shared_ptr<UIResponder> UIResponder::currentFirstResponder() {
    return focus().lock();
}

bool UIResponder::isFirstResponder() const {
    return focus().lock().get() == this;
}

bool UIResponder::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (auto current = focus().lock(); current && !current->resignFirstResponder()) return false;
    if (!shouldBecomeFirstResponder()) return false;
    focus() = self<UIResponder>();
    didBecomeFirstResponder();
    return true;
}

bool UIResponder::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!shouldResignFirstResponder()) return false;
    focus().reset();
    didResignFirstResponder();
    return true;
}

CGPoint UITouch::locationInView(const UIView* target) const {
    return target ? target->convertPoint_fromView(locationInWindow, nullptr) : locationInWindow;
}

void UIResponder::touchesBegan(const UITouch& touch) {
    if (auto next = nextResponder()) next->touchesBegan(touch);
}

void UIResponder::touchesMoved(const UITouch& touch) {
    if (auto next = nextResponder()) next->touchesMoved(touch);
}

void UIResponder::touchesEnded(const UITouch& touch) {
    if (auto next = nextResponder()) next->touchesEnded(touch);
}

void UIResponder::touchesCancelled(const UITouch& touch) {
    if (auto next = nextResponder()) next->touchesCancelled(touch);
}

} // namespace platform
