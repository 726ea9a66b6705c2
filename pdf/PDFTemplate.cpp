#include "pdf/PDFTemplate.h"

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

// Heading, sub-heading and body of the essay and the three reports, in their order.
Marks reportMarks() {
    return {value("#INSTRUCTORNAME#", "Instructor_Name"),
            value("#PAGEHEADING#", "Page_Heading"),
            value("#textfontheading#", "Font_SizeHeading"),
            value("#textcolorheading#", "TextColor_Heading"),
            value("#textfontsubheading#", "Font_SizeSubheading"),
            value("#textcolorsubheading#", "TextColor_SubHeading"),
            value("#SUBHEADING#", "Page_SubHeading"),
            value("#textfontbody#", "Font_SizeBody"),
            value("#fontweightbody#", "Font_WeightBody"),
            value("#textcolorbody#", "TextColor_Body")};
}

// The sender, recipient and style marks of the letters. The business letter alone names the
// company; the key spellings are the forms' own.
Marks letterMarks(bool withCompany) {
    Marks marks{value("#DATE#", "Display_Date"), value("#YOURNAME#", "Your_Name")};
    if (withCompany) marks.push_back(value("#YOURCOMPANYNAME#", "Your_CompanyName"));
    return marks + Marks{value("#YOURPHONENO#", "Your_PhoneNo"),
                         value("#YOUREMAIL#", "Your_Email"),
                         value("#YOURADDRESS#", "Your_Address"),
                         value("#RECEIPENTNAME#", "Recipient_Name"),
                         value("#RECEIPENTADDRESS#", "Recipient_Address"),
                         value("#fontsizeyourname#", "Font_SizeYourName"),
                         value("#textcolorrecipeintname#", "TextColor_RecipeintName"),
                         value("#fontsizerecipeintname#", "Font_SizeRecipientName"),
                         value("#textcoloryourname#", "TextColor_YourName"),
                         value("#textfontbody#", "FontSize_Body"),
                         value("#fontweightbody#", "FontWeight_Body"),
                         value("#textcolorbody#", "TextColor_Body"),
                         body("#BODYMODERNLETTER#")};
}

// Poster and flyer marks after the photo: date, the time or the price, contact details, then the
// heading, sub-heading and body styles.
Marks posterMarks(TemplateMark timeOrPrice) {
    return Marks{photo("#image#"),
                 value("#DATE#", "Display_Date"),
                 std::move(timeOrPrice),
                 value("#LOCATION#", "Location"),
                 value("#WEBSITE#", "Website"),
                 value("#PHONENO#", "Phone_No"),
                 value("#PAGEHEADING#", "Page_Heading"),
                 value("#textfontheading#", "Font_SizeHeading"),
                 value("#textcolorheading#", "TextColor_Heading"),
                 value("#textfontsubheading#", "Font_SizeSubheading"),
                 value("#textcolorsubheading#", "TextColor_SubHeading"),
                 value("#SUBHEADING#", "Page_SubHeading"),
                 value("#textfontbody#", "Font_SizeBody"),
                 value("#fontweightbody#", "Font_WeightBody"),
                 value("#textcolorbody#", "TextColor_Body")};
}

Marks notesMarks() {
    return {value("#TIME#", "Display_Time"),      value("#DATE#", "Display_Date"),
            value("#NAME#", "Page_Title"),        value("#textfont#", "Font_Size"),
            value("#fontweight#", "Font_Weight"), body("#YOURNAME#")};
}

Marks singleTextMarks(std::string bodyMark) {
    return {value("#PAGETITLE#", "Page_Title"), value("#textfont#", "Font_Size"),
            value("#fontweight#", "Font_Weight"), body(std::move(bodyMark))};
}

