#include "platform/desktop/GtkDesktopServices.h"

#include <fstream>
#include <memory>

#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

#include "platform/desktop/GtkLibrary.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {

GdkClipboard* clipboard() {
    GdkDisplay* display = gdk_display_get_default();
    return display ? gdk_display_get_clipboard(display) : nullptr;
}

// Hands an answer to the screens on the main run loop, never inside GTK's own callback.
template <typename F> void answer(F&& f) {
    RunLoop::main().schedule(0, std::forward<F>(f));
}

struct TextRequest {
    DesktopServices::TextCallback callback;
};

void textRead(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<TextRequest> request(static_cast<TextRequest*>(data));
    GError* error = nullptr;
    char* text = gdk_clipboard_read_text_finish(GDK_CLIPBOARD(source), result, &error);
    std::optional<std::string> value;
    if (text) value = std::string(text);
    g_free(text);
    if (error) g_error_free(error);
    answer([callback = std::move(request->callback), value] { callback(value); });
}

struct FileRequest {
    DesktopServices::PathCallback callback;
};

void fileChosen(GtkNativeDialog* dialog, int response, gpointer data) {
    std::unique_ptr<FileRequest> request(static_cast<FileRequest*>(data));
    std::optional<std::filesystem::path> path;
    if (response == GTK_RESPONSE_ACCEPT) {
        if (GFile* file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog))) {
            if (char* local = g_file_get_path(file)) {
                path = std::filesystem::path(local);
                g_free(local);
            }
            g_object_unref(file);
        }
    }
    gtk_native_dialog_destroy(dialog);
    g_object_unref(dialog);
    answer([callback = std::move(request->callback), path] {
        if (callback) callback(path);
    });
}

struct PrintRequest {
    std::filesystem::path pdf;
    std::string jobName;
    DesktopServices::PrintCallback callback;
};

void finishPrint(PrintRequest* request, bool printed, std::optional<std::string> error) {
    answer([callback = std::move(request->callback), printed, error] {
        if (callback) callback(printed, error);
    });
    delete request;
}

void jobSent(GtkPrintJob*, gpointer data, const GError* error) {
    auto* request = static_cast<PrintRequest*>(data);
    finishPrint(request, error == nullptr, error ? std::optional<std::string>(error->message) : std::nullopt);
}

void printDialogAnswered(GtkDialog* dialog, int response, gpointer data) {
    auto* request = static_cast<PrintRequest*>(data);
    auto* unixDialog = GTK_PRINT_UNIX_DIALOG(dialog);
    if (response != GTK_RESPONSE_OK) {
        gtk_window_destroy(GTK_WINDOW(dialog));
        finishPrint(request, false, std::nullopt);
        return;
    }
    GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(unixDialog);
    GtkPrintSettings* settings = gtk_print_unix_dialog_get_settings(unixDialog);
    GtkPageSetup* setup = gtk_print_unix_dialog_get_page_setup(unixDialog);
    if (!printer) {
        g_object_unref(settings);
        gtk_window_destroy(GTK_WINDOW(dialog));
        finishPrint(request, false, "no printer was chosen");
        return;
    }
    GtkPrintJob* job = gtk_print_job_new(request->jobName.c_str(), printer, settings, setup);
    g_object_unref(settings);
    gtk_window_destroy(GTK_WINDOW(dialog));
    GError* error = nullptr;
    // The PDF goes to the printer (or the file the person chose) as it is.
    if (!gtk_print_job_set_source_file(job, request->pdf.c_str(), &error)) {
        std::string message = error ? error->message : "cannot read the PDF";
        if (error) g_error_free(error);
        g_object_unref(job);
        finishPrint(request, false, message);
        return;
    }
    gtk_print_job_send(job, jobSent, request, nullptr);
    g_object_unref(job);
}

} // namespace

void GtkDesktopServices::copyToClipboard(const std::string& text) {
    if (GdkClipboard* board = clipboard()) gdk_clipboard_set_text(board, text.c_str());
}

void GtkDesktopServices::clipboardText(TextCallback callback) {
    if (!callback) return;
    GdkClipboard* board = clipboard();
    if (!board) {
        answer([callback = std::move(callback)] { callback(std::nullopt); });
        return;
    }
    gdk_clipboard_read_text_async(board, nullptr, textRead, new TextRequest{std::move(callback)});
}

