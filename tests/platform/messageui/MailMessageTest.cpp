// The bytes of a written message, read twice: by GMime as a mail reader would, and by a small
// parser of our own that applies RFC 5322 and RFC 2045 as written (headers, charset, transfer
// encoding, line lengths), so that the two cannot agree on a mistake of GMime's.

#include <gmime/gmime.h>

#include <map>
#include <sstream>

#include "platform/messageui/MFMailComposeViewController.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {

struct RawMessage {
    std::map<std::string, std::string> headers; // lower-case names, unfolded values
    std::string body;                           // as on the wire
    std::size_t longestLine = 0;                // octets, without the line break
    bool bareBytes = false;                     // any octet above 127 anywhere
};

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

RawMessage split(const std::string& text) {
    RawMessage m;
    std::istringstream in(text);
    std::string line, last;
    bool inBody = false;
    for (unsigned char c : text)
        m.bareBytes |= c > 127;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m.longestLine = std::max(m.longestLine, line.size());
        if (inBody) {
            m.body += line + "\n";
        } else if (line.empty()) {
            inBody = true;
        } else if (line[0] == ' ' || line[0] == '\t') {
            m.headers[last] += line; // folded: the line break goes, the white space stays
        } else if (auto colon = line.find(':'); colon != std::string::npos) {
            last = lower(line.substr(0, colon));
            m.headers[last] = line.substr(line.find_first_not_of(' ', colon + 1));
        }
    }
    return m;
}

// RFC 2045 section 6.7: "=" and two hex digits stand for an octet; "=" at a line's end joins it to
// the next.
std::string decodeQuotedPrintable(const std::string& body, bool* valid) {
    std::string out;
    std::istringstream in(body);
    for (std::string line; std::getline(in, line);) {
        *valid &= line.size() <= 76;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        bool soft = !line.empty() && line.back() == '=';
        if (soft) line.pop_back();
        for (std::size_t i = 0; i < line.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            *valid &= c >= 32 && c <= 126;
            if (c == '=' && i + 2 < line.size() && std::isxdigit(static_cast<unsigned char>(line[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(line[i + 2]))) {
                out += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                *valid &= c != '=';
                out += static_cast<char>(c);
            }
        }
        if (!soft) out += "\n";
    }
    return out;
}

std::string decodeBase64(const std::string& in) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    int bits = 0, value = 0;
    for (char c : in) {
        auto at = alphabet.find(c);
        if (at == std::string::npos) continue;
        value = (value << 6) | static_cast<int>(at);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return out;
}

// RFC 2047 encoded words (=?charset?B|Q?text?=), white space between two of them dropped.
std::string decodeHeader(const std::string& value, std::string* charsets) {
    std::string out, pendingSpace;
    std::size_t i = 0;
    bool lastEncoded = false;
    while (i < value.size()) {
        if (value.compare(i, 2, "=?") == 0) {
            const auto q1 = value.find('?', i + 2), q2 = value.find('?', q1 + 1),
                       end = value.find("?=", q2 + 1);
            if (q1 != std::string::npos && q2 == q1 + 2 && end != std::string::npos) {
                *charsets += lower(value.substr(i + 2, q1 - i - 2)) + " ";
                const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(value[q1 + 1])));
                std::string text = value.substr(q2 + 1, end - q2 - 1);
                if (kind == 'B') {
                    text = decodeBase64(text);
                } else {
                    for (auto& c : text)
                        if (c == '_') c = ' ';
                    bool ok = true;
                    text = decodeQuotedPrintable(text, &ok);
                    if (!text.empty() && text.back() == '\n') text.pop_back();
                }
                if (!lastEncoded) out += pendingSpace;
                pendingSpace.clear();
                out += text;
                lastEncoded = true;
                i = end + 2;
                continue;
            }
        }
        if (value[i] == ' ' || value[i] == '\t') {
            pendingSpace += value[i++];
            continue;
        }
        out += pendingSpace;
        pendingSpace.clear();
        out += value[i++];
        lastEncoded = false;
    }
    return out;
}