std::vector<PDFTemplate> buildTable() {
    std::vector<PDFTemplate> t;
    const auto row = [&](std::string name, std::string screen, std::string wrapper, std::string key,
                         std::string pdf, double delay, Marks marks) -> PDFTemplate& {
        t.push_back(PDFTemplate{std::move(name), std::move(screen), std::move(wrapper), std::move(key),
                                std::move(pdf), delay, std::move(marks)});
        return t.back();
    };

    row("note1", "PDFNotesViewController", "NotesUipdfPicker", "SavedDictNote1", "MyPDFDocNotes1", 0.2,
        notesMarks())
        .log = FillLog::NotesValues;
    row("note2", "PDFNotesSecondViewController", "NotesSecondUipdfPicker", "SavedDictNote1", "MyPDFDocNotes2",
        0.2, notesMarks())
        .log = FillLog::NotesValues;
    row("essay", "PDFEssayViewController", "EssayUipdfPicker", "SavedEssay", "MyPDFDocumentEssay", 0.2,
        reportMarks() + Marks{body("#ESSAYBODY#")});
    row("research", "PDFResearchViewController", "ResearchUipdfPicker", "SavedResearch",
        "MyPDFDocumentResearch", 0.2,
        Marks{value("#DATE#", "Display_Date")} + reportMarks() + Marks{body("#RESEARCHBODY#")})
        .showsSaveButton = true;
    row("modernreport", "PDFModernreportViewController", "ModernreportUipdfPicker", "SavedModernReport",
        "MyPDFDocumentModernreport", 0.5,
        Marks{photo("handle.png"), value("#DATE#", "Display_Date")} + reportMarks() +
            Marks{body("#MODERNREPORTBODY#")})
        .log = FillLog::PhotoAfterRead;
    row("schoolreport", "PDFSchoolReportViewController", "SchoolReportUipdfPicker", "SavedSchoolReport",
        "MyPDFDocumentSchoolreport", 0.5,
        Marks{photo("#image#"), value("#DATE#", "Display_Date")} + reportMarks() +
            paragraphs("#SCHOOLREPORTBODYFIRSTPARA#", "#SCHOOLREPORTBODYSECONDPARA#"))
        .showsSaveButton = true;
    row("modernletter", "PDFModernLetterViewController", "ModernLetterUipdfPicker", "SavedModernLetter",
        "MyPDFmodernLetter", 0.5, Marks{photo("#image#")} + letterMarks(false))
        .keepsPreviewEnabled = true;
    {
        auto& bold =
            row("modernboldletter", "PDFModernBoldLetterViewController", "ModernBoldLetterUipdfPicker",
                "SavedModernBoldLetter", "MyPDFmodernBoldLetter", 0.5, letterMarks(false));
        bold.keepsPreviewEnabled = true;
        bold.log = FillLog::PhotoBeforeRead;
    }
    {
        auto& personal = row("personalletter", "PDFPersonalLetterViewController", "PersonalLetterUipdfPicker",
                             "SavedPersonalLetter", "MyPDFpersonalLetter", 0.5,
                             Marks{photo("#image#")} + letterMarks(false));
        personal.keepsPreviewEnabled = true;
        personal.showsSaveButton = true;
    }
    row("businessletter", "PDFBusinessLetterViewController", "BusinessLetterUipdfPicker",
        "SavedBusinessLetter", "MyPDFmodernBoldLetter", 0.5, Marks{photo("#image#")} + letterMarks(true))
        .keepsPreviewEnabled = true;
    row("eventposter", "PDFEventPosterViewController", "EventPosterUipdfPicker", "SavedEventPoster",
        "MyPDFDocumentEventP", 0.5,
        posterMarks(value("#TIME#", "Display_Time")) +
            paragraphs("#EVENTPOSTERBODYFIRSTPARA#", "#EVENTPOSTERBODYSECONDPARA#"));
    row("rentflyer", "PDFRentFlyerViewController", "RentFlyerUipdfPicker", "SavedRentFlyer",
        "MyPDFDocRentFly", 0.5,
        posterMarks(value("#PRICE#", "Price")) +
            paragraphs("#RENTFLYERBODYFIRSTPARA#", "#RENTFLYERBODYSECONDPARA#"));
    row("saleflyer", "PDFSaleFlyerViewController", "SaleFlyerUipdfPicker", "SavedSaleFlyer",
        "MyPDFDocRentFly", 0.5, posterMarks(value("#PRICE#", "Price")) + Marks{body("#RENTFLYERBODY#")});
    row("realestate", "PDFRealEstateViewController", "", "SavedDictNote1", "MyPDFDocumentRealEstate", 0.2,
        singleTextMarks("#REALESTATEBODY#"));
    row("projectproposal", "PDFProjectProposalViewController", "", "SavedDictNote1",
        "MyPDFDocumentProjectProposal", 0.2, singleTextMarks("#PROJECTPROPOSAL#"));
    row("photoposter", "PDFPhotoPosterViewController", "", "SavedDictNote1", "MyPDFDocumentPhotoPoster", 0.2,
        singleTextMarks("#PHOTOPOSTERBODY#"));

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
        return {"PDFCREATECONTROLLER font size: " + lookup(dictionary, "Font_Size"),
                "DisplayDate : " + lookup(dictionary, "Display_Date"),
                "DisplayTime : " + lookup(dictionary, "Display_Time")};
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
