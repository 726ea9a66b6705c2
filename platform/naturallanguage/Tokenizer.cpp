#include "platform/naturallanguage/Tokenizer.h"

#include <memory>
#include <mutex>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace platform::nl {

namespace {

// Creating a word break iterator loads its rules; cloning a loaded one is cheap. The prototype
// is never iterated itself, and cloning is serialised because ICU does not promise that
// concurrent clones of one object are safe.
std::unique_ptr<icu::BreakIterator> newWordBreaker() {
    static std::mutex mutex;
    static std::unique_ptr<icu::BreakIterator> prototype = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(it) : nullptr;
    }();
    std::lock_guard lock(mutex);
    return prototype ? std::unique_ptr<icu::BreakIterator>(prototype->clone()) : nullptr;
}

Mark markOf(UChar32 c) {
    if (c == '\n' || c == '\r' || c == 0x2029) return Mark::paragraphBreak;
    if (u_isUWhiteSpace(c)) return Mark::whitespace;
    switch (u_charType(c)) {
    case U_INITIAL_PUNCTUATION:
        return Mark::openQuote;
    case U_FINAL_PUNCTUATION:
        return Mark::closeQuote;
    case U_START_PUNCTUATION:
        return Mark::openParenthesis;
    case U_END_PUNCTUATION:
        return Mark::closeParenthesis;
    case U_DASH_PUNCTUATION:
        return Mark::dash;
    default:
        break;
    }
    if (c == '.' || c == '!' || c == '?' || c == 0x2026 || c == 0x3002 || c == 0xFF01 || c == 0xFF1F ||
        c == 0x061F || c == 0x0964)
        return Mark::sentenceTerminator;
    return Mark::otherPunctuation;
}

bool isPunctuationLike(UChar32 c) {
    if (u_ispunct(c)) return true;
    switch (u_charType(c)) {
    case U_MATH_SYMBOL:
    case U_CURRENCY_SYMBOL:
    case U_MODIFIER_SYMBOL:
        return true;
    default:
        return false;
    }
}

// Kind of a piece the breaker gave no word status: all whitespace, all punctuation, or something
// else that reads as a word of its own (an emoji, a pictograph, a symbol).
Token classifyUntyped(std::string_view text, TextRange range) {
    bool allSpace = true, allPunct = true, paragraph = false;
    UChar32 first = -1;
    int32_t i = static_cast<int32_t>(range.location);
    const auto end = static_cast<int32_t>(range.end());
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    while (i < end) {
        UChar32 c;
        U8_NEXT(s, i, end, c);
        if (c < 0) c = 0xFFFD;
        if (first < 0) first = c;
        const bool space = u_isUWhiteSpace(c) || c == '\t';
        if (space && markOf(c) == Mark::paragraphBreak) paragraph = true;
        allSpace = allSpace && space;
        allPunct = allPunct && isPunctuationLike(c);
    }
    if (allSpace) return {range, TokenKind::whitespace, paragraph ? Mark::paragraphBreak : Mark::whitespace};
    if (allPunct) return {range, TokenKind::punctuation, markOf(first)};
    return {range, TokenKind::word, Mark::none};
}

} // namespace

std::vector<Token> tokenize(std::string_view text) {
    std::vector<Token> tokens;
    if (text.empty()) return tokens;

    // UTF-16 copy for ICU, with the byte offset of every UTF-16 unit.
    icu::UnicodeString u16;
    std::vector<std::size_t> byteAt;
    byteAt.reserve(text.size() + 1);
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) c = 0xFFFD;
        u16.append(c);
        byteAt.push_back(static_cast<std::size_t>(start));
        if (U_IS_SUPPLEMENTARY(c)) byteAt.push_back(static_cast<std::size_t>(start));
    }
    byteAt.push_back(text.size());

    auto breaker = newWordBreaker();
    if (!breaker) {
        tokens.push_back({{0, text.size()}, TokenKind::word, Mark::none});
        return tokens;
    }
    breaker->setText(u16);
    int32_t start = breaker->first();
    for (int32_t end = breaker->next(); end != icu::BreakIterator::DONE; start = end, end = breaker->next()) {
        const TextRange range{byteAt[start], byteAt[end] - byteAt[start]};
        if (range.length == 0) continue;
        const int32_t status = breaker->getRuleStatus();
        if (status >= UBRK_WORD_NUMBER && status < UBRK_WORD_NUMBER_LIMIT)
            tokens.push_back({range, TokenKind::number, Mark::none});
        else if (status >= UBRK_WORD_LETTER && status < UBRK_WORD_IDEO_LIMIT)
            tokens.push_back({range, TokenKind::word, Mark::none});
        else
            tokens.push_back(classifyUntyped(text, range));
    }
    return tokens;
}

std::string lowercased(std::string_view text) {
    bool ascii = true;
    for (unsigned char c : text)
        ascii = ascii && c < 0x80;
    if (ascii) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    auto u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    u.toLower(icu::Locale::getRoot());
    std::string out;
    u.toUTF8String(out);
    return out;
}

std::string wordKey(std::string_view text) {
    const std::string lower = lowercased(text);
    std::string key;
    key.reserve(lower.size());
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if (lower.compare(i, 3, "\xE2\x80\x99") == 0) {
            key += '\'';
            i += 2;
        } else {
            key += lower[i];
        }
    }
    return key;
}

bool hasLetters(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c >= 0 && u_isalpha(c)) return true;
    }
    return false;
}

} // namespace platform::nl
