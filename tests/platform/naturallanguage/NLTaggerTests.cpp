#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

#include "platform/naturallanguage/NLTagger.h"
#include "tests/support/PlatformTest.h"

namespace {

using platform::NLTagger;
using platform::NLTaggerOptions;
using platform::NLTagSchemeLexicalClass;
using platform::NLTokenUnit;
using platform::TextRange;

constexpr auto kWordsOnly = NLTaggerOptions::omitPunctuation | NLTaggerOptions::omitWhitespace;

struct Tagged {
    std::string token;
    std::string tag; // empty when untagged
};

std::vector<Tagged> tagAll(const std::string& text, NLTaggerOptions options = kWordsOnly) {
    NLTagger tagger({NLTagSchemeLexicalClass});
    tagger.setString(text);
    std::vector<Tagged> out;
    tagger.enumerateTags(
        {0, text.size()}, NLTokenUnit::word, NLTagSchemeLexicalClass, options,
        [&](const std::optional<platform::NLTag>& tag, TextRange range) {
            out.push_back({text.substr(range.location, range.length), tag ? tag->rawValue : ""});
            return true;
        });
    return out;
}

// Ordinary dictated prose, tagged by hand: "word/T" with N noun, V verb, J adjective, R adverb,
// P pronoun, D determiner, T particle, I preposition, C conjunction, U interjection, M number.
// A mark without a tag is punctuation and joins the previous word.
const char* const kSample = R"(
Dear/J Sarah/N , thank/V you/P so/R much/R for/I the/D lovely/J flowers/N you/P sent/V last/J week/N .
They/P arrived/V on/I Tuesday/N morning/N and/C they/P still/R look/V beautiful/J on/I the/D kitchen/N
table/N . I/P have/V been/V very/R busy/J with/I work/N , but/C I/P would/V love/V to/T see/V you/P
again/R soon/R . Maybe/R we/P could/V meet/V for/I lunch/N next/J Friday/N near/I your/D office/N ?
My/D brother/N is/V visiting/V us/P in/I May/N , so/R the/D house/N will/V be/V full/J for/I a/D
while/N . Please/U give/V my/D best/J wishes/N to/I your/D parents/N . With/I love/N , Anna/N .
We/P need/V milk/N , eggs/N , bread/N and/C two/M bags/N of/I apples/N . Buy/V the/D cheap/J coffee/N
if/C the/D good/J one/N is/V sold/V out/T . Don't/V forget/V the/D dog/N food/N and/C some/D fresh/J
vegetables/N for/I dinner/N . I/P think/V we/P also/R have/V run/V out/T of/I washing/N powder/N , so/R
check/V the/D cupboard/N under/I the/D sink/N before/C you/P leave/V . The/D store/N closes/V at/I
eight/M tonight/R . The/D team/N met/V on/I Monday/N to/T discuss/V the/D new/J project/N . Tom/N
explained/V that/C the/D budget/N was/V too/R small/J and/C asked/V for/I more/J time/N . Everyone/P
agreed/V that/C the/D first/J draft/N should/V be/V ready/J by/I the/D end/N of/I the/D month/N .
Lisa/N will/V write/V the/D report/N and/C she/P will/V send/V it/P to/I the/D managers/N . We/P
talked/V about/I the/D old/J office/N and/C decided/V to/T move/V to/I a/D larger/J building/N
downtown/R . The/D next/J meeting/N is/V planned/V for/I Thursday/N afternoon/N . Several/D people/N
raised/V questions/N about/I the/D schedule/N , but/C nobody/P wanted/V to/T change/V it/P yet/R .
Our/D manager/N thanked/V them/P for/I their/D hard/J work/N and/C closed/V the/D meeting/N early/R .
Yesterday/R I/P walked/V to/I the/D park/N with/I my/D children/N . The/D weather/N was/V warm/J and/C
the/D trees/N were/V green/J . We/P played/V football/N on/I the/D grass/N and/C ate/V sandwiches/N
under/I a/D big/J tree/N . My/D daughter/N found/V a/D small/J bird/N that/P could/V not/R fly/V ,
so/R we/P carried/V it/P home/R carefully/R in/I a/D box/N . She/P wants/V to/T keep/V it/P , but/C
I/P told/V her/P that/C wild/J birds/N need/V their/D freedom/N . Tomorrow/R we/P will/V take/V it/P
to/I the/D animal/N doctor/N in/I town/N . The/D kids/N love/V the/D new/J playground/N behind/I the/D
school/N . Their/D teacher/N says/V it/P helps/V them/P focus/V better/R in/I class/N . Could/V you/P
book/V a/D table/N for/I six/M people/N on/I Saturday/N evening/N ? I/P read/V an/D interesting/J
book/N about/I old/J ships/N last/J month/N . The/D engine/N started/V making/V a/D strange/J noise/N ,
so/R we/P stopped/V the/D car/N and/C called/V a/D mechanic/N . He/P fixed/V the/D broken/J belt/N
quickly/R and/C charged/V us/P forty/M dollars/N . Running/V every/D morning/N keeps/V me/P healthy/J .
The/D water/N in/I the/D lake/N felt/V cold/J , but/C the/D children/N swam/V anyway/R .
)";

