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

    // Exact, case-sensitive raw values; the first match takes the word.
    const std::pair<const std::string*, std::vector<std::string>*> classes[] = {
        {&platform::NLTagVerb.rawValue, &totalverb},
        {&platform::NLTagNoun.rawValue, &totalnoun},
        {&platform::NLTagAdjective.rawValue, &totaladjective},
        {&platform::NLTagPronoun.rawValue, &totalpronoun},
        {&platform::NLTagConjunction.rawValue, &totalconjunction},
        {&platform::NLTagAdverb.rawValue, &totaladverb},
        {&platform::NLTagDeterminer.rawValue, &totaldeterminer},
        {&platform::NLTagPreposition.rawValue, &totalpreposition},
        {&platform::NLTagInterjection.rawValue, &totalInterjection},
    };

    auto& console = platform::console();
    const std::string& tagged = tagger.string();
    std::string line;
    tagger.enumerateTags({0, tagged.size()}, platform::NLTokenUnit::word, platform::NLTagSchemeLexicalClass,
                         NLTaggerOptions::omitPunctuation | NLTaggerOptions::omitWhitespace,
                         [&](const std::optional<NLTag>& tag, platform::TextRange range) {
                             if (!tag) return true;
                             std::string word(range.of(tagged));
                             line.assign(word).append(": ").append(tag->rawValue);
                             console.print(line);
                             totalwordcount.push_back(word);
                             for (const auto& [name, list] : classes) {
                                 if (tag->rawValue == *name) {
                                     list->push_back(std::move(word));
                                     return true;
                                 }
                             }
                             totalOtherWords.push_back(std::move(word));
                             console.print("other");
                             return true;
                         });

    WordCountforApp += static_cast<std::int64_t>(totalwordcount.size());
    if (pass.runningTotalLine)
        console.print(std::string(*pass.runningTotalLine) + std::to_string(WordCountforApp));

    auto count = [](const std::vector<std::string>& list) {
        return static_cast<platform::NSInteger>(list.size());
    };
    defaults.setInteger_forKey(count(totalverb), std::string(keys::totalverbcount));
    defaults.setInteger_forKey(count(totalnoun), std::string(keys::totalnouncount));
    defaults.setInteger_forKey(count(totaladjective), std::string(keys::totaladjectivecount));
    defaults.setInteger_forKey(count(totalwordcount), std::string(keys::totalwordcount));
    defaults.setInteger_forKey(count(totalpronoun), std::string(keys::totalpronouncount));
    defaults.setInteger_forKey(count(totalconjunction), std::string(keys::totaltotalconjunctioncount));
    defaults.setInteger_forKey(count(totalorgname), std::string(keys::totalorgname));
    defaults.setInteger_forKey(count(totalplacename), std::string(keys::totalplacename));
    defaults.setInteger_forKey(count(totalpersonname), std::string(keys::totalpersonname));

    totalverb = uniqued(totalverb);
    totalnoun = uniqued(totalnoun);
    totaladjective = uniqued(totaladjective);
    totalpronoun = uniqued(totalpronoun);

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
