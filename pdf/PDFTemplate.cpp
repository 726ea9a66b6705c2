#include "pdf/PDFTemplate.h"

#include "common/TemplateKeys.h"

#include <algorithm>

#include "pdf/TemplateText.h"
#include "platform/foundation/NSURL.h"

namespace quillora {

namespace {

using Marks = std::vector<TemplateMark>;

TemplateMark value(std::string mark, std::string key) {
    return {std::move(mark), FillSource::Value, std::move(key)};
}
TemplateMark photo(std::string mark) {
    return {std::move(mark), FillSource::Photo, {}};
}
TemplateMark body(std::string mark) {
    return {std::move(mark), FillSource::Body, {}};
}

Marks operator+(Marks a, const Marks& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Marks paragraphs(std::string first, std::string second) {
    return {{std::move(first), FillSource::FirstParagraph, {}},
            {std::move(second), FillSource::SecondParagraph, {}}};
}

// Heading, sub-heading and body with their styles, in the order the reports, posters and flyers
// give them.
Marks headingMarks() {
    return {value("#PAGEHEADING#", templatekeys::Page_Heading),
            value("#textfontheading#", templatekeys::Font_SizeHeading),
            value("#textcolorheading#", templatekeys::TextColor_Heading),
            value("#textfontsubheading#", templatekeys::Font_SizeSubheading),
            value("#textcolorsubheading#", templatekeys::TextColor_SubHeading),
            value("#SUBHEADING#", templatekeys::Page_SubHeading),
            value("#textfontbody#", templatekeys::Font_SizeBody),
            value("#fontweightbody#", templatekeys::Font_WeightBody),
            value("#textcolorbody#", templatekeys::TextColor_Body)};
}

// The essay and the three reports: the instructor, then the heading marks.
Marks reportMarks() {
    return Marks{value("#INSTRUCTORNAME#", templatekeys::Instructor_Name)} + headingMarks();
}

// The sender, recipient and style marks of the letters. The business letter alone names the
// company; the key spellings are the forms' own.
Marks letterMarks(bool withCompany) {
    Marks marks{value("#DATE#", templatekeys::Display_Date), value("#YOURNAME#", templatekeys::Your_Name)};
    if (withCompany) marks.push_back(value("#YOURCOMPANYNAME#", templatekeys::Your_CompanyName));
    return marks + Marks{value("#YOURPHONENO#", templatekeys::Your_PhoneNo),
                         value("#YOUREMAIL#", templatekeys::Your_Email),
                         value("#YOURADDRESS#", templatekeys::Your_Address),
                         value("#RECEIPENTNAME#", templatekeys::Recipient_Name),
                         value("#RECEIPENTADDRESS#", templatekeys::Recipient_Address),
                         value("#fontsizeyourname#", templatekeys::Font_SizeYourName),
                         value("#textcolorrecipeintname#", templatekeys::TextColor_RecipeintName),
                         value("#fontsizerecipeintname#", templatekeys::Font_SizeRecipientName),
                         value("#textcoloryourname#", templatekeys::TextColor_YourName),
                         value("#textfontbody#", templatekeys::FontSize_Body),
                         value("#fontweightbody#", templatekeys::FontWeight_Body),
                         value("#textcolorbody#", templatekeys::TextColor_Body),
                         body("#BODYMODERNLETTER#")};
}

// Poster and flyer marks after the photo: date, the time or the price, contact details, then the
// heading, sub-heading and body styles.
Marks posterMarks(TemplateMark timeOrPrice) {
    return Marks{photo("#image#"),
                 value("#DATE#", templatekeys::Display_Date),
                 std::move(timeOrPrice),
                 value("#LOCATION#", templatekeys::Location),
                 value("#WEBSITE#", templatekeys::Website),
                 value("#PHONENO#", templatekeys::Phone_No)} +
           headingMarks();
}

Marks notesMarks() {
    return {value("#TIME#", templatekeys::Display_Time),      value("#DATE#", templatekeys::Display_Date),
            value("#NAME#", templatekeys::Page_Title),        value("#textfont#", templatekeys::Font_Size),
            value("#fontweight#", templatekeys::Font_Weight), body("#YOURNAME#")};
}

Marks singleTextMarks(std::string bodyMark) {
    return {value("#PAGETITLE#", templatekeys::Page_Title), value("#textfont#", templatekeys::Font_Size),
            value("#fontweight#", templatekeys::Font_Weight), body(std::move(bodyMark))};
}

std::vector<PDFTemplate> buildTable() {
    std::vector<PDFTemplate> t;
    const auto row = [&](std::string name, std::string screen, std::string wrapper, std::string key,
                         std::string pdf, double delay, Marks marks) -> PDFTemplate& {
        t.push_back(PDFTemplate{std::move(name), std::move(screen), std::move(wrapper), std::move(key),
                                std::move(pdf), delay, std::move(marks)});
        return t.back();
    };

    row("note1", "PDFNotesViewController", "NotesUipdfPicker", templatekeys::SavedDictNote1, "MyPDFDocNotes1",
        0.2, notesMarks())
        .log = FillLog::NotesValues;
    row("note2", "PDFNotesSecondViewController", "NotesSecondUipdfPicker", templatekeys::SavedDictNote1,
        "MyPDFDocNotes2", 0.2, notesMarks())
        .log = FillLog::NotesValues;
    row("essay", "PDFEssayViewController", "EssayUipdfPicker", templatekeys::SavedEssay, "MyPDFDocumentEssay",
        0.2, reportMarks() + Marks{body("#ESSAYBODY#")});
    row("research", "PDFResearchViewController", "ResearchUipdfPicker", templatekeys::SavedResearch,
        "MyPDFDocumentResearch", 0.2,
        Marks{value("#DATE#", templatekeys::Display_Date)} + reportMarks() + Marks{body("#RESEARCHBODY#")})
        .showsSaveButton = true;
    row("modernreport", "PDFModernreportViewController", "ModernreportUipdfPicker",
        templatekeys::SavedModernReport, "MyPDFDocumentModernreport", 0.5,
        Marks{photo("handle.png"), value("#DATE#", templatekeys::Display_Date)} + reportMarks() +
            Marks{body("#MODERNREPORTBODY#")})
        .log = FillLog::PhotoAfterRead;
    row("schoolreport", "PDFSchoolReportViewController", "SchoolReportUipdfPicker",
        templatekeys::SavedSchoolReport, "MyPDFDocumentSchoolreport", 0.5,
        Marks{photo("#image#"), value("#DATE#", templatekeys::Display_Date)} + reportMarks() +
            paragraphs("#SCHOOLREPORTBODYFIRSTPARA#", "#SCHOOLREPORTBODYSECONDPARA#"))
        .showsSaveButton = true;
    row("modernletter", "PDFModernLetterViewController", "ModernLetterUipdfPicker",
        templatekeys::SavedModernLetter, "MyPDFmodernLetter", 0.5,
        Marks{photo("#image#")} + letterMarks(false))
        .keepsPreviewEnabled = true;
    {
        auto& bold =
            row("modernboldletter", "PDFModernBoldLetterViewController", "ModernBoldLetterUipdfPicker",
                templatekeys::SavedModernBoldLetter, "MyPDFmodernBoldLetter", 0.5, letterMarks(false));
        bold.keepsPreviewEnabled = true;
        bold.log = FillLog::PhotoBeforeRead;
    }
    {
        auto& personal = row("personalletter", "PDFPersonalLetterViewController", "PersonalLetterUipdfPicker",
                             templatekeys::SavedPersonalLetter, "MyPDFpersonalLetter", 0.5,
                             Marks{photo("#image#")} + letterMarks(false));
        personal.keepsPreviewEnabled = true;
        personal.showsSaveButton = true;
    }
    row("businessletter", "PDFBusinessLetterViewController", "BusinessLetterUipdfPicker",
        templatekeys::SavedBusinessLetter, "MyPDFmodernBoldLetter", 0.5,
        Marks{photo("#image#")} + letterMarks(true))
        .keepsPreviewEnabled = true;
    row("eventposter", "PDFEventPosterViewController", "EventPosterUipdfPicker",
        templatekeys::SavedEventPoster, "MyPDFDocumentEventP", 0.5,
        posterMarks(value("#TIME#", templatekeys::Display_Time)) +
            paragraphs("#EVENTPOSTERBODYFIRSTPARA#", "#EVENTPOSTERBODYSECONDPARA#"));
    row("rentflyer", "PDFRentFlyerViewController", "RentFlyerUipdfPicker", templatekeys::SavedRentFlyer,
        "MyPDFDocRentFly", 0.5,
        posterMarks(value("#PRICE#", templatekeys::Price)) +
            paragraphs("#RENTFLYERBODYFIRSTPARA#", "#RENTFLYERBODYSECONDPARA#"));
    row("saleflyer", "PDFSaleFlyerViewController", "SaleFlyerUipdfPicker", templatekeys::SavedSaleFlyer,
        "MyPDFDocRentFly", 0.5,
        posterMarks(value("#PRICE#", templatekeys::Price)) + Marks{body("#RENTFLYERBODY#")});
    row("realestate", "PDFRealEstateViewController", "", templatekeys::SavedDictNote1,
        "MyPDFDocumentRealEstate", 0.2, singleTextMarks("#REALESTATEBODY#"));
    row("projectproposal", "PDFProjectProposalViewController", "", templatekeys::SavedDictNote1,
        "MyPDFDocumentProjectProposal", 0.2, singleTextMarks("#PROJECTPROPOSAL#"));
    row("photoposter", "PDFPhotoPosterViewController", "", templatekeys::SavedDictNote1,
        "MyPDFDocumentPhotoPoster", 0.2, singleTextMarks("#PHOTOPOSTERBODY#"));

    for (auto& r : t) {
        if (r.name == "realestate" || r.name == "projectproposal" || r.name == "photoposter")
            r.log = FillLog::NotesValues;
        if (r.name == "realestate" || r.name == "projectproposal") r.reducedFrame = true;
    }
    return t;
}

std::string lookup(const TemplateDictionary& dictionary, const std::string& key) {
    auto it = dictionary.find(key);
    return it == dictionary.end() ? std::string() : it->second;
}

bool hasPhoto(const std::optional<std::string>& photoPath) {
    return photoPath && !photoPath->empty();
}

} // namespace

bool PDFTemplate::readsPhoto() const {
    return log == FillLog::PhotoBeforeRead ||
           std::any_of(marks.begin(), marks.end(),
                       [](const TemplateMark& m) { return m.source == FillSource::Photo; });
}

const std::vector<PDFTemplate>& pdfTemplates() {
    static const std::vector<PDFTemplate> table = buildTable();
    return table;
}

const PDFTemplate* pdfTemplateNamed(std::string_view nameOrClass) {
    for (const auto& row : pdfTemplates())
        if (row.name == nameOrClass || row.screenClass == nameOrClass) return &row;
    return nullptr;
}

std::string fillPDFTemplate(const PDFTemplate& row, const TemplateDictionary& dictionary,
                            std::string_view transcript, std::string_view html,
                            const std::optional<std::string>& photoPath) {
    // The first paragraph is a single line; with fewer than two pieces the whole transcript
    // stands at the first mark and the second mark empties.
    const auto pieces = splitBodyParagraphs(transcript);
    const bool twoPieces = pieces.size() == 2;

    std::string page(html);
    for (const auto& m : row.marks) {
        std::string text;
        switch (m.source) {
        case FillSource::Value:
            text = escapeHTML(lookup(dictionary, m.key));
            break;
        case FillSource::Photo:
            // As a file URL: a plain path would lose a "#", "?" or "%" in the file's name to the
            // fragment, the query or an escape, and the page would show no picture.
            // Without a photo a "#image#" mark empties, which the templates use to hide the
            // picture; the modern report's "handle.png" stays the bundle's own picture.
            if (hasPhoto(photoPath))
                text = escapeHTML(platform::NSURL::fileURLWithPath(*photoPath).absoluteString());
            else
                text = m.mark.front() == '#' ? std::string() : m.mark;
            break;
        case FillSource::Body:
            text = htmlWithLineBreaks(transcript);
            break;
        case FillSource::FirstParagraph:
            text = twoPieces ? escapeHTML(pieces[0]) : htmlWithLineBreaks(transcript);
            break;
        case FillSource::SecondParagraph:
            text = twoPieces ? htmlWithLineBreaks(pieces[1]) : std::string();
            break;
        }
        page = replaceAll(page, m.mark, text);
    }
    return page;
}

std::vector<std::string> fillLogBeforeRead(const PDFTemplate& row, const TemplateDictionary& dictionary,
                                           const std::optional<std::string>& photoPath) {
    switch (row.log) {
    case FillLog::PhotoBeforeRead:
        return {"SavedIMage:" + (photoPath ? *photoPath : std::string("nil"))};
    case FillLog::NotesValues:
        return {"PDFCREATECONTROLLER font size: " + lookup(dictionary, templatekeys::Font_Size),
                "DisplayDate : " + lookup(dictionary, templatekeys::Display_Date),
                "DisplayTime : " + lookup(dictionary, templatekeys::Display_Time)};
    default:
        return {};
    }
}

std::vector<std::string> fillLogAfterRead(const PDFTemplate& row,
                                          const std::optional<std::string>& photoPath) {
    if (row.log != FillLog::PhotoAfterRead) return {};
    if (hasPhoto(photoPath)) return {"Saved image value :" + *photoPath};
    return {"Not replacing image"};
}

const std::string& templateReadFailureLine() {
    static const std::string line = "ERROROROOROROROOROROROOR";
    return line;
}

} // namespace quillora
