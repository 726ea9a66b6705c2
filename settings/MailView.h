#pragma once
// The feedback mail composer as a declarative sheet: addressed to the maker's two support
// addresses, with no subject or body. Its coordinator keeps the outcome and closes the sheet.

#include <memory>
#include <optional>
#include <variant>

#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/swiftui/UIViewControllerRepresentable.h"
#include "platform/uikit/NSObject.h"

namespace quillora {

// Success with the composer's result code, or failure with its error.
using MailResult = std::variant<platform::MFMailComposeResult, platform::NSError>;

struct MailView : platform::swiftui::UIViewControllerRepresentable<MailView> {
    class Coordinator : public platform::NSObject, public platform::MFMailComposeViewControllerDelegate {
    public:
        Coordinator(platform::swiftui::EnvironmentValues presentation,
                    platform::swiftui::Binding<std::optional<MailResult>> result)
            : presentation(std::move(presentation)), result(std::move(result)) {}

        void mailComposeController_didFinishWithResult_error(
            platform::MFMailComposeViewController& controller, platform::MFMailComposeResult code,
            const std::optional<platform::NSError>& error) override;

        // The sheet the composer is shown in: dismissing it closes the composer.
        platform::swiftui::EnvironmentValues presentation;
        platform::swiftui::Binding<std::optional<MailResult>> result;
    };

    explicit MailView(platform::swiftui::Binding<std::optional<MailResult>> result)
        : result(std::move(result)) {}

    platform::swiftui::Binding<std::optional<MailResult>> result;

    std::shared_ptr<platform::MFMailComposeViewController>
    makeUIViewController(platform::swiftui::RepresentableContext& context) const;
    void updateUIViewController(platform::MFMailComposeViewController&,
                                platform::swiftui::RepresentableContext&) const {}
    std::shared_ptr<Coordinator>
    makeCoordinator(const platform::swiftui::EnvironmentValues& presentation) const;
};

} // namespace quillora
