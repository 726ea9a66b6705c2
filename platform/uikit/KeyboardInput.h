#pragma once
// A hardware keyboard's keys as the platform hands them to the screens: typed text goes to the
// first responder (through its delegate, as typing on the device does), editing keys move the
// caret and the selection of a text view, the clipboard keys go through the desktop's clipboard,
// and Escape cancels what is in front.

#include <string>

namespace platform {

enum class KeyboardMove { left, right, up, down, lineStart, lineEnd };

class KeyboardInput {
public:
    // Each returns whether a responder took the key.
    static bool insertText(const std::string& text);
    static bool deleteBackward();
    static bool deleteForward();
    // Moves the caret by one character or line; `extend` grows the selection instead.
    static bool moveCaret(KeyboardMove move, bool extend);
    static bool pressReturn();
    static bool selectAll();
    static bool copy();
    static bool cut();
    // The clipboard's text arrives later (the desktop answers asynchronously) and is typed then.
    static bool paste();
    // Return while an alert or action sheet is in front: presses its Return action (see
    // UIAlertController::returnKeyAction), and keeps the key from the screen behind even when
    // Return names none of its actions. False when no alert is in front.
    static bool pressAlertReturn();
    // The front-most alert's or action sheet's Escape action (its cancel action, else its only
    // one); else a presented screen goes away; else the navigation stack goes back one screen.
    // False when there is nothing to cancel.
    static bool pressEscape();
};

} // namespace platform
