#include "entries/WebViewController_Center.h"

#include <cerrno>
#include <sys/stat.h>

#include "entries/EntryCard.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

namespace quillora {

using namespace platform;

void WebViewController_Center::loadView() {
    CGRect screen = UIScreen::mainScreen().bounds();
    setView(std::make_shared<UIView>(screen));
    // The scene's table fills the screen below its navigation bar.
    auto window = UIApplication::sharedApplication().keyWindow();
    const CGFloat top = (window ? window->safeAreaInsets().top : 0) + 44;
    ownedTable_ = std::make_shared<UITableView>(CGRect(0, top, screen.width(), screen.height() - top));
    ownedTable_->registerCellStyle_forCellReuseIdentifier(UITableViewCellStyle::Subtitle, "pdf");
    view()->addSubview(ownedTable_);
    tableList = ownedTable_;
    auto me = self<WebViewController_Center>();
    ownedTable_->setDataSource(me);
    ownedTable_->setDelegate(me);
}

void WebViewController_Center::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto& files = NSFileManager::defaultManager();
    auto documents = files.URLsForDirectory_inDomains(NSDocumentDirectory, NSUserDomainMask);
    if (documents.empty()) fatalError("no Documents folder");
    console().print("initial count file URL " + std::to_string(fileURLs.size()));
    NSError error;
    if (auto names = files.contentsOfDirectoryAtPath(documents.front().path(), &error)) {
        std::vector<NSURL> kept;
        for (auto& name : *names) {
            auto url = documents.front().URLByAppendingPathComponent(name);
            // A folder (or pipe, or link to nothing) named like a PDF is no document to show.
            struct stat st {};
            if (url.pathExtension() == "pdf" && ::stat(url.path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
                kept.push_back(url);
        }
        console().print("Outside loop");
        for (auto& url : kept) {
            console().print("INSIDE loop " + url.absoluteString());
            fileURLs.push_back(url);
            console().print(std::to_string(fileURLs.size()));
        }
    } else {
        console().print(error.localizedDescription);
    }
    navigationItem()->rightBarButtonItem = editButtonItem();
    exposeOutlet("tableList", ownedTable_);
}

void WebViewController_Center::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    // The list below hides the bar for itself; this screen's way back (and its Edit item) is on it.
    if (auto nav = navigationController()) nav->setNavigationBarHidden(false);
}

void WebViewController_Center::setEditing_animated(bool editing, bool animated) {
    UIViewController::setEditing_animated(editing, animated);
    if (auto table = tableList.lock()) table->setEditing_animated(editing, animated);
}

std::pair<std::string, std::string> WebViewController_Center::fileNameParts(const NSURL& url) {
    std::string path = url.path();
    std::string last = path.substr(path.rfind('/') + 1);
    auto dot = last.find('.');
    if (dot == std::string::npos) return {last, ""};
    auto next = last.find('.', dot + 1);
    return {last.substr(0, dot),
            last.substr(dot + 1, next == std::string::npos ? std::string::npos : next - dot - 1)};
}

std::string WebViewController_Center::documentTypeDescription(const std::string& type) {
    if (type == "docx") return "Microsoft Word document";
    if (type == "pages") return "Pages document";
    if (type == "jpeg") return "Image document";
    if (type == "key") return "Keynote document";
    if (type == "pdf") return "PDF document";
    return "Text document";
}

long WebViewController_Center::tableView_numberOfRowsInSection(UITableView&, long) {
    return static_cast<long>(fileURLs.size());
}

std::shared_ptr<UITableViewCell>
WebViewController_Center::tableView_cellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
    auto cell = table.dequeueReusableCellWithIdentifier_forIndexPath("pdf", path);
    if (path.row < static_cast<long>(fileURLs.size())) {
        auto [name, type] = fileNameParts(fileURLs[static_cast<std::size_t>(path.row)]);
        cell->textLabel()->setText(name);
        cell->imageView()->setImage(UIImage::imageNamed("PDF_icon.png"));
        if (auto detail = cell->detailTextLabel()) detail->setText(documentTypeDescription(type));
    }
    styleEntryCard(*cell);
    return cell;
}

double WebViewController_Center::tableView_heightForRowAtIndexPath(UITableView&, const NSIndexPath&) {
    return 100;
}

void WebViewController_Center::tableView_didHighlightRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath& path) {
    auto preview = std::make_shared<QLPreviewController>();
    auto me = self<WebViewController_Center>();
    preview->setDelegate(me);
    preview->setDataSource(me);
    console().print("Selected index path for table cell " + std::to_string(path.row));
    preview->setCurrentPreviewItemIndex(path.row);
    presentViewController_animated_completion(preview, true, nullptr);
    table.deselectRowAtIndexPath_animated(path, true);
}

void WebViewController_Center::tableView_commitEditingStyle_forRowAtIndexPath(UITableView& table,
                                                                              UITableViewCellEditingStyle,
                                                                              const NSIndexPath& path) {
    console().print("INdex path of the row " + std::to_string(path.row));
    if (path.row < 0 || path.row >= static_cast<long>(fileURLs.size())) return;
    auto url = fileURLs[static_cast<std::size_t>(path.row)];
    // One row is one file: whatever took its place since the list was made is not removed with
    // everything inside it.
    struct stat st {};
    if (::lstat(url.path().c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        console().print(
            "Error:" + NSError::posix(err, "“" + url.path() + "” could not be removed").localizedDescription);
        return;
    }
    if (auto error = NSFileManager::defaultManager().removeItemAtPath(url.path())) {
        console().print("Error:" + error->localizedDescription);
        return;
    }
    fileURLs.erase(fileURLs.begin() + path.row);
    console().print("file removed successfull");
    table.deleteRowsAtIndexPaths_withRowAnimation({path}, UITableViewRowAnimation::Fade);
}

long WebViewController_Center::numberOfPreviewItemsInPreviewController(QLPreviewController&) {
    console().print("fileURL count in number of preview items " + std::to_string(fileURLs.size()));
    return static_cast<long>(fileURLs.size());
}

std::optional<NSURL> WebViewController_Center::previewController_previewItemAtIndex(QLPreviewController&,
                                                                                    long index) {
    if (index < 0 || index >= static_cast<long>(fileURLs.size())) return std::nullopt;
    auto& url = fileURLs[static_cast<std::size_t>(index)];
    console().print("File URL index in previewitemat " + url.absoluteString());
    return url;
}

void WebViewController_Center::previewControllerWillDismiss(QLPreviewController&) {
    console().print("The Preview Controller will be dismissed.");
}

void WebViewController_Center::describeScreen(std::vector<std::string>& lines) const {
    UIViewController::describeScreen(lines);
    if (auto table = tableList.lock()) table->describeRows(lines, "    ");
}

} // namespace quillora
