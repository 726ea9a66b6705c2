#pragma once
// The option-to-style tables every template form shares: which options a group of each kind
// offers, the line each choice prints and the style class (or date text) it stores.

#include <string>
#include <vector>

namespace quillora {

enum class OptionKind {
    Size,          // "XtraSmall" ... "XtraLarge" -> "fs-6" ... "fs-1"
    Weight,        // "Bold" ... "Thin" -> "fw-bold" ... "fst-normal"
    HeadlineColor, // colours of headings and names, with their "headline" lines
    BodyColor,     // colours of the body text, with their "Body text" lines
    Date,          // "No" -> " ", "Yes" -> the long date of the tap
    Time,          // "No" -> " ", "Yes" -> the medium time of the tap
};

struct StyleOption {
    std::string item;       // shown by the radio button
    std::string line;       // printed after "Selected is: ..."
    std::string styleClass; // stored; empty for the date and time options
};

// The options of a kind, in the order a group shows them.
const std::vector<StyleOption>& styleOptions(OptionKind kind);
std::vector<std::string> optionItems(OptionKind kind);

// What choosing `item` in a group of `kind` prints and stores. An item the table does not know
// falls back to the kind's default line and value. Date and time take the clock's now.
struct OptionChoice {
    std::string line;
    std::string value;
};
OptionChoice chooseOption(OptionKind kind, const std::string& item);

} // namespace quillora
