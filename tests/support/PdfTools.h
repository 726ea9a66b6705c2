#pragma once
// Reading PDFs back with poppler's command-line tools, as a person checking the output would.

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quillora::test {

inline std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

inline std::string quoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

inline int pdfPageCount(const std::filesystem::path& pdf) {
    std::string info = run("pdfinfo " + quoted(pdf));
    auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

// Every page's size as pdfinfo prints it ("595.2 x 841.8").
inline std::vector<std::string> pdfPageSizes(const std::filesystem::path& pdf) {
    std::vector<std::string> sizes;
    std::string info = run("pdfinfo -f 1 -l 1000 " + quoted(pdf));
    std::istringstream lines(info);
    for (std::string line; std::getline(lines, line);) {
        auto at = line.find(" size:");
        if (line.rfind("Page ", 0) != 0 || at == std::string::npos) continue;
        auto begin = line.find_first_not_of(' ', at + 6);
        sizes.push_back(line.substr(begin, line.find(" pts", begin) - begin));
    }
    return sizes;
}

// The text of one page (1-based), line by line, blank lines dropped.
inline std::vector<std::string> pdfPageLines(const std::filesystem::path& pdf, int page,
                                             bool layout = false) {
    std::string text = run("pdftotext " + std::string(layout ? "-layout " : "") + "-f " +
                           std::to_string(page) + " -l " + std::to_string(page) + " " + quoted(pdf) + " -");
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\f') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// The whole text with runs of white space made one blank, so that words broken across lines or
// cells compare as text.
inline std::string pdfWords(const std::filesystem::path& pdf) {
    return std::regex_replace(run("pdftotext " + quoted(pdf) + " -"), std::regex("\\s+"), " ");
}

// A word as pdftotext -bbox gives it: its box in points from the page's top left.
struct PdfWord {
    double xMin, yMin, xMax, yMax;
    std::string text;
};
struct PdfPage {
    double width = 0, height = 0;
    std::vector<PdfWord> words;
    std::string text() const {
        std::string out;
        for (const auto& w : words)
            out += w.text;
        return out;
    }
};

inline std::string unescapeXML(std::string s) {
    static const std::vector<std::pair<std::string, std::string>> entities{
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities)
        for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
            s.replace(at, from.size(), to);
    return s;
}

// pdftotext -bbox: one entry per page, each word with its box, in the order pdftotext reads them.
inline std::vector<PdfPage> pdfWordBoxes(const std::filesystem::path& pdf) {
    const std::string xhtml = run("pdftotext -bbox " + quoted(pdf) + " -");
    std::vector<PdfPage> pages;
    static const std::regex page(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    static const std::regex word(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    std::istringstream lines(xhtml);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, page))
            pages.push_back({std::stod(m[1]), std::stod(m[2]), {}});
        else if (std::regex_search(line, m, word) && !pages.empty())
            pages.back().words.push_back(
                {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), unescapeXML(m[5])});
    }
    return pages;
}

} // namespace quillora::test
