#include "platform/webkit/HTMLLongText.h"

#include <algorithm>
#include <array>
#include <cctype>

#include <glib.h>

namespace platform {

namespace {

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (at + prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
    return true;
}

// The tag name after '<' at `at`, lower-cased ("" when none).
std::string tagName(std::string_view html, std::size_t at) {
    std::string name;
    for (std::size_t i = at + 1; i < html.size(); ++i) {
        const auto c = static_cast<unsigned char>(html[i]);
        if (!std::isalnum(c)) break;
        name += static_cast<char>(std::tolower(c));
    }
    return name;
}

gunichar characterAt(std::string_view text, std::size_t at) {
    return g_utf8_get_char_validated(text.data() + at, static_cast<gssize>(text.size() - at));
}

bool isRegionalIndicator(gunichar c) {
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// Whether a character that a person sees as one starts at `at` (a character boundary): not a
// mark, joiner, skin tone or tag that belongs to the one before, nor the second letter of a flag.
bool startsCharacterAsSeen(std::string_view text, std::size_t at) {
    const gunichar c = characterAt(text, at);
    if (c == gunichar(-1) || c == gunichar(-2)) return true;
    if (g_unichar_ismark(c) || c == 0x200D || (c >= 0x1F3FB && c <= 0x1F3FF) ||
        (c >= 0xE0020 && c <= 0xE007F))
        return false;
    const char* before = g_utf8_find_prev_char(text.data(), text.data() + at);
    if (!before) return true;
    const gunichar previous = characterAt(text, static_cast<std::size_t>(before - text.data()));
    if (previous == 0x200D) return false;
    if (!isRegionalIndicator(c) || !isRegionalIndicator(previous)) return true;
    // Flags pair their letters from the first of the row.
    std::size_t letters = 0;
    for (const char* p = text.data() + at; p > text.data();) {
        p = g_utf8_find_prev_char(text.data(), p);
        if (!p || !isRegionalIndicator(characterAt(text, static_cast<std::size_t>(p - text.data())))) break;
        ++letters;
    }
    return letters % 2 == 0;
}

} // namespace

bool isLineBreakTag(std::string_view html, std::size_t at) {
    if (!startsWithNoCase(html, at, "<br")) return false;
    if (at + 3 >= html.size()) return false;
    const char after = html[at + 3];
    return after == '>' || after == '/' || std::isspace(static_cast<unsigned char>(after));
}

std::optional<std::string> withEmptyLinesHeld(std::string_view html) {
    std::optional<std::string> out;
    std::size_t copied = 0;
    for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
        if (!isLineBreakTag(html, at)) continue;
        const std::size_t end = html.find('>', at);
        if (end == std::string_view::npos) break;
        std::size_t next = end + 1;
        while (next < html.size() && std::isspace(static_cast<unsigned char>(html[next])))
            ++next;
        if (!isLineBreakTag(html, next)) continue;
        if (!out) out.emplace().reserve(html.size() + html.size() / 16);
        out->append(html.substr(copied, next - copied));
        out->append("\xe2\x80\x8b"); // a zero-width space
        copied = next;
        at = next - 1;
    }
    if (out) out->append(html.substr(copied));
    return out;
}

std::vector<HTMLLongTextRun> findLongTextRuns(std::string_view html, std::size_t atLeast) {
    std::vector<HTMLLongTextRun> runs;
    if (html.size() < atLeast) return runs;
    static constexpr std::array<std::string_view, 5> kNotText{"script", "style", "title", "textarea", "br"};
    std::size_t at = html.find('<');
    while (at != std::string_view::npos) {
        const std::size_t tagEnd = html.find('>', at);
        if (tagEnd == std::string_view::npos) break;
        const std::string name = tagName(html, at);
        const bool opens = !name.empty() && html[tagEnd - 1] != '/' &&
                           std::find(kNotText.begin(), kNotText.end(), name) == kNotText.end();
        if (!opens) {
            at = html.find('<', tagEnd + 1);
            continue;
        }
        // The element's content, as long as it is text and line breaks.
        std::size_t next = html.find('<', tagEnd + 1);
        while (next != std::string_view::npos && isLineBreakTag(html, next)) {
            const std::size_t brEnd = html.find('>', next);
            next = brEnd == std::string_view::npos ? brEnd : html.find('<', brEnd + 1);
        }
        if (next == std::string_view::npos) break;
        const std::string closing = "</" + name;
        if (next - (tagEnd + 1) >= atLeast && startsWithNoCase(html, next, closing) &&
            next + closing.size() < html.size() &&
            (html[next + closing.size()] == '>' ||
             std::isspace(static_cast<unsigned char>(html[next + closing.size()]))))
            runs.push_back({tagEnd + 1, next, name});
        at = next;
    }
    return runs;
}

std::vector<std::string_view> cutTextRun(std::string_view run, std::size_t pieceBytes) {
    std::vector<std::string_view> pieces;
    pieceBytes = std::max<std::size_t>(pieceBytes, 64);
    std::size_t from = 0;
    while (run.size() - from > pieceBytes) {
        const std::size_t target = from + pieceBytes;
        const std::size_t earliest = from + pieceBytes / 4;
        // The run holds no '<' but those of its line breaks.
        if (const std::size_t lt = run.rfind('<', target); lt != std::string_view::npos && lt >= earliest) {
            const std::size_t gt = run.find('>', lt);
            pieces.push_back(run.substr(from, lt - from));
            from = gt == std::string_view::npos ? run.size() : gt + 1;
            continue;
        }
        if (const std::size_t blank = run.find_last_of(" \t\n\r", target);
            blank != std::string_view::npos && blank >= earliest) {
            pieces.push_back(run.substr(from, blank - from));
            from = blank + 1;
            continue;
        }
        // One long word: cut between characters as they are seen (a letter with its marks, a
        // flag), and before a character reference rather than through it.
        std::size_t cut = target;
        while (cut > from + 1 && (static_cast<unsigned char>(run[cut]) & 0xC0) == 0x80)
            --cut;
        for (std::size_t seen = cut; seen > from + 1;) {
            if (startsCharacterAsSeen(run.substr(from), seen - from)) {
                cut = seen;
                break;
            }
            do
                --seen;
            while (seen > from + 1 && (static_cast<unsigned char>(run[seen]) & 0xC0) == 0x80);
        }
        const std::size_t amp = run.rfind('&', cut - 1);
        if (amp != std::string_view::npos && amp > from && cut - amp <= 12 && run.find(';', amp) >= cut)
            cut = amp;
        pieces.push_back(run.substr(from, cut - from));
        from = cut;
    }
    if (from < run.size() || pieces.empty()) pieces.push_back(run.substr(from));
    return pieces;
}

} // namespace platform
