#include "pdf/PDFTemplate.h"

#include <set>

#include <gtest/gtest.h>

namespace quillora {
namespace {

using MarkList = std::vector<std::pair<std::string, std::string>>;

// What each screen fills, written out from the screens' own tables: a dictionary key, or
// <photo>, <body>, <first>, <second> for the photo path and the transcript.
std::map<std::string, MarkList> expectedMarks() {
    const MarkList report{{"#INSTRUCTORNAME#", "Instructor_Name"},
                          {"#PAGEHEADING#", "Page_Heading"},
                          {"#textfontheading#", "Font_SizeHeading"},
                          {"#textcolorheading#", "TextColor_Heading"},
                          {"#textfontsubheading#", "Font_SizeSubheading"},
                          {"#textcolorsubheading#", "TextColor_SubHeading"},
                          {"#SUBHEADING#", "Page_SubHeading"},
                          {"#textfontbody#", "Font_SizeBody"},
                          {"#fontweightbody#", "Font_WeightBody"},
                          {"#textcolorbody#", "TextColor_Body"}};
    const auto join = [](std::initializer_list<MarkList> parts) {
        MarkList all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const MarkList letterTail{{"#YOURPHONENO#", "Your_PhoneNo"},
                              {"#YOUREMAIL#", "Your_Email"},
                              {"#YOURADDRESS#", "Your_Address"},
                              {"#RECEIPENTNAME#", "Recipient_Name"},
                              {"#RECEIPENTADDRESS#", "Recipient_Address"},
                              {"#fontsizeyourname#", "Font_SizeYourName"},
                              {"#textcolorrecipeintname#", "TextColor_RecipeintName"},
                              {"#fontsizerecipeintname#", "Font_SizeRecipientName"},
                              {"#textcoloryourname#", "TextColor_YourName"},
                              {"#textfontbody#", "FontSize_Body"},
                              {"#fontweightbody#", "FontWeight_Body"},
                              {"#textcolorbody#", "TextColor_Body"},
                              {"#BODYMODERNLETTER#", "<body>"}};
    const MarkList letterHead{{"#DATE#", "Display_Date"}, {"#YOURNAME#", "Your_Name"}};
    const MarkList posterTail{{"#LOCATION#", "Location"},
                              {"#WEBSITE#", "Website"},
                              {"#PHONENO#", "Phone_No"},
                              {"#PAGEHEADING#", "Page_Heading"},
                              {"#textfontheading#", "Font_SizeHeading"},
                              {"#textcolorheading#", "TextColor_Heading"},
                              {"#textfontsubheading#", "Font_SizeSubheading"},
                              {"#textcolorsubheading#", "TextColor_SubHeading"},
                              {"#SUBHEADING#", "Page_SubHeading"},
                              {"#textfontbody#", "Font_SizeBody"},
                              {"#fontweightbody#", "Font_WeightBody"},
                              {"#textcolorbody#", "TextColor_Body"}};
    const MarkList notes{{"#TIME#", "Display_Time"},      {"#DATE#", "Display_Date"},
                         {"#NAME#", "Page_Title"},        {"#textfont#", "Font_Size"},
                         {"#fontweight#", "Font_Weight"}, {"#YOURNAME#", "<body>"}};
    const auto single = [](std::string bodyMark) {
        return MarkList{{"#PAGETITLE#", "Page_Title"},
                        {"#textfont#", "Font_Size"},
                        {"#fontweight#", "Font_Weight"},
                        {std::move(bodyMark), "<body>"}};
    };
    const MarkList date{{"#DATE#", "Display_Date"}};
    return {
        {"essay", join({report, {{"#ESSAYBODY#", "<body>"}}})},
        {"research", join({date, report, {{"#RESEARCHBODY#", "<body>"}}})},
        {"modernreport",
         join({{{"handle.png", "<photo>"}}, date, report, {{"#MODERNREPORTBODY#", "<body>"}}})},
        {"schoolreport",
         join({{{"#image#", "<photo>"}},
               date,
               report,
               {{"#SCHOOLREPORTBODYFIRSTPARA#", "<first>"}, {"#SCHOOLREPORTBODYSECONDPARA#", "<second>"}}})},
        {"modernletter", join({{{"#image#", "<photo>"}}, letterHead, letterTail})},
        {"modernboldletter", join({letterHead, letterTail})},
        {"personalletter", join({{{"#image#", "<photo>"}}, letterHead, letterTail})},
        {"businessletter", join({{{"#image#", "<photo>"}},
                                 letterHead,
                                 {{"#YOURCOMPANYNAME#", "Your_CompanyName"}},
                                 letterTail})},
        {"eventposter",
         join({{{"#image#", "<photo>"}, {"#DATE#", "Display_Date"}, {"#TIME#", "Display_Time"}},
               posterTail,
               {{"#EVENTPOSTERBODYFIRSTPARA#", "<first>"}, {"#EVENTPOSTERBODYSECONDPARA#", "<second>"}}})},
        {"rentflyer",
         join({{{"#image#", "<photo>"}, {"#DATE#", "Display_Date"}, {"#PRICE#", "Price"}},
               posterTail,
               {{"#RENTFLYERBODYFIRSTPARA#", "<first>"}, {"#RENTFLYERBODYSECONDPARA#", "<second>"}}})},
        {"saleflyer", join({{{"#image#", "<photo>"}, {"#DATE#", "Display_Date"}, {"#PRICE#", "Price"}},
                            posterTail,
                            {{"#RENTFLYERBODY#", "<body>"}}})},
        {"note1", notes},
        {"note2", notes},
        {"realestate", single("#REALESTATEBODY#")},
        {"projectproposal", single("#PROJECTPROPOSAL#")},
        {"photoposter", single("#PHOTOPOSTERBODY#")},
    };
}

std::string sourceName(const TemplateMark& m) {
    switch (m.source) {
    case FillSource::Value:
        return m.key;
    case FillSource::Photo:
        return "<photo>";
    case FillSource::Body:
        return "<body>";
    case FillSource::FirstParagraph:
        return "<first>";
    case FillSource::SecondParagraph:
        return "<second>";
    }
    return "?";
}

// A page made of nothing but the row's marks, each between brackets.
std::string markPage(const PDFTemplate& row) {
    std::string page;
    for (const auto& m : row.marks)
        page += "[" + m.mark + "]";
    return page;
}

const PDFTemplate& rowNamed(std::string_view name) {
    const PDFTemplate* row = pdfTemplateNamed(name);
    if (!row) throw std::runtime_error("no template row " + std::string(name));
    return *row;
}

TEST(PDFTemplateTable, SixteenScreensWithTheirResourcesKeysAndFiles) {
    struct Expected {
        const char *name, *screen, *wrapper, *key, *pdf;
        double delay;
    };
    const Expected rows[] = {
        {"essay", "PDFEssayViewController", "EssayUipdfPicker", "SavedEssay", "MyPDFDocumentEssay", 0.2},
        {"research", "PDFResearchViewController", "ResearchUipdfPicker", "SavedResearch",
         "MyPDFDocumentResearch", 0.2},
        {"modernreport", "PDFModernreportViewController", "ModernreportUipdfPicker", "SavedModernReport",
         "MyPDFDocumentModernreport", 0.5},
        {"schoolreport", "PDFSchoolReportViewController", "SchoolReportUipdfPicker", "SavedSchoolReport",
         "MyPDFDocumentSchoolreport", 0.5},
        {"modernletter", "PDFModernLetterViewController", "ModernLetterUipdfPicker", "SavedModernLetter",
         "MyPDFmodernLetter", 0.5},
        {"modernboldletter", "PDFModernBoldLetterViewController", "ModernBoldLetterUipdfPicker",
         "SavedModernBoldLetter", "MyPDFmodernBoldLetter", 0.5},
        {"personalletter", "PDFPersonalLetterViewController", "PersonalLetterUipdfPicker",
         "SavedPersonalLetter", "MyPDFpersonalLetter", 0.5},
        {"businessletter", "PDFBusinessLetterViewController", "BusinessLetterUipdfPicker",
         "SavedBusinessLetter", "MyPDFmodernBoldLetter", 0.5},
        {"eventposter", "PDFEventPosterViewController", "EventPosterUipdfPicker", "SavedEventPoster",
         "MyPDFDocumentEventP", 0.5},
        {"rentflyer", "PDFRentFlyerViewController", "RentFlyerUipdfPicker", "SavedRentFlyer",
         "MyPDFDocRentFly", 0.5},
        {"saleflyer", "PDFSaleFlyerViewController", "SaleFlyerUipdfPicker", "SavedSaleFlyer",
         "MyPDFDocRentFly", 0.5},
        {"note1", "PDFNotesViewController", "NotesUipdfPicker", "SavedDictNote1", "MyPDFDocNotes1", 0.2},
        {"note2", "PDFNotesSecondViewController", "NotesSecondUipdfPicker", "SavedDictNote1",
         "MyPDFDocNotes2", 0.2},
        {"photoposter", "PDFPhotoPosterViewController", "", "SavedDictNote1", "MyPDFDocumentPhotoPoster",
         0.2},
        {"realestate", "PDFRealEstateViewController", "", "SavedDictNote1", "MyPDFDocumentRealEstate", 0.2},
        {"projectproposal", "PDFProjectProposalViewController", "", "SavedDictNote1",
         "MyPDFDocumentProjectProposal", 0.2},
    };
    ASSERT_EQ(pdfTemplates().size(), std::size(rows));
    for (const auto& e : rows) {
        SCOPED_TRACE(e.name);
        const PDFTemplate* row = pdfTemplateNamed(e.name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(pdfTemplateNamed(e.screen), row);
        EXPECT_EQ(row->resourceName(), e.name);
        EXPECT_EQ(row->screenClass, e.screen);
        EXPECT_EQ(row->pickerWrapper, e.wrapper);
        EXPECT_EQ(row->dictionaryKey, e.key);
        EXPECT_EQ(row->pdfFileName(), std::string(e.pdf) + ".pdf");
        EXPECT_DOUBLE_EQ(row->renderDelay, e.delay);
    }
    EXPECT_EQ(pdfTemplateNamed("letter"), nullptr);

    std::set<std::string> saves, reduced, keepPreview, photo;
    for (const auto& row : pdfTemplates()) {
        if (row.showsSaveButton) saves.insert(row.name);
        if (row.reducedFrame) reduced.insert(row.name);
        if (row.keepsPreviewEnabled) keepPreview.insert(row.name);
        if (row.readsPhoto()) photo.insert(row.name);
    }
    EXPECT_EQ(saves, (std::set<std::string>{"research", "schoolreport", "personalletter"}));
    EXPECT_EQ(reduced, (std::set<std::string>{"realestate", "projectproposal"}));
    EXPECT_EQ(keepPreview, (std::set<std::string>{"modernletter", "modernboldletter", "personalletter",
                                                  "businessletter"}));
    EXPECT_EQ(photo, (std::set<std::string>{"modernreport", "schoolreport", "modernletter",
                                            "modernboldletter", "personalletter", "businessletter",
                                            "eventposter", "rentflyer", "saleflyer"}));
}

TEST(PDFTemplateTable, EachScreenFillsItsMarksFromItsKeysInOrder) {
    const auto expected = expectedMarks();
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        MarkList actual;
        for (const auto& m : row.marks)
            actual.emplace_back(m.mark, sourceName(m));
        EXPECT_EQ(actual, expected.at(row.name));
    }
}

TEST(FillPDFTemplate, EveryMarkReceivesItsOwnValue) {
    // Each key holds its own name, so a mark wired to the wrong key shows at once.
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        TemplateDictionary dictionary;
        for (const auto& m : row.marks)
            if (m.source == FillSource::Value) dictionary[m.key] = "v:" + m.key;
        const std::string page =
            fillPDFTemplate(row, dictionary, "first\nsecond", markPage(row), "/tmp/p.jpg");
        std::string expected;
        for (const auto& m : row.marks) {
            switch (m.source) {
            case FillSource::Value:
                expected += "[v:" + m.key + "]";
                break;
            case FillSource::Photo:
                expected += "[file:///tmp/p.jpg]";
                break;
            case FillSource::Body:
                expected += "[first.<br>second]";
                break;
            case FillSource::FirstParagraph:
                expected += "[first]";
                break;
            case FillSource::SecondParagraph:
                expected += "[second]";
                break;
            }
        }
        EXPECT_EQ(page, expected);
    }
}

TEST(FillPDFTemplate, MarksAreExactEveryOccurrenceAndMissingKeysEmpty) {
    const auto& essay = rowNamed("essay");
    const std::string html =
        "<h1>#PAGEHEADING#</h1><p>#PAGEHEADING#</p><i>#pageheading#</i><b>#INSTRUCTORNAME#</b>"
        "<div>#ESSAYBODY#</div>";
    EXPECT_EQ(fillPDFTemplate(essay, {{"Page_Heading", "Title"}}, "", html, std::nullopt),
              "<h1>Title</h1><p>Title</p><i>#pageheading#</i><b></b><div></div>");
    // The odd key spellings are the ones read.
    const auto& letter = rowNamed("modernletter");
    const TemplateDictionary styles{{"TextColor_RecipeintName", "text-info"},
                                    {"TextColor_RecipientName", "wrong"},
                                    {"FontSize_Body", "fs-3"},
                                    {"Font_SizeBody", "wrong"},
                                    {"FontWeight_Body", "fw-bold"}};
    EXPECT_EQ(fillPDFTemplate(letter, styles, "", "#textcolorrecipeintname#|#textfontbody#|#fontweightbody#",
                              std::nullopt),
              "text-info|fs-3|fw-bold");
}

TEST(FillPDFTemplate, ValuesAndTranscriptAreTextNeverMarkupNorMarks) {
    const auto& essay = rowNamed("essay");
    const std::string html = "<p class=\"#textcolorbody#\">#INSTRUCTORNAME#|#PAGEHEADING#</p>#ESSAYBODY#";
    const TemplateDictionary dictionary{{"Instructor_Name", "#ESSAYBODY# & <b>Sam</b>"},
                                        {"Page_Heading", "#INSTRUCTORNAME#"},
                                        {"TextColor_Body", "x\" onclick=\"evil()"}};
    const std::string page = fillPDFTemplate(
        essay, dictionary, "1 < 2 & \"quoted\" #SUBHEADING#\n<script>x</script>", html, std::nullopt);
    EXPECT_EQ(page,
              "<p class=\"x&quot; onclick=&quot;evil()\">&#35;ESSAYBODY&#35; &amp; &lt;b&gt;Sam&lt;/b&gt;|"
              "&#35;INSTRUCTORNAME&#35;</p>"
              "1 &lt; 2 &amp; &quot;quoted&quot; &#35;SUBHEADING&#35;.<br>&lt;script&gt;x&lt;/script&gt;");

    // The paragraph pieces are escaped too, and a first line holding the second mark keeps it as text.
    const auto& school = rowNamed("schoolreport");
    EXPECT_EQ(fillPDFTemplate(school, {}, "a #SCHOOLREPORTBODYSECONDPARA# <i>\n'b'\nc",
                              "#SCHOOLREPORTBODYFIRSTPARA#|#SCHOOLREPORTBODYSECONDPARA#", std::nullopt),
              "a &#35;SCHOOLREPORTBODYSECONDPARA&#35; &lt;i&gt;|&#39;b&#39;.<br>c");

    // The photo path is escaped for its attribute.
    const auto& letter = rowNamed("modernletter");
    EXPECT_EQ(fillPDFTemplate(letter, {}, "", "<img src=\"#image#\">", "/tmp/a \"b\" #1&2.jpg"),
              "<img src=\"file:///tmp/a%20%22b%22%20%231&amp;2.jpg\">");
}

TEST(FillPDFTemplate, TwoParagraphPagesSplitTheTranscript) {
    struct Case {
        std::string transcript, first, second;
    };
    const Case cases[] = {
        {"one\ntwo\nthree", "one", "two.<br>three"},
        {"one", "one", ""},
        {"one\n", "one.<br>", ""},         // fewer than two pieces: the whole transcript converted
        {"\none", ".<br>one", ""},         //
        {"\n\none\ntwo", "one", "two"},    // leading breaks skipped
        {"one\n\ntwo", "one", ".<br>two"}, // a blank line stays in the second piece
        {"one\n\n", "one", ".<br>"},
        {"one\r\ntwo\r\nthree", "one", "two\r.<br>three"},
        {"one\xE2\x80\xA8two", "one", "two"},
        {"", "", ""},
        {"\n\n", ".<br>.<br>", ""},
    };
    for (const char* name : {"schoolreport", "eventposter", "rentflyer"}) {
        const auto& row = rowNamed(name);
        std::string first, second;
        for (const auto& m : row.marks) {
            if (m.source == FillSource::FirstParagraph) first = m.mark;
            if (m.source == FillSource::SecondParagraph) second = m.mark;
        }
        ASSERT_FALSE(first.empty() || second.empty()) << name;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(name) + ": " + c.transcript);
            EXPECT_EQ(fillPDFTemplate(row, {}, c.transcript, "<p>" + first + "</p><p>" + second + "</p>",
                                      std::nullopt),
                      "<p>" + c.first + "</p><p>" + c.second + "</p>");
        }
    }
    // The sale flyer's single body is not split.
    EXPECT_EQ(fillPDFTemplate(rowNamed("saleflyer"), {}, "one\ntwo", "#RENTFLYERBODY#", std::nullopt),
              "one.<br>two");
}

