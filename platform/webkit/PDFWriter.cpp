#include "platform/webkit/PDFWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cairo-pdf.h>

namespace platform {

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
    cr_ = cairo_create(surface_);
}

PDFWriter::~PDFWriter() {
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

cairo_t* PDFWriter::beginPage(CGSize size) {
    if (finished_) return nullptr;
    if (pageOpen_) cairo_show_page(cr_);
    cairo_pdf_surface_set_size(surface_, size.width, size.height);
    cairo_identity_matrix(cr_);
    cairo_reset_clip(cr_);
    pageOpen_ = true;
    ++pages_;
    return cr_;
}

bool PDFWriter::finish() {
    if (finished_) return error_.empty();
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
    auto fail = [&](const std::string& what) {
        if (error) *error = what + " " + path.string() + ": " + std::strerror(errno);
        return false;
    };
    if (path.empty() || path.filename().empty()) {
        errno = EINVAL;
        return fail("cannot write");
    }
    std::string temp = path.string() + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail("cannot create a file beside");
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int saved = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            errno = saved;
            return fail("cannot write");
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // mkstemp makes the file private; a saved document is as readable as any other file.
    ::fchmod(fd, 0644);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return fail("cannot write");
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return fail("cannot replace");
    }
    return true;
}

} // namespace platform
