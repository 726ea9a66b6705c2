#include "platform/foundation/TextUtils.h"

#include <memory>
#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace platform {

namespace {

// UTF-16 text decoded from UTF-8, with the byte offset of every UTF-16 unit (and of the end).
struct Decoded {
    icu::UnicodeString text;
    std::vector<std::size_t> byteOffset;
};

Decoded decode(std::string_view utf8) {
    Decoded out;
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    int32_t length = static_cast<int32_t>(utf8.size());
    int32_t i = 0;
    while (i < length) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) c = 0xFFFD;
        out.text.append(c);
        for (int n = U16_LENGTH(c); n > 0; --n)
            out.byteOffset.push_back(static_cast<std::size_t>(start));
    }
    out.byteOffset.push_back(utf8.size());
    return out;
}

std::string encode(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

icu::Locale icuLocale(const std::string& identifier) {
    return identifier.empty() ? icu::Locale::getRoot() : icu::Locale(identifier.c_str());
}

// Code points folded one by one: folding keeps one code point per code point, so positions in the
// folded text are positions in the original.
std::vector<UChar32> foldedCodePoints(const icu::UnicodeString& text, std::vector<int32_t>* starts) {
    std::vector<UChar32> out;
    for (int32_t i = 0; i < text.length();) {
        UChar32 c = text.char32At(i);
        if (starts) starts->push_back(i);
        out.push_back(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        i += U16_LENGTH(c);
    }
    if (starts) starts->push_back(text.length());
    return out;
}

} // namespace

std::vector<TextRange> findAllCaseInsensitive(std::string_view text, std::string_view term) {
    std::vector<TextRange> ranges;
    if (term.empty() || text.empty()) return ranges;
    Decoded hay = decode(text);
    Decoded needleText = decode(term);
    std::vector<int32_t> starts;
    auto h = foldedCodePoints(hay.text, &starts);
    auto n = foldedCodePoints(needleText.text, nullptr);
    // A term with invalid bytes would otherwise match any invalid bytes.
    for (UChar32 c : n) {
        if (c == 0xFFFD) return ranges;
    }
    if (n.size() > h.size()) return ranges;

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return ranges;
    characters->setText(hay.text);

    for (std::size_t i = 0; i + n.size() <= h.size();) {
        if (std::equal(n.begin(), n.end(), h.begin() + static_cast<long>(i)) &&
            characters->isBoundary(starts[i]) && characters->isBoundary(starts[i + n.size()])) {
            std::size_t from = hay.byteOffset[static_cast<std::size_t>(starts[i])];
            std::size_t to = hay.byteOffset[static_cast<std::size_t>(starts[i + n.size()])];
            ranges.push_back({from, to - from});
            i += n.size();
        } else {
            ++i;
        }
    }
    return ranges;
}

std::string replaceAllCaseInsensitive(std::string_view text, std::string_view term,
                                      std::string_view replacement) {
    std::string out;
    std::size_t last = 0;
    for (const auto& r : findAllCaseInsensitive(text, term)) {
        out.append(text.substr(last, r.location - last));
        out.append(replacement);
        last = r.location + r.length;
    }
    out.append(text.substr(last));
    return out;
}

std::string normalizedNFC(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    icu::UnicodeString result = nfc->normalize(decode(text).text, status);
    if (U_FAILURE(status)) return std::string(text);
    return encode(result);
}

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
    return normalizedNFC(a) == normalizedNFC(b);
}

std::string lowercased(std::string_view text, const std::string& localeIdentifier) {
    icu::UnicodeString s = decode(text).text;
    s.toLower(icuLocale(localeIdentifier));
    return encode(s);
}

bool isValidUTF8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        char32_t code;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false; // a continuation byte, an overlong lead (C0, C1) or beyond F4
        }
        if (bytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000)) return false; // overlong
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        if (code > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

} // namespace platform
