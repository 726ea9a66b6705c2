// The template screen driven as a user would: presented, left to load and render on the virtual
// clock, then previewed, printed and shared.

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>

#include "pdf/PDFScreenKit.h"
#include "pdf/PDFTemplateViewController.h"
#include "pdf/PreviewViewController.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/webkit/UIPrintInteractionController.h"
#include "tests/pdf/screens/ScreenTestSupport.h"

namespace quillora {
namespace {

using namespace platform;

class PDFTemplateScreenTest : public test::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        storeTemplateDictionary("SavedEssay", {{"Instructor_Name", "Dr Alvarez"},
                                               {"Page_Heading", "Tides & Moons"},
                                               {"Page_SubHeading", "A short essay"},
                                               {"Font_SizeBody", "fs-5"},
                                               {"Font_WeightBody", "fw-normal"},
                                               {"TextColor_Body", "text-dark"},
                                               {"Font_SizeHeading", "fs-2"},
                                               {"TextColor_Heading", "text-primary"},
                                               {"Font_SizeSubheading", "fs-4"},
                                               {"TextColor_SubHeading", "text-secondary"}});
    }

    template <class Screen> std::shared_ptr<Screen> present() {
        auto screen = std::make_shared<Screen>();
        base->presentViewController_animated_completion(screen, true, nullptr);
        return screen;
    }
    // Lets the page load and the render fall due.
    void render(double delay = 0.2) {
        runUntilIdle();
        advance(delay + 0.001);
    }
    static std::shared_ptr<UIButton> button(UIViewController& screen, const std::string& name) {
        return std::dynamic_pointer_cast<UIButton>(screen.outletNamed(name));
    }
};

TEST_F(PDFTemplateScreenTest, PreviewWaitsForTheRenderDelayAfterThePageLoads) {
    auto screen = present<PDFEssayViewController>();
    EXPECT_FALSE(screen->PreviewButton->isEnabled());
    EXPECT_FALSE(consoleHas("didFinishNavigation")) << "the load finishes on the run loop";

    runUntilIdle();
    EXPECT_TRUE(consoleHas("didFinishNavigation"));
    advance(0.199);
    EXPECT_FALSE(screen->PreviewButton->isEnabled());
    EXPECT_FALSE(screen->pdfFile);
    const auto pdf = tmpFile("MyPDFDocumentEssay.pdf");
    EXPECT_FALSE(std::filesystem::exists(pdf));

    advance(0.002);
    EXPECT_TRUE(screen->PreviewButton->isEnabled());
    ASSERT_EQ(screen->pdfFile, pdf.string());
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_TRUE(consoleHas("PDF location: " + pdf.string()));
    EXPECT_TRUE(consoleHas("open " + pdf.string()));

    // A4 pages, not the context's default letter size; the values are text, not markup.
    EXPECT_NE(test::pdfInfo(pdf).find("595.2 x 841.8 pts"), std::string::npos) << test::pdfInfo(pdf);
    const std::string words = test::pdfWords(pdf);
    EXPECT_NE(words.find("Tides & Moons"), std::string::npos) << words;
    EXPECT_NE(words.find("Dr Alvarez"), std::string::npos) << words;
    EXPECT_NE(words.find("Opening line of the dictation."), std::string::npos) << words;
    EXPECT_NE(words.find("Second line of it"), std::string::npos) << words;
}

TEST_F(PDFTemplateScreenTest, LongTranscriptSpansPagesInOrder) {
    std::string transcript;
    for (int i = 1; i <= 250; ++i)
        transcript += "Dictated line number " + std::to_string(i) + "\n";
    NSUserDefaults::standardUserDefaults()->setObject_forKey(transcript,
                                                             std::string(quillora::keys::saveclipBoardText));
    auto screen = present<PDFEssayViewController>();
    render();
    ASSERT_TRUE(screen->pdfFile);
    const std::string info = test::pdfInfo(*screen->pdfFile);
    const auto at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::stoi(info.substr(at + 6)), 1);
    const std::string words = test::pdfWords(*screen->pdfFile);
    std::size_t from = 0;
    for (int i = 1; i <= 250; ++i) {
        const auto found = words.find("Dictated line number " + std::to_string(i) + ".", from);
        ASSERT_NE(found, std::string::npos) << "line " << i;
        from = found;
    }
}

