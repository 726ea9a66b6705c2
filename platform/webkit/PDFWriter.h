#pragma once
// A PDF document drawn page by page with cairo into memory, and the atomic file write that puts
// it on disk. cairo reports failures through its status, never by throwing: both are checked here
// and surface as a false result with a message.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <cairo.h>

#include "platform/foundation/Geometry.h"

namespace platform {

class PDFWriter {
public:
    // `info` may carry "Title", "Author", "Subject", "Keywords" and "Creator". The creation date is
    // the run loop's time.
    explicit PDFWriter(CGSize firstPageSize, const std::map<std::string, std::string>& info = {});
    ~PDFWriter();
    PDFWriter(const PDFWriter&) = delete;
    PDFWriter& operator=(const PDFWriter&) = delete;

    // Ends the current page (if any) and starts one of `size`; returns the context to draw it
    // with, in points from the page's top-left corner.
    cairo_t* beginPage(CGSize size);
    // The context of the current page; null before the first page and after finish().
    cairo_t* context() const { return pageOpen_ ? cr_ : nullptr; }
    int pageCount() const { return pages_; }

    // Ends the last page and the document. False (with error()) when cairo failed at any point.
    bool finish();
    bool finished() const { return finished_; }
    const std::vector<std::uint8_t>& data() const { return data_; }
    const std::string& error() const { return error_; }

private:
    static cairo_status_t append(void* closure, const unsigned char* bytes, unsigned int length);

    std::vector<std::uint8_t> data_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    int pages_ = 0;
    bool pageOpen_ = false;
    bool finished_ = false;
    std::string error_;
};

// `bytes` written through the file manager's atomic write: a reader never sees half a file and a
// failed write leaves the old file whole. False with `error` set when anything fails.
bool writeFileAtomically(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                         std::string* error = nullptr);

} // namespace platform
