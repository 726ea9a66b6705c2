#pragma once
// The print page renderer: lays its formatters out on paper of a given size and draws page by
// page into the current PDF context.

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/webkit/UIPrintFormatter.h"

namespace platform {

class UIPrintPageRenderer : public std::enable_shared_from_this<UIPrintPageRenderer> {
public:
    static std::shared_ptr<UIPrintPageRenderer> create() { return std::make_shared<UIPrintPageRenderer>(); }

    void addPrintFormatter_startingAtPageAtIndex(const std::shared_ptr<UIPrintFormatter>& formatter,
                                                 int pageIndex);
    const std::vector<std::shared_ptr<UIPrintFormatter>>& printFormatters() const { return formatters_; }
    std::vector<std::shared_ptr<UIPrintFormatter>> printFormattersForPageAtIndex(int pageIndex);

    // Read-only on the platform; set through key-value coding ("paperRect", "printableRect") or
    // the setters. Any other key stops the program, as an unknown key does there.
    CGRect paperRect() const { return paperRect_; }
    CGRect printableRect() const { return printableRect_; }
    void setPaperRect(CGRect rect);
    void setPrintableRect(CGRect rect);
    void setValue_forKey(CGRect value, const std::string& key);

    // Lays the formatters out (when anything changed) and counts the pages they fill; 0 with no
    // formatter or no printable area.
    int numberOfPages();
    void prepareForDrawingPages(int location, int length);

    // Draws page `pageIndex` into `rect` of the current PDF page. A page laid out for paper of
    // another size than `rect` is scaled down (never up) to fit whole, centred across the page,
    // so that nothing laid out is cut off.
    virtual void drawPageAtIndex_inRect(int pageIndex, CGRect rect);
    virtual void drawPrintFormatter_forPageAtIndex(const std::shared_ptr<UIPrintFormatter>& formatter,
                                                   int pageIndex);

    virtual ~UIPrintPageRenderer() = default;

private:
    friend class UIPrintFormatter;
    void remove(UIPrintFormatter* formatter);
    void layout();

    std::vector<std::shared_ptr<UIPrintFormatter>> formatters_;
    CGRect paperRect_;
    CGRect printableRect_;
    bool dirty_ = true;
};

} // namespace platform