struct GMimeView {
    std::string subject, charset, body, encoding;
};

GMimeView readWithGMime(const std::string& text) {
    g_mime_init();
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(text.data(), text.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    GMimeView view;
    if (!message) return view;
    if (const char* s = g_mime_message_get_subject(message)) view.subject = s;
    GMimeObject* part = g_mime_message_get_mime_part(message);
    if (GMIME_IS_TEXT_PART(part)) {
        if (const char* c = g_mime_text_part_get_charset(GMIME_TEXT_PART(part))) view.charset = c;
        view.encoding = g_mime_content_encoding_to_string(g_mime_part_get_content_encoding(GMIME_PART(part)));
        char* t = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
        view.body = t ? t : "";
        g_free(t);
    }
    g_object_unref(message);
    return view;
}

class MailMessageTest : public PlatformTest {};

TEST_F(MailMessageTest, EveryBodyIsUtf8AndLongOrEightBitLinesAreQuotedPrintable) {
    struct Case {
        std::string name, subject, body;
        bool quoted;
    };
    const std::vector<Case> cases{
        {"ascii", "Feedback", "The app works well.\nThank you!", false},
        {"accented", "Feedback", "Très bien, merci. Grüße aus Köln.", true},
        {"emoji", "Feedback", "Love it \xF0\x9F\x98\x8D\xF0\x9F\x91\x8D", true},
        {"long line", "Feedback", std::string(2000, 'a') + " and the end", true},
        {"79 characters", "Feedback", std::string(79, 'b'), true},
        {"78 characters", "Feedback", std::string(78, 'c'), false},
        {"subject", "Grüße \xF0\x9F\x98\x8D aus Köln", "Plain text.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MFMailComposeViewController composer;
        composer.setToRecipients({"support@example.com"});
        composer.setSubject(c.subject);
        composer.setMessageBody_isHTML(c.body, false);
        const std::string text = composer.messageText();

        // Our own reading.
        const RawMessage raw = split(text);
        EXPECT_LE(raw.longestLine, 998u) << "RFC 5322 limits a line to 998 octets";
        EXPECT_FALSE(raw.bareBytes) << "every octet of the message is 7-bit";
        const std::string type = lower(raw.headers.at("content-type"));
        EXPECT_NE(type.find("text/plain"), std::string::npos) << type;
        EXPECT_NE(type.find("charset=utf-8"), std::string::npos) << type;
        const std::string encoding =
            lower(raw.headers.count("content-transfer-encoding") ? raw.headers.at("content-transfer-encoding")
                                                                 : std::string("7bit"));
        EXPECT_EQ(encoding, c.quoted ? "quoted-printable" : "7bit");
        bool valid = true;
        std::string body =
            encoding == "quoted-printable" ? decodeQuotedPrintable(raw.body, &valid) : raw.body;
        EXPECT_TRUE(valid) << "not well-formed quoted-printable:\n" << raw.body.substr(0, 400);
        while (!body.empty() && body.back() == '\n')
            body.pop_back();
        EXPECT_EQ(body, c.body);
        std::string charsets;
        EXPECT_EQ(decodeHeader(raw.headers.at("subject"), &charsets), c.subject);
        if (c.subject.find('\xC3') != std::string::npos) {
            EXPECT_NE(charsets.find("utf-8"), std::string::npos) << raw.headers.at("subject");
        }

        // A mail reader's reading.
        const GMimeView read = readWithGMime(text);
        EXPECT_EQ(lower(read.charset), "utf-8");
        EXPECT_EQ(read.subject, c.subject);
        std::string gmimeBody = read.body;
        while (!gmimeBody.empty() && gmimeBody.back() == '\n')
            gmimeBody.pop_back();
        EXPECT_EQ(gmimeBody, c.body);
    }
}

} // namespace
} // namespace quillora::test
