#pragma once
// The wrappers through which a declarative form shows its template screen as a sheet: each one
// makes a fresh screen every time the sheet is presented and configures nothing on it, since the
// screen reads the form's stored dictionary itself when it appears.
//
//     State<bool> showingPdfPicker1{false};
//     ... Button("Preview", [self] { self.showingPdfPicker1.set(true);
//                                    storeTemplateDictionary("SavedEssay", self.dictionary()); })
//             .sheet(showingPdfPicker1.binding(), [] { return AnyView(EssayUipdfPicker{}); })

#include <memory>

#include "pdf/PDFTemplateViewController.h"
#include "platform/swiftui/UIViewControllerRepresentable.h"

namespace quillora {

template <class Self, class Screen>
struct UipdfPicker : platform::swiftui::UIViewControllerRepresentable<Self> {
    using Controller = Screen;
    std::shared_ptr<Screen> makeUIViewController(platform::swiftui::RepresentableContext&) const {
        return std::make_shared<Screen>();
    }
    void updateUIViewController(Screen&, platform::swiftui::RepresentableContext&) const {}
};

struct NotesUipdfPicker : UipdfPicker<NotesUipdfPicker, PDFNotesViewController> {};
struct NotesSecondUipdfPicker : UipdfPicker<NotesSecondUipdfPicker, PDFNotesSecondViewController> {};
struct EssayUipdfPicker : UipdfPicker<EssayUipdfPicker, PDFEssayViewController> {};
struct ResearchUipdfPicker : UipdfPicker<ResearchUipdfPicker, PDFResearchViewController> {};
struct ModernreportUipdfPicker : UipdfPicker<ModernreportUipdfPicker, PDFModernreportViewController> {};
struct SchoolReportUipdfPicker : UipdfPicker<SchoolReportUipdfPicker, PDFSchoolReportViewController> {};
struct ModernLetterUipdfPicker : UipdfPicker<ModernLetterUipdfPicker, PDFModernLetterViewController> {};
struct PersonalLetterUipdfPicker : UipdfPicker<PersonalLetterUipdfPicker, PDFPersonalLetterViewController> {};
struct ModernBoldLetterUipdfPicker
    : UipdfPicker<ModernBoldLetterUipdfPicker, PDFModernBoldLetterViewController> {};
struct BusinessLetterUipdfPicker : UipdfPicker<BusinessLetterUipdfPicker, PDFBusinessLetterViewController> {};
struct EventPosterUipdfPicker : UipdfPicker<EventPosterUipdfPicker, PDFEventPosterViewController> {};
struct RentFlyerUipdfPicker : UipdfPicker<RentFlyerUipdfPicker, PDFRentFlyerViewController> {};
struct SaleFlyerUipdfPicker : UipdfPicker<SaleFlyerUipdfPicker, PDFSaleFlyerViewController> {};

} // namespace quillora
