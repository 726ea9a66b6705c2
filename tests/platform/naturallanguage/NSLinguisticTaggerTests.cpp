#include <cstdlib>
#include <map>

#include "platform/naturallanguage/LexicalModel.h"
#include "platform/naturallanguage/NSLinguisticTagger.h"
#include "tests/support/PlatformTest.h"

namespace {

using platform::NSLinguisticTagger;
using platform::NSLinguisticTagSchemeLanguage;
using platform::NSLinguisticTagSchemeLemma;
using platform::NSOrthography;
using platform::TextRange;

constexpr auto kWordsOnly =
    platform::NSLinguisticTaggerOmitPunctuation | platform::NSLinguisticTaggerOmitWhitespace;

// Each word of the text with its tag in `scheme` ("-" when untagged).
std::vector<std::pair<std::string, std::string>> tagsOf(const std::string& text,
                                                        const platform::NSLinguisticTagScheme& scheme,
                                                        std::optional<std::string> language = std::nullopt) {
    NSLinguisticTagger tagger({NSLinguisticTagSchemeLemma, NSLinguisticTagSchemeLanguage},
                              platform::NSLinguisticTaggerOptionsNone);
    tagger.setString(text);
    if (language)
        tagger.setOrthography_range(NSOrthography::defaultOrthographyForLanguage(*language),
                                    {0, text.size()});
    std::vector<std::pair<std::string, std::string>> out;
    tagger.enumerateTagsInRange_unit_scheme_options_usingBlock(
        {0, text.size()}, platform::NSLinguisticTaggerUnit::word, scheme, kWordsOnly,
        [&](const std::optional<std::string>& tag, TextRange r, bool&) {
            out.emplace_back(text.substr(r.location, r.length), tag.value_or("-"));
        });
    return out;
}

std::map<std::string, std::string> lemmas(const std::string& text, std::optional<std::string> language = {}) {
    std::map<std::string, std::string> out;
    for (auto& [word, lemma] : tagsOf(text, NSLinguisticTagSchemeLemma, language))
        out[word] = lemma;
    return out;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Short texts are read in the locale's language: pin it.
class NSLinguisticTaggerTest : public quillora::test::PlatformTest {
    ScopedEnv all_{"LC_ALL", nullptr}, messages_{"LC_MESSAGES", nullptr}, lang_{"LANG", "en_US.UTF-8"};
};

TEST_F(NSLinguisticTaggerTest, EnglishWordsGetTheirDictionaryForms) {
    auto l = lemmas("Running late, she ran past the geese while the children were running and singing; "
                    "the better plan is mine. Flumpiness 42");
    EXPECT_EQ(l["Running"], "run");
    EXPECT_EQ(l["ran"], "run");
    EXPECT_EQ(l["running"], "run");
    EXPECT_EQ(l["geese"], "goose");
    EXPECT_EQ(l["children"], "child");
    EXPECT_EQ(l["were"], "be");
    EXPECT_EQ(l["is"], "be");
    EXPECT_EQ(l["better"], "good");
    EXPECT_EQ(l["the"], "the");
    EXPECT_EQ(l["Flumpiness"], "-"); // unknown word: no lemma
    EXPECT_EQ(l["42"], "-");

    // The class picks the base form: "saw" the verb is "see", the tool stays "saw".
    auto verb = lemmas("We saw the doctor yesterday.");
    auto noun = lemmas("He sharpened the old saw yesterday.");
    EXPECT_EQ(verb["saw"], "see");
    EXPECT_EQ(noun["saw"], "saw");
}

TEST_F(NSLinguisticTaggerTest, OtherLanguagesGetStemsWhereADictionaryIsInstalled) {
    auto es = lemmas("Estaba corriendo por el parque con mis perros", "es");
    EXPECT_EQ(es["corriendo"], "correr");
    EXPECT_EQ(es["perros"], "perro");

    // Detected rather than set: a Spanish paragraph is stemmed the same way.
    auto detected =
        lemmas("Mi hermana estaba corriendo por el parque con sus amigas cuando empez\xC3\xB3 a llover.");
    EXPECT_EQ(detected["corriendo"], "correr");

    // No dictionary for these: words stay, without lemmas, and nothing fails.
    for (const char* language : {"fr", "xx", ""}) {
        auto none =
            tagsOf("Nous avons mang\xC3\xA9 des pommes", NSLinguisticTagSchemeLemma, std::string(language));
        ASSERT_EQ(none.size(), 5u);
        for (auto& [word, lemma] : none)
            EXPECT_EQ(lemma, "-") << language << " " << word;
    }
    EXPECT_EQ(platform::nl::makeHunspellLemmatizer("/nonexistent/xx.aff", "/nonexistent/xx.dic"), nullptr);
}

TEST_F(NSLinguisticTaggerTest, DominantLanguageFallsBackToTheLocaleForShortTexts) {
    ScopedEnv lang("LANG", "de_DE.UTF-8");

    EXPECT_EQ(NSLinguisticTagger::dominantLanguageForString(
                  "The meeting went well and everyone agreed to finish the report by the end of next week."),
              "en");
    EXPECT_EQ(
        NSLinguisticTagger::dominantLanguageForString(
            "La reuni\xC3\xB3n sali\xC3\xB3 bien y todos acordaron terminar el informe antes del final de la "
            "pr\xC3\xB3xima semana."),
        "es");
    EXPECT_EQ(NSLinguisticTagger::dominantLanguageForString("ok"), "de");
    EXPECT_EQ(NSLinguisticTagger::dominantLanguageForString(" ...!? 42 \xF0\x9F\x98\x80"), std::nullopt);
    {
        ScopedEnv c("LC_ALL", "C");
        EXPECT_EQ(NSLinguisticTagger::dominantLanguageForString("hola"), "en");
    }

    // The language scheme tags every word with the language it is read in; an orthography wins.
    for (auto& [word, language] : tagsOf("ok then", NSLinguisticTagSchemeLanguage))
        EXPECT_EQ(language, "de") << word;
    for (auto& [word, language] : tagsOf("ok then", NSLinguisticTagSchemeLanguage, "es"))
        EXPECT_EQ(language, "es");
}

TEST_F(NSLinguisticTaggerTest, OrthographiesAndEnumerationLimits) {
    EXPECT_EQ(NSOrthography::defaultOrthographyForLanguage("en").dominantScript(), "Latn");
    EXPECT_EQ(NSOrthography::defaultOrthographyForLanguage("zh-Hant").dominantScript(), "Hant");
    EXPECT_EQ(NSOrthography::defaultOrthographyForLanguage("ar").dominantScript(), "Arab");
    EXPECT_EQ(NSOrthography::defaultOrthographyForLanguage("hi").dominantLanguage(), "hi");
    EXPECT_EQ(NSOrthography::defaultOrthographyForLanguage("not a language").dominantScript(), "Zyyy");

    NSLinguisticTagger tagger({NSLinguisticTagSchemeLemma}, platform::NSLinguisticTaggerOptionsNone);
    const std::string text = "Dogs barked. Cats slept.";
    tagger.setString(text);
    std::vector<std::string> seen;
    tagger.enumerateTagsInRange_unit_scheme_options_usingBlock(
        {0, text.size()}, platform::NSLinguisticTaggerUnit::word, NSLinguisticTagSchemeLemma, kWordsOnly,
        [&](const std::optional<std::string>& tag, TextRange, bool& stop) {
            seen.push_back(tag.value_or("-"));
            stop = seen.size() == 3;
        });
    EXPECT_EQ(seen, (std::vector<std::string>{"dog", "bark", "cat"}));

    // A scheme the tagger was not made for yields tokens without tags.
    seen.clear();
    tagger.enumerateTagsInRange_unit_scheme_options_usingBlock(
        {0, text.size()}, platform::NSLinguisticTaggerUnit::word, NSLinguisticTagSchemeLanguage, kWordsOnly,
        [&](const std::optional<std::string>& tag, TextRange, bool&) { seen.push_back(tag.value_or("-")); });
    EXPECT_EQ(seen, (std::vector<std::string>(4, "-")));
}

} // namespace
