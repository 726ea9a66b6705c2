// A long text laid out in pieces must come out exactly as it would laid out whole: the same lines,
// the same pages, every word once, styled as its element asks.

#include <algorithm>
#include <cmath>
#include <map>

#include <gtest/gtest.h>

#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/HTMLLongText.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using namespace quillora::test;

namespace {

class HTMLLongTextTest : public PlatformTest {};

// The run put back together from its pieces, each cut standing for what it dropped.
std::string joined(const std::vector<std::string_view>& pieces, const std::string& cut) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        out += (i ? cut : "") + std::string(pieces[i]);
    return out;
}

TEST_F(HTMLLongTextTest, ARunIsCutAtLineBreaksThenBlanksThenBetweenCharacters) {
    std::string lines;
    while (lines.size() < 300'000)
        lines += "Fish &amp; chips at the harbour, caf\xc3\xa9 by the quay.<br>";
    const auto atBreaks = cutTextRun(lines, 4096);
    ASSERT_GT(atBreaks.size(), 60u);
    EXPECT_EQ(joined(atBreaks, "<br>"), lines);
    for (std::size_t i = 0; i + 1 < atBreaks.size(); ++i) {
        EXPECT_LE(atBreaks[i].size(), 4096u);
        EXPECT_GT(atBreaks[i].size(), 1024u) << "a piece much shorter than asked for";
        EXPECT_EQ(atBreaks[i].substr(atBreaks[i].size() - 5), "quay.") << "cut inside a line";
    }

    std::string words;
    while (words.size() < 100'000)
        words += "caf\xc3\xa9 ";
    const auto atBlanks = cutTextRun(words, 4096);
    EXPECT_EQ(joined(atBlanks, " "), words);
    for (std::size_t i = 0; i + 1 < atBlanks.size(); ++i)
        EXPECT_EQ(atBlanks[i].substr(atBlanks[i].size() - 5), "caf\xc3\xa9");

    // One word of megabytes: cut between characters, never inside one or inside a reference.
    std::string word;
    while (word.size() < 100'000)
        word += "\xc3\xa9\xe2\x82\xac&amp;&#8364;";
    const auto anywhere = cutTextRun(word, 4099);
    EXPECT_EQ(joined(anywhere, ""), word);
    for (const auto& piece : anywhere) {
        const unsigned char first = static_cast<unsigned char>(piece.front());
        EXPECT_NE(first & 0xC0, 0x80) << "a piece starts inside a character";
        const auto amp = piece.rfind('&');
        EXPECT_TRUE(amp == std::string_view::npos || piece.find(';', amp) != std::string_view::npos)
            << "a piece ends inside a character reference: " << piece.substr(piece.size() - 8);
    }

    // Nor between the two letters of a flag, a letter and its marks, or the parts of a joined emoji.
    for (const std::string seen : {"\U0001F1EB\U0001F1F7", "e\u0301\u0327", "\U0001F469\u200D\U0001F373"}) {
        std::string row;
        while (row.size() < 100'000)
            row += seen;
        const auto pieces = cutTextRun(row, 4101);
        EXPECT_EQ(joined(pieces, ""), row);
        for (const auto& piece : pieces)
            EXPECT_EQ(piece.size() % seen.size(), 0u) << seen << " cut through";
    }

    // Short runs are one piece, an empty one included.
    EXPECT_EQ(cutTextRun("a few words", 4096).size(), 1u);
    EXPECT_EQ(cutTextRun("", 4096).size(), 1u);
}

TEST_F(HTMLLongTextTest, OnlyElementsHoldingNothingButTextAndLineBreaksAreLongTexts) {
    const std::string text(200'000, 'a');
    const std::string page = "<html><head><style>p { color: red }</style><script>var s = '" + text +
                             "';</script></head><body><h1>Title</h1><DIV class='text'>" + text + "<br>" +
                             text + "<BR/>" + text + "</div><p>" + text + "<b>bold</b>" + text + "</p>" +
                             "<p>short</p><textarea>" + text + "</textarea></body></html>";
    const auto runs = findLongTextRuns(page, 128 * 1024);
    ASSERT_EQ(runs.size(), 1u) << "the script, the paragraph holding a tag and the text area are not runs";
    EXPECT_EQ(page.substr(runs[0].begin, 10), text.substr(0, 10));
    EXPECT_EQ(page.substr(runs[0].end, 6), "</div>");
    EXPECT_EQ(runs[0].end - runs[0].begin, 3 * text.size() + 4 + 5);

    EXPECT_TRUE(findLongTextRuns("<div>" + text + "</div>", 300'000).empty());
    EXPECT_TRUE(findLongTextRuns("<div>" + text + "</span>", 1000).empty()) << "closed by another tag";
    EXPECT_TRUE(findLongTextRuns("<div>" + text, 1000).empty()) << "never closed";
}

// A page whose long text is laid out in pieces, and the same page that the engine lays out whole
// (a comment before the text makes it no run).
struct TwoWays {
    std::string pieces;
    std::string whole;
};

TwoWays pageWithLongText(const std::string& text) {
    const std::string head =
        "<html><head><style>body { margin: 24px; } .text { font-family: serif; font-size: 14pt; "
        "line-height: 1.6; text-align: justify; color: #336; white-space: pre-wrap; "
        "border-left: 4px solid #ccc; padding: 0 12px; } h1 { page-break-after: avoid }</style></head><body>"
        "<h1>A long letter</h1><div class='text'>";
    const std::string tail = "</div><p>Yours, Ann</p></body></html>";
    return {head + text + tail, head + "<!---->" + text + tail};
}

std::string longLetter(std::size_t bytes) {
    std::string text;
    for (int line = 0; text.size() < bytes; ++line) {
        text += "Line " + std::to_string(line) +
                ": the tide comes in twice a day, pulled by the moon &amp; the sun";
        // Blank lines land at some cuts: each one must still take its line.
        text += line % 7 == 3 ? "<br><br>" : line % 5 == 0 ? " \xc3\xa9t\xc3\xa9 et hiver, " : "<br>";
    }
    return text;
}

std::set<double> lineTops(const HTMLDocument& document) {
    std::set<double> tops;
    for (const auto& box : document.boxes())
        if (box.isText) tops.insert(box.top);
    return tops;
}

TEST_F(HTMLLongTextTest, ALongTextLaidOutInPiecesHasTheLinesAndPagesOfTheWholeText) {
    const auto page = pageWithLongText(longLetter(200'000));
    ASSERT_FALSE(findLongTextRuns(page.pieces).empty());
    ASSERT_TRUE(findLongTextRuns(page.whole).empty());

    HTMLDocument inPieces(page.pieces);
    HTMLDocument whole(page.whole);
    const double width = kA4PaperSize.width - 72;
    EXPECT_DOUBLE_EQ(inPieces.layout(width), whole.layout(width));
    EXPECT_EQ(lineTops(inPieces), lineTops(whole));
    const auto slices = inPieces.paginate(700);
    EXPECT_GT(slices.size(), 40u);
    EXPECT_EQ(slices, whole.paginate(700));

    // Drawn, every page reads the same: no word lost, doubled or moved at a piece's edge.
    const auto piecesPDF = home / "pieces.pdf";
    const auto wholePDF = home / "whole.pdf";
    const UIEdgeInsets margins{36, 36, 36, 36};
    ASSERT_TRUE(renderHTMLToPDF(page.pieces, home, piecesPDF, kA4PaperSize, margins).ok);
    ASSERT_TRUE(renderHTMLToPDF(page.whole, home, wholePDF, kA4PaperSize, margins).ok);
    const int pages = pdfPageCount(piecesPDF);
    ASSERT_EQ(pages, pdfPageCount(wholePDF));
    for (int p : {1, 2, pages / 3, pages / 2, pages - 1, pages})
        EXPECT_EQ(pdfPageLines(piecesPDF, p, true), pdfPageLines(wholePDF, p, true)) << "page " << p;
    EXPECT_EQ(run("pdftotext -bbox " + quoted(piecesPDF) + " - | grep -v '<meta\\|<title'"),
              run("pdftotext -bbox " + quoted(wholePDF) + " - | grep -v '<meta\\|<title'"))
        << "a word sits elsewhere on its page";
}

TEST_F(HTMLLongTextTest, AJustifiedParagraphCutIntoPiecesReachesTheEdgeOnEveryLineButItsLast) {
    // One paragraph longer than two pieces: it is cut at blanks, and the line each piece ends
    // with goes on in the next.
    std::string text;
    for (int word = 0; text.size() < 140'000; ++word)
        text += (word % 9 == 4   ? "harbour"
                 : word % 5 == 2 ? "a"
                                 : "tide") +
                std::string(word % 13 ? " " : ", ");
    const std::string page =
        "<html><body style='margin:0'><div style='text-align: justify; font-size: 12pt'>" + text +
        "</div></body></html>";
    ASSERT_EQ(findLongTextRuns(page).size(), 1u);
    const auto pdf = home / "justified.pdf";
    ASSERT_TRUE(renderHTMLToPDF(page, home, pdf, kA4PaperSize, {36, 36, 36, 36}).ok);
    // Each printed line's right end, page by page, top to bottom.
    std::vector<double> ends;
    for (const auto& p : pdfWordBoxes(pdf)) {
        std::map<long, double> lines;
        for (const auto& w : p.words) {
            auto& end = lines[std::lround(w.yMax * 4)];
            end = std::max(end, w.xMax);
        }
        for (const auto& [y, end] : lines)
            ends.push_back(end);
    }
    ASSERT_GT(ends.size(), 1000u);
    const double edge = *std::max_element(ends.begin(), ends.end());
    EXPECT_NEAR(edge, kA4PaperSize.width - 36, 1.25);
    for (std::size_t i = 0; i + 1 < ends.size(); ++i)
        EXPECT_NEAR(ends[i], edge, 0.5) << "line " << i + 1 << " of " << ends.size();
    EXPECT_LT(ends.back(), edge - 5) << "the paragraph's last line is stretched";
}

TEST_F(HTMLLongTextTest, ALongTextInAnInlineElementIsLaidOutWhole) {
    // A span cannot hold the blocks of pieces: the page is laid out as it stands.
    std::string text;
    while (text.size() < 140'000)
        text += "word ";
    const std::string page = "<p>Before <span style='color: red'>" + text + "</span> after</p>";
    ASSERT_EQ(findLongTextRuns(page).size(), 1u);
    HTMLDocument document(page);
    document.layout(400);
    HTMLDocument reference("<p>Before <span style='color: red'><!---->" + text + "</span> after</p>");
    reference.layout(400);
    EXPECT_EQ(lineTops(document), lineTops(reference));
    EXPECT_EQ(document.boxes().size(), reference.boxes().size());
}

} // namespace