const std::map<char, std::string> kTagNames{
    {'N', "Noun"},        {'V', "Verb"},         {'J', "Adjective"}, {'R', "Adverb"},
    {'P', "Pronoun"},     {'D', "Determiner"},   {'T', "Particle"},  {'I', "Preposition"},
    {'C', "Conjunction"}, {'U', "Interjection"}, {'M', "Number"},
};

// The sample's text and its hand tags, word by word.
std::pair<std::string, std::vector<Tagged>> parseSample() {
    std::istringstream in(kSample);
    std::string item, text;
    std::vector<Tagged> gold;
    while (in >> item) {
        const auto slash = item.rfind('/');
        if (slash == std::string::npos) {
            text += item;
            continue;
        }
        if (!text.empty()) text += ' ';
        text += item.substr(0, slash);
        gold.push_back({item.substr(0, slash), kTagNames.at(item[slash + 1])});
    }
    return {text, gold};
}

class NLTaggerTest : public quillora::test::PlatformTest {};

TEST_F(NLTaggerTest, TagsOpenClassesAndPronounsOfEnglishProseCorrectly) {
    const auto [text, gold] = parseSample();
    const auto tagged = tagAll(text);
    ASSERT_EQ(tagged.size(), gold.size());

    int scored = 0, right = 0, allRight = 0;
    std::string misses;
    for (std::size_t i = 0; i < gold.size(); ++i) {
        ASSERT_EQ(tagged[i].token, gold[i].token) << "token " << i;
        allRight += tagged[i].tag == gold[i].tag;
        const auto& g = gold[i].tag;
        if (g != "Noun" && g != "Verb" && g != "Adjective" && g != "Pronoun") continue;
        ++scored;
        if (tagged[i].tag == g)
            ++right;
        else
            misses += " " + gold[i].token + "(" + tagged[i].tag + " for " + g + ")";
    }
    const double accuracy = static_cast<double>(right) / scored;
    std::printf(
        "nouns, verbs, adjectives, pronouns: %d of %d right (%.3f); all classes %.3f over %zu words\n", right,
        scored, accuracy, static_cast<double>(allRight) / gold.size(), gold.size());
    std::printf("misses:%s\n", misses.c_str());
    EXPECT_GE(accuracy, 0.90);
}

} // namespace

