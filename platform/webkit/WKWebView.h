#pragma once
// The web view: holds the page it was given (HTML with the folder its references come from, or a
// file such as a PDF to show), reports each finished load to its navigation delegate on the run
// loop, and hands out a print formatter for the page. HTML is laid out when drawn or printed.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIView.h"
#include "platform/webkit/PDFPagesView.h"
#include "platform/webkit/UIPrintFormatter.h"

namespace platform {

class WKWebView;

// One load, as handed back by the load calls and to the delegate.
class WKNavigation : public NSObject {
public:
    explicit WKNavigation(std::uint64_t number) : number_(number) {}
    std::uint64_t number() const { return number_; }

private:
    std::uint64_t number_;
};

class WKNavigationDelegate {
public:
    virtual ~WKNavigationDelegate() = default;
    virtual void webView_didFinishNavigation(WKWebView&, const std::shared_ptr<WKNavigation>&) {}
    virtual void webView_didFailNavigation_withError(WKWebView&, const std::shared_ptr<WKNavigation>&,
                                                     const std::string& /*error*/) {}
};

class WKWebView : public UIView {
public:
    WKWebView() = default;
    explicit WKWebView(const CGRect& frame) : UIView(frame) {}
    ~WKWebView() override;

    std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return delegate_.lock(); }
    void setNavigationDelegate(std::weak_ptr<WKNavigationDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // Loads `html`; relative references in it are read from `baseURL` (a file: URL or a folder
    // path; empty for none). The page's address becomes the base URL.
    std::shared_ptr<WKNavigation> loadHTMLString_baseURL(const std::string& html, const std::string& baseURL);
    // Shows the file at `url` (a file: URL or a path), a PDF for instance. A file that cannot be
    // read fails the navigation. Other schemes are not reachable here and fail too. A PDF larger
    // than kPDFOpenedAtOnce is opened on a worker (a large or damaged one takes seconds): its name
    // shows until its pages or the error page do, and the navigation finishes then.
    std::shared_ptr<WKNavigation> loadFileURL_allowingReadAccessToURL(const std::string& url,
                                                                      const std::string& readAccessURL);
    std::shared_ptr<WKNavigation> loadRequest(const std::string& url, double timeoutInterval = 60);
    // Opening a PDF takes poppler about 40 ms a megabyte of a damaged file, less of a sound one.
    static constexpr std::uintmax_t kPDFOpenedAtOnce = std::uintmax_t(1) << 20;

    // The address of the page: "file:///..." (the base URL for HTML), absent before any load.
    const std::optional<std::string>& URL() const { return url_; }
    bool isLoading() const { return loading_; }
    // What is loaded: HTML and its folder, or the file shown.
    const std::string& loadedHTML() const { return html_; }
    const std::filesystem::path& baseFolder() const { return base_; }
    const std::optional<std::filesystem::path>& loadedFile() const { return file_; }

    // A formatter that prints the page as it is loaded now (an empty page when a file is shown).
    std::shared_ptr<UIViewPrintFormatter> viewPrintFormatter() const;

    std::string stateDescription() const override;

    // A PDF file's pages, while one is shown (a subview below any the screen added).
    std::shared_ptr<PDFPagesView> pdfPages() const { return pdf_; }
    // Why the last file could not be shown, while its error page is up.
    const std::optional<std::string>& loadError() const { return error_; }

    // The page laid out at the view's width and scrolled by the bounds' origin; a file that cannot
    // be shown gives the error page.
    void draw(cairo_t* cr) const override;
    void layoutSubviews() override;
    bool clipsWhenDrawn() const override { return true; }
    // A page scrolls under a finger and the wheel; the buttons a screen put on the view stay where
    // they are. It scrolls past its end until its foot clears the highest of them (a screen's
    // button row), so no word of it, on a short page too, stays hidden under them.
    bool scrollsOwnContent() const override;
    bool scrollOwnContentBy(CGFloat dy) override;
    // How far the page is scrolled (points from its top).
    CGFloat pageOffset() const { return pageOffset_; }

    // "file:///a%20b/c.pdf" for "/a b/c.pdf", and back (empty when not a file address).
    static std::string fileURLForPath(const std::filesystem::path& path, bool isDirectory = false);
    static std::filesystem::path pathForFileURL(const std::string& url);

private:
    std::shared_ptr<WKNavigation> start(std::optional<std::string> error);
    std::shared_ptr<WKNavigation> begin();
    void finish(const std::shared_ptr<WKNavigation>& navigation, const std::optional<std::string>& error);
    std::shared_ptr<WKNavigation> openPDF(const std::filesystem::path& path);
    std::optional<std::string> showPDF(const std::filesystem::path& path, PDFPagesView::Opened opened);
    void showFile(const std::filesystem::path& path);
    void removePages();

    std::weak_ptr<WKNavigationDelegate> delegate_;
    std::optional<std::string> url_;
    std::string html_;
    std::filesystem::path base_;
    std::optional<std::filesystem::path> file_;
    std::shared_ptr<PDFPagesView> pdf_;
    // The PDF being opened on the worker, given up when another load replaces it or the view goes.
    std::shared_ptr<GCancellable> opening_;
    std::optional<std::string> error_;
    bool loading_ = false;
    std::uint64_t navigations_ = 0;
    CGFloat pageOffset_ = 0;
    // The last layout, kept while the page and the width stay the same (laying out takes long).
    // A long page is laid out on a worker, the view showing a blank page until it is done.
    struct DrawnPage;
    // The laid-out page, when it is the one loaded now at the view's width.
    const DrawnPage* shownPage() const;
    // How far the page scrolls past its end: from the top of the buttons on the view to its foot.
    CGFloat clearanceBelowPage() const;
    // The farthest the page scrolls.
    CGFloat mostOffset(const HTMLDocument& page) const;
    mutable std::shared_ptr<DrawnPage> drawn_;
    mutable std::shared_ptr<DrawnPage> layingOut_;
};

} // namespace platform