TEST_F(PDFTemplateScreenTest,
       ALongTranscriptPrintsUnderASpinnerAndACancelMeanwhileShowsNothingButWritesTheFile) {
    // 150 KB of transcript: a print of seconds, made off the main loop.
    std::string transcript;
    for (int i = 1; transcript.size() < (150u << 10); ++i)
        transcript += "Dictated line number " + std::to_string(i) + "\n";
    NSUserDefaults::standardUserDefaults()->setObject_forKey(transcript,
                                                             std::string(quillora::keys::saveclipBoardText));
    auto spinnerOn = [](UIViewController& screen) -> std::shared_ptr<UIActivityIndicatorView> {
        for (auto& v : screen.view()->subviews())
            if (auto s = std::dynamic_pointer_cast<UIActivityIndicatorView>(v)) return s;
        return nullptr;
    };
    const auto pdf = tmpFile("MyPDFDocumentEssay.pdf");

    // The spinner turns from the moment the screen is up, and the main loop with it: the page is
    // filled on the printing worker too. With that worker held, the screen still comes up.
    std::promise<void> gate;
    DispatchQueue::global(DispatchQoS::UserInitiated).async([held = gate.get_future().share()] {
        held.wait();
    });
    auto screen = std::make_shared<PDFEssayViewController>();
    base->presentViewController_animated_completion(screen, false, nullptr);
    runUntilIdle();
    ASSERT_EQ(screen->appearance(), UIViewControllerAppearance::Appeared);
    ASSERT_NE(spinnerOn(*screen), nullptr) << "a spinner at once";
    EXPECT_TRUE(spinnerOn(*screen)->isAnimating());
    EXPECT_TRUE(screen->webView->loadedHTML().empty()) << "the page is filled off the main loop";
    gate.set_value();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !screen->webView->loadedHTML().empty(); }, 10));
    auto spinner = spinnerOn(*screen);
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_TRUE(ScreenRenderer::nextChangeIn()) << "the screen is drawn again while the spinner turns";
    EXPECT_FALSE(screen->PreviewButton->isEnabled()) << "Preview waits for the file";
    EXPECT_FALSE(screen->pdfFile);

    // Cancel while the pages are made: the screen goes, the print still lands in its file, and
    // nothing is shown for it.
    ASSERT_TRUE(button(*screen, "CancelButton")->tap());
    advance(1);
    EXPECT_EQ(base->presentedViewController(), nullptr);
    ASSERT_TRUE(RunLoop::main().settleExternalWork(120));
    EXPECT_EQ(base->presentedViewController(), nullptr);
    EXPECT_EQ(spinner->superview(), nullptr);
    EXPECT_FALSE(ScreenRenderer::nextChangeIn());
    EXPECT_TRUE(consoleHas("open " + pdf.string()));
    EXPECT_TRUE(consoleHas("PDF location: " + pdf.string()));
    ASSERT_EQ(screen->pdfFile, pdf.string());
    EXPECT_TRUE(screen->PreviewButton->isEnabled());
    EXPECT_GT(test::pdfPageCount(pdf), 1);
    const std::string words = test::pdfWords(pdf);
    const std::string last =
        transcript.substr(transcript.rfind("Dictated"), transcript.size() - 1 - transcript.rfind("Dictated"));
    EXPECT_NE(words.find("Dictated line number 1."), std::string::npos);
    EXPECT_NE(words.find(last + "."), std::string::npos) << "the last line is printed";
}

