#pragma once
// An error as the platform's callers receive it: a domain, a code and a sentence for people.

#include <string>

namespace platform {

class NSError {
public:
    NSError() = default;
    NSError(std::string domain, long code, std::string description)
        : domain_(std::move(domain)), code_(code), description_(std::move(description)) {}

    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    const std::string& localizedDescription() const { return description_; }

    bool operator==(const NSError&) const = default;

private:
    std::string domain_;
    long code_ = 0;
    std::string description_;
};

} // namespace platform
