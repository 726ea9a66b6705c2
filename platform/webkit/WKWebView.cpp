#include "platform/webkit/WKWebView.h"

#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "platform/foundation/Console.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/Drawing.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/webkit/HTMLDocument.h"
#include "platform/webkit/HTMLLongText.h"
#include "platform/webkit/PDFPagesView.h"

namespace platform {

namespace {

// A reference given as a file: URL or as a plain path, as a path; empty for other schemes.
std::filesystem::path asPath(const std::string& reference) {
    if (reference.empty()) return {};
    if (reference.rfind("file:", 0) == 0) return WKWebView::pathForFileURL(reference);
    auto colon = reference.find(':');
    if (colon != std::string::npos && reference.find('/') > colon) return {};
    return reference;
}

// A PDF by its name or by its first bytes.
bool looksLikePDF(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".pdf") return true;
    std::ifstream in(path, std::ios::binary);
    char head[5] = {};
    in.read(head, 5);
    return in.gcount() == 5 && std::string(head, 5) == "%PDF-";
}

} // namespace

std::string WKWebView::fileURLForPath(const std::filesystem::path& path, bool isDirectory) {
    return NSURL::fileURLWithPath(std::filesystem::absolute(path).lexically_normal().string(), isDirectory)
        .absoluteString();
}

