#include "platform/webkit/UIGraphicsPDF.h"

#include <fstream>
#include <optional>
#include <string_view>

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/webkit/PDFWriter.h"

namespace platform {

namespace {

struct PDFContext {
    std::unique_ptr<PDFWriter> writer;
    CGRect bounds;
    CGRect page;
    std::shared_ptr<PDFData> data;
    std::optional<std::filesystem::path> file;
};

CGSize sizeOf(CGRect bounds) {
    return bounds.isEmpty() ? kDefaultPDFPageSize : bounds.size;
}

// The stack of open PDF contexts. Each thread has its own, as each has its own current drawing
// destination: a page drawn on a worker never lands in a document the main thread is making.
std::vector<PDFContext>& contexts() {
    thread_local std::vector<PDFContext> stack;
    return stack;
}

// Between tests the main thread's stack starts empty, whatever a test left open. Registered
// before main() runs, while no other thread exists.
const bool kResetRegistered = [] {
    registerSharedInstanceReset([] { contexts().clear(); });
    return true;
}();

void begin(PDFContext context, const PDFInfo& info) {
    context.page = CGRect(0, 0, sizeOf(context.bounds).width, sizeOf(context.bounds).height);
    context.writer = std::make_unique<PDFWriter>(sizeOf(context.bounds), info);
    contexts().push_back(std::move(context));
}

} // namespace

bool PDFData::writeToFile_atomically(const std::filesystem::path& path, bool atomically,
                                     std::string* error) const {
    if (atomically) return writeFileAtomically(path, bytes_, error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    out.close();
    if (!out && error) *error = "The file “" + path.string() + "” could not be written";
    return static_cast<bool>(out);
}

void PDFData::writeToFileOnLoop(std::shared_ptr<const PDFData> data, const std::filesystem::path& path,
                                std::function<void(const std::optional<std::string>& failure)> done) {
    NSFileManager::defaultManager().writeAtomicallyOnLoop(
        path.string(),
        [data = std::move(data)](const NSFileManager::BytesWriter& write) -> std::optional<NSError> {
            write(
                std::string_view(reinterpret_cast<const char*>(data->bytes().data()), data->bytes().size()));
            return std::nullopt;
        },
        [done = std::move(done)](const std::optional<NSError>& error) {
            done(error ? std::optional<std::string>(error->localizedDescription) : std::nullopt);
        });
}

void UIGraphicsBeginPDFContextToData(const std::shared_ptr<PDFData>& data, CGRect bounds,
                                     const PDFInfo& info) {
    PDFContext context;
    context.bounds = bounds;
    context.data = data;
    begin(std::move(context), info);
}

bool UIGraphicsBeginPDFContextToFile(const std::filesystem::path& path, CGRect bounds, const PDFInfo& info) {
    std::error_code ec;
    auto folder = path.parent_path().empty() ? std::filesystem::current_path(ec) : path.parent_path();
    if (path.filename().empty() || !std::filesystem::is_directory(folder, ec)) return false;
    PDFContext context;
    context.bounds = bounds;
    context.file = path;
    begin(std::move(context), info);
    return true;
}

void UIGraphicsBeginPDFPageWithInfo(CGRect bounds, const PDFInfo&) {
    if (contexts().empty()) return;
    auto& context = contexts().back();
    if (bounds.isEmpty()) bounds = CGRect(0, 0, sizeOf(context.bounds).width, sizeOf(context.bounds).height);
    context.page = bounds;
    cairo_t* cr = context.writer->beginPage(bounds.size);
    if (cr) cairo_translate(cr, -bounds.origin.x, -bounds.origin.y);
}

void UIGraphicsBeginPDFPage() {
    if (contexts().empty()) return;
    UIGraphicsBeginPDFPageWithInfo(contexts().back().bounds);
}

CGRect UIGraphicsGetPDFContextBounds() {
    return contexts().empty() ? CGRectZero : contexts().back().page;
}

cairo_t* UIGraphicsGetPDFDrawingContext() {
    return contexts().empty() ? nullptr : contexts().back().writer->context();
}

bool UIGraphicsEndPDFContext() {
    if (contexts().empty()) return false;
    PDFContext context = std::move(contexts().back());
    contexts().pop_back();
    if (!context.writer->finish()) return false;
    if (context.data) context.data->setData(context.writer->data());
    if (context.file) {
        if (!writeFileAtomically(*context.file, context.writer->data())) return false;
    }
    return true;
}

} // namespace platform