TEST(FillPDFTemplate, PhotoOrNoPhoto) {
    const std::string html = "<img src=\"#image#\"><img src=\"handle.png\">";
    for (const auto& row : pdfTemplates()) {
        SCOPED_TRACE(row.name);
        const bool image = row.name == "schoolreport" || row.name == "modernletter" ||
                           row.name == "personalletter" || row.name == "businessletter" ||
                           row.name == "eventposter" || row.name == "rentflyer" || row.name == "saleflyer";
        const bool handle = row.name == "modernreport";
        const std::string withPhoto = fillPDFTemplate(row, {}, "", html, "/tmp/photo.jpg");
        EXPECT_EQ(withPhoto, std::string("<img src=\"") + (image ? "file:///tmp/photo.jpg" : "#image#") +
                                 "\"><img src=\"" + (handle ? "file:///tmp/photo.jpg" : "handle.png") +
                                 "\">");
        // Characters a path may hold but a reference reads otherwise are escaped in the URL.
        EXPECT_EQ(fillPDFTemplate(row, {}, "", "#image#|handle.png", "/tmp/a#1?b%c d.png"),
                  image || handle ? (image ? "file:///tmp/a%231%3Fb%25c%20d.png|handle.png"
                                           : "#image#|file:///tmp/a%231%3Fb%25c%20d.png")
                                  : "#image#|handle.png");
        // Without a photo, absent or stored empty, the picture's source is empty.
        for (const auto& none : {std::optional<std::string>(), std::optional<std::string>("")}) {
            EXPECT_EQ(fillPDFTemplate(row, {}, "", html, none),
                      std::string("<img src=\"") + (image ? "" : "#image#") + "\"><img src=\"handle.png\">")
                << "the modern report keeps the bundle's picture";
        }
    }
}