void GtkDesktopServices::chooseFile(bool save, const std::string& title,
                                    const std::vector<FileFilter>& filters, const std::string& suggestedName,
                                    PathCallback callback) {
    GtkFileChooserNative* dialog =
        gtk_file_chooser_native_new(title.c_str(), parent_ ? GTK_WINDOW(parent_) : nullptr,
                                    save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
                                    save ? "_Save" : "_Open", "_Cancel");
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog), TRUE);
    for (const auto& filter : filters) {
        GtkFileFilter* f = gtk_file_filter_new();
        gtk_file_filter_set_name(f, filter.name.c_str());
        for (const auto& type : filter.mimeTypes)
            gtk_file_filter_add_mime_type(f, type.c_str());
        for (const auto& pattern : filter.patterns)
            gtk_file_filter_add_pattern(f, pattern.c_str());
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), f);
        g_object_unref(f);
    }
    // The person's own folders, not wherever the program happened to be started from.
    const char* folder =
        g_get_user_special_dir(save ? G_USER_DIRECTORY_DOCUMENTS : G_USER_DIRECTORY_PICTURES);
    if (!folder || !g_file_test(folder, G_FILE_TEST_IS_DIR)) folder = g_get_home_dir();
    if (folder) {
        GFile* start = g_file_new_for_path(folder);
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start, nullptr);
        g_object_unref(start);
    }
    if (save && !suggestedName.empty())
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), suggestedName.c_str());
    g_signal_connect(dialog, "response", G_CALLBACK(fileChosen), new FileRequest{std::move(callback)});
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
}

void GtkDesktopServices::chooseFileToOpen(const std::string& title, const std::vector<FileFilter>& filters,
                                          PathCallback callback) {
    chooseFile(false, title, filters, {}, std::move(callback));
}

void GtkDesktopServices::chooseFileToSave(const std::string& title, const std::string& suggestedName,
                                          PathCallback callback) {
    chooseFile(true, title, {}, suggestedName, std::move(callback));
}

bool GtkDesktopServices::printPDF(const std::filesystem::path& pdf, const std::string& jobName,
                                  PrintCallback callback, std::string* error) {
    if (!std::ifstream(pdf, std::ios::binary)) {
        if (error) *error = "the file " + pdf.string() + " cannot be read";
        return false;
    }
    // The dialog and the printer's queue name the document by its file's name, never by an address.
    const std::string shownName =
        jobName.empty() || jobName.find("://") != std::string::npos ? pdf.filename().string() : jobName;
    GtkWidget* dialog = gtk_print_unix_dialog_new(shownName.c_str(), parent_ ? GTK_WINDOW(parent_) : nullptr);
    // The PDF is laid out already: only the printer and its own options are asked for.
    gtk_print_unix_dialog_set_manual_capabilities(
        GTK_PRINT_UNIX_DIALOG(dialog),
        GtkPrintCapabilities(GTK_PRINT_CAPABILITY_COPIES | GTK_PRINT_CAPABILITY_GENERATE_PDF));
    gtk_print_unix_dialog_set_embed_page_setup(GTK_PRINT_UNIX_DIALOG(dialog), FALSE);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    auto* request = new PrintRequest{pdf, shownName, std::move(callback)};
    g_signal_connect(dialog, "response", G_CALLBACK(printDialogAnswered), request);
    gtk_window_present(GTK_WINDOW(dialog));
    return true;
}

bool GtkDesktopServices::openURL(const std::string& url, std::string* error) {
    // A link no program is registered for is named as such: the launcher's own words for it speak
    // of content types.
    char* scheme = g_uri_parse_scheme(url.c_str());
    const std::string name = scheme ? scheme : "";
    g_free(scheme);
    GAppInfo* handler = name.empty() ? nullptr : g_app_info_get_default_for_uri_scheme(name.c_str());
    if (!handler) {
        if (error)
            *error =
                name.empty() ? "it is not a link" : "no program on this computer opens " + name + ": links";
        return false;
    }
    g_object_unref(handler);
    // The launcher behind gtk_show_uri, asked directly so that a link that cannot be opened is
    // reported as not opened rather than lost.
    GError* failure = nullptr;
    const gboolean opened = g_app_info_launch_default_for_uri(url.c_str(), nullptr, &failure);
    if (!opened && error) *error = failure ? failure->message : "its program did not start";
    if (failure) g_error_free(failure);
    return opened;
}

} // namespace platform
