// Scripts of tests/cli/scripts run through the program against the whole application, with
// scripted recognition.
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "cli/Program.h"
#include "cli/ScriptInterpreter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/PdfTools.h"
#include "tests/support/PlatformTest.h"

using namespace quillora::cli;

namespace {

const std::filesystem::path kScripts = std::filesystem::path(__FILE__).parent_path() / "scripts";

class ScreenScriptsTest : public quillora::test::PlatformTest {
protected:
    // On `data`, else on the test's home.
    int run(const std::filesystem::path& script,
            const std::function<void(ScriptInterpreter&)>& extend = nullptr,
            double clock = platform::RunLoop::kDefaultVirtualEpoch, const std::filesystem::path& data = {}) {
        Options options;
        options.home = data.empty() ? home : data;
        options.clock = clock;
        options.script = script.string();
        char name[] = "quillora";
        char* argv[] = {name, nullptr};
        return runProgram(options, 1, argv, extend);
    }
    int runText(const std::string& text, const std::function<void(ScriptInterpreter&)>& extend = nullptr) {
        auto path = home / "script.txt";
        std::ofstream(path) << text;
        return run(path, extend);
    }

    // The console lines from the `index`th screen printout (0 = first) up to the next one.
    std::vector<std::string> printout(const std::string& head, int index) const {
        std::vector<std::string> block;
        int seen = -1;
        for (const auto& line : consoleLines()) {
            if (line.rfind(head, 0) == 0)
                ++seen;
            else if (!line.empty() && line[0] != ' ' && line.rfind("presented ", 0) != 0 && seen == index)
                break;
            if (seen == index) block.push_back(line);
        }
        return block;
    }
    static bool contains(const std::vector<std::string>& lines, const std::string& part) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
};

} // namespace

TEST_F(ScreenScriptsTest, AnalysisScreenListsTheCountsAndTheEditorChangesTheTranscript) {
    ASSERT_EQ(run(kScripts / "analysis-and-editor.txt"), 0);

    auto analysis = printout("ViewController", 0);
    ASSERT_TRUE(contains(analysis, "presented UIHostingController"));
    for (const char* name : {"Verb", "Noun", "Pronoun", "Adjective", "Time(sec)", "Words"})
        EXPECT_TRUE(contains(analysis, std::string("Text \"") + name + "\"")) << name << " is in the legend";
    // Each wedge carries its class and count; the dictated sentence has some of each class.
    std::map<std::string, double> counts;
    std::regex wedge(R"(accessibilityLabel\(label: ([^)]+)\) \.accessibilityValue\(value: ([0-9.]+)\))");
    for (const auto& line : analysis)
        for (std::sregex_iterator m(line.begin(), line.end(), wedge), end; m != end; ++m)
            counts[(*m)[1]] = std::stod((*m)[2]);
    for (const char* name : {"Verb", "Noun", "Pronoun", "Adjective", "Words"})
        EXPECT_GT(counts[name], 0) << name;
    EXPECT_GE(counts["Words"], counts["Noun"] + counts["Verb"] + counts["Pronoun"] + counts["Adjective"]);
    EXPECT_TRUE(contains(analysis, "Text \"She\"")) << "the saved pronouns are buttons";

    auto edited = printout("ViewController", 1);
    EXPECT_FALSE(contains(edited, "presented")) << "Save closes the editor";
    EXPECT_TRUE(contains(edited, "  Clipboard: UITextView text=\"A new transcript, edited by hand.\""));
    EXPECT_TRUE(consoleHas("save pressed "));
}

TEST_F(ScreenScriptsTest, SavedTranscriptIsDeletedBySwipeAndTheExportedRecipeShowsInTheBrowser) {
    ASSERT_EQ(run(kScripts / "list-export-browser.txt"), 0);

    auto saved = printout("ViewControllerTabelView", 0);
    ASSERT_TRUE(contains(saved, "table: UITableView rows=4"));
    EXPECT_TRUE(contains(saved, "[0] \" First saved dictation."));
    auto swiped = printout("ViewControllerTabelView", 1);
    EXPECT_TRUE(contains(swiped, "table: UITableView rows=3"));
    EXPECT_FALSE(contains(swiped, "\"Item1\"")) << "row 1 is gone";
    EXPECT_TRUE(contains(swiped, "[0] \" First saved dictation."));

    std::vector<std::filesystem::path> pdfs;
    for (const auto& entry : std::filesystem::directory_iterator(home / "Documents"))
        if (entry.path().extension() == ".pdf") pdfs.push_back(entry.path());
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_GT(std::filesystem::file_size(pdfs[0]), 0u);
    auto browser = printout("WebViewController_Center", 0);
    EXPECT_TRUE(contains(browser, "tableList: UITableView rows=1"));
    EXPECT_TRUE(contains(browser, "[0] \"" + pdfs[0].stem().string() + "\" / \"PDF document\""));
}

