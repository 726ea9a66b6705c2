#include "platform/webkit/PDFWriter.h"

#include <cairo-pdf.h>

#include <ctime>

#include "platform/foundation/FontLock.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {

// The run loop's time in the form cairo writes into the document's information, in UTC: a file
// made under a set clock is dated by that clock, as its name is.
std::string creationDate() {
    const auto seconds = static_cast<std::time_t>(RunLoop::main().wallTime());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace

cairo_status_t PDFWriter::append(void* closure, const unsigned char* bytes, unsigned int length) {
    auto* data = static_cast<std::vector<std::uint8_t>*>(closure);
    data->insert(data->end(), bytes, bytes + length);
    return CAIRO_STATUS_SUCCESS;
}

PDFWriter::PDFWriter(CGSize firstPageSize, const std::map<std::string, std::string>& info) {
    surface_ = cairo_pdf_surface_create_for_stream(&PDFWriter::append, &data_, firstPageSize.width,
                                                   firstPageSize.height);
    static const std::map<std::string, cairo_pdf_metadata_t> keys{{"Title", CAIRO_PDF_METADATA_TITLE},
                                                                  {"Author", CAIRO_PDF_METADATA_AUTHOR},
                                                                  {"Subject", CAIRO_PDF_METADATA_SUBJECT},
                                                                  {"Keywords", CAIRO_PDF_METADATA_KEYWORDS},
                                                                  {"Creator", CAIRO_PDF_METADATA_CREATOR}};
    for (const auto& [key, value] : info)
        if (auto found = keys.find(key); found != keys.end())
            cairo_pdf_surface_set_metadata(surface_, found->second, value.c_str());
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATE_DATE, creationDate().c_str());
    cr_ = cairo_create(surface_);
}

// A page's glyphs go into the document when the page ends, and the document's fonts when it is
// finished (or let go unfinished): each under the font lock.
PDFWriter::~PDFWriter() {
    FontLock::Guard fonts;
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

cairo_t* PDFWriter::beginPage(CGSize size) {
    if (finished_) return nullptr;
    FontLock::Guard fonts;
    if (pageOpen_) cairo_show_page(cr_);
    cairo_pdf_surface_set_size(surface_, size.width, size.height);
    cairo_identity_matrix(cr_);
    cairo_reset_clip(cr_);
    // The page starts with its paper painted. Before writing a page cairo merges the extents of
    // everything drawn on it into one region, a cost that grows with the region; once a first
    // drawing covers the page, each later one is found inside it at once, so a page of a thousand
    // words no longer costs a thousand times a thousand.
    cairo_save(cr_);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    cairo_restore(cr_);
    pageOpen_ = true;
    ++pages_;
    return cr_;
}

bool PDFWriter::finish() {
    if (finished_) return error_.empty();
    FontLock::Guard fonts;
    finished_ = true;
    if (pageOpen_) cairo_show_page(cr_);
    pageOpen_ = false;
    cairo_status_t status = cairo_status(cr_);
    cairo_destroy(cr_);
    cr_ = nullptr;
    cairo_surface_finish(surface_);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface_);
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    if (status != CAIRO_STATUS_SUCCESS) {
        error_ = std::string("PDF drawing failed: ") + cairo_status_to_string(status);
        data_.clear();
        return false;
    }
    return true;
}

bool writeFileAtomically(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                         std::string* error) {
    auto failure = NSFileManager::defaultManager().writeAtomically(
        path.string(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (failure && error) *error = failure->localizedDescription;
    return !failure;
}

} // namespace platform
