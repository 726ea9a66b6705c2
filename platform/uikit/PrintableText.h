#pragma once
// Plain text set on paper for the print dialog, as the platform prints a shared string: black
// system text on US Letter pages with an inch of margin, each page holding whole lines.

#include <filesystem>
#include <string>

namespace platform {

class PrintableText {
public:
    // Writes `text` as a PDF at `to` (atomically: a temporary file beside it, then a rename).
    // False with the reason in `error` when it cannot be written.
    static bool writePDF(const std::string& text, const std::filesystem::path& to,
                         std::string* error = nullptr);
};

} // namespace platform