TEST_F(ScreenScriptsTest, ARowsSwipeOffersItsPDFBesideDeleteOnEveryList) {
    // The entry is dictated on each dictation screen and saved into that screen's list; the row's
    // swipe writes it alone as a PDF and leaves the list as it was.
    for (const char* screen : {"", "segment segmentcontrol Notes", "segment segmentcontrol Recipe"}) {
        SCOPED_TRACE(screen);
        platform::resetSharedInstances();
        const auto data = home / ("list" + std::to_string(std::string(screen).size()));
        std::filesystem::create_directories(data);
        const auto script = data / "script.txt";
        std::ofstream(script) << screen
                              << "\nscripted\nmicrophone silence\ntap recordButton\nfinal Quinces under the "
                                 "walnut tree.\ntap recordButton\nwait 2\ntap SaveDynamicButton\n"
                                 "swipe table 1 PDF.jpg\nalert \"OK \"\n";
        ASSERT_EQ(run(script, nullptr, platform::RunLoop::kDefaultVirtualEpoch, data), 0);
        std::vector<std::filesystem::path> pdfs;
        for (const auto& entry : std::filesystem::directory_iterator(data / "Documents"))
            if (entry.path().extension() == ".pdf") pdfs.push_back(entry.path());
        ASSERT_EQ(pdfs.size(), 1u);
        const std::string words = quillora::test::pdfWords(pdfs[0]);
        EXPECT_NE(words.find("Item1"), std::string::npos) << "the swiped row is printed: " << words;
        EXPECT_EQ(words.find("Quinces"), std::string::npos) << "only the swiped row is printed: " << words;
        std::size_t lists = 0;
        for (const auto& entry : std::filesystem::directory_iterator(data / "Documents"))
            if (entry.path().extension() == ".txt") {
                ++lists;
                const auto rows = platform::readStringArrayPlist(entry.path().string());
                ASSERT_TRUE(rows);
                EXPECT_EQ(rows->size(), 4u) << "the list keeps its rows";
            }
        EXPECT_EQ(lists, 1u);
    }
}

// Quick Look's Done is tapped by its title as a navigation bar's item is; in editing mode the
// browser's row goes by its delete control and the Delete it brings, with its file.
TEST_F(ScreenScriptsTest, QuickLooksDoneIsTappedByItsTitleAndTheBrowsersEditDeletesARow) {
    ASSERT_EQ(
        runText("open RecipeBookMarkViewC\ntype Clipboard \"Flour.\"\ntap savepdf\nalert \"OK \"\nback\n"
                "open WebView\nrow tableList 0\nwait 1\ntap Done\nwait 1\nshow\ntap Edit\n"
                "delete tableList 0\nshow\n"),
        0);
    auto browser = printout("WebViewController_Center", 0);
    EXPECT_FALSE(contains(browser, "presented")) << "Done left the preview open";
    EXPECT_TRUE(contains(browser, "tableList: UITableView rows=1"));
    EXPECT_TRUE(contains(printout("WebViewController_Center", 1), "tableList: UITableView rows=0 editing"));
    for (const auto& entry : std::filesystem::directory_iterator(home / "Documents"))
        EXPECT_NE(entry.path().extension(), ".pdf") << entry.path() << " was not removed with its row";
}