TEST_F(PDFTemplateScreenTest, ButtonRowFollowsTheDevice) {
    {
        auto screen = present<PDFResearchViewController>();
        const CGFloat y = UIScreen::mainScreen().bounds().height() - 200;
        EXPECT_EQ(screen->SharePDFButton->frame(), CGRect(260, y, 50, 50));
        EXPECT_EQ(screen->CancelButton->frame(), CGRect(20, y, 50, 50));
        EXPECT_EQ(screen->PreviewButton->frame(), CGRect(100, y, 50, 50));
        EXPECT_EQ(screen->SavePDFButton->superview(), screen->webView) << "research shows Save";
        EXPECT_EQ(screen->webView->superview(), screen->view());
        EXPECT_EQ(screen->view()->constraints().size(), 4u);
        EXPECT_EQ(screen->SavePDFButton->actionsForTarget_forControlEvent(screen.get(),
                                                                          UIControlEvent::TouchUpInside),
                  std::vector<std::string>{"Cancel"});
        ASSERT_TRUE(screen->SavePDFButton->tap());
        EXPECT_EQ(base->presentedViewController(), nullptr) << "Save closes the screen";
    }
    {
        UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiom::Pad);
        UIScreen::mainScreen().setBounds({0, 0, 820, 1180});
        auto screen = present<PDFEssayViewController>();
        EXPECT_EQ(screen->SharePDFButton->frame(), CGRect(260, 730, 70, 50));
        EXPECT_EQ(screen->SavePDFButton->superview(), nullptr) << "the essay keeps Save off screen";
        EXPECT_EQ(screen->SharePDFButton->actionsForTarget_forControlEvent(screen.get(),
                                                                           UIControlEvent::TouchUpInside),
                  std::vector<std::string>{"SharePDF"});
        render();
        ASSERT_TRUE(button(*screen, "PreviewButton")->tap());
        auto preview = std::dynamic_pointer_cast<PreviewViewController>(screen->presentedViewController());
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(preview->SharePDFButton->frame(), CGRect(260, 730, 50, 50)) << "not widened in the preview";
        EXPECT_EQ(preview->PrintButton->frame(), CGRect(100, 730, 50, 50));
    }
    {
        base->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
        auto screen = present<PDFRealEstateViewController>();
        // Placed when the screen loaded, at the full screen's size; the sheet is shorter and still
        // shows it.
        const CGRect root = UIScreen::mainScreen().bounds();
        EXPECT_EQ(screen->PreviewButton->frame(), CGRect(root.width() / 2 + 20, root.height() / 2, 50, 50));
        EXPECT_LT(screen->PreviewButton->frame().maxY(), screen->view()->bounds().maxY());
        EXPECT_EQ(screen->webView->subviews().size(), 1u) << "only Preview on the reduced screen";
        EXPECT_EQ(screen->outletNamed("SharePDFButton"), nullptr);
    }
}

TEST_F(PDFTemplateScreenTest, PreviewShowsPrintsAndClosesOverTheRenderedFile) {
    auto screen = present<PDFEssayViewController>();
    render();
    const std::string pdf = *screen->pdfFile;
    ASSERT_TRUE(button(*screen, "PreviewButton")->tap());
    EXPECT_FALSE(screen->PreviewButton->isEnabled()) << "disabled until the next render";
    auto preview = std::dynamic_pointer_cast<PreviewViewController>(screen->presentedViewController());
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->pdfFile, pdf);
    EXPECT_EQ(preview->webView->loadedFile(), std::filesystem::path(pdf));

    ASSERT_TRUE(button(*preview, "PrintButton")->tap());
    auto& printer = UIPrintInteractionController::sharedPrintController();
    ASSERT_EQ(printer.presentedJobs().size(), 1u);
    const auto& job = printer.presentedJobs()[0];
    EXPECT_EQ(job.jobName, WKWebView::fileURLForPath(pdf));
    EXPECT_TRUE(job.jobName.starts_with("file:///") && job.jobName.ends_with("/MyPDFDocumentEssay.pdf"));
    EXPECT_EQ(job.printingItem, job.jobName);
    EXPECT_TRUE(job.showsNumberOfCopies);
    EXPECT_FALSE(job.hasPageRenderer);
    EXPECT_EQ(job.duplex, UIPrintInfoDuplex::none);
    EXPECT_EQ(job.orientation, UIPrintInfoOrientation::portrait);
    printer.dismissAnimated(false);

    ASSERT_TRUE(button(*preview, "SavePDFButton")->tap());
    runUntilIdle();
    EXPECT_EQ(screen->presentedViewController(), nullptr) << "Save closes the preview like Cancel";
    EXPECT_EQ(base->presentedViewController(), screen);
    EXPECT_FALSE(screen->PreviewButton->isEnabled());
}

