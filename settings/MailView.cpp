#include "settings/MailView.h"

#include "settings/AppCatalogue.h"

namespace quillora {

using namespace platform;

std::shared_ptr<MFMailComposeViewController>
MailView::makeUIViewController(swiftui::RepresentableContext& context) const {
    auto composer = std::make_shared<MFMailComposeViewController>();
    composer->mailComposeDelegate = context.coordinatorAs<Coordinator>();
    composer->setToRecipients(
        {std::string(settings::supportAddress), std::string(settings::feedbackAddress)});
    return composer;
}

std::shared_ptr<MailView::Coordinator>
MailView::makeCoordinator(const swiftui::EnvironmentValues& presentation) const {
    return std::make_shared<Coordinator>(presentation, result);
}

void MailView::Coordinator::mailComposeController_didFinishWithResult_error(
    MFMailComposeViewController&, MFMailComposeResult code, const std::optional<NSError>& error) {
    if (error)
        result.set(MailResult(*error));
    else
        result.set(MailResult(code));
    presentation.dismiss();
}

} // namespace quillora
