#include "platform/uikit/TextEditingModel.h"

#include <algorithm>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/rbbi.h>
#include <unicode/unistr.h>

namespace platform {

std::size_t utf16Length(const std::string& text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue; // continuation byte
        units += c >= 0xF0 ? 2 : 1;       // four-byte sequences are surrogate pairs
    }
    return units;
}

std::size_t byteOffsetForUtf16(const std::string& text, std::size_t utf16Offset) {
    std::size_t units = 0, i = 0;
    while (i < text.size() && units < utf16Offset) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        units += len == 4 ? 2 : 1;
        i += len;
    }
    return std::min(i, text.size());
}

namespace {

// Keeps at most this many steps: a day of typing is not kept for undo.
constexpr std::size_t kHistoryLimit = 500;

std::unique_ptr<icu::BreakIterator> breaker(const icu::UnicodeString& text, bool words) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        words ? icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status)
              : icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return nullptr;
    it->setText(text);
    return it;
}

// The word segments of a text: each boundary with whether the segment ending there is a word.
std::vector<std::pair<std::size_t, bool>> wordSegments(const std::string& text) {
    const icu::UnicodeString string = icu::UnicodeString::fromUTF8(text);
    std::vector<std::pair<std::size_t, bool>> out;
    auto it = breaker(string, true);
    if (!it) return out;
    for (int32_t b = it->next(); b != icu::BreakIterator::DONE; b = it->next())
        out.emplace_back(static_cast<std::size_t>(b), it->getRuleStatus() != UBRK_WORD_NONE);
    return out;
}

} // namespace

void TextEditingModel::setText(std::string text) {
    text_ = std::move(text);
    length_ = utf16Length(text_);
    ++revision_;
    anchor_ = caret_ = length_;
    goalX_.reset();
    undo_.clear();
    redo_.clear();
    typingContinues_ = false;
}

NSRange TextEditingModel::selectedRange() const {
    const std::size_t start = std::min(anchor_, caret_);
    return {start, std::max(anchor_, caret_) - start};
}

std::string TextEditingModel::selectedText() const {
    const NSRange r = selectedRange();
    const std::size_t b0 = byteOffsetForUtf16(text_, r.location);
    return text_.substr(b0, byteOffsetForUtf16(text_, r.location + r.length) - b0);
}

std::size_t TextEditingModel::characterBoundary(std::size_t offset, bool forward) const {
    offset = std::min(offset, length_);
    const icu::UnicodeString string = icu::UnicodeString::fromUTF8(text_);
    auto it = breaker(string, false);
    if (!it) return forward ? std::min(offset + 1, length_) : (offset ? offset - 1 : 0);
    const int32_t next =
        forward ? it->following(static_cast<int32_t>(offset)) : it->preceding(static_cast<int32_t>(offset));
    if (next == icu::BreakIterator::DONE) return forward ? length_ : 0;
    return static_cast<std::size_t>(next);
}

std::size_t TextEditingModel::snap(std::size_t offset, bool forward) const {
    offset = std::min(offset, length_);
    if (offset == 0 || offset == length_) return offset;
    // An offset inside a character (a surrogate pair, an emoji sequence) goes to its start, or
    // to its end when `forward`.
    const std::size_t before = characterBoundary(offset, false);
    const std::size_t after = characterBoundary(before, true);
    if (after == offset) return offset;
    return forward ? after : before;
}

void TextEditingModel::setSelectedRange(NSRange range) {
    const std::size_t start = snap(range.location, false);
    const std::size_t end =
        range.length == 0 ? start : snap(std::min(range.location + range.length, length_), true);
    select(start, std::max(start, end));
}

void TextEditingModel::select(std::size_t anchor, std::size_t caret) {
    anchor_ = std::min(anchor, length_);
    caret_ = std::min(caret, length_);
    goalX_.reset();
    typingContinues_ = false;
}

void TextEditingModel::selectAll() {
    select(0, length_);
}

void TextEditingModel::selectWordAt(std::size_t offset) {
    offset = std::min(offset, length_);
    std::size_t start = 0;
    std::pair<std::size_t, std::size_t> chosen{offset, offset};
    bool chosenIsWord = false;
    for (const auto& [end, word] : wordSegments(text_)) {
        // The segment holding the offset; at a boundary between two, a word wins.
        const bool holds = offset >= start && (offset < end || (offset == end && end == length_));
        const bool touches = offset == end && word && !chosenIsWord;
        if ((holds && !chosenIsWord) || touches) {
            chosen = {start, end};
            chosenIsWord = word;
        }
        start = end;
    }
    select(chosen.first, chosen.second);
}

std::size_t TextEditingModel::wordBoundary(std::size_t offset, bool forward) const {
    // Forward: the end of the next word; backward: the start of the word before.
    std::size_t start = 0, found = forward ? length_ : 0;
    for (const auto& [end, word] : wordSegments(text_)) {
        if (word && forward && end > offset) return end;
        if (word && !forward && start < offset) found = start;
        start = end;
    }
    return found;
}

std::pair<std::size_t, std::size_t> TextEditingModel::logicalLine(std::size_t offset) const {
    const std::size_t byte = byteOffsetForUtf16(text_, offset);
    const std::size_t before = byte == 0 ? std::string::npos : text_.rfind('\n', byte - 1);
    const std::size_t after = text_.find('\n', byte);
    const std::size_t startByte = before == std::string::npos ? 0 : before + 1;
    const std::size_t endByte = after == std::string::npos ? text_.size() : after;
    return {utf16Length(text_.substr(0, startByte)), utf16Length(text_.substr(0, endByte))};
}

