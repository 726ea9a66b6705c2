#include "analysis/WordClassStatistics.h"

#include "analysis/Uniqued.h"
#include "common/StoredKeys.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/naturallanguage/NLTagger.h"

namespace quillora {

using platform::NLTag;
using platform::NLTagger;
using platform::NLTaggerOptions;

void WordClassStatistics::analyzeWordClasses(const std::string& text, platform::NSUserDefaults& defaults,
                                             const WordClassPass& pass) {
    NLTagger tagger({platform::NLTagSchemeLexicalClass});
    tagger.setString(text);

    // Exact, case-sensitive raw values; the first match takes the word. The classes whose words
    // are kept have a list; the others only a count.
    struct Class {
        const std::string* name;
        std::vector<std::string>* list;
        std::int64_t* count;
    };
    const Class classes[] = {
        {&platform::NLTagVerb.rawValue, &totalverb, nullptr},
        {&platform::NLTagNoun.rawValue, &totalnoun, nullptr},
        {&platform::NLTagAdjective.rawValue, &totaladjective, nullptr},
        {&platform::NLTagPronoun.rawValue, &totalpronoun, nullptr},
        {&platform::NLTagConjunction.rawValue, &totalconjunction, &conjunctionCount},
        {&platform::NLTagAdverb.rawValue, nullptr, &totaladverb},
        {&platform::NLTagDeterminer.rawValue, nullptr, &totaldeterminer},
        {&platform::NLTagPreposition.rawValue, nullptr, &totalpreposition},
        {&platform::NLTagInterjection.rawValue, nullptr, &totalInterjection},
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
                             ++totalwordcount;
                             for (const auto& c : classes) {
                                 if (tag->rawValue == *c.name) {
                                     if (c.list) c.list->emplace_back(word);
                                     if (c.count) ++*c.count;
                                     return true;
                                 }
                             }
                             ++totalOtherWords;
                             console.print("other");
                             return true;
                         });

    WordCountforApp += totalwordcount;
    if (pass.runningTotalLine)
        console.print(std::string(*pass.runningTotalLine) + std::to_string(WordCountforApp));

    auto count = [](const std::vector<std::string>& list) {
        return static_cast<platform::NSInteger>(list.size());
    };
    defaults.setInteger_forKey(count(totalverb), std::string(keys::totalverbcount));
    defaults.setInteger_forKey(count(totalnoun), std::string(keys::totalnouncount));
    defaults.setInteger_forKey(count(totaladjective), std::string(keys::totaladjectivecount));
    defaults.setInteger_forKey(totalwordcount, std::string(keys::totalwordcount));
    defaults.setInteger_forKey(count(totalpronoun), std::string(keys::totalpronouncount));
    defaults.setInteger_forKey(conjunctionCount, std::string(keys::totaltotalconjunctioncount));
    defaults.setInteger_forKey(count(totalorgname), std::string(keys::totalorgname));
    defaults.setInteger_forKey(count(totalplacename), std::string(keys::totalplacename));
    defaults.setInteger_forKey(count(totalpersonname), std::string(keys::totalpersonname));

    totalverb = uniqued(totalverb);
    totalnoun = uniqued(totalnoun);
    totaladjective = uniqued(totaladjective);
    totalpronoun = uniqued(totalpronoun);
    totalconjunction = uniqued(totalconjunction);

    defaults.setObject_forKey(totalverb, std::string(keys::savedarrayverb));
    defaults.setObject_forKey(totalnoun, std::string(keys::savedarraynoun));
    defaults.setObject_forKey(totaladjective, std::string(keys::savedarrayadjective));
    defaults.setObject_forKey(totalpronoun, std::string(keys::savedarraypronoun));
    defaults.setObject_forKey(totalconjunction, std::string(keys::savedarrayconjunction));
    defaults.setObject_forKey(totalorgname, std::string(keys::savedarrayorgname));
    defaults.setObject_forKey(totalplacename, std::string(keys::savedarrayplacename));
    defaults.setObject_forKey(totalpersonname, std::string(keys::savedarraypersonname));
}

} // namespace quillora
