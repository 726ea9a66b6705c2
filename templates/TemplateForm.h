#pragma once
// The one builder of the template forms. A form is a struct of states under its own names; its
// body hands the builder a table: the rows of its scrolling sheet (header, labels, fields, option
// groups, stacks, the photo block, Preview) and the keys Preview stores, each with the state it
// takes. Cancel, Preview, the option callbacks and the sheets are the builder's alone.
//
//     TemplateFormTable t{"SavedEssay", [] { return AnyView(EssayUipdfPicker{}); }, showingPdfPicker1};
//     t.rows = {header("Finalizing your Essay PDF"), label("Name", Font::subheadline(), Color::blue()),
//               field(" Enter Name e.g Sam A", pageInstructorName), preview()};
//     t.keys = {{"Instructor_Name", pageInstructorName}};
//     return templateForm(t);

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/swiftui/View.h"
#include "templates/StyleOptions.h"

namespace quillora {

using TextState = platform::swiftui::State<std::string>;

// The photo states of a form that takes a photo.
struct PhotoStates {
    platform::swiftui::State<bool> imagePickerVisible;
    platform::swiftui::State<std::optional<platform::swiftui::Image>> selectedImage;
};

struct FormRow {
    enum class Kind { Header, Label, Field, Options, Spacer, Stack, Photo, Preview };
    Kind kind = Kind::Spacer;
    std::string text; // header title, label, field prompt, photo button title
    std::optional<platform::swiftui::Font> font;
    std::optional<platform::swiftui::Color> color;
    std::optional<TextState> target; // the field's text, the group's stored value
    OptionKind options = OptionKind::Size;
    std::string initial;     // the option a group shows chosen at first
    int spacersInHeader = 0; // between the header's title and its second line
    std::vector<FormRow> children;
    std::optional<double> padding; // stacks
    std::optional<double> spacing; // stacks
};

FormRow header(std::string title, int spacersAfterTitle = 0);
FormRow label(std::string text, std::optional<platform::swiftui::Font> font = std::nullopt,
              std::optional<platform::swiftui::Color> color = std::nullopt);
// A single-line field bound to `text`, framed by a thin black border; `font` set before it.
FormRow field(std::string prompt, TextState text, std::optional<platform::swiftui::Font> font = std::nullopt);
// A radio group of `kind`, showing `initial` chosen, storing each choice's value in `target`.
FormRow options(OptionKind kind, std::string initial, TextState target);
FormRow spacer();
// A centred vertical stack; `font` is its children's default font.
FormRow stack(std::vector<FormRow> children, std::optional<platform::swiftui::Font> font = std::nullopt,
              std::optional<double> padding = std::nullopt, std::optional<double> spacing = std::nullopt);
// The photo (while one is held) and the pill button that opens the picker.
FormRow photo(std::string buttonTitle);
FormRow preview();

struct TemplateFormTable {
    std::string storageKey;
    std::function<platform::swiftui::AnyView()> wrapper;
    platform::swiftui::State<bool> showingPdfPicker1;
    std::optional<PhotoStates> photo;
    std::vector<FormRow> rows;
    // Stored in this order by Preview.
    std::vector<std::pair<std::string, TextState>> keys;
};

// The pill look of the cancel buttons and of the photo button: at most 300 wide, padded, white on
// a leading-to-trailing gradient, in a rounded rectangle.
platform::swiftui::AnyView pillStyle(platform::swiftui::AnyView view, const platform::swiftui::Color& from,
                                     const platform::swiftui::Color& to);

// The form's body: a vertical stack holding one scroll view of the table's rows.
platform::swiftui::AnyView templateForm(const TemplateFormTable& table);

} // namespace quillora
