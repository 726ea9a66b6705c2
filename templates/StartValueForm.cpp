#include "templates/StartValueForm.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

namespace {

using Keys = std::vector<std::pair<std::string, TextState>>;

Keys startKeys(std::vector<std::pair<std::string, std::string>> startValues) {
    Keys out;
    for (auto& [key, value] : startValues)
        out.emplace_back(key, TextState(value));
    return out;
}

template <class Wrapper> std::function<AnyView()> makeWrapper() {
    return [] { return AnyView(Wrapper{}); };
}

Keys notesKeys() {
    return startKeys({{"Page_Title", "Meeting Minutes: Attendees - Ana,Ben,Cleo"},
                      {"Font_Size", "fs-4"},
                      {"Font_Weight", "fw-normal"},
                      {"Display_Date", ""},
                      {"Display_Time", ""}});
}

Keys reportKeys(std::string subHeading, std::string subHeadingColor) {
    return startKeys({{"Instructor_Name", "Sam Author"},
                      {"Page_Heading", "Research in Machine Learning for Medical Diagnostics"},
                      {"Page_SubHeading", std::move(subHeading)},
                      {"Font_SizeBody", "fs-5"},
                      {"Font_WeightBody", "fw-normal"},
                      {"TextColor_Heading", "text-primary"},
                      {"TextColor_SubHeading", std::move(subHeadingColor)},
                      {"TextColor_Body", ""},
                      {"Font_SizeHeading", "fs-1"},
                      {"Font_SizeSubheading", "fs-2"},
                      {"Display_Date", ""}});
}

Keys posterKeys(std::string heading, std::string subHeading, std::string subHeadingSize,
                std::string website) {
    return startKeys({{"Page_Heading", std::move(heading)},
                      {"Page_SubHeading", std::move(subHeading)},
                      {"Font_SizeBody", ""},
                      {"Font_WeightBody", ""},
                      {"TextColor_Heading", "text-primary"},
                      {"TextColor_SubHeading", "text-primary"},
                      {"TextColor_Body", ""},
                      {"Font_SizeHeading", "fs-1"},
                      {"Font_SizeSubheading", std::move(subHeadingSize)},
                      {"Display_Date", "21st Oct 2021"},
                      {"Display_Time", "4PM - 5PM"},
                      {"Website", std::move(website)},
                      {"Location", "California"},
                      {"Phone_No", "+123456789"}});
}

} // namespace

AnyView StartValueForm::body() const {
    TemplateFormTable table{storageKey, wrapper, showingPdfPicker1, std::nullopt, {}, keys};
    table.rows = {header(title), spacer(), stack({preview()})};
    return templateForm(table);
}

NotesViewSwiftUI::NotesViewSwiftUI()
    : StartValueForm{"Finalizing your Notes PDF", "SavedDictNote1", makeWrapper<NotesUipdfPicker>(),
                     notesKeys()} {}

NotesSecondViewSwiftUI::NotesSecondViewSwiftUI()
    : StartValueForm{"Finalizing your Notes PDF", "SavedDictNote1", makeWrapper<NotesSecondUipdfPicker>(),
                     notesKeys()} {}

EssayViewSwiftUI::EssayViewSwiftUI()
    : StartValueForm{
          "Finalizing your Essay PDF", "SavedEssay", makeWrapper<EssayUipdfPicker>(),
          startKeys({{"Instructor_Name", "Sam Author"},
                     {"Page_Heading", "The Future of Machine Learning and Artificial Intelligence"},
                     {"Page_SubHeading", "Benefiting Humanity: AI and ML in Core Industry Sectors"},
                     {"Font_SizeBody", "fs-5"},
                     {"Font_WeightBody", "fw-normal"},
                     {"TextColor_Heading", "text-danger"},
                     {"TextColor_SubHeading", "text-dark"},
                     {"TextColor_Body", ""},
                     {"Font_SizeHeading", "fs-1"},
                     {"Font_SizeSubheading", "fs-2"}})} {}

ResearchViewSwiftUI::ResearchViewSwiftUI()
    : StartValueForm{"Finalizing your Research Paper PDF", "SavedResearch",
                     makeWrapper<ResearchUipdfPicker>(), reportKeys("", "text-dark")} {}

ModernreportViewSwiftUI::ModernreportViewSwiftUI()
    : StartValueForm{"Finalizing your Modern Report PDF", "SavedModernReport",
                     makeWrapper<ModernreportUipdfPicker>(), reportKeys("", "text-dark")} {}

SchoolReportViewSwiftUI::SchoolReportViewSwiftUI()
    : StartValueForm{"Finalizing your Contemporary Report PDF", "SavedSchoolReport",
                     makeWrapper<SchoolReportUipdfPicker>(), reportKeys("Future of AI", "text-danger")} {}

EventPosterViewSwiftUI::EventPosterViewSwiftUI()
    : StartValueForm{"Finalizing your Event Poster PDF", "SavedEventPoster",
                     makeWrapper<EventPosterUipdfPicker>(),
                     posterKeys("Art Exhibition ", "Art Event ", "fs-2", "www.art-exhibition.example.com")} {}

RentFlyerViewSwiftUI::RentFlyerViewSwiftUI()
    : StartValueForm{"Finalizing your Rent Flyer PDF", "SavedRentFlyer", makeWrapper<RentFlyerUipdfPicker>(),
                     posterKeys("Flat for Rent ", " ", "fs-2", "rentals@example.com")} {
    keys.emplace_back("Price", TextState("$1200/Month"));
}

SaleFlyerViewSwiftUI::SaleFlyerViewSwiftUI()
    : StartValueForm{"Finalizing your Sale Flyer PDF", "SavedSaleFlyer", makeWrapper<SaleFlyerUipdfPicker>(),
                     posterKeys("SAFA FOR SALE ", "5 Seater Sofa ", "fs-1", "sales@example.com")} {
    keys.emplace_back("Price", TextState("$1000"));
}

} // namespace quillora
