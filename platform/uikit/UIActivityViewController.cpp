#include "platform/uikit/UIActivityViewController.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/PrintableText.h"
#include "platform/uikit/ShownText.h"
#include "platform/uikit/UIAlertController.h"

#include <cairo.h>
#include <glib.h>

#include "platform/uikit/Drawing.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/UIScreen.h"

namespace platform {

namespace {
std::map<UIActivityType, UIActivityViewController::Provider>& providers() {
    static std::map<UIActivityType, UIActivityViewController::Provider> provided;
    return provided;
}
} // namespace

void UIActivityViewController::provideActivity(const UIActivityType& type, Provider provider) {
    providers()[type] = std::move(provider);
}

bool UIActivityViewController::userCompleteWithActivity(const std::optional<UIActivityType>& type,
                                                        bool completed) {
    if (type) {
        const auto offered = offeredActivities();
        if (std::none_of(offered.begin(), offered.end(), [&](const auto& o) { return o.first == *type; }))
            return false;
    }
    auto keep = self<UIActivityViewController>();
    auto told = [keep, type](bool done) {
        if (keep->completion_) keep->completion_(type, done);
    };
    const auto provided = type && completed ? providers().find(*type) : providers().end();
    if (provided != providers().end()) {
        // Its screen comes over the one that showed the sheet, once the sheet has gone.
        auto presenter = presentingViewController();
        auto perform = provided->second.perform;
        auto act = [keep, presenter, perform, told] { perform(keep->items_, presenter, told); };
        if (presenter)
            dismissViewControllerAnimated_completion(true, act);
        else
            act();
        return true;
    }
    if (presentingViewController()) dismissViewControllerAnimated_completion(true, nullptr);
    if (!type || !completed) {
        told(false);
        return true;
    }
    perform(*type, told);
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

std::string joinedText(const std::vector<std::string>& texts) {
    std::string joined;
    for (const auto& text : texts)
        joined += (joined.empty() ? "" : "\n") + text;
    return joined;
}

// What a printed text is called: its first line that holds anything but blanks, as a list shows
// an entry, cut to a title's length. Empty when the text holds nothing to print.
std::string printedName(const std::string& text) {
    constexpr std::size_t kLongestName = 64;
    const char* at = text.c_str();
    const char* end = at + text.size();
    while (at < end) {
        const gunichar c = g_utf8_get_char_validated(at, end - at);
        if (c == gunichar(-1) || c == gunichar(-2) || (!g_unichar_isspace(c) && c != 0x200B && c != 0xFEFF))
            break;
        at = g_utf8_next_char(at);
    }
    if (at >= end) return {};
    std::string_view line(at, static_cast<std::size_t>(end - at));
    line = line.substr(0, line.find_first_of("\r\n"));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.remove_suffix(1);
    const std::string_view shown = ShownText::prefix(line, kLongestName);
    std::string name(shown);
    if (shown.size() < line.size()) {
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.pop_back();
        name += "…";
    }
    // A title is shown by the desktop, which takes only UTF-8.
    gchar* valid = g_utf8_make_valid(name.c_str(), static_cast<gssize>(name.size()));
    name = valid;
    g_free(valid);
    return name;
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
    if (type == UIActivityTypePrint) return print(files, texts, std::move(done));
    // Nothing here carries it out: not done.
    console().print("Share: " + type + " cannot be done here");
    done(false);
}

void UIActivityViewController::print(const std::vector<std::filesystem::path>& files,
                                     const std::vector<std::string>& texts, std::function<void(bool)> done) {
    // A shared PDF is printed as it is; shared text is set on pages first.
    auto pdf = std::find_if(files.begin(), files.end(), [](const std::filesystem::path& p) {
        auto extension = p.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        return extension == ".pdf";
    });
    std::filesystem::path document;
    std::string jobName;
    std::string error;
    if (pdf != files.end()) {
        document = *pdf;
    } else if (std::string joined = joinedText(texts); !printedName(joined).empty()) {
        NSFileManager::defaultManager().createDirectoryAtPath_withIntermediateDirectories(
            Sandbox::tmp().string(), true);
        document = Sandbox::tmp() / "Print.pdf";
        // The file is only where the pages wait: the dialog and the job are named after the text.
        jobName = printedName(joined);
        if (!PrintableText::writePDF(joined, document, &error)) document.clear();
    } else {
        // Blank pages are not worth a print dialog.
        error = texts.empty() ? "nothing that can be printed was shared" : "the shared text is empty";
    }
    if (!document.empty() && jobName.empty()) jobName = document.filename().string();
    // The person learns why nothing was printed, not only the console.
    auto refuse = [](const std::string& why) {
        console().print("Print failed: " + why);
        UIAlertController::showSystemAlert("Cannot Print", "Nothing was printed: " + why + ".");
    };
    // The desktop's print dialog (recorded without a window) answers once the person is done.
    if (!document.empty() && DesktopServices::shared().printPDF(
                                 document, jobName,
                                 [done, refuse](bool printed, const std::optional<std::string>& failure) {
                                     if (failure) refuse(*failure);
                                     done(printed);
                                 },
                                 &error)) {
        console().print("Print dialog for " + document.filename().string());
        return;
    }
    refuse(error);
    done(false);
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
        else if (auto url = std::get_if<NSURL>(&item))
            lines.push_back("  item link " + quote(url->absoluteString()));
    }
    for (auto& type : excluded_)
        lines.push_back("  excluded " + type);
}

std::vector<std::pair<UIActivityType, std::string>> UIActivityViewController::offeredActivities() const {
    const bool hasFile = std::any_of(items_.begin(), items_.end(), [](const ActivityItem& item) {
        return std::holds_alternative<std::filesystem::path>(item);
    });
    // What a desktop can do with what is shared.
    std::vector<std::pair<UIActivityType, std::string>> platformActivities{
        {UIActivityTypeCopyToPasteboard, "Copy"}};
    for (const auto& [type, provider] : providers())
        if (!provider.canPerform || provider.canPerform(items_))
            platformActivities.push_back({type, provider.title});
    platformActivities.push_back({UIActivityTypePrint, "Print"});
    if (hasFile) platformActivities.push_back({UIActivityTypeSaveToFiles, "Save to Files"});
    std::vector<std::pair<UIActivityType, std::string>> offered;
    for (auto& activity : platformActivities)
        if (std::find(excluded_.begin(), excluded_.end(), activity.first) == excluded_.end())
            offered.push_back(activity);
    return offered;
}

void UIActivityViewController::loadView() {
    auto sheet = std::make_shared<UIActivityViewControllerView>(weakSelf<UIActivityViewController>());
    const CGRect screen = UIScreen::mainScreen().bounds();
    sheet->setFrame({0, 0, screen.width(), screen.height() / 2 + 40});
    setView(sheet);
}

CGRect UIActivityViewController::presentationFrame() const {
    const CGRect screen = UIScreen::mainScreen().bounds();
    if (presentationStyle() != UIModalPresentationStyle::PageSheet &&
        presentationStyle() != UIModalPresentationStyle::FormSheet)
        return UIViewController::presentationFrame();
    const CGFloat top = std::round(screen.height() / 2 - 40);
    return {0, top, screen.width(), screen.height() - top};
}

namespace {
constexpr CGFloat kHeader = 76;
constexpr CGFloat kRow = 52;

std::string sharedSummary(const std::vector<ActivityItem>& items) {
    if (items.empty()) return "";
    const ActivityItem& first = items.front();
    if (auto text = std::get_if<std::string>(&first)) return *text;
    if (auto path = std::get_if<std::filesystem::path>(&first)) return path->filename().string();
    if (auto image = std::get_if<std::shared_ptr<UIImage>>(&first))
        return *image ? (*image)->name() : "Image";
    return "";
}
} // namespace

CGRect UIActivityViewControllerView::closeRect() const {
    return {bounds().maxX() - 52, bounds().minY() + 16, 36, 36};
}

std::vector<CGRect> UIActivityViewControllerView::rowRects() const {
    std::vector<CGRect> rects;
    auto controller = controller_.lock();
    if (!controller) return rects;
    const auto offered = controller->offeredActivities();
    for (std::size_t i = 0; i < offered.size(); ++i)
        rects.push_back({bounds().minX() + 16, bounds().minY() + kHeader + static_cast<CGFloat>(i) * kRow,
                         bounds().width() - 32, kRow});
    return rects;
}

long UIActivityViewControllerView::rowAt(CGPoint p) const {
    const auto rows = rowRects();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (p.x >= rows[i].minX() && p.x < rows[i].maxX() && p.y >= rows[i].minY() && p.y < rows[i].maxY())
            return static_cast<long>(i);
    return -1;
}

void UIActivityViewControllerView::draw(cairo_t* cr) const {
    auto controller = controller_.lock();
    if (!controller) return;
    const CGRect b = bounds();
    Drawing::fillRoundedRectangle(cr, b, 0, Drawing::chromeBackgroundColor());
    TextStyle summary;
    summary.font = UIFont{".SFUI-Semibold", 15};
    summary.numberOfLines = 2;
    summary.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    TextDrawing::drawCenteredVertically(cr, sharedSummary(controller->activityItems()),
                                        {b.minX() + 20, b.minY() + 12, b.width() - 90, 48}, summary);
    const CGRect close = closeRect();
    Drawing::fillRoundedRectangle(cr, close, close.width() / 2,
                                  UIColor::colorWithRed_green_blue_alpha(0.46, 0.46, 0.5, 0.12));
    Drawing::setColor(cr, UIColor::systemGrayColor());
    cairo_set_line_width(cr, 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, close.midX() - 6, close.midY() - 6);
    cairo_line_to(cr, close.midX() + 6, close.midY() + 6);
    cairo_move_to(cr, close.midX() + 6, close.midY() - 6);
    cairo_line_to(cr, close.midX() - 6, close.midY() + 6);
    cairo_stroke(cr);
    const auto offered = controller->offeredActivities();
    const auto rows = rowRects();
    if (rows.empty()) return;
    const CGRect group{rows.front().minX(), rows.front().minY(), rows.front().width(),
                       rows.back().maxY() - rows.front().minY()};
    Drawing::fillRoundedRectangle(cr, group, 10, UIColor::whiteColor());
    TextStyle row;
    row.font = UIFont::systemFontOfSize(17);
    row.numberOfLines = 1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (static_cast<long>(i) == pressed_) {
            cairo_save(cr);
            Drawing::roundedRectangle(cr, group, 10);
            cairo_clip(cr);
            Drawing::fillRoundedRectangle(cr, rows[i], 0, UIColor::colorWithWhite_alpha(0, 0.08));
            cairo_restore(cr);
        }
        if (i > 0) {
            Drawing::setColor(cr, Drawing::separatorColor());
            cairo_rectangle(cr, rows[i].minX() + 16, rows[i].minY(), rows[i].width() - 16,
                            Drawing::hairline(cr));
            cairo_fill(cr);
        }
        TextDrawing::drawCenteredVertically(
            cr, offered[i].second,
            {rows[i].minX() + 16, rows[i].minY(), rows[i].width() - 32, rows[i].height()}, row);
    }
}

void UIActivityViewControllerView::touchesBegan(const UITouch& touch) {
    pressed_ = rowAt(touch.locationInView(this));
    setNeedsDisplay();
}

void UIActivityViewControllerView::touchesEnded(const UITouch& touch) {
    auto keep = self<UIActivityViewControllerView>();
    const CGPoint p = touch.locationInView(this);
    const long row = rowAt(p);
    const bool pickedTheSameRow = row >= 0 && row == pressed_ && !touch.movedPastSlop;
    pressed_ = -1;
    setNeedsDisplay();
    auto controller = controller_.lock();
    if (!controller) return;
    const CGRect close = closeRect();
    if (p.x >= close.minX() && p.x < close.maxX() && p.y >= close.minY() && p.y < close.maxY()) {
        controller->userCompleteWithActivity(std::nullopt, false);
        return;
    }
    if (pickedTheSameRow)
        controller->userCompleteWithActivity(
            controller->offeredActivities()[static_cast<std::size_t>(row)].first);
}

void UIActivityViewControllerView::touchesCancelled(const UITouch&) {
    pressed_ = -1;
    setNeedsDisplay();
}

} // namespace platform