TEST(FillPDFTemplate, ConsoleLinesAroundTheRead) {
    const TemplateDictionary notes{
        {"Font_Size", "fs-4"}, {"Display_Date", "March 3, 2024"}, {"Display_Time", " "}, {"Page_Title", "T"}};
    for (const char* name : {"note1", "note2", "realestate", "projectproposal", "photoposter"}) {
        EXPECT_EQ(fillLogBeforeRead(rowNamed(name), notes, "/tmp/x.jpg"),
                  (std::vector<std::string>{"PDFCREATECONTROLLER font size: fs-4",
                                            "DisplayDate : March 3, 2024", "DisplayTime :  "}))
            << name;
        EXPECT_TRUE(fillLogAfterRead(rowNamed(name), "/tmp/x.jpg").empty());
    }
    const auto& bold = rowNamed("modernboldletter");
    EXPECT_EQ(fillLogBeforeRead(bold, {}, "/tmp/x.jpg"), std::vector<std::string>{"SavedIMage:/tmp/x.jpg"});
    EXPECT_EQ(fillLogBeforeRead(bold, {}, std::nullopt), std::vector<std::string>{"SavedIMage:nil"});

    const auto& report = rowNamed("modernreport");
    EXPECT_TRUE(fillLogBeforeRead(report, {}, "/tmp/x.jpg").empty());
    EXPECT_EQ(fillLogAfterRead(report, "/tmp/x.jpg"),
              std::vector<std::string>{"Saved image value :/tmp/x.jpg"});
    EXPECT_EQ(fillLogAfterRead(report, std::nullopt), std::vector<std::string>{"Not replacing image"});

    EXPECT_TRUE(fillLogBeforeRead(rowNamed("essay"), notes, "/tmp/x.jpg").empty());
    EXPECT_EQ(templateReadFailureLine(), "ERROROROOROROROOROROROOR");
}

} // namespace
} // namespace quillora
