#include "platform/uikit/NSObject.h"

#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace platform {

std::string NSObject::className() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    auto angle = name.find('<');
    auto colon = name.rfind("::", angle == std::string::npos ? std::string::npos : angle);
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

std::string NSStringFromClass(const NSObject& object) {
    return object.className();
}

std::string quote(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    appendQuoted(out, text);
    return out;
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    // Runs without a quote or a line break are copied whole: a list's console line can be as long
    // as its file.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\n' && c != '"') continue;
        out.append(text.data() + run, i - run);
        out += c == '\n' ? "\\n" : "\\\"";
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
    out += '"';
}

std::string quotedList(const std::vector<std::string>& texts) {
    std::size_t length = 2;
    for (const auto& text : texts)
        length += text.size() + 4;
    std::string line;
    line.reserve(length + length / 16);
    line += '[';
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i) line += ", ";
        appendQuoted(line, texts[i]);
    }
    line += ']';
    return line;
}

} // namespace platform
