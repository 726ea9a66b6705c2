#pragma once
// The PDF graphics context: a PDF document drawn page by page, into memory or into a file. The
// context is the current drawing destination of the thread that opened it until it ends; print
// page renderers draw into it. Other threads have contexts of their own.
// An empty bounds rectangle gives the platform's default page of 612 x 792 points.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <cairo.h>

#include "platform/foundation/Geometry.h"

namespace platform {

// The growable bytes a PDF context writes into when it ends.
class PDFData {
public:
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t length() const { return bytes_.size(); }
    void setData(std::vector<std::uint8_t> bytes) { bytes_ = std::move(bytes); }
    void appendData(const std::vector<std::uint8_t>& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }

    // Writes the bytes to `path`; atomically: through a temporary file renamed over the target.
    // False when the file could not be written, with the reason in `error` when given.
    bool writeToFile_atomically(const std::filesystem::path& path, bool atomically,
                                std::string* error = nullptr) const;
    // The same for the main thread, which goes on while another program holds the folder: `done`
    // hears the reason the file was not written, or none, inside this call when the folder is
    // free, else on the run loop once it is let go or the wait is over.
    static void writeToFileOnLoop(std::shared_ptr<const PDFData> data, const std::filesystem::path& path,
                                  std::function<void(const std::optional<std::string>& failure)> done);

private:
    std::vector<std::uint8_t> bytes_;
};

using PDFInfo = std::map<std::string, std::string>;

inline constexpr CGSize kDefaultPDFPageSize{612, 792};

// Opens a PDF context whose document lands in `data` when it ends.
void UIGraphicsBeginPDFContextToData(const std::shared_ptr<PDFData>& data, CGRect bounds,
                                     const PDFInfo& documentInfo = {});
// Opens a PDF context whose document is written to `path` when it ends. False (and no context)
// when the file's folder does not exist.
bool UIGraphicsBeginPDFContextToFile(const std::filesystem::path& path, CGRect bounds,
                                     const PDFInfo& documentInfo = {});
// Starts a page of the context's bounds (ending the previous one).
void UIGraphicsBeginPDFPage();
// Starts a page of `bounds` (the context's bounds when empty).
void UIGraphicsBeginPDFPageWithInfo(CGRect bounds, const PDFInfo& pageInfo = {});
// The current page's rectangle (the context's bounds before the first page); zero with no context.
CGRect UIGraphicsGetPDFContextBounds();
// Ends the current context, putting the document into its data or file. False when cairo failed
// or the file could not be written.
bool UIGraphicsEndPDFContext();

// Where drawing goes right now: the open page of the current PDF context, in points from the
// page's top-left corner; null when no page is open.
cairo_t* UIGraphicsGetPDFDrawingContext();

} // namespace platform