TEST_F(PDFTemplateScreenTest, LetterPreviewStaysAvailableAndShowsTheLatestRender) {
    storeTemplateDictionary("SavedModernLetter", {{"Your_Name", "First Sender"}});
    auto screen = present<PDFModernLetterViewController>();
    render(0.5);
    ASSERT_TRUE(screen->PreviewButton->tap());
    EXPECT_TRUE(screen->PreviewButton->isEnabled());
    auto first = std::dynamic_pointer_cast<PreviewViewController>(screen->presentedViewController());
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->CancelButton->tap());
    runUntilIdle();

    // Shown again, the screen fills and renders anew over the same file.
    storeTemplateDictionary("SavedModernLetter", {{"Your_Name", "Second Sender"}});
    screen->viewDidAppear(false);
    render(0.5);
    EXPECT_NE(test::pdfWords(*screen->pdfFile).find("Second Sender"), std::string::npos);
    ASSERT_TRUE(screen->PreviewButton->tap());
    auto second = std::dynamic_pointer_cast<PreviewViewController>(screen->presentedViewController());
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->webView->loadedFile(), std::filesystem::path(*screen->pdfFile));
}

TEST_F(PDFTemplateScreenTest, ShareOffersADatedCopyNamedByTheClock) {
    ::setenv("TZ", "America/New_York", 1);
    NSLocale::setCurrentLocaleForTesting(NSLocale("en_US"));
    RunLoop::main().useVirtualClock(1710443366); // 2024-03-14 19:09:26 UTC

    auto screen = present<PDFEssayViewController>();
    runUntilIdle();
    // Before any render there is nothing to share.
    ASSERT_TRUE(screen->SharePDFButton->tap());
    EXPECT_TRUE(consoleHas("PDF not Uploaded"));
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home / "tmp"), {}), 0);

    advance(0.201);
    ASSERT_TRUE(screen->SharePDFButton->tap());
    auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(screen->presentedViewController());
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    const auto copy = std::get<std::filesystem::path>(sheet->activityItems()[0]);
    const std::string name = copy.filename().string();
    EXPECT_TRUE(name.starts_with("March 14, 2024_3:09:26")) << name;
    EXPECT_TRUE(name.ends_with("PM_Document.pdf")) << name;
    EXPECT_EQ(copy.parent_path(), home / "tmp");
    std::ifstream a(copy, std::ios::binary), b(*screen->pdfFile, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
              std::string(std::istreambuf_iterator<char>(b), {}));
    EXPECT_EQ(sheet->excludedActivityTypes(),
              std::vector<UIActivityType>{"com.apple.UIKit.activity.PostToFacebook"});
    EXPECT_FALSE(sheet->userCompleteWithActivity(UIActivityTypeMail)) << "nothing here provides mail";
    EXPECT_FALSE(consoleHas("completed"));
    EXPECT_TRUE(sheet->userCompleteWithActivity(UIActivityTypeCopyToPasteboard));
    EXPECT_TRUE(consoleHas("completed"));
    runUntilIdle();

    // Within the same second the copy is replaced, not duplicated.
    ASSERT_TRUE(screen->SharePDFButton->tap());
    ASSERT_NE(screen->presentedViewController(), nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home / "tmp"), {}), 2);
    ::unsetenv("TZ");
}

