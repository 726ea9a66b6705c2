#pragma once
// Responders: the one object that holds the keyboard focus at a time.

#include <memory>

#include "platform/uikit/NSObject.h"

namespace platform {

class UIResponder : public NSObject {
public:
    virtual bool canBecomeFirstResponder() const { return false; }
    // Takes the focus from the current first responder (which must let it go).
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    // The responder that holds the focus, if any.
    static std::shared_ptr<UIResponder> currentFirstResponder();

protected:
    // Hooks for subclasses around a change of focus (begin/end editing, the keyboard).
    virtual bool shouldBecomeFirstResponder() { return true; }
    virtual void didBecomeFirstResponder() {}
    virtual bool shouldResignFirstResponder() { return true; }
    virtual void didResignFirstResponder() {}
};

} // namespace platform
