#pragma once
// What a responder that takes typing without being a text view offers the keyboard: text at its
// insertion point, and the character before it taken away. Each returns whether it took the key.

#include <string>

namespace platform {

class UIKeyInput {
public:
    virtual ~UIKeyInput() = default;
    virtual bool insertText(const std::string& text) = 0;
    virtual bool deleteBackward() = 0;
};

} // namespace platform
