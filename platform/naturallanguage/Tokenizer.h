#pragma once
// Word tokens through ICU's word breaker: every piece of the text (words, numbers, runs of
// whitespace, single punctuation marks) becomes one token, in text order, with its byte range.

#include <string_view>
#include <vector>

#include "platform/foundation/TextRange.h"

namespace platform::nl {

enum class TokenKind { word, number, whitespace, punctuation };

// What a punctuation or whitespace token is; `none` for words and numbers.
enum class Mark {
    none,
    whitespace,
    paragraphBreak,
    sentenceTerminator,
    openQuote,
    closeQuote,
    openParenthesis,
    closeParenthesis,
    dash,
    otherPunctuation,
};

struct Token {
    TextRange range;
    TokenKind kind = TokenKind::word;
    Mark mark = Mark::none;
};

// Splits `text` (UTF-8; malformed bytes are kept inside the token they fall into) into tokens
// covering it without gaps.
std::vector<Token> tokenize(std::string_view text);

// The locale-independent Unicode lower-case mapping, with a fast path for ASCII.
std::string lowercased(std::string_view text);

// The key a word is looked up by: lower case, with the typographic apostrophe that dictated
// text often has made straight.
std::string wordKey(std::string_view text);

// True when the text holds at least one letter (any script).
bool hasLetters(std::string_view text);

} // namespace platform::nl
