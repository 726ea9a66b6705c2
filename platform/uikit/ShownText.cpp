#include "platform/uikit/ShownText.h"

#include <algorithm>

#include <glib.h>

namespace platform {

ShownText::ShownText(std::string_view source) {
    std::size_t marks = 0, keptFrom = 0, i = 0;
    std::size_t gapStart = std::string_view::npos;
    auto closeGap = [&](std::size_t end) {
        if (gapStart == std::string_view::npos) return;
        shown_.append(source.substr(keptFrom, gapStart - keptFrom));
        gaps_.push_back({gapStart, shown_.size(), end - gapStart});
        keptFrom = end;
        gapStart = std::string_view::npos;
    };
    while (i < source.size()) {
        const auto c = static_cast<unsigned char>(source[i]);
        if (c < 0x80) {
            closeGap(i);
            marks = 0;
            ++i;
            continue;
        }
        const std::size_t length = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const gunichar u =
            g_utf8_get_char_validated(source.data() + i, static_cast<gssize>(source.size() - i));
        const bool mark = u < 0x110000 && g_unichar_ismark(u);
        if (!mark) {
            closeGap(i);
            marks = 0;
        } else if (++marks > kMaxMarksPerCharacter && gapStart == std::string_view::npos) {
            gapStart = i;
        }
        i += length;
    }
    closeGap(std::min(i, source.size()));
    if (gaps_.empty()) {
        shown_.assign(source);
        return;
    }
    shown_.append(source.substr(std::min(keptFrom, source.size())));
}

std::size_t ShownText::shownByte(std::size_t source) const {
    auto after = std::upper_bound(gaps_.begin(), gaps_.end(), source,
                                  [](std::size_t s, const Gap& g) { return s < g.sourceAt; });
    if (after == gaps_.begin()) return source;
    const Gap& gap = *std::prev(after);
    if (source < gap.sourceAt + gap.length) return gap.shownAt;
    return source - (gap.sourceAt - gap.shownAt) - gap.length;
}

std::size_t ShownText::sourceByte(std::size_t shown) const {
    auto after = std::upper_bound(gaps_.begin(), gaps_.end(), shown,
                                  [](std::size_t s, const Gap& g) { return s < g.shownAt; });
    if (after == gaps_.begin()) return shown;
    const Gap& gap = *std::prev(after);
    return shown + (gap.sourceAt - gap.shownAt) + gap.length;
}

std::string_view ShownText::prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

} // namespace platform
