#pragma once
// The one way text is edited wherever a person types (text views, text fields, search bars, the
// declarative fields and editors): the text, a caret with a fixed anchor (Shift extends from the
// anchor, so a selection grows and shrinks on the side the caret moves), movement by whole
// characters as a person sees them (an emoji with its modifiers is one), by words, by lines and to
// the ends, and the history of edits for undo and redo. Offsets and ranges count UTF-16 units, as
// the delegates' ranges do.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/NSRange.h"

namespace platform {

// UTF-16 length of a UTF-8 string, and conversions between UTF-16 offsets and byte offsets.
std::size_t utf16Length(const std::string& text);
std::size_t byteOffsetForUtf16(const std::string& text, std::size_t utf16Offset);

enum class TextMove {
    characterBackward,
    characterForward,
    wordBackward,
    wordForward,
    lineUp,
    lineDown,
    lineStart,
    lineEnd,
    textStart,
    textEnd
};

// How laid-out text shows its lines, for the moves that follow what is drawn (Up/Down, Home/End)
// when lines wrap.
class TextLines {
public:
    virtual ~TextLines() = default;
    // The first offset of the displayed line holding `offset`, and the offset where it ends
    // (before a line break that ends it).
    virtual std::pair<std::size_t, std::size_t> lineAt(std::size_t offset) const = 0;
    // The caret's horizontal place at `offset`.
    virtual double caretX(std::size_t offset) const = 0;
    // The offset on the line `direction` lines below (above when negative) the line of `offset`,
    // nearest `x`; none when there is no such line.
    virtual std::optional<std::size_t> offsetOnLine(std::size_t offset, int direction, double x) const = 0;
};

// What an edit does, for the history: consecutive typing is undone as one step.
enum class TextEditKind { typing, deletion, other };

class TextEditingModel {
public:
    // A change of the text: `range` (before the change) is replaced by `replacement`.
    struct Change {
        NSRange range;
        std::string replacement;
    };

    const std::string& text() const { return text_; }
    std::size_t length() const { return length_; }
    // Grows with every change of the text, so that what was laid out for it knows when it is stale.
    std::uint64_t revision() const { return revision_; }
    // Setting the text from code puts the caret at its end and forgets the history.
    void setText(std::string text);

    // The caret is the end of the selection that moves; the anchor the end that stays.
    std::size_t anchor() const { return anchor_; }
    std::size_t caret() const { return caret_; }
    NSRange selectedRange() const;
    std::string selectedText() const;
    // Selects `range` with its anchor at its start (clamped to the text, snapped to whole
    // characters).
    void setSelectedRange(NSRange range);
    void select(std::size_t anchor, std::size_t caret);
    void selectAll();
    // Selects the word at `offset` (the blank or punctuation there when it is none).
    void selectWordAt(std::size_t offset);

    // Moves the caret; with `extend` the anchor stays, else the selection collapses (a sideways
    // character move collapses it to that side). `lines` gives the displayed lines; without them
    // lines are the text's own, between line breaks.
    void move(TextMove move, bool extend, const TextLines* lines = nullptr);

    // What Backspace (`forward` false) or Delete remove: the selection, else the whole character
    // before or after the caret; empty at the text's end.
    NSRange rangeToDelete(bool forward) const;
    // Replaces `range` by `replacement` as the person's edit, the caret after what was put in.
    void replace(NSRange range, const std::string& replacement, TextEditKind kind = TextEditKind::typing);

    // The change undo or redo would make; none when there is nothing to undo or redo.
    std::optional<Change> undoChange() const;
    std::optional<Change> redoChange() const;
    // Makes it: undo restores the text and the selection that were there before the edit.
    bool undo();
    bool redo();

    // The boundaries a caret stops at next to `offset`: whole characters as a person sees them.
    std::size_t characterBoundary(std::size_t offset, bool forward) const;

private:
    struct Step {
        std::size_t location = 0;
        std::string removed;
        std::string inserted;
        std::size_t anchorBefore = 0, caretBefore = 0;
        TextEditKind kind = TextEditKind::other;
    };
    void apply(std::size_t location, std::size_t removedLength, const std::string& inserted);
    std::size_t snap(std::size_t offset, bool forward) const;
    std::size_t wordBoundary(std::size_t offset, bool forward) const;
    std::pair<std::size_t, std::size_t> logicalLine(std::size_t offset) const;

    std::string text_;
    std::size_t length_ = 0;
    std::uint64_t revision_ = 0;
    std::size_t anchor_ = 0, caret_ = 0;
    // Where Up and Down aim, kept while they repeat so a short line does not pull the caret left.
    std::optional<double> goalX_;
    std::vector<Step> undo_, redo_;
    // Typing continues the last step only while nothing moved the caret in between.
    bool typingContinues_ = false;
};

} // namespace platform
