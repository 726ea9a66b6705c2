#pragma once
// A long text's PDF drawn by a process of the program's own, so that the window's process never
// waits for its fonts.
//
// Writing a page full of distinct glyphs, and finishing a document that holds thousands of them
// (the fonts' subsets are made then, for the whole document at once), take cairo a tenth of a
// second to more than a second, and all of it under the font lock: no thread of the process may
// use a font meanwhile, the window's included, whose frames stop. Drawn in a process of its own,
// the document's fonts are that process's alone.
//
// The program started again as the print process gets the text on its standard input and gives
// the PDF on its standard output; it ends with the program that started it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class PDFData;
} // namespace platform

namespace quillora {

class ListPrintProcess {
public:
    // The first argument that makes the program the print process.
    static constexpr const char* kArgument = "--print-list-pdf";

    // From now on long texts are drawn by `program` started with kArgument (the program itself:
    // "/proc/self/exe"). Until then, and where it cannot be started, they are drawn in this process.
    static void useProgram(std::string program);

    // drawListPDF(text), in the print process where there is one. Blocks until it is drawn: for a
    // worker thread. Null when drawing failed or the print process ended without a document.
    static std::shared_ptr<platform::PDFData> draw(const std::string& text);

    // The print process's part: reads the text from standard input, writes the document to
    // standard output; the exit status to end with. `args` are the arguments after kArgument.
    static int serve(const std::vector<std::string>& args);
};

} // namespace quillora
