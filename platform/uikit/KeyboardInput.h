#pragma once
// A hardware keyboard's keys as the platform hands them to the screens: typed text goes to the
// focused text of any kind (through its delegate, as typing on the device does), editing keys move
// its caret and selection, the clipboard keys go through the desktop's clipboard, and Escape
// cancels what is in front. The window and the scripts' `key` both come through pressKey.

#include <optional>
#include <string>

namespace platform {

enum class KeyboardMove {
    left,
    right,
    up,
    down,
    lineStart,
    lineEnd,
    wordLeft,
    wordRight,
    textStart,
    textEnd
};

// A key as X names it (Left, BackSpace, Return, a...) with the modifiers held.
struct KeyCombo {
    std::string key;
    bool control = false;
    bool shift = false;
    bool alt = false;

    // "ctrl+shift+Left": modifiers (ctrl, shift, alt, any case) joined to the key by '+'. None when
    // it names no key or an unknown modifier.
    static std::optional<KeyCombo> parse(const std::string& text);
};

class KeyboardInput {
public:
    // Each returns whether a responder took the key.
    static bool insertText(const std::string& text);
    static bool deleteBackward();
    static bool deleteForward();
    // Moves the caret by a character, word or line, or to a line's or the text's ends; `extend`
    // moves only the caret end of the selection, the anchor staying.
    static bool moveCaret(KeyboardMove move, bool extend);
    static bool pressReturn();
    static bool selectAll();
    static bool copy();
    static bool cut();
    // The clipboard's text arrives later (the desktop answers asynchronously) and is typed then.
    static bool paste();
    // Undoes and redoes typing in the focused text.
    static bool undo();
    static bool redo();
    // Return while an alert or action sheet is in front: presses its Return action (see
    // UIAlertController::returnKeyAction), and keeps the key from the screen behind even when
    // Return names none of its actions. False when no alert is in front.
    static bool pressAlertReturn();
    // The front-most alert's or action sheet's Escape action (its cancel action, else its only
    // one); else a presented screen goes away; else the navigation stack goes back one screen.
    // False when there is nothing to cancel.
    static bool pressEscape();

    // A key pressed with its modifiers, as the window and the scripts give it: the editing keys
    // (arrows, Home/End, BackSpace, Delete, Return, with Ctrl and Shift), Tab and Shift+Tab
    // between a form's fields, Ctrl+A/C/X/V/Z and
    // Ctrl+Shift+Z, Escape, and a printable key as the text it types. False when nothing takes it.
    static bool pressKey(const KeyCombo& combo);
};

} // namespace platform
