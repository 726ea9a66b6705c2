#include "templates/ResearchViewSwiftUI.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

TemplateFormTable researchFormTable(const ResearchViewSwiftUI& s, const ReportVariant& v) {
    const Font sub = Font::subheadline(), head = Font::headline();
    TemplateFormTable t{v.storageKey, v.wrapper, s.showingPdfPicker1, v.photo, {}, {}};
    std::vector<FormRow> closing;
    if (v.photo) closing.push_back(photo("Select an Image"));
    closing.push_back(stack(
        {label("Font Size : Body", sub, Color::green()), options(OptionKind::Size, "Small", s.fontsizeBody),
         label("Font Type : Body ", sub, Color::green()),
         options(OptionKind::Weight, "Normal", s.fonttypeBody),
         label("Font Color : Body ", sub, Color::green()),
         options(OptionKind::BodyColor, "Black", s.textColorBody),
         stack({label("Display Date", sub), options(OptionKind::Date, "No", s.displaydate)})}));
    closing.push_back(preview());
    t.rows = {header(v.title),
              spacer(),
              stack({label("Name", sub, Color::blue()), field(v.namePrompt, s.pageInstructorName, head),
                     label("Report Name", head, Color::orange()),
                     field(" Enter Report Heading e.g Research in Machine Learning for Medical Diagnostics",
                           s.pageHeading, head),
                     stack({label("Font Size : Headline", sub, Color::orange()),
                            options(OptionKind::Size, v.headingSizeShown, s.fontsizeHeading),
                            label("Font Color : Headline", sub, Color::orange()),
                            options(OptionKind::HeadlineColor, "Red", s.textColorHeadline)})}),
              spacer(),
              spacer(),
              stack(std::move(closing))};
    t.keys = {{templatekeys::Instructor_Name, s.pageInstructorName},
              {templatekeys::Page_Heading, s.pageHeading},
              {templatekeys::Page_SubHeading, s.pageSubHeading},
              {templatekeys::Font_SizeBody, s.fontsizeBody},
              {templatekeys::Font_WeightBody, s.fonttypeBody},
              {templatekeys::TextColor_Heading, s.textColorHeadline},
              {templatekeys::TextColor_SubHeading, s.textColorSubHeadline},
              {templatekeys::TextColor_Body, s.textColorBody},
              {templatekeys::Font_SizeHeading, s.fontsizeHeading},
              {templatekeys::Font_SizeSubheading, s.fontsizeSubheading},
              {templatekeys::Display_Date, s.displaydate}};
    return t;
}

AnyView ResearchViewSwiftUI::body() const {
    return templateForm(researchFormTable(
        *this, {"Finalizing your Research Paper PDF", "Enter Name : Sam  ", "LargePlus",
                templatekeys::SavedResearch, [] { return AnyView(ResearchUipdfPicker{}); }, std::nullopt}));
}

} // namespace quillora