TEST_F(PDFTemplateScreenTest, AShareWhoseCopyCannotBeMadeSaysWhichFileAndWhyAndChangesNothing) {
    namespace fs = std::filesystem;
    auto screen = present<PDFEssayViewController>();
    render();
    ASSERT_TRUE(screen->pdfFile);
    const fs::path pdf = *screen->pdfFile;
    const std::string printed = test::run("cat " + test::quoted(pdf));
    struct rlimit unlimited {};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    struct Case {
        std::string what;
        std::function<void()> breakIt, mend;
        std::string message;
    };
    const std::vector<Case> cases{
        {"the PDF replaced by a pipe",
         [&] {
             fs::rename(pdf, home / "kept.pdf");
             ASSERT_EQ(::mkfifo(pdf.c_str(), 0600), 0);
         },
         [&] {
             fs::remove(pdf);
             fs::rename(home / "kept.pdf", pdf);
         },
         "The PDF \u201C" + pdf.string() + "\u201D could not be read: it is a pipe, not a file"},
        {"a full disk",
         [&] {
             std::signal(SIGXFSZ, SIG_IGN);
             struct rlimit small = unlimited;
             small.rlim_cur = 64;
             setrlimit(RLIMIT_FSIZE, &small);
         },
         [&] { setrlimit(RLIMIT_FSIZE, &unlimited); }, "could not be saved: File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.breakIt();
        ASSERT_TRUE(screen->SharePDFButton->tap());
        c.mend();
        auto alert = std::dynamic_pointer_cast<UIAlertController>(screen->presentedViewController());
        ASSERT_NE(alert, nullptr) << "no share sheet for a copy that is not there";
        EXPECT_EQ(alert->title(), "PDF not shared");
        ASSERT_TRUE(alert->message());
        EXPECT_NE(alert->message()->find(c.message), std::string::npos) << *alert->message();
        EXPECT_TRUE(consoleHas("PDF not Uploaded"));
        std::size_t copies = 0;
        for (const auto& entry : fs::directory_iterator(home / "tmp"))
            copies += entry.path().filename().string().ends_with("_Document.pdf");
        EXPECT_EQ(copies, 0u) << "no copy, not even a part of one";
        EXPECT_EQ(test::run("cat " + test::quoted(pdf)), printed) << "the PDF itself is untouched";
        EXPECT_TRUE(screen->PreviewButton->isEnabled()) << "the screen is as before the share";
        EXPECT_TRUE(alert->pressActionWithTitle("OK"));
        runUntilIdle();
        EXPECT_EQ(screen->presentedViewController(), nullptr);
    }
    // Mended, the share goes on.
    ASSERT_TRUE(screen->SharePDFButton->tap());
    EXPECT_NE(std::dynamic_pointer_cast<UIActivityViewController>(screen->presentedViewController()),
              nullptr);
}

TEST_F(PDFTemplateScreenTest, AFailedRenderSaysWhyAndLeavesPreviewAsItWas) {
    auto screen = present<PDFEssayViewController>();
    render();
    ASSERT_TRUE(screen->pdfFile);
    const auto before = *screen->pdfFile;
    takeConsole();

    // The temporary folder is gone: nothing can be written.
    std::filesystem::remove_all(home / "tmp");
    ASSERT_TRUE(screen->PreviewButton->tap());
    screen->presentedViewController()->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();
    screen->viewDidAppear(false);
    render();
    EXPECT_TRUE(consoleHas("PDF not written: " + before));
    EXPECT_EQ(screen->pdfFile, before);
    EXPECT_FALSE(screen->PreviewButton->isEnabled()) << "stays as the preview left it";
    auto alert = std::dynamic_pointer_cast<UIAlertController>(screen->presentedViewController());
    ASSERT_TRUE(alert) << "the person hears that no PDF was made";
    EXPECT_EQ(alert->message(), std::optional<std::string>("PDF not written: " + before));
    EXPECT_TRUE(alert->pressActionWithTitle("OK"));
    runUntilIdle();

    // Content that fills no page makes no PDF (and keeps an older one).
    std::filesystem::create_directories(home / "tmp");
    test::writeFile(tmpFile("Empty.pdf"), "older");
    auto formatter = std::make_shared<UIMarkupTextPrintFormatter>("<p>text</p>");
    formatter->perPageContentInsets = {0, 300, 0, 300};
    EXPECT_FALSE(screen->createPDFFromPrintFormatter(formatter, "Empty"));
    EXPECT_TRUE(consoleHas("PDF not written, the page is empty: " + tmpFile("Empty.pdf").string()));
    EXPECT_EQ(test::run("cat " + test::quoted(tmpFile("Empty.pdf"))), "older");
}

TEST_F(PDFTemplateScreenTest, UnreadableTemplateLoadsNothing) {
    NSBundle::mainBundle().setBundlePath(home / "empty-bundle");
    auto screen = present<PDFEssayViewController>();
    render(1);
    EXPECT_TRUE(consoleHas("ERROROROOROROROOROROROOR"));
    EXPECT_FALSE(consoleHas("didFinishNavigation"));
    EXPECT_FALSE(screen->PreviewButton->isEnabled());
    EXPECT_FALSE(screen->webView->URL());
}

TEST_F(PDFTemplateScreenTest, FillReadsTheStoreAndObservesTheNameNotification) {
    NSUserDefaults::standardUserDefaults()->setObject_forKey((home / "pick.jpg").string(),
                                                             std::string(quillora::keys::SaveImageData));
    storeTemplateDictionary("SavedDictNote1", {{"Font_Size", "fs-3"},
                                               {"Display_Date", "May 2, 2024"},
                                               {"Display_Time", " "},
                                               {"Page_Title", "Minutes"}});
    auto notes = present<PDFNotesViewController>();
    runUntilIdle();
    EXPECT_TRUE(consoleHas("PDFCREATECONTROLLER font size: fs-3"));
    EXPECT_TRUE(consoleHas("DisplayDate : May 2, 2024"));
    EXPECT_NE(notes->webView->loadedHTML().find("Minutes"), std::string::npos);

    notes->viewWillAppear(false);
    auto& center = NSNotificationCenter::defaultCenter();
    EXPECT_EQ(center.registrationCount(notes.get(), "printValue1"), 1u);
    center.postNotificationName("printValue1", nullptr, {{"value", std::string("Ana")}});
    EXPECT_EQ(notes->yourNametext, "Ana");
    center.postNotificationName("printValue1", nullptr, {{"other", std::string("x")}});
    EXPECT_EQ(notes->yourNametext, "Ana");
    notes->dismissViewControllerAnimated_completion(false, nullptr);
    runUntilIdle();

    takeConsole();
    auto report = present<PDFModernreportViewController>();
    runUntilIdle();
    EXPECT_TRUE(consoleHas("Saved image value :" + (home / "pick.jpg").string()));
    EXPECT_NE(report->webView->loadedHTML().find((home / "pick.jpg").string()), std::string::npos);
}

TEST_F(PDFTemplateScreenTest, TranscriptDefaultIsStoredOnce) {
    NSUserDefaults::standardUserDefaults()->removeObjectForKey(
        std::string(quillora::keys::saveclipBoardText));
    storeDefaultTranscriptIfMissing();
    EXPECT_EQ(storedTranscript(), "...");
    NSUserDefaults::standardUserDefaults()->setObject_forKey("kept",
                                                             std::string(quillora::keys::saveclipBoardText));
    storeDefaultTranscriptIfMissing();
    EXPECT_EQ(storedTranscript(), "kept");
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"default value of clipboard setting",
                                                       "clipboard text alreadt there"}));
}

TEST_F(PDFTemplateScreenTest, PreviewWithoutAFileShowsAndPrintsNothing) {
    auto preview = std::make_shared<PreviewViewController>();
    base->presentViewController_animated_completion(preview, false, nullptr);
    EXPECT_TRUE(consoleHas("Couldn't load PDF"));
    ASSERT_TRUE(preview->PrintButton->tap());
    EXPECT_TRUE(UIPrintInteractionController::sharedPrintController().presentedJobs().empty());
    ASSERT_TRUE(preview->SharePDFButton->tap());
    EXPECT_TRUE(consoleHas("PDF not Uploaded"));
    EXPECT_EQ(preview->presentedViewController(), nullptr);
}

} // namespace
} // namespace quillora