namespace {

TEST_F(NLTaggerTest, ChoosesBetweenAWordsClassesFromContext) {
    auto tags = [](const std::string& text) {
        std::vector<std::string> out;
        for (const auto& t : tagAll(text))
            out.push_back(t.tag);
        return out;
    };
    // "book" and "to" change class with their neighbours.
    EXPECT_EQ(tags("I want to book a room"),
              (std::vector<std::string>{"Pronoun", "Verb", "Particle", "Verb", "Determiner", "Noun"}));
    EXPECT_EQ(tags("She gave the book to her friend"),
              (std::vector<std::string>{"Pronoun", "Verb", "Determiner", "Noun", "Preposition", "Determiner",
                                        "Noun"}));
    // Contractions, typographic apostrophes and possessives keep the class of their first part.
    EXPECT_EQ(tags("It\xE2\x80\x99s John's car"), (std::vector<std::string>{"Pronoun", "Noun", "Noun"}));
    // Numbers in digits and in words; an "-ly" word nobody listed.
    EXPECT_EQ(tags("3.5 kilos, 42 eggs and twelve bottles arrived flumpily"),
              (std::vector<std::string>{"Number", "Noun", "Number", "Noun", "Conjunction", "Number", "Noun",
                                        "Verb", "Adverb"}));
}

TEST_F(NLTaggerTest, PunctuationWhitespaceAndOtherScriptsAreTokensWithoutCrashing) {
    // Nothing to tag when only marks and blanks are left.
    EXPECT_TRUE(tagAll(" ...  ,;!? -- \n ").empty());

    // Without the omit options every byte belongs to exactly one token, marks tagged by kind.
    const std::string text = "Hi, Bob!\n(Really?) \xF0\x9F\x98\x80 ok";
    const auto all = tagAll(text, NLTaggerOptions::none);
    std::string joined;
    std::map<std::string, std::string> tagOf;
    for (const auto& t : all) {
        joined += t.token;
        tagOf[t.token] = t.tag;
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(tagOf[","], "OtherPunctuation");
    EXPECT_EQ(tagOf["!"], "SentenceTerminator");
    EXPECT_EQ(tagOf["\n"], "ParagraphBreak");
    EXPECT_EQ(tagOf["("], "OpenParenthesis");
    EXPECT_EQ(tagOf[" "], "Whitespace");
    EXPECT_EQ(tagOf["\xF0\x9F\x98\x80"], "OtherWord"); // an emoji is a word of its own

    // Hindi, Chinese and Arabic: whole characters in every token, each word tagged, numbers found.
    for (const std::string mixed : {
             "\xE0\xA4\xAE\xE0\xA5\x88\xE0\xA4\x82 \xE0\xA4\x98\xE0\xA4\xB0 \xE0\xA4\x9C\xE0\xA4\xBE "
             "\xE0\xA4\xB0\xE0\xA4\xB9\xE0\xA4\xBE \xE0\xA4\xB9\xE0\xA5\x82\xE0\xA4\x81 2024",
             "\xE6\x88\x91\xE4\xBB\xAC\xE6\x98\x8E\xE5\xA4\xA9\xE5\x8E\xBB\xE5\x8C\x97\xE4\xBA\xAC\xE3\x80"
             "\x82 7",
             "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 "
             "\xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85 "
             "and hello 12",
         }) {
        const auto tokens = tagAll(mixed);
        ASSERT_GE(tokens.size(), 3u) << mixed;
        for (const auto& t : tokens) {
            EXPECT_FALSE(t.tag.empty()) << t.token;
            EXPECT_NE(mixed.find(t.token), std::string::npos);
            EXPECT_FALSE(static_cast<unsigned char>(t.token[0]) >= 0x80 &&
                         static_cast<unsigned char>(t.token[0]) < 0xC0)
                << "token starts inside a character";
        }
        EXPECT_EQ(tokens.back().tag, "Number");
    }

    // Malformed UTF-8 still yields tokens that cover the input.
    const std::string broken = "caf\xC3 \xFF\xFE ok";
    std::string covered;
    for (const auto& t : tagAll(broken, NLTaggerOptions::none))
        covered += t.token;
    EXPECT_EQ(covered, broken);
}

TEST_F(NLTaggerTest, EnumerationHonoursRangeSchemeAndStop) {
    NLTagger tagger({NLTagSchemeLexicalClass});
    const std::string text = "We bought fresh bread. The shop was busy.";
    tagger.setString(text);

    std::vector<std::string> seen;
    auto collect = [&](const std::optional<platform::NLTag>&, TextRange r) {
        seen.push_back(text.substr(r.location, r.length));
        return seen.size() < 3;
    };
    tagger.enumerateTags({0, text.size()}, NLTokenUnit::word, NLTagSchemeLexicalClass, kWordsOnly, collect);
    EXPECT_EQ(seen, (std::vector<std::string>{"We", "bought", "fresh"}));

    seen.clear();
    const auto second = text.find("The");
    tagger.enumerateTags({second, 8}, NLTokenUnit::word, NLTagSchemeLexicalClass, kWordsOnly, collect);
    EXPECT_EQ(seen, (std::vector<std::string>{"The", "shop"}));

    seen.clear();
    tagger.enumerateTags({text.size() + 5, 3}, NLTokenUnit::word, NLTagSchemeLexicalClass, kWordsOnly,
                         collect);
    EXPECT_TRUE(seen.empty());

    int untagged = 0;
    tagger.enumerateTags({0, text.size()}, NLTokenUnit::word, platform::NLTagScheme{"NameType"}, kWordsOnly,
                         [&](const std::optional<platform::NLTag>& tag, TextRange) {
                             untagged += !tag;
                             return true;
                         });
    EXPECT_EQ(untagged, 8);
}

TEST_F(NLTaggerTest, LanguageDecidesTheModel) {
    NLTagger tagger({NLTagSchemeLexicalClass});
    tagger.setString("El perro come pan en la cocina todas las ma\xC3\xB1"
                     "anas con mi hermano 3");
    EXPECT_EQ(tagger.dominantLanguage(), "es");
    std::vector<std::string> tags;
    tagger.enumerateTags({0, tagger.string().size()}, NLTokenUnit::word, NLTagSchemeLexicalClass, kWordsOnly,
                         [&](const std::optional<platform::NLTag>& tag, TextRange) {
                             tags.push_back(tag->rawValue);
                             return true;
                         });
    ASSERT_EQ(tags.size(), 14u);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "OtherWord"), 13);
    EXPECT_EQ(tags.back(), "Number");

    // The same words read as English once the language is set.
    tagger.setLanguage("en", {0, tagger.string().size()});
    EXPECT_EQ(tagger.dominantLanguage(), "en");
    tags.clear();
    tagger.enumerateTags({0, 9}, NLTokenUnit::word, NLTagSchemeLexicalClass, kWordsOnly,
                         [&](const std::optional<platform::NLTag>& tag, TextRange) {
                             tags.push_back(tag->rawValue);
                             return true;
                         });
    EXPECT_NE(tags.back(), "OtherWord");
}

TEST_F(NLTaggerTest, TaggersOnSeveralThreadsAgree) {
    const auto [text, gold] = parseSample();
    const auto expected = tagAll(text);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, text = text] {
            const auto got = tagAll(text);
            for (std::size_t k = 0; k < got.size(); ++k)
                mismatches += got[k].tag != expected[k].tag;
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
