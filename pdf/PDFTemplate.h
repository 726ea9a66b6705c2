#pragma once
// The sixteen document templates as data: which bundle HTML each screen loads, which stored
// dictionary feeds it, where its PDF goes, and which marks it fills from what, in order. The
// template PDF screens are thin rows of this table; the fill itself is a pure function so the
// pages can be checked without a web view.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillora {

using TemplateDictionary = std::map<std::string, std::string>;

// Where the text that replaces one mark comes from.
enum class FillSource {
    Value,           // the dictionary value under `key` (empty when missing)
    Photo,           // the stored photo path (empty when none is stored)
    Body,            // the whole transcript, line feeds as ".<br>"
    FirstParagraph,  // two-paragraph pages: see fillPDFTemplate
    SecondParagraph, //
};

struct TemplateMark {
    std::string mark; // exact, case-sensitive text in the template, e.g. "#PAGEHEADING#"
    FillSource source;
    std::string key; // dictionary key for FillSource::Value, else empty
};

// What a screen's fill prints besides the read failure.
enum class FillLog {
    None,
    PhotoBeforeRead, // "SavedIMage:" with the stored path, before the template is read
    PhotoAfterRead,  // "Saved image value :" or "Not replacing image", once the template is read
    NotesValues,     // font size, date and time lines, before the template is read
};

struct PDFTemplate {
    std::string name;                // "essay"; also the HTML resource name (type "html")
    std::string screenClass;         // "PDFEssayViewController"
    std::string pickerWrapper;       // "EssayUipdfPicker"; empty when nothing creates the screen
    std::string dictionaryKey;       // "SavedEssay"
    std::string pdfName;             // "MyPDFDocumentEssay", written as pdfName + ".pdf" in tmp/
    double renderDelay;              // seconds between the page load and the PDF render
    std::vector<TemplateMark> marks; // replaced in this order, each over the whole page
    FillLog log = FillLog::None;
    bool showsSaveButton = false;     // the Save button (which dismisses) is on screen
    bool keepsPreviewEnabled = false; // Preview is not disabled when the preview opens
    bool reducedFrame = false;        // only a Preview button: no Cancel, Save or Share

    std::string resourceName() const { return name; }
    std::string pdfFileName() const { return pdfName + ".pdf"; }
    bool readsPhoto() const;
};

// All sixteen rows, in the order of the template gallery followed by the three screens no
// form opens.
const std::vector<PDFTemplate>& pdfTemplates();
// The row of a template name ("essay") or of a screen class ("PDFEssayViewController").
const PDFTemplate* pdfTemplateNamed(std::string_view nameOrClass);

// Fills `html` with the dictionary values, the photo path and the transcript, mark by mark in
// the row's order. Every value is text, never markup: it is escaped (& < > " ' and #, so no value
// can pose as a mark), and the transcript's line feeds then become ".<br>". Two-paragraph pages
// put the transcript's first line at the first paragraph mark and the rest at the second (see
// splitBodyParagraphs); with fewer than two pieces the whole transcript goes to the first mark.
// The photo goes in as the file URL of the stored path. No photo (absent or empty) empties a
// "#image#" mark, which the templates use to hide the picture, and leaves the modern report's
// "handle.png", the bundle's own picture.
std::string fillPDFTemplate(const PDFTemplate& row, const TemplateDictionary& dictionary,
                            std::string_view transcript, std::string_view html,
                            const std::optional<std::string>& photoPath);

// Console lines of a fill, around the template read. A screen prints fillLogBeforeRead, reads
// the template, prints templateReadFailureLine() and stops when that fails, else prints
// fillLogAfterRead and loads fillPDFTemplate's page.
std::vector<std::string> fillLogBeforeRead(const PDFTemplate& row, const TemplateDictionary& dictionary,
                                           const std::optional<std::string>& photoPath);
std::vector<std::string> fillLogAfterRead(const PDFTemplate& row,
                                          const std::optional<std::string>& photoPath);
const std::string& templateReadFailureLine();

} // namespace quillora
