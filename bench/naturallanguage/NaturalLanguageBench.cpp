// Tagging throughput over a 9,000-word English transcript: lexical classes (what the word-class
// statistics run after every recognition task) and lemmas (what the entry search indexes); and the
// WordNet lexicon's first use in a process, which a run's first word classes pay.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/naturallanguage/NLTagger.h"
#include "platform/naturallanguage/NSLinguisticTagger.h"
#include "platform/naturallanguage/WordNetLexicon.h"

namespace {

// Varied everyday prose, repeated to 9,000 words.
const std::string& transcript() {
    static const std::string text = [] {
        const std::string paragraphs[] = {
            "Thank you so much for the lovely flowers you sent last week. They arrived on Tuesday morning "
            "and "
            "they still look beautiful on the kitchen table. I have been very busy with work, but I would "
            "love "
            "to see you again soon. ",
            "We need milk, eggs, bread and two bags of apples. Buy the cheap coffee if the good one is sold "
            "out. Don't forget the dog food and some fresh vegetables for dinner. ",
            "The team met on Monday to discuss the new project. Tom explained that the budget was too small "
            "and asked for more time. Everyone agreed that the first draft should be ready by the end of the "
            "month. ",
            "Yesterday I walked to the park with my children. The weather was warm and the trees were green. "
            "We played football on the grass and ate sandwiches under a big tree. ",
        };
        std::string out;
        int words = 0;
        for (int i = 0; words < 9000; ++i) {
            const std::string& p = paragraphs[i % 4];
            for (std::size_t k = 0; k < p.size(); ++k)
                if (p[k] == ' ' && words < 9000) ++words;
            out += p;
        }
        return out;
    }();
    return text;
}

void BM_LexicalClassTagging(benchmark::State& state) {
    const std::string& text = transcript();
    std::int64_t tokens = 0;
    for (auto _ : state) {
        platform::NLTagger tagger({platform::NLTagSchemeLexicalClass});
        tagger.setString(text);
        tagger.enumerateTags({0, text.size()}, platform::NLTokenUnit::word, platform::NLTagSchemeLexicalClass,
                             platform::NLTaggerOptions::omitPunctuation |
                                 platform::NLTaggerOptions::omitWhitespace,
                             [&](const std::optional<platform::NLTag>& tag, platform::TextRange) {
                                 benchmark::DoNotOptimize(tag);
                                 ++tokens;
                                 return true;
                             });
    }
    state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LexicalClassTagging)->Unit(benchmark::kMillisecond);

void BM_LemmaTagging(benchmark::State& state) {
    const std::string& text = transcript();
    std::int64_t tokens = 0;
    for (auto _ : state) {
        platform::NSLinguisticTagger tagger(
            {platform::NSLinguisticTagSchemeLemma, platform::NSLinguisticTagSchemeLanguage},
            platform::NSLinguisticTaggerOptionsNone);
        tagger.setString(text);
        tagger.enumerateTagsInRange_unit_scheme_options_usingBlock(
            {0, text.size()}, platform::NSLinguisticTaggerUnit::word, platform::NSLinguisticTagSchemeLemma,
            platform::NSLinguisticTaggerOmitPunctuation | platform::NSLinguisticTaggerOmitWhitespace,
            [&](const std::optional<std::string>& lemma, platform::TextRange, bool&) {
                benchmark::DoNotOptimize(lemma);
                ++tokens;
            });
    }
    state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LemmaTagging)->Unit(benchmark::kMillisecond);

void BM_WordNetFirstUse(benchmark::State& state) {
    for (auto _ : state) {
        const platform::nl::WordNetLexicon lexicon("/usr/share/wordnet");
        benchmark::DoNotOptimize(lexicon.classes("leisure"));
    }
}
BENCHMARK(BM_WordNetFirstUse)->Unit(benchmark::kMillisecond);

} // namespace