TEST_F(ScreenScriptsTest, AnExportedPdfIsDatedInsideByTheClockItIsNamedAfter) {
    for (const char* date : {"2025-07-14T15:42:09Z", "2031-01-02T03:04:05Z"}) {
        SCOPED_TRACE(date);
        platform::resetSharedInstances();
        std::filesystem::remove_all(home / "Documents");
        auto path = home / "script.txt";
        std::ofstream(path) << "open RecipeBookMarkViewC\ntype Clipboard \"Flour.\"\ntap savepdf\n";
        ASSERT_EQ(run(path, nullptr, *parseISODate(date)), 0);
        std::vector<std::filesystem::path> pdfs;
        for (const auto& entry : std::filesystem::directory_iterator(home / "Documents"))
            if (entry.path().extension() == ".pdf") pdfs.push_back(entry.path());
        ASSERT_EQ(pdfs.size(), 1u);
        const std::string year = std::string(date).substr(0, 4);
        EXPECT_NE(pdfs[0].filename().string().find(year), std::string::npos) << pdfs[0];
        const std::string info = quillora::test::run("pdfinfo -isodates " + quillora::test::quoted(pdfs[0]));
        std::smatch created;
        ASSERT_TRUE(std::regex_search(info, created, std::regex("CreationDate: *(\\S+)"))) << info;
        EXPECT_EQ(created[1], date);
    }
}

