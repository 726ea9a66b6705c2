#pragma once
// Print formatters: pieces of laid-out content that a print page renderer spreads over its pages.
// Every printable here is HTML, laid out by HTMLDocument at the width of the renderer's printable
// rectangle (less the formatter's insets) and cut into pages between lines.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/webkit/HTMLDocument.h"

namespace platform {

class UIPrintPageRenderer;

class UIPrintFormatter {
public:
    virtual ~UIPrintFormatter();

    // Space kept free around the content on each of its pages.
    UIEdgeInsets perPageContentInsets;

    // The first page (of the renderer) the content starts on, and how many pages it fills once
    // the renderer has laid it out (0 before).
    int startPage() const { return startPage_; }
    int pageCount() const { return static_cast<int>(slices_.size()); }
    std::shared_ptr<UIPrintPageRenderer> printPageRenderer() const { return renderer_.lock(); }
    void removeFromPrintPageRenderer();

    // The area of the renderer's page `pageIndex` the content takes, in paper coordinates.
    CGRect rectForPageAtIndex(int pageIndex) const;
    // Draws the content's share of renderer page `pageIndex` into `rect` (the printable area, in
    // the current PDF page's coordinates); nothing when that page is not the formatter's.
    virtual void drawInRect_forPageAtIndex(CGRect rect, int pageIndex);

protected:
    UIPrintFormatter() = default;
    // The page this formatter prints, parsed anew for each layout.
    virtual std::unique_ptr<HTMLDocument> makeDocument() const = 0;

private:
    friend class UIPrintPageRenderer;
    // Lays the content out for `printableRect` and cuts it into pages.
    void layoutFor(CGRect printableRect, CGSize paper);

    std::weak_ptr<UIPrintPageRenderer> renderer_;
    int startPage_ = 0;
    CGRect printable_;
    std::unique_ptr<HTMLDocument> document_;
    std::vector<HTMLPageSlice> slices_;
};

// Prints a string of HTML markup. Relative references in it are not loaded: it has no folder.
class UIMarkupTextPrintFormatter : public UIPrintFormatter {
public:
    explicit UIMarkupTextPrintFormatter(std::string markupText = "") : markupText(std::move(markupText)) {}
    std::string markupText;

protected:
    std::unique_ptr<HTMLDocument> makeDocument() const override;
};

// Prints the document a view shows: its HTML with the folder its references are read from.
class UIViewPrintFormatter : public UIPrintFormatter {
public:
    UIViewPrintFormatter(std::string html, std::filesystem::path baseFolder)
        : html_(std::move(html)), base_(std::move(baseFolder)) {}

protected:
    std::unique_ptr<HTMLDocument> makeDocument() const override;

private:
    std::string html_;
    std::filesystem::path base_;
};

} // namespace platform