void TextEditingModel::move(TextMove move, bool extend, const TextLines* lines) {
    const NSRange selection = selectedRange();
    std::size_t head = caret_;
    const bool vertical = move == TextMove::lineUp || move == TextMove::lineDown;
    if (!vertical) goalX_.reset();
    if (!extend && selection.length > 0 &&
        (move == TextMove::characterBackward || move == TextMove::characterForward)) {
        // An arrow collapses a selection to its side first.
        head =
            move == TextMove::characterBackward ? selection.location : selection.location + selection.length;
    } else {
        switch (move) {
        case TextMove::characterBackward:
        case TextMove::characterForward:
            head = characterBoundary(head, move == TextMove::characterForward);
            break;
        case TextMove::wordBackward:
        case TextMove::wordForward:
            head = wordBoundary(head, move == TextMove::wordForward);
            break;
        case TextMove::lineStart:
            head = lines ? lines->lineAt(head).first : logicalLine(head).first;
            break;
        case TextMove::lineEnd:
            head = lines ? lines->lineAt(head).second : logicalLine(head).second;
            break;
        case TextMove::textStart:
            head = 0;
            break;
        case TextMove::textEnd:
            head = length_;
            break;
        case TextMove::lineUp:
        case TextMove::lineDown: {
            const int direction = move == TextMove::lineDown ? 1 : -1;
            if (lines) {
                if (!goalX_) goalX_ = lines->caretX(head);
                const auto target = lines->offsetOnLine(head, direction, *goalX_);
                head = target ? snap(*target, false) : direction > 0 ? length_ : 0;
                break;
            }
            // By the text's own lines, keeping the column (in UTF-16 units) where the line allows.
            const auto [start, end] = logicalLine(head);
            if (!goalX_) goalX_ = static_cast<double>(head - start);
            const auto column = static_cast<std::size_t>(*goalX_);
            if (direction < 0) {
                if (start == 0) {
                    head = 0;
                    break;
                }
                const auto previous = logicalLine(start - 1);
                head = std::min(previous.first + column, previous.second);
            } else {
                if (end >= length_) {
                    head = length_;
                    break;
                }
                const auto next = logicalLine(end + 1);
                head = std::min(next.first + column, next.second);
            }
            head = snap(head, false);
            break;
        }
        }
    }
    const auto goal = goalX_;
    select(extend ? anchor_ : head, head);
    if (vertical) goalX_ = goal;
}

NSRange TextEditingModel::rangeToDelete(bool forward) const {
    const NSRange selection = selectedRange();
    if (selection.length > 0) return selection;
    const std::size_t other = characterBoundary(caret_, forward);
    const std::size_t start = std::min(other, caret_);
    return {start, std::max(other, caret_) - start};
}

void TextEditingModel::apply(std::size_t location, std::size_t removedLength, const std::string& inserted) {
    const std::size_t b0 = byteOffsetForUtf16(text_, location);
    const std::size_t b1 = byteOffsetForUtf16(text_, location + removedLength);
    text_.replace(b0, b1 - b0, inserted);
    length_ = utf16Length(text_);
    ++revision_;
}

void TextEditingModel::replace(NSRange range, const std::string& replacement, TextEditKind kind) {
    const std::size_t start = std::min(range.location, length_);
    const std::size_t end = std::min(start + range.length, length_);
    const std::size_t b0 = byteOffsetForUtf16(text_, start), b1 = byteOffsetForUtf16(text_, end);
    const bool continues = kind == TextEditKind::typing && typingContinues_ && start == end &&
                           !undo_.empty() && undo_.back().kind == TextEditKind::typing &&
                           undo_.back().location + utf16Length(undo_.back().inserted) == start;
    if (continues) {
        undo_.back().inserted += replacement;
    } else {
        undo_.push_back({start, text_.substr(b0, b1 - b0), replacement, anchor_, caret_, kind});
        if (undo_.size() > kHistoryLimit) undo_.erase(undo_.begin());
    }
    redo_.clear();
    apply(start, end - start, replacement);
    const std::size_t after = start + utf16Length(replacement);
    select(after, after);
    typingContinues_ = kind == TextEditKind::typing;
}

std::optional<TextEditingModel::Change> TextEditingModel::undoChange() const {
    if (undo_.empty()) return std::nullopt;
    const Step& s = undo_.back();
    return Change{{s.location, utf16Length(s.inserted)}, s.removed};
}

std::optional<TextEditingModel::Change> TextEditingModel::redoChange() const {
    if (redo_.empty()) return std::nullopt;
    const Step& s = redo_.back();
    return Change{{s.location, utf16Length(s.removed)}, s.inserted};
}

bool TextEditingModel::undo() {
    if (undo_.empty()) return false;
    Step s = std::move(undo_.back());
    undo_.pop_back();
    apply(s.location, utf16Length(s.inserted), s.removed);
    select(s.anchorBefore, s.caretBefore);
    redo_.push_back(std::move(s));
    return true;
}

bool TextEditingModel::redo() {
    if (redo_.empty()) return false;
    Step s = std::move(redo_.back());
    redo_.pop_back();
    apply(s.location, utf16Length(s.removed), s.inserted);
    const std::size_t after = s.location + utf16Length(s.inserted);
    select(after, after);
    undo_.push_back(std::move(s));
    return true;
}

} // namespace platform
