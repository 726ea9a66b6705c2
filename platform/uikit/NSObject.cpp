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
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"')
            out += "\\\"";
        else
            out += c;
    }
    return out + "\"";
}

} // namespace platform