std::filesystem::path WKWebView::pathForFileURL(const std::string& url) {
    auto parsed = NSURL::URLWithString(url);
    if (!parsed || !parsed->isFileURL()) return {};
    std::string out = parsed->path();
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::shared_ptr<WKNavigation> WKWebView::begin() {
    loading_ = true;
    pageOffset_ = 0;
    return std::make_shared<WKNavigation>(++navigations_);
}

std::shared_ptr<WKNavigation> WKWebView::start(std::optional<std::string> error) {
    auto navigation = begin();
    // The outcome arrives on the run loop, after the call that started the load has returned.
    std::weak_ptr<WKWebView> weak = self<WKWebView>();
    RunLoop::main().schedule(0, [weak, navigation, error] {
        if (auto view = weak.lock()) view->finish(navigation, error);
    });
    return navigation;
}

void WKWebView::finish(const std::shared_ptr<WKNavigation>& navigation,
                       const std::optional<std::string>& error) {
    // A load replaced by a newer one reports nothing.
    if (navigations_ != navigation->number()) return;
    loading_ = false;
    auto delegate = delegate_.lock();
    if (!delegate) return;
    auto keep = self<WKWebView>();
    if (error)
        delegate->webView_didFailNavigation_withError(*this, navigation, *error);
    else
        delegate->webView_didFinishNavigation(*this, navigation);
}

std::optional<std::string> WKWebView::showPDF(const std::filesystem::path& path,
                                              PDFPagesView::Opened opened) {
    auto pages = std::make_shared<PDFPagesView>();
    const bool tooLarge = opened.tooLarge;
    if (auto reason = pages->show(path, std::move(opened))) {
        console().print("WKWebView: cannot show the PDF " + path.string() + ": " + *reason);
        error_ = "The file \u201C" + path.filename().string() + "\u201D couldn\u2019t be opened because " +
                 (tooLarge ? "it is too large." : "it isn\u2019t in the correct format.");
        return error_;
    }
    pdf_ = pages;
    pdf_->setFrame({0, 0, bounds().width(), bounds().height()});
    // Under whatever the screen has put on the page.
    insertSubview_atIndex(pdf_, 0);
    return std::nullopt;
}

std::shared_ptr<WKNavigation> WKWebView::openPDF(const std::filesystem::path& path) {
    std::error_code ec;
    const auto length = std::filesystem::file_size(path, ec);
    // One too large to be opened is refused at once, without waiting behind another file.
    if (!ec && (length <= kPDFOpenedAtOnce || length > PDFPagesView::kMaxFileLength))
        return start(showPDF(path, PDFPagesView::openFile(path)));
    // Seconds for a large or damaged file: the screen stays live meanwhile.
    auto navigation = begin();
    auto opened = std::make_shared<PDFPagesView::Opened>();
    std::weak_ptr<WKWebView> weak = self<WKWebView>();
    opening_.reset(g_cancellable_new(), g_object_unref);
    DispatchQueue::global(DispatchQoS::UserInitiated)
        .asyncThenMain(
            [opened, path, cancellable = opening_] {
                *opened = PDFPagesView::openFile(path, cancellable.get());
            },
            [weak, navigation, opened, path] {
                auto view = weak.lock();
                if (!view || view->navigations_ != navigation->number()) return;
                view->opening_.reset();
                view->finish(navigation, view->showPDF(path, std::move(*opened)));
            });
    return navigation;
}

std::shared_ptr<WKNavigation> WKWebView::loadHTMLString_baseURL(const std::string& html,
                                                                const std::string& baseURL) {
    html_ = html;
    file_.reset();
    removePages();
    base_ = asPath(baseURL);
    url_ = base_.empty() ? std::optional<std::string>("about:blank") : fileURLForPath(base_, true);
    return start(std::nullopt);
}

std::shared_ptr<WKNavigation> WKWebView::loadFileURL_allowingReadAccessToURL(const std::string& url,
                                                                             const std::string&) {
    return loadRequest(url);
}

std::shared_ptr<WKNavigation> WKWebView::loadRequest(const std::string& url, double) {
    html_.clear();
    base_.clear();
    removePages();
    std::filesystem::path path = asPath(url);
    file_ = path;
    url_ = path.empty() ? url : fileURLForPath(path);
    std::optional<std::string> error;
    if (path.empty()) {
        error = "The Internet connection appears to be offline.";
        file_.reset();
    } else if (std::ifstream in(path, std::ios::binary); !in || std::filesystem::is_directory(path)) {
        error = "The file \u201C" + path.filename().string() + "\u201D couldn\u2019t be opened.";
    } else if (looksLikePDF(path)) {
        return openPDF(path);
    }
    error_ = error;
    return start(error);
}

std::shared_ptr<UIViewPrintFormatter> WKWebView::viewPrintFormatter() const {
    return std::make_shared<UIViewPrintFormatter>(file_ ? std::string() : html_, base_);
}

std::string WKWebView::stateDescription() const {
    std::string out = url_ ? "url=" + quote(*url_) : std::string("empty");
    if (loading_) out += " loading";
    if (auto base = UIView::stateDescription(); !base.empty()) out += " " + base;
    return out;
}

struct WKWebView::DrawnPage {
    std::string html;
    std::filesystem::path base;
    double width = 0;
    std::unique_ptr<HTMLDocument> document;
};

WKWebView::~WKWebView() {
    if (opening_) g_cancellable_cancel(opening_.get());
}

void WKWebView::removePages() {
    if (opening_) g_cancellable_cancel(opening_.get());
    opening_.reset();
    error_.reset();
    if (!pdf_) return;
    pdf_->removeFromSuperview();
    pdf_.reset();
}

void WKWebView::layoutSubviews() {
    UIView::layoutSubviews();
    // Setting a frame puts the bounds back at the top: only a new size does.
    if (pdf_ && (pdf_->frame().width() != bounds().width() || pdf_->frame().height() != bounds().height()))
        pdf_->setFrame({0, 0, bounds().width(), bounds().height()});
}

void WKWebView::draw(cairo_t* cr) const {
    const CGRect b = bounds();
    if (error_ && file_) {
        // The error page: what went wrong, in grey on the page's white.
        Drawing::fillRoundedRectangle(cr, b, 0, UIColor::whiteColor());
        TextStyle title;
        title.font = UIFont::boldSystemFontOfSize(22);
        title.color = UIColor::colorWithWhite_alpha(0.33, 1);
        title.alignment = NSTextAlignment::Center;
        TextStyle detail;
        detail.font = UIFont::systemFontOfSize(15);
        detail.color = UIColor::systemGrayColor();
        detail.alignment = NSTextAlignment::Center;
        const CGRect inner{b.minX() + 32, b.minY(), std::max(0.0, b.width() - 64), b.height()};
        const double titleHeight = TextDrawing::measure("Cannot Open the File", title, inner.width()).height;
        const double detailHeight = TextDrawing::measure(*error_, detail, inner.width()).height;
        const double top = b.minY() + (b.height() - titleHeight - 12 - detailHeight) / 2;
        TextDrawing::draw(cr, "Cannot Open the File", {inner.minX(), top, inner.width(), titleHeight}, title);
        TextDrawing::draw(cr, *error_, {inner.minX(), top + titleHeight + 12, inner.width(), detailHeight},
                          detail);
        return;
    }
    if (pdf_) return;
    if (file_ && html_.empty()) {
        Drawing::fillRoundedRectangle(cr, b, 0, Drawing::chromeBackgroundColor());
        TextStyle style;
        style.color = UIColor::systemGrayColor();
        style.alignment = NSTextAlignment::Center;
        TextDrawing::drawCenteredVertically(cr, file_->filename().string(), b, style);
        return;
    }
    if (html_.empty()) return;
    auto current = [&](const std::shared_ptr<DrawnPage>& page) {
        return page && page->html == html_ && page->base == base_ && page->width == b.width();
    };
    if (!current(drawn_)) {
        auto page = std::make_shared<DrawnPage>();
        page->html = html_;
        page->base = base_;
        page->width = b.width();
        if (html_.size() < kLongTextBytes) {
            page->document = std::make_unique<HTMLDocument>(html_, base_);
            page->document->layout(b.width(), b.height());
            drawn_ = std::move(page);
        } else {
            // Seconds of work for a page of megabytes: the screen stays live meanwhile.
            if (!current(layingOut_)) {
                layingOut_ = page;
                std::weak_ptr<const WKWebView> weak = self<WKWebView>();
                const double height = b.height();
                DispatchQueue::global(DispatchQoS::UserInitiated)
                    .asyncThenMain(
                        [page, height] {
                            page->document = std::make_unique<HTMLDocument>(page->html, page->base,
                                                                            HTMLDocument::Fonts::AnyThread);
                            page->document->layout(page->width, height);
                        },
                        [weak, page] {
                            auto view = weak.lock();
                            if (!view || view->layingOut_ != page) return;
                            view->layingOut_.reset();
                            view->drawn_ = page;
                        });
            }
            return;
        }
    }
    // The slice of the page from the scroll offset down, at the top of the view.
    const CGFloat top = std::clamp<CGFloat>(pageOffset_, 0, mostOffset(*drawn_->document));
    cairo_translate(cr, 0, b.minY());
    drawn_->document->drawSlice(cr, {top, top + b.height()});
}

const WKWebView::DrawnPage* WKWebView::shownPage() const {
    if (pdf_ || error_ || html_.empty() || !drawn_ || !drawn_->document) return nullptr;
    const bool current = drawn_->html == html_ && drawn_->base == base_ && drawn_->width == bounds().width();
    return current ? drawn_.get() : nullptr;
}

CGFloat WKWebView::clearanceBelowPage() const {
    const CGRect b = bounds();
    CGFloat clearance = 0;
    for (const auto& view : subviews()) {
        if (view == pdf_ || view->isHidden() || view->alpha() <= 0) continue;
        const CGFloat top = view->frame().minY() - b.minY();
        // Only what lies over the view hides any of the page.
        if (top >= b.height() || view->frame().maxY() - b.minY() <= 0) continue;
        clearance = std::max(clearance, b.height() - std::max<CGFloat>(0, top));
    }
    return clearance;
}

CGFloat WKWebView::mostOffset(const HTMLDocument& page) const {
    return std::max<CGFloat>(0, page.contentHeight() + clearanceBelowPage() - bounds().height());
}

bool WKWebView::scrollsOwnContent() const {
    const DrawnPage* page = shownPage();
    return page && mostOffset(*page->document) > 0;
}

bool WKWebView::scrollOwnContentBy(CGFloat dy) {
    const DrawnPage* page = shownPage();
    if (!page) return false;
    const CGFloat next = std::clamp<CGFloat>(pageOffset_ + dy, 0, mostOffset(*page->document));
    if (next == pageOffset_) return false;
    pageOffset_ = next;
    setNeedsDisplay();
    return true;
}

} // namespace platform
