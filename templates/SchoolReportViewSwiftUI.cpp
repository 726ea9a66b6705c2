#include "templates/SchoolReportViewSwiftUI.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

AnyView SchoolReportViewSwiftUI::body() const {
    const Font sub = Font::subheadline(), head = Font::headline();
    TemplateFormTable t{templatekeys::SavedSchoolReport,
                        [] { return AnyView(SchoolReportUipdfPicker{}); },
                        showingPdfPicker1,
                        PhotoStates{imagePickerVisible, selectedImage},
                        {},
                        {}};
    t.rows = {header("Finalizing your Contemporary Report PDF"),
              spacer(),
              stack({label("SubHeadline", sub, Color::purple()),
                     field("Please Enter SubHeading e.g Simple Home Styling", pageSubHeading),
                     stack({label("Font Size : Subheading", sub, Color::purple()),
                            options(OptionKind::Size, "LargePlus", fontsizeSubheading),
                            label("Font Color : Subheading", sub, Color::purple()),
                            options(OptionKind::HeadlineColor, "Red", textColorSubHeadline)},
                           head, 40),
                     label("Heading", head, Color::orange()),
                     field(" Enter  Heading e.g Easy Decorating ", pageHeading, head),
                     stack({label("Font Size : Headline", sub, Color::orange()),
                            options(OptionKind::Size, "XtraLarge", fontsizeHeading),
                            label("Font Color : Headline", sub, Color::orange()),
                            options(OptionKind::HeadlineColor, "Red", textColorHeadline)})}),
              spacer(),
              spacer(),
              stack({photo("Select an Image"),
                     stack({label("Note: Say 'next line or new Paragrah' for starting New paragraph  ",
                                  Font::footnote(), Color::blue()),
                            label("Font Size : Body", sub, Color::green()),
                            options(OptionKind::Size, "Small", fontsizeBody),
                            label("Font Type : Body ", sub, Color::green()),
                            options(OptionKind::Weight, "Normal", fonttypeBody),
                            label("Font Color : Body ", sub, Color::green()),
                            options(OptionKind::BodyColor, "Black", textColorBody)}),
                     preview()})};
    t.keys = {{templatekeys::Instructor_Name, pageInstructorName},
              {templatekeys::Page_Heading, pageHeading},
              {templatekeys::Page_SubHeading, pageSubHeading},
              {templatekeys::Font_SizeBody, fontsizeBody},
              {templatekeys::Font_WeightBody, fonttypeBody},
              {templatekeys::TextColor_Heading, textColorHeadline},
              {templatekeys::TextColor_SubHeading, textColorSubHeadline},
              {templatekeys::TextColor_Body, textColorBody},
              {templatekeys::Font_SizeHeading, fontsizeHeading},
              {templatekeys::Font_SizeSubheading, fontsizeSubheading},
              {templatekeys::Display_Date, displaydate}};
    return templateForm(t);
}

} // namespace quillora
