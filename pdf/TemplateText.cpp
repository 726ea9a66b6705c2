#include "pdf/TemplateText.h"

namespace quillora {

std::string htmlWithLineBreaks(std::string_view text) {
    return replaceAll(escapeHTML(text), "\n", ".<br>");
}

std::string replaceAll(std::string_view text, std::string_view mark, std::string_view value) {
    if (mark.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(mark); at != std::string_view::npos; at = text.find(mark, from)) {
        out.append(text.substr(from, at - from));
        out.append(value);
        from = at + mark.size();
    }
    out.append(text.substr(from));
    return out;
}

namespace {

// Length in bytes of the line break that starts at `at`, or 0. The sequences are matched on
// UTF-8 bytes, which cannot start in the middle of another character.
std::size_t lineBreakAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(at);
    if (c == '\r') return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    if (c == '\n' || c == '\v' || c == '\f') return 1;
    if (c == 0xC2 && at + 1 < text.size() && byte(at + 1) == 0x85) return 2;
    if (c == 0xE2 && at + 2 < text.size() && byte(at + 1) == 0x80 &&
        (byte(at + 2) == 0xA8 || byte(at + 2) == 0xA9))
        return 3;
    return 0;
}

} // namespace

std::vector<std::string> splitBodyParagraphs(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t len = lineBreakAt(text, at);
        if (len == 0) {
            ++at;
            continue;
        }
        if (at > start) {
            pieces.emplace_back(text.substr(start, at - start));
            start = at + len;
            break;
        }
        start = at = at + len;
    }
    if (start < text.size()) pieces.emplace_back(text.substr(start));
    return pieces;
}

} // namespace quillora
