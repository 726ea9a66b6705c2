#include "analysis/WordClassStatistics.h"

#include "analysis/Uniqued.h"
#include "common/StoredKeys.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/naturallanguage/NLTagger.h"

namespace quillora {

using platform::NLTag;
using platform::NLTagger;
using platform::NLTaggerOptions;

WordClassTally WordClassStatistics::tallyWordClasses(const std::string& text) {
    NLTagger tagger({platform::NLTagSchemeLexicalClass});
    tagger.setString(text);

    WordClassTally tally;
    // Exact, case-sensitive raw values; the first match takes the word. The classes whose words
    // are kept have a list; the others only a count.
    struct Class {
        const std::string* name;
        WordClassTally::Kept* kept;
        std::int64_t* count;
    };
    const Class classes[] = {
        {&platform::NLTagVerb.rawValue, &tally.verbs, nullptr},
        {&platform::NLTagNoun.rawValue, &tally.nouns, nullptr},
        {&platform::NLTagAdjective.rawValue, &tally.adjectives, nullptr},
        {&platform::NLTagPronoun.rawValue, &tally.pronouns, nullptr},
        {&platform::NLTagConjunction.rawValue, &tally.conjunctions, nullptr},
        {&platform::NLTagAdverb.rawValue, nullptr, &tally.adverbs},
        {&platform::NLTagDeterminer.rawValue, nullptr, &tally.determiners},
        {&platform::NLTagPreposition.rawValue, nullptr, &tally.prepositions},
        {&platform::NLTagInterjection.rawValue, nullptr, &tally.interjections},
    };

    auto& console = platform::console();
    const std::string& tagged = tagger.string();
    std::string line;
    tagger.enumerateTags({0, tagged.size()}, platform::NLTokenUnit::word, platform::NLTagSchemeLexicalClass,
                         NLTaggerOptions::omitPunctuation | NLTaggerOptions::omitWhitespace,
                         [&](const std::optional<NLTag>& tag, platform::TextRange range) {
                             if (!tag) return true;
                             const std::string_view word = range.of(tagged);
                             line.assign(word).append(": ").append(tag->rawValue);
                             console.print(line);
                             ++tally.words;
                             for (const auto& c : classes) {
                                 if (tag->rawValue == *c.name) {
                                     if (c.kept) {
                                         ++c.kept->tagged;
                                         c.kept->distinct.emplace_back(word);
                                     }
                                     if (c.count) ++*c.count;
                                     return true;
                                 }
                             }
                             ++tally.others;
                             console.print("other");
                             return true;
                         });
    for (auto* kept : {&tally.verbs, &tally.nouns, &tally.adjectives, &tally.pronouns, &tally.conjunctions})
        kept->distinct = uniqued(kept->distinct);
    return tally;
}

void WordClassStatistics::addWordClasses(const WordClassTally& tally, platform::NSUserDefaults& defaults,
                                         const WordClassPass& pass) {
    totalwordcount += tally.words;
    conjunctionCount += tally.conjunctions.tagged;
    totaladverb += tally.adverbs;
    totaldeterminer += tally.determiners;
    totalpreposition += tally.prepositions;
    totalInterjection += tally.interjections;
    totalOtherWords += tally.others;

    WordCountforApp += totalwordcount;
    auto& console = platform::console();
    if (pass.runningTotalLine)
        console.print(std::string(*pass.runningTotalLine) + std::to_string(WordCountforApp));

    // The distinct words kept so far plus this pass's occurrences.
    auto count = [](const std::vector<std::string>& list, const WordClassTally::Kept& added) {
        return static_cast<platform::NSInteger>(list.size()) + added.tagged;
    };
    defaults.setInteger_forKey(count(totalverb, tally.verbs), std::string(keys::totalverbcount));
    defaults.setInteger_forKey(count(totalnoun, tally.nouns), std::string(keys::totalnouncount));
    defaults.setInteger_forKey(count(totaladjective, tally.adjectives),
                               std::string(keys::totaladjectivecount));
    defaults.setInteger_forKey(totalwordcount, std::string(keys::totalwordcount));
    defaults.setInteger_forKey(count(totalpronoun, tally.pronouns), std::string(keys::totalpronouncount));
    defaults.setInteger_forKey(conjunctionCount, std::string(keys::totaltotalconjunctioncount));
    defaults.setInteger_forKey(static_cast<platform::NSInteger>(totalorgname.size()),
                               std::string(keys::totalorgname));
    defaults.setInteger_forKey(static_cast<platform::NSInteger>(totalplacename.size()),
                               std::string(keys::totalplacename));
    defaults.setInteger_forKey(static_cast<platform::NSInteger>(totalpersonname.size()),
                               std::string(keys::totalpersonname));

    // Distinct in order of first occurrence, whichever pass it was in.
    auto merged = [](std::vector<std::string>& list, const WordClassTally::Kept& added) {
        list.insert(list.end(), added.distinct.begin(), added.distinct.end());
        list = uniqued(list);
    };
    merged(totalverb, tally.verbs);
    merged(totalnoun, tally.nouns);
    merged(totaladjective, tally.adjectives);
    merged(totalpronoun, tally.pronouns);
    merged(totalconjunction, tally.conjunctions);

    defaults.setObject_forKey(totalverb, std::string(keys::savedarrayverb));
    defaults.setObject_forKey(totalnoun, std::string(keys::savedarraynoun));
    defaults.setObject_forKey(totaladjective, std::string(keys::savedarrayadjective));
    defaults.setObject_forKey(totalpronoun, std::string(keys::savedarraypronoun));
    defaults.setObject_forKey(totalconjunction, std::string(keys::savedarrayconjunction));
    defaults.setObject_forKey(totalorgname, std::string(keys::savedarrayorgname));
    defaults.setObject_forKey(totalplacename, std::string(keys::savedarrayplacename));
    defaults.setObject_forKey(totalpersonname, std::string(keys::savedarraypersonname));
}

void WordClassStatistics::analyzeWordClasses(const std::string& text, platform::NSUserDefaults& defaults,
                                             const WordClassPass& pass) {
    addWordClasses(tallyWordClasses(text), defaults, pass);
}

void WordClassStatistics::analyzeWordClassesOffTheWindow(const std::string& text,
                                                         std::shared_ptr<platform::NSUserDefaults> defaults,
                                                         const WordClassPass& pass,
                                                         std::weak_ptr<void> owner) {
    if (text.size() <= kLongTranscript && passesUnderway_ == 0)
        return analyzeWordClasses(text, *defaults, pass);
    // Behind any pass still underway, so that the passes add up in the order they were asked for.
    ++passesUnderway_;
    platform::DispatchQueue::global(platform::DispatchQoS::Utility)
        .async([this, text = std::string(text), defaults = std::move(defaults), pass,
                owner = std::move(owner)]() mutable {
            auto tally = std::make_shared<WordClassTally>(tallyWordClasses(text));
            // Not waited for at the end: the counts follow from the transcript, which is saved.
            platform::RunLoop::main().schedule(0, [this, tally, defaults, pass, owner] {
                const auto alive = owner.lock();
                if (!alive) return;
                --passesUnderway_;
                addWordClasses(*tally, *defaults, pass);
            });
        });
}

} // namespace quillora
