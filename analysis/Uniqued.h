#pragma once
// Order-keeping de-duplication of a list of words.

#include <string>
#include <vector>

namespace quillora {

// The first occurrence of every string, in the order of first occurrences; `strings` is not
// changed. Strings are equal when they are canonically equivalent ("é" precomposed or as "e" and a
// combining accent), and case counts: "Run" and "run" both stay.
std::vector<std::string> uniqued(const std::vector<std::string>& strings);

} // namespace quillora
