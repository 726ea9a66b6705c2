#include "platform/uikit/UIActivityViewController.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "platform/uikit/DesktopServices.h"

namespace platform {

bool UIActivityViewController::userCompleteWithActivity(const std::optional<UIActivityType>& type,
                                                        bool completed) {
    if (type && std::find(excluded_.begin(), excluded_.end(), *type) != excluded_.end()) return false;
    auto keep = self<UIActivityViewController>();
    if (presentingViewController()) dismissViewControllerAnimated_completion(true, nullptr);
    if (!type || !completed) {
        if (completion_) completion_(type, false);
        return true;
    }
    perform(*type, [keep, type](bool done) {
        if (keep->completion_) keep->completion_(type, done);
    });
    return true;
}

namespace {
// Copies `from` to `to` through a temporary file beside it, so that a failed copy leaves what was there.
bool copyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    auto temporary = to;
    temporary += ".part";
    std::filesystem::copy_file(from, temporary, std::filesystem::copy_options::overwrite_existing, ec);
    if (!ec) std::filesystem::rename(temporary, to, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return !ec;
}

bool writeText(const std::string& text, const std::filesystem::path& to) {
    auto temporary = to;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!(out << text) || !out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, to, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return !ec;
}
} // namespace

void UIActivityViewController::perform(const UIActivityType& type, std::function<void(bool)> done) {
    std::vector<std::string> texts;
    std::vector<std::filesystem::path> files;
    for (const auto& item : items_) {
        if (auto text = std::get_if<std::string>(&item)) texts.push_back(*text);
        if (auto path = std::get_if<std::filesystem::path>(&item)) files.push_back(*path);
    }
    auto& services = DesktopServices::shared();
    if (type == UIActivityTypeCopyToPasteboard) {
        std::string joined;
        for (const auto& text : texts)
            joined += (joined.empty() ? "" : "\n") + text;
        if (texts.empty())
            for (const auto& file : files)
                joined += (joined.empty() ? "" : "\n") + file.string();
        if (texts.empty() && files.empty()) return done(false);
        services.copyToClipboard(joined);
        return done(true);
    }
    if (type == UIActivityTypeSaveToFiles) {
        if (files.empty() && texts.empty()) return done(false);
        const bool isFile = !files.empty();
        const std::string suggested = isFile ? files.front().filename().string() : std::string("Text.txt");
        services.chooseFileToSave("Save", suggested,
                                  [done, isFile, file = isFile ? files.front() : std::filesystem::path(),
                                   text = isFile ? std::string() : texts.front()](
                                      const std::optional<std::filesystem::path>& where) {
                                      if (!where) return done(false);
                                      done(isFile ? copyFile(file, *where) : writeText(text, *where));
                                  });
        return;
    }
    if (type == UIActivityTypePrint) {
        auto pdf = std::find_if(files.begin(), files.end(), [](const std::filesystem::path& p) {
            auto extension = p.extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
            return extension == ".pdf";
        });
        if (pdf == files.end()) return done(false);
        if (!services.printPDF(*pdf, pdf->filename().string(),
                               [done](bool printed, const std::optional<std::string>&) { done(printed); }))
            done(false);
        return;
    }
    // The other activities (mail, messages...) hand the items to applications this desktop does
    // not have; the choice alone is what the screens learn.
    done(true);
}

void UIActivityViewController::describeScreen(std::vector<std::string>& lines) const {
    lines.push_back(className());
    for (auto& item : items_) {
        if (auto text = std::get_if<std::string>(&item))
            lines.push_back("  item text " + quote(*text));
        else if (auto path = std::get_if<std::filesystem::path>(&item))
            lines.push_back("  item file " + quote(path->string()));
        else if (auto image = std::get_if<std::shared_ptr<UIImage>>(&item))
            lines.push_back("  item image " + quote(*image ? (*image)->name() : std::string()));
    }
    for (auto& type : excluded_)
        lines.push_back("  excluded " + type);
}

} // namespace platform
