#pragma once
// Turns a piece of text into an A4 PDF in Documents, named after the current date and time
// (day_month_year_hour:minute:second, no leading zeros; "... 2", "... 3" for more in the same
// second, so that no export replaces another), and tells the user how it went.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class UIViewController;
class NSDate;
class PDFData;
} // namespace platform

namespace quillora {

inline constexpr double kA4Width = 595.2;
inline constexpr double kA4Height = 841.8;

// The file name (without ".pdf") of an export made at `date`, in the current time zone.
std::string exportFileName(const platform::NSDate& date);

// The markup the text is printed from: the text escaped, its line breaks as line breaks.
std::string markupForPlainText(const std::string& text);

// What an export tells once its file is written: the path, or none when the write failed.
using ListPDFSaved = std::function<void(const std::optional<std::string>& path)>;

// Writes the PDF, prints its name and the outcome, and has `presenting` show an alert: "Done! "
// on success, a failure alert otherwise; then `saved` hears how it went. The screen stays live
// while another program holds the folder, which is waited for on the run loop.
void exportListPDF(const std::string& text, platform::UIViewController& presenting, ListPDFSaved saved = {});

// Past this much text an export takes more than a second.
inline constexpr std::size_t kSlowExportLength = std::size_t(128) << 10;

// exportListPDF from a screen that stays live meanwhile: a text of kSlowExportLength or more is
// drawn on a worker while a spinner turns over `presenting`'s view. `finished` runs on the main
// thread once the file is written or failed (a folder another program holds waited for); a screen left meanwhile still gets its file, but no
// alert.
void exportListPDFKeepingScreenLive(const std::string& text,
                                    const std::shared_ptr<platform::UIViewController>& presenting,
                                    std::function<void()> finished = {});

// The two halves of an export, for a long text whose drawing runs on a worker thread.
// The text's pages drawn into a document in memory; null when drawing failed. Shares nothing with
// other threads.
std::shared_ptr<platform::PDFData> drawListPDF(const std::string& text);
// Main thread: names and writes the drawn document (null: drawing failed), prints its name and the
// outcome, and has `presenting` show the alert when there is a screen (still) to show it on.
void saveListPDF(const std::shared_ptr<platform::PDFData>& pdf, platform::UIViewController* presenting,
                 ListPDFSaved saved = {});

} // namespace quillora
