#pragma once
// Reading PDFs back with poppler's command-line tools, as a person checking the output would.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <glib.h>

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

// A sound one-page PDF padded to about `padding` bytes by a stream nothing uses.
inline std::string paddedPDF(std::size_t padding) {
    const std::vector<std::string> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>",
        "<< /Length " + std::to_string(padding) + " >>\nstream\n" + std::string(padding, 'x') + "\nendstream",
    };
    std::string out = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    }
    return out + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
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

// Each printed line of each page as a reader sees it, left to right: the characters of the words
// standing on it by where they stand (a right-to-left word's letters from its left end), one blank
// where a gap parts two words, compatibility forms (Arabic presentation forms) made plain and
// directional marks dropped. The same for any PDF whatever order its producer wrote the text in.
inline std::vector<std::vector<std::string>> pdfVisualLines(const std::filesystem::path& pdf) {
    std::vector<std::vector<std::string>> out;
    for (auto page : pdfWordBoxes(pdf)) {
        auto& lines = out.emplace_back();
        std::sort(page.words.begin(), page.words.end(),
                  [](const PdfWord& a, const PdfWord& b) { return a.yMin < b.yMin; });
        std::vector<std::vector<PdfWord>> rows;
        for (const auto& w : page.words) {
            const double middle = (w.yMin + w.yMax) / 2;
            if (rows.empty() || middle > rows.back().front().yMax) rows.emplace_back();
            rows.back().push_back(w);
        }
        for (auto& row : rows) {
            std::stable_sort(row.begin(), row.end(),
                             [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
            std::string line;
            double right = 0;
            for (const auto& w : row) {
                const double height = w.yMax - w.yMin;
                if (!line.empty() && w.xMin - right > height * 0.12) line += ' ';
                gchar* plain = g_utf8_normalize(w.text.c_str(), -1, G_NORMALIZE_ALL_COMPOSE);
                for (const char* c = plain ? plain : ""; *c; c = g_utf8_next_char(c)) {
                    const gunichar u = g_utf8_get_char(c);
                    if (g_unichar_type(u) != G_UNICODE_FORMAT)
                        line.append(c, static_cast<std::size_t>(g_utf8_next_char(c) - c));
                }
                g_free(plain);
                right = std::max(right, w.xMax);
            }
            lines.push_back(line);
        }
    }
    return out;
}

} // namespace quillora::test
