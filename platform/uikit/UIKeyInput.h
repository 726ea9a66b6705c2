#pragma once
// What a responder that takes typing offers the keyboard beyond the text views: declarative
// fields and editors hosted in a view take typed text and Backspace through it.

#include <string>

namespace platform {

class UIKeyInput {
public:
    virtual ~UIKeyInput() = default;
    // False when the text was not taken (nothing focused, refused).
    virtual bool insertText(const std::string& text) = 0;
    virtual bool deleteBackward() = 0;
};

} // namespace platform
