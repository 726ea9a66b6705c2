// Every text the screens and templates can show has a font for each of its letters: no box stands
// in for a glyph. The texts are taken from the code itself (every string literal with a letter
// beyond ASCII: titles, labels, listening texts, alerts, language names, symbol texts) and laid
// out in the faces the screens ask for; the templates' stylesheet families are tried with a text
// in the script of every language of the main picker.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <pango/pangocairo.h>
#include <unicode/uchar.h>

#include "dictation/RecognitionLanguages.h"
#include "platform/foundation/FontLock.h"
#include "platform/foundation/TextUtils.h"
#include "platform/uikit/TextDrawing.h"
#include "tests/support/PlatformTest.h"

using namespace platform;

namespace {

std::filesystem::path sourceTree() {
    if (const char* source = std::getenv("QUILLORA_SOURCE"); source && *source) return source;
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The string literals of a C++ source with their escapes decoded ("\u00A0", "\U0001F167", "\n").
std::vector<std::string> literalsOf(const std::string& source) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            i = source.find('\n', i);
            if (i == std::string::npos) break;
            continue;
        }
        if (source[i] == '\'') {
            // A character literal: '"' must not open a string.
            const std::size_t end = source.find('\'', i + (source[i + 1] == '\\' ? 3 : 2));
            if (end != std::string::npos && end - i <= 4) i = end;
            continue;
        }
        if (source[i] != '"') continue;
        std::string text;
        std::size_t j = i + 1;
        for (; j < source.size() && source[j] != '"' && source[j] != '\n'; ++j) {
            if (source[j] != '\\' || j + 1 >= source.size()) {
                text += source[j];
                continue;
            }
            const char e = source[++j];
            if (e == 'u' || e == 'U') {
                const int digits = e == 'u' ? 4 : 8;
                appendUtf8(text,
                           static_cast<char32_t>(std::stoul(source.substr(j + 1, digits), nullptr, 16)));
                j += digits;
            } else if (e == 'n') {
                text += '\n';
            } else {
                text += e;
            }
        }
        out.push_back(text);
        i = j;
    }
    return out;
}

bool beyondAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return true;
    return false;
}

// Every literal beyond ASCII in the application's and the platform's sources.
std::set<std::string> shownTexts() {
    std::set<std::string> out;
    for (const char* folder :
         {"app", "analysis", "dictation", "detail", "entries", "pdf", "settings", "templates", "platform"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(sourceTree() / folder)) {
            const auto ext = entry.path().extension();
            if (ext != ".cpp" && ext != ".h") continue;
            for (auto& literal : literalsOf(readFile(entry.path())))
                if (beyondAscii(literal)) out.insert(literal);
        }
    return out;
}

int unknownGlyphs(const std::string& text, const PangoFontDescription* font) {
    platform::FontLock::Guard fonts;
    // The screens' font rules apply.
    TextDrawing::fontMap();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    const int unknown = pango_layout_get_unknown_glyphs_count(layout);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return unknown;
}

// How many glyphs pango draws `text` with in the system font: one for an emoji sequence the emoji
// font has a picture of.
int glyphsOf(const std::string& text) {
    platform::FontLock::Guard fonts;
    TextDrawing::fontMap();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    auto description = TextDrawing::fontDescription(UIFont::systemFontOfSize(17));
    pango_layout_set_font_description(layout, description.get());
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    int glyphs = 0;
    for (GSList* run = pango_layout_get_line_readonly(layout, 0)->runs; run; run = run->next) {
        const PangoGlyphString* string = static_cast<PangoGlyphItem*>(run->data)->glyphs;
        for (int i = 0; i < string->num_glyphs; ++i)
            glyphs += string->glyphs[i].glyph != PANGO_GLYPH_EMPTY;
    }
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return glyphs;
}

// A line in the script of each language the main picker offers.
const std::map<std::string, std::string>& samples() {
    static const std::map<std::string, std::string> texts = {
        {"ar", "العربية: مرحبا بالعالم"},
        {"ca", "Català: Què és això?"},
        {"cs", "Čeština: Příliš žluťoučký kůň"},
        {"da", "Dansk: Rødgrød med fløde"},
        {"de", "Deutsch: Größe und Maß"},
        {"el", "Ελληνικά: Καλημέρα κόσμε"},
        {"en", "English: The quick fox"},
        {"es", "Español: ¿Qué tal, niño?"},
        {"fi", "Suomi: Hyvää päivää"},
        {"fr", "Français: Ça été très bien"},
        {"he", "עברית: שלום עולם"},
        {"hi", "हिन्दी: सुन रहे हैं"},
        {"hr", "Hrvatski: Čađava šuma"},
        {"hu", "Magyar: Árvíztűrő tükörfúrógép"},
        {"id", "Bahasa Indonesia: Selamat pagi"},
        {"it", "Italiano: Perché così?"},
        {"ja", "日本語: こんにちは、カタカナ"},
        {"ko", "한국어: 안녕하세요"},
        {"ms", "Bahasa Melayu: Selamat pagi"},
        {"nb", "Norsk: Blåbærsyltetøy"},
        {"nl", "Nederlands: Ĳsbeer één"},
        {"pl", "Polski: Zażółć gęślą jaźń"},
        {"pt", "Português: Ação e coração"},
        {"ro", "Română: Științe și țări"},
        {"ru", "Русский: Съешь же ещё"},
        {"sk", "Slovenčina: Kŕdeľ ďatľov"},
        {"sv", "Svenska: Räksmörgås"},
        {"th", "ไทย: กำลังฟัง"},
        {"tr", "Türkçe: Pijamalı hasta ağır"},
        {"uk", "Українська: Ґанок їжака"},
        {"vi", "Tiếng Việt: Xin chào thế giới"},
        {"zh", "中文: 你好，世界。繁體字"},
    };
    return texts;
}

std::string languageOf(std::string_view locale) {
    return std::string(locale.substr(0, locale.find_first_of("-_")));
}

} // namespace