TEST_F(ScreenScriptsTest, ALongRecipeTextOfMarksIdeographsAndFlagsIsExportedWhole) {
    // Long enough to be printed on a worker from pieces laid out side by side, with a row of flags
    // many pages wide among its lines.
    auto flag = [](char a, char b) {
        std::string out;
        for (char c : {a, b}) {
            const char32_t letter = 0x1F1E6 + (c - 'A');
            out += {char(0xF0), char(0x9F), char(0x87), char(0xA6 + (letter - 0x1F1E6))};
        }
        return out;
    };
    std::string row;
    for (int i = 0; i < 6000; ++i)
        row += flag("FJDU"[i % 4], "RPES"[i % 4]);
    std::string text = "Crêpes\n";
    for (int i = 1; text.size() < 200'000; ++i)
        text += std::to_string(i) + " e\u0301\u0327 wait 面粉牛奶 " + flag('F', 'R') + "\n" +
                (i == 300 ? row + "\n" : "");
    text += "Serve warm.";
    std::filesystem::create_directories(home / "Documents");
    std::ofstream(home / "Documents" / "datafile_recipe.dat") << text;

    ASSERT_EQ(runText("open RecipeBookMarkViewC\ntap savepdf\nalert \"OK \"\n"), 0);
    EXPECT_TRUE(consoleHas("saved success"));
    std::vector<std::filesystem::path> pdfs;
    for (const auto& entry : std::filesystem::directory_iterator(home / "Documents"))
        if (entry.path().extension() == ".pdf") pdfs.push_back(entry.path());
    ASSERT_EQ(pdfs.size(), 1u);
    const int pages = quillora::test::pdfPageCount(pdfs[0]);
    EXPECT_EQ(quillora::test::pdfPageLines(pdfs[0], 1).front(), "Crêpes");
    EXPECT_EQ(quillora::test::pdfPageLines(pdfs[0], pages).back(), "Serve warm.");
    // Every flag is on paper, none beyond a page's edge: the flag letters come out in order.
    auto flagLetters = [](const std::string& s) {
        std::string out;
        for (std::size_t at = s.find("\xF0\x9F\x87"); at != std::string::npos;
             at = s.find("\xF0\x9F\x87", at + 4))
            out += s[at + 3];
        return out;
    };
    const std::string printed = flagLetters(quillora::test::pdfWords(pdfs[0]));
    EXPECT_EQ(printed.size(), flagLetters(text).size());
    EXPECT_TRUE(printed == flagLetters(text)) << "the flags differ from the text's";
}

TEST_F(ScreenScriptsTest, TemplateButtonOpensTheGalleryAndItsCancelClosesIt) {
    ASSERT_EQ(runText("tap StickyDynamicButton\nshow\npress cancel\nshow\n"), 0);
    auto gallery = printout("ViewController", 0);
    EXPECT_TRUE(contains(gallery, "presented UIHostingController"));
    EXPECT_TRUE(contains(gallery, "Text \"CHOOSE A DOCUMENT \""));
    EXPECT_TRUE(consoleHas("cancel pressed "));
    EXPECT_FALSE(contains(printout("ViewController", 1), "presented"));
}

TEST_F(ScreenScriptsTest, TheFourLettersGoFromTheGalleryToTheirPdfs) {
    ASSERT_EQ(run(kScripts / "letters.txt"), 0);
    EXPECT_TRUE(contains(printout("ViewController", 1), "UIImagePickerController source=photoLibrary"));
    EXPECT_TRUE(contains(printout("ViewController", 2), "presented PDFModernLetterViewController"));
    EXPECT_TRUE(contains(printout("ViewController", 3), "presented PreviewViewController"));
    EXPECT_TRUE(contains(printout("ViewController", 4), "presented PDFBusinessLetterViewController"));
    EXPECT_FALSE(contains(printout("ViewController", 5), "presented")) << "every level closed";

    // The stored dictionaries and the photo copy, read back from the files.
    std::ifstream plist(home / "Library" / "Preferences" / "com.quillora.app.plist");
    std::string prefs((std::istreambuf_iterator<char>(plist)), {});
    for (const char* key :
         {"SavedModernLetter", "SavedModernBoldLetter", "SavedPersonalLetter", "SavedBusinessLetter"})
        EXPECT_NE(prefs.find(std::string("<key>") + key + "</key>"), std::string::npos) << key;
    const std::string photo = (home / "tmp" / "handle.png").string();
    EXPECT_NE(prefs.find("<key>SaveImageData</key>\n\t<string>" + photo + "</string>"), std::string::npos)
        << prefs;
    for (const char* value : {"<string>Robin Quill</string>", "<string>fst-italic</string>",
                              "<string>Quill &amp; Sons Ltd</string>", "<string>December 2, 2026</string>"})
        EXPECT_NE(prefs.find(value), std::string::npos) << value;
    std::ifstream copy(photo, std::ios::binary);
    char magic[3] = {};
    copy.read(magic, 3);
    EXPECT_EQ(std::string(magic, 3), "\xFF\xD8\xFF");

    // The letters as printed: the typed texts and, on the modern and business letters, the logo.
    const auto tmp = home / "tmp";
    const std::string modern = quillora::test::pdfWords(tmp / "MyPDFmodernLetter.pdf");
    EXPECT_NE(modern.find("Robin Quill"), std::string::npos) << modern;
    EXPECT_NE(modern.find("December 2, 2026"), std::string::npos);
    const std::string business = quillora::test::pdfWords(tmp / "MyPDFmodernBoldLetter.pdf");
    EXPECT_NE(business.find("Quill & Sons Ltd"), std::string::npos) << business;
    EXPECT_NE(quillora::test::pdfWords(tmp / "MyPDFpersonalLetter.pdf").find("Robin Hale Jr."),
              std::string::npos);
    for (const char* pdf : {"MyPDFmodernLetter.pdf", "MyPDFmodernBoldLetter.pdf"}) {
        const std::string images =
            quillora::test::run("pdfimages -list " + quillora::test::quoted(tmp / pdf));
        EXPECT_NE(images.find("240   240  rgb     3   8  jpeg"), std::string::npos) << pdf << "\n" << images;
    }
}

// A data folder whose name is in another encoding than UTF-8 (which preferences cannot carry): the
// logo picked into a letter is still printed in it. Under a UTF-8 folder the whole path is stored,
// as earlier versions read it.
TEST_F(ScreenScriptsTest, ALogoPickedUnderAFolderNamedInAnotherEncodingIsPrintedInTheLetter) {
    struct Case {
        std::string folder;
        bool wholePathStored;
    };
    for (const Case& c : {Case{"plain", true}, Case{"caf\xE9 \xFF", false}}) {
        const auto data = home / c.folder;
        const auto script = home / "logo.txt";
        std::ofstream(script) << "tap StickyDynamicButton\npress Modern Letter\npress Select Logo\n"
                                 "photo handle.png\npress Preview\nwait 2\n";
        ASSERT_EQ(run(script, nullptr, platform::RunLoop::kDefaultVirtualEpoch, data), 0) << c.folder;
        platform::resetSharedInstances();

        const std::string images = quillora::test::run(
            "pdfimages -list " + quillora::test::quoted(data / "tmp" / "MyPDFmodernLetter.pdf"));
        EXPECT_NE(images.find("240   240  rgb     3   8  jpeg"), std::string::npos)
            << c.folder << ": the logo is left out\n"
            << images;
        std::ifstream plist(data / "Library" / "Preferences" / "com.quillora.app.plist");
        const std::string prefs((std::istreambuf_iterator<char>(plist)), {});
        const std::string stored =
            c.wholePathStored ? (data / "tmp" / "handle.png").string() : "tmp/handle.png";
        EXPECT_NE(prefs.find("<key>SaveImageData</key>\n\t<string>" + stored + "</string>"),
                  std::string::npos)
            << c.folder << "\n"
            << prefs;
    }
}

TEST_F(ScreenScriptsTest, TheNineOtherFormsStoreWhatWasTypedAndChosenAndPrintIt) {
    ASSERT_EQ(run(kScripts / "forms.txt"), 0);
    EXPECT_TRUE(contains(printout("ViewController", 0), "presented PDFNotesViewController"));
    EXPECT_TRUE(contains(printout("ViewController", 1), "presented PDFModernreportViewController"));
    EXPECT_FALSE(contains(printout("ViewController", 2), "presented")) << "every level closed";

    std::ifstream plist(home / "Library" / "Preferences" / "com.quillora.app.plist");
    std::string prefs((std::istreambuf_iterator<char>(plist)), {});
    for (const char* value : {"<string>Harbour walk notes</string>", "<string>fst-italic</string>",
                              "<string>Dana Scholar</string>", "<string>$900/Month</string>",
                              "<string>Oak table</string>", "<string>text-warning</string>"})
        EXPECT_NE(prefs.find(value), std::string::npos) << value;

    const auto tmp = home / "tmp";
    // Typed markup and marks show as the letters typed.
    EXPECT_NE(quillora::test::pdfWords(tmp / "MyPDFDocumentEssay.pdf").find("<b>Tom & \"Jerry\"</b> #DATE#"),
              std::string::npos);
    for (const auto& [pdf, text] : std::vector<std::pair<std::string, std::string>>{
             {"MyPDFDocNotes1.pdf", "Harbour walk notes"},
             {"MyPDFDocumentResearch.pdf", "Dana Scholar"},
             {"MyPDFDocumentModernreport.pdf", "Tidal Energy"},
             {"MyPDFDocumentSchoolreport.pdf", "Easy Decorating"},
             {"MyPDFDocumentEventP.pdf", "HARBOUR ART"},
             {"MyPDFDocRentFly.pdf", "Oak table"}})
        EXPECT_NE(quillora::test::pdfWords(tmp / pdf).find(text), std::string::npos) << pdf;
    const std::string images = quillora::test::run(
        "pdfimages -list " + quillora::test::quoted(tmp / "MyPDFDocumentModernreport.pdf"));
    EXPECT_NE(images.find("240   240  rgb     3   8  jpeg"), std::string::npos) << images;
}

// `refused REASON | LINE` runs LINE and expects it to fail with REASON in its message.
TEST_F(ScreenScriptsTest, ScreenActionsRefuseWhatAPersonCannotDo) {
    std::vector<std::string> unrefused;
    auto extend = [&](ScriptInterpreter& interpreter) {
        interpreter.addCommand(
            "refused", "refused REASON | LINE", [&](ScriptInterpreter& self, const ScriptLine& line) {
                auto bar = line.rest.find(" | ");
                std::string reason = line.rest.substr(0, bar), command = line.rest.substr(bar + 3);
                try {
                    self.runLine(command, line.number);
                    unrefused.push_back(command + ": ran");
                } catch (const ScriptError& error) {
                    if (std::string(error.what()).find(reason) == std::string::npos)
                        unrefused.push_back(command + ": " + error.what());
                }
            });
    };
    ASSERT_EQ(
        runText("refused no control named 'table' | row table 0\n"
                "refused the current screen is not a declarative screen | press Save\n"
                "refused no screen is presented | dismiss\n"
                "refused no photo picker is shown | photo handle.png\n"
                "refused the current screen is not a declarative screen | choose Heading Item\n"
                "refused no scene 'Nowhere' | open Nowhere\n"
                "tap StickyDynamicButton\n"
                "refused no button labelled \"Nothing\" | press Nothing\n"
                "refused a presented screen is in front | open WebView\n"
                "refused 3 buttons whose label starts with \"Modern\" | press Modern\n"
                "press Modern Letter\n"
                "refused no button \"Huge\" under \"Font Size : Body\" | choose \"Font Size : Body\" Huge\n"
                "press Select Logo\n"
                "refused is not a PNG or JPEG image | photo demo.wav\n"
                "alert OK\n"
                "photo cancel\n"
                "press cancel\n"
                "dismiss\n"
                "tap SaveDynamicButton\n"
                "refused 'table' has no row 3 (it has 3) | row table 3\n"
                "refused the row must be a whole number | swipe table one delete.jpg\n"
                "refused the swipe has no action 'Share' (it offers 'delete.jpg', 'PDF.jpg') | swipe table 0 "
                "Share\n"
                "refused 'table' is not in editing mode | delete table 0\n"
                "refused no control named 'Edit' | tap Edit\n"
                "refused 'searchBar' is not a table | row searchBar 0\n",
                extend),
        0);
    EXPECT_TRUE(unrefused.empty()) << testing::PrintToString(unrefused);
}

TEST_F(ScreenScriptsTest, NotesScreenDictatesEditsInTheOverlayAndSavesIntoTheNotesList) {
    ASSERT_EQ(run(kScripts / "notes-screen.txt"), 0);

    auto dictating = printout("NotesViewController", 0);
    EXPECT_TRUE(contains(dictating, "textView: UITextView text=\"📝 on the ☑️\""));
    EXPECT_TRUE(contains(dictating, "Clipboard: UITextView text=\" First note with a 📌 and a 📎\""));
    EXPECT_TRUE(contains(dictating, "segmentcontrol: UISegmentedControl segments=Dictation|[Notes]|Recipe"));
    const std::string transcript = " First note with a 📌 and a 📎 📝 on the ☑️ typed here📌";
    auto edited = printout("NotesViewController", 1);
    EXPECT_TRUE(contains(edited, "NotesViewController background=lightGray"));
    EXPECT_TRUE(contains(edited, "Clipboard: UITextView text=\"" + transcript + "\""));
    EXPECT_TRUE(contains(edited, "pushpin: UIButton title=\"📌\" off-screen"))
        << "the bar went with the keyboard";
    EXPECT_TRUE(consoleHas("completion block"));

    auto saved = platform::readStringArrayPlist((home / "Documents" / "notesNVC.txt").string());
    ASSERT_TRUE(saved);
    ASSERT_FALSE(saved->empty());
    EXPECT_EQ(saved->front(), transcript);
    EXPECT_TRUE(
        contains(printout("ViewController", 0), "segmentcontrol: UISegmentedControl segments=[Dictation]"))
        << "Dictation went back to the first screen";
    EXPECT_TRUE(consoleHas("app going to terminate"));
}

TEST_F(ScreenScriptsTest, NotesScreenDictatesARecordingWithRealRecognitionIntoTheNotesList) {
    ASSERT_EQ(run(kScripts / "notes-real-audio.txt"), 0);
    auto saved = platform::readStringArrayPlist((home / "Documents" / "notesNVC.txt").string());
    ASSERT_TRUE(saved);
    ASSERT_FALSE(saved->empty());
    // The bundled recording is a clip whose decoding is exact.
    EXPECT_NE(saved->front().find("forward ten meters"), std::string::npos) << saved->front();
}

TEST_F(ScreenScriptsTest, RecipeScreenDictatesFoodAndARecordingIntoTheRecipeList) {
    ASSERT_EQ(run(kScripts / "recipe-screen.txt"), 0);
    auto screen = printout("RecipeViewController", 0);
    EXPECT_TRUE(contains(screen, "RecipeViewController background=orange"));
    EXPECT_TRUE(contains(screen, "two 🍎 and a 🍕"));
    EXPECT_TRUE(contains(screen, "✔️📌\""));
    EXPECT_TRUE(contains(printout("RecipeVCTabelView", 0), "selected=0"));

    auto saved = platform::readStringArrayPlist((home / "Documents" / "notesRVC.txt").string());
    ASSERT_TRUE(saved);
    ASSERT_FALSE(saved->empty());
    const std::string& entry = saved->front();
    const auto heard = entry.find("Go forward ten meters");
    ASSERT_NE(heard, std::string::npos) << entry;
    EXPECT_EQ(entry.find("Go forward ten meters", heard + 1), std::string::npos) << "once: " << entry;
    EXPECT_NE(entry.find("two 🍎 and a 🍕"), std::string::npos);

    EXPECT_TRUE(contains(printout("RecipeBookMarkViewC", 0), "RecipeBookMarkViewC"))
        << "reached by its button";
    int pdfs = 0;
    for (const auto& file : std::filesystem::directory_iterator(home / "Documents"))
        pdfs += file.path().extension() == ".pdf";
    EXPECT_EQ(pdfs, 1);
}

TEST_F(ScreenScriptsTest, EachListsEntryIsContinuedOnItsDetailScreenAndGoesBackIntoItsRow) {
    ASSERT_EQ(run(kScripts / "detail-screens.txt"), 0);
    auto main = printout("DetailVCTableView", 0);
    EXPECT_TRUE(
        contains(main, "recordButton: UIButton title=\"Start Recording\" image=\"French_Play_Button.png\""));
    EXPECT_TRUE(contains(main, "pickerView: UIPickerView row=4/29 \"🇫🇷French\" hidden"));
    auto saved = platform::readStringArrayPlist((home / "Documents" / "notes.txt").string());
    ASSERT_TRUE(saved);
    ASSERT_FALSE(saved->empty());
    const std::string& entry = saved->front();
    EXPECT_NE(entry.find("First entry."), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nContinued here.\n"), std::string::npos) << "a paragraph of its own: " << entry;
    EXPECT_NE(entry.find("\nEt en français.\n"), std::string::npos) << "dictated in French: " << entry;
    EXPECT_EQ(entry.substr(entry.size() - 4), "📌");

    auto notes = platform::readStringArrayPlist((home / "Documents" / "notesNVC.txt").string());
    ASSERT_TRUE(notes);
    ASSERT_FALSE(notes->empty());
    EXPECT_EQ(notes->front(), "A note, edited.✔️") << "the editor's text, then the symbol";
    auto notesScreen = printout("DetailNotesVCTableView", 0);
    EXPECT_TRUE(contains(notesScreen, "pickerView: UIPickerView row=0/29 \"🇺🇸English-US\""));
    EXPECT_FALSE(contains(notesScreen, "\"🇺🇸English-US\" hidden")) << "the language button showed the picker";

    auto refused = printout("DetailRecipeVCTableView", 0);
    EXPECT_TRUE(
        contains(refused, "title=\"User denied access to speech recognition\" image=\"Play.png\" disabled"));
    EXPECT_TRUE(consoleHas("User denied access to speech recognition"));
    // Offline, the record button's alert was answered; the run never started.
    EXPECT_TRUE(contains(printout("DetailRecipeVCTableView", 1), "recordButton: UIButton title=\"Button\""));
}

TEST_F(ScreenScriptsTest, TheDetailScreensLanguageIsTheEnvironmentsRegion) {
    const char* before = std::getenv("LC_ALL");
    const std::string kept = before ? before : "";
    setenv("LC_ALL", "fr_FR.UTF-8", 1);
    const int status = runText("microphone silence\ntap SaveDynamicButton\nrow table 0\nshow\n");
    if (before)
        setenv("LC_ALL", kept.c_str(), 1);
    else
        unsetenv("LC_ALL");
    ASSERT_EQ(status, 0);
    auto screen = printout("DetailVCTableView", 0);
    EXPECT_TRUE(contains(screen, "pickerView: UIPickerView row=4/29 \"🇫🇷French\" hidden"));
    EXPECT_TRUE(contains(screen, "image=\"French_Play_Button.png\""));
}

TEST_F(ScreenScriptsTest, ARecordingIsDictatedIntoASavedEntryWithRealRecognition) {
    ASSERT_EQ(run(kScripts / "detail-real-audio.txt"), 0);
    auto saved = platform::readStringArrayPlist((home / "Documents" / "notes.txt").string());
    ASSERT_TRUE(saved);
    ASSERT_FALSE(saved->empty());
    EXPECT_EQ(saved->front().rfind("Item1\nGo forward ten meters\n", 0), 0u) << saved->front();
}

TEST_F(ScreenScriptsTest, PickingALanguageWithoutRecognitionKeepsTheRecordButtonDisabled) {
    ASSERT_EQ(runText("language 20\nwait 1\nshow\nlanguage 1\nwait 1\nshow\n"), 0);
    EXPECT_TRUE(contains(printout("ViewController", 0),
                         "title=\"Connect to the internet\" image=\"Play.png\" disabled"));
    auto english = printout("ViewController", 1);
    EXPECT_TRUE(contains(english, "pickerView: UIPickerView row=1/60"));
    EXPECT_FALSE(contains(english, "disabled")) << "an English row is served";
}

// Termination keeps what is not saved yet: a transcript already in its list, as it stands, is not
// added again, whether its list is still shown or the screen is back from it; one changed since
// is added once more.
TEST_F(ScreenScriptsTest, TerminationAddsATranscriptToItsListOnlyWhenTheListDoesNotHoldIt) {
    const std::pair<const char*, const char*> screens[] = {
        {"", "notes.txt"},
        {"segment segmentcontrol Notes\n", "notesNVC.txt"},
        {"segment segmentcontrol Recipe\n", "notesRVC.txt"}};
    const std::string dictate = "tap recordButton\nfinal Hello there.\ntap recordButton\nwait 2\n";
    struct Case {
        const char* steps;
        const char* added; // what termination adds to the list; none when empty
    };
    const Case cases[] = {{"", ""},
                          {"back\n", ""},
                          {"back\ntap recordButton\nfinal Later.\ntap recordButton\nwait 2\n", "Later."}};
    for (const auto& [open, file] : screens)
        for (const auto& [steps, added] : cases) {
            SCOPED_TRACE(std::string(file) + " after Save, " + (*steps ? steps : "the list shown\n"));
            platform::resetSharedInstances();
            std::filesystem::remove_all(home / "Documents");
            ASSERT_EQ(runText("scripted\nmicrophone silence\n" + std::string(open) + dictate +
                              "tap SaveDynamicButton\n" + steps + "terminate\n"),
                      0);
            auto rows = platform::readStringArrayPlist((home / "Documents" / file).string());
            ASSERT_TRUE(rows);
            ASSERT_GE(rows->size(), 2u);
            EXPECT_EQ(std::count(rows->begin(), rows->end(), " Hello there."), 1)
                << testing::PrintToString(*rows);
            const std::string& first = rows->front();
            if (*added)
                EXPECT_NE(first.find(added), std::string::npos) << testing::PrintToString(*rows);
            else
                EXPECT_EQ(first, " Hello there.");
        }
}

// A dictated phrase holding what a list file cannot carry (a form feed, an escape, a NUL, bytes
// that are no UTF-8) is saved into the list with those characters as U+FFFD, and quitting after
// the Save does not add it again.
TEST_F(ScreenScriptsTest, APhraseWithAControlCharacterIsSavedIntoTheListOnce) {
    const std::pair<std::string, std::string> phrases[] = {{"page\x0C"
                                                            "break",
                                                            "page\uFFFDbreak"},
                                                           {"\x1B[1mbold", "\uFFFD[1mbold"},
                                                           {std::string("a\0b", 3), "a\uFFFDb"},
                                                           {"caf\xE9", "caf\uFFFD"}};
    for (const auto& [said, stored] : phrases) {
        SCOPED_TRACE(stored);
        platform::resetSharedInstances();
        std::filesystem::remove_all(home / "Documents");
        takeConsole();
        ASSERT_EQ(runText("scripted\nmicrophone silence\ntap recordButton\nfinal " + said +
                          "\ntap recordButton\nwait 2\ntap SaveDynamicButton\nterminate\n"),
                  0);
        auto rows = platform::readStringArrayPlist((home / "Documents" / "notes.txt").string());
        ASSERT_TRUE(rows);
        EXPECT_EQ(std::count(rows->begin(), rows->end(), " " + stored), 1) << testing::PrintToString(*rows);
        const auto lines = takeConsole();
        EXPECT_FALSE(contains(lines, "Not saved")) << testing::PrintToString(lines);
    }
}

// Quitting with several dictation screens kept (the one shown, the first screen under it, one
// switched away from): each saves what it holds, and the end is announced once.
TEST_F(ScreenScriptsTest, QuittingWithSeveralScreensKeptAnnouncesTheEndOnceAndSavesEach) {
    const std::string notes = "scripted\nmicrophone silence\nsegment segmentcontrol Notes\nwait 1\n"
                              "tap recordButton\nfinal Noted here.\ntap recordButton\nwait 2\n";
    struct Case {
        const char* name;
        std::string script;
    };
    const Case cases[] = {
        {"on the notes screen", notes + "terminate\n"},
        {"back on the first screen", notes + "segment segmentcontrol Dictation\nwait 1\nterminate\n"},
        {"on the recipe screen", notes + "segment segmentcontrol Recipe\nwait 1\nterminate\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::resetSharedInstances();
        std::filesystem::remove_all(home / "Documents");
        std::filesystem::remove_all(home / "Library");
        ASSERT_EQ(runText(c.script), 0);
        const auto lines = takeConsole();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "app going to terminate"), 1);
        auto saved = platform::readStringArrayPlist((home / "Documents" / "notesNVC.txt").string());
        ASSERT_TRUE(saved) << "the notes screen saved nothing";
        ASSERT_FALSE(saved->empty());
        EXPECT_EQ(saved->front(), " Noted here.");
    }
}
