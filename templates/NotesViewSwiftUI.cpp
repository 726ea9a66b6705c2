#include "templates/NotesViewSwiftUI.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

namespace {
TemplateFormTable notesTable(const NotesViewSwiftUI& f, std::function<AnyView()> wrapper) {
    const Font sub = Font::subheadline();
    TemplateFormTable t{
        templatekeys::SavedDictNote1, std::move(wrapper), f.showingPdfPicker1, std::nullopt, {}, {}};
    t.rows = {header("Finalizing your Notes PDF"),
              spacer(),
              field(" Enter Page Title e.g Meeting notes", f.pageTitle, Font::headline()),
              spacer(),
              spacer(),
              stack({label("Font Size", sub), options(OptionKind::Size, "Small", f.fontsize),
                     label("Font Type", sub), options(OptionKind::Weight, "Normal", f.fonttype),
                     label("Display Date", sub), options(OptionKind::Date, "No", f.displaydate),
                     label("Display Time", sub), options(OptionKind::Time, "No", f.displaytime), preview()})};
    t.keys = {{templatekeys::Page_Title, f.pageTitle},
              {templatekeys::Font_Size, f.fontsize},
              {templatekeys::Font_Weight, f.fonttype},
              {templatekeys::Display_Date, f.displaydate},
              {templatekeys::Display_Time, f.displaytime}};
    return t;
}
} // namespace

AnyView NotesViewSwiftUI::body() const {
    return templateForm(notesTable(*this, [] { return AnyView(NotesUipdfPicker{}); }));
}

AnyView NotesSecondViewSwiftUI::body() const {
    return templateForm(notesTable(*this, [] { return AnyView(NotesSecondUipdfPicker{}); }));
}

} // namespace quillora