TEST(GlyphCoverageTest, EveryTextOfTheScreensHasAGlyphForEachLetterInTheFacesAsked) {
    auto texts = shownTexts();
    // The tables are among them: the sources were read.
    ASSERT_TRUE(texts.count(" \U0001F167 Cancel ")) << "the sources were not found at " << sourceTree();
    for (const auto* table : {&quillora::mainLanguageTable(), &quillora::recipeLanguageTable()})
        for (const auto& row : *table) {
            texts.insert(std::string(row.title));
            if (!row.listening.empty()) texts.insert(std::string(row.listening));
        }
    ASSERT_TRUE(texts.count("กำลังฟัง ...") && texts.count("सुन रहे हैं ..."));

    // The faces the screens name: the system's in its weights, the monospaced transcript face and
    // the settings' close button face.
    std::vector<UIFont> faces = {UIFont::systemFontOfSize(17),
                                 UIFont::boldSystemFontOfSize(17),
                                 {".SFUI-Semibold", 17},
                                 *UIFont::fontWithName_size("Courier", 17),
                                 {"Avenir-Medium", 10}};
    std::vector<std::string> missing;
    for (const auto& font : faces) {
        auto description = TextDrawing::fontDescription(font);
        for (const auto& text : texts)
            if (int unknown = unknownGlyphs(text, description.get()))
                missing.push_back(font.fontName + ": \"" + text + "\" (" + std::to_string(unknown) + ")");
    }
    EXPECT_TRUE(missing.empty()) << missing.size() << " texts with boxes, the first: " << missing.front();
}

// Two emoji side by side, with at most a presentation selector or a skin tone between them, that
// the emoji font draws as one picture once a zero-width joiner stands between them: the text lost
// its joiner, and shows the sequence's parts ("🙋 ♀" for a woman raising her hand).
TEST(GlyphCoverageTest, EveryEmojiSequenceOfTheScreensKeepsItsJoiners) {
    const auto texts = shownTexts();
    std::vector<std::string> broken;
    for (const auto& text : texts) {
        std::vector<std::string> characters;
        for (const char* c = text.c_str(); *c; c = g_utf8_next_char(c))
            characters.emplace_back(c, static_cast<std::size_t>(g_utf8_next_char(c) - c));
        const auto codeOf = [&](std::size_t i) { return g_utf8_get_char(characters[i].c_str()); };
        for (std::size_t i = 0; i + 1 < characters.size(); ++i) {
            if (!u_hasBinaryProperty(static_cast<UChar32>(codeOf(i)), UCHAR_EXTENDED_PICTOGRAPHIC)) continue;
            std::size_t next = i + 1;
            std::string first = characters[i];
            while (next < characters.size() &&
                   (codeOf(next) == 0xFE0F || (codeOf(next) >= 0x1F3FB && codeOf(next) <= 0x1F3FF)))
                first += characters[next++];
            if (next >= characters.size() ||
                !u_hasBinaryProperty(static_cast<UChar32>(codeOf(next)), UCHAR_EXTENDED_PICTOGRAPHIC))
                continue;
            std::string second = characters[next];
            if (next + 1 < characters.size() && codeOf(next + 1) == 0xFE0F) second += characters[next + 1];
            if (glyphsOf(first + "\u200D" + second) == 1 && glyphsOf(first + second) > 1)
                broken.push_back("\"" + text + "\"");
        }
    }
    EXPECT_TRUE(broken.empty()) << broken.size() << " texts lost a joiner, the first: " << broken.front();
}

TEST(GlyphCoverageTest, TheTemplateStylesheetFamiliesWriteEveryScriptOfTheLanguageTable) {
    std::set<std::string> families;
    const std::regex declaration("font-family\\s*:\\s*([^;}]+)");
    for (const auto& entry : std::filesystem::directory_iterator(sourceTree() / "resources")) {
        const auto ext = entry.path().extension();
        if (ext != ".css" && ext != ".html") continue;
        const std::string css = readFile(entry.path());
        for (std::sregex_iterator it(css.begin(), css.end(), declaration), end; it != end; ++it) {
            std::string value = (*it)[1];
            value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
            families.insert(value);
        }
    }
    ASSERT_FALSE(families.empty());
    std::set<std::string> languages;
    for (const auto& row : quillora::mainLanguageTable())
        languages.insert(languageOf(row.localeIdentifier));
    std::vector<std::string> missing;
    for (const auto& language : languages) {
        auto sample = samples().find(language);
        ASSERT_NE(sample, samples().end()) << "no sample text for " << language;
        for (const auto& family : families)
            for (PangoWeight weight : {PANGO_WEIGHT_NORMAL, PANGO_WEIGHT_BOLD}) {
                PangoFontDescription* description = pango_font_description_from_string(family.c_str());
                pango_font_description_set_weight(description, weight);
                pango_font_description_set_absolute_size(description, 12 * PANGO_SCALE);
                if (unknownGlyphs(sample->second, description))
                    missing.push_back(family + ": " + sample->second);
                pango_font_description_free(description);
            }
    }
    EXPECT_TRUE(missing.empty()) << missing.size() << " with boxes, the first: " << missing.front();
}
