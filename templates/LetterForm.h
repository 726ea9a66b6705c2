#pragma once
// The four letter forms: one layout told on the modern letter, and a member table of what each
// letter changes (title, wording of the sender rows, which rows it has, its key and template).

#include <functional>
#include <optional>
#include <string>

#include "platform/swiftui/View.h"
#include "templates/TemplateForm.h"

namespace quillora {

// What one letter form changes of the modern letter's layout.
struct LetterMember {
    std::string title;
    std::string storageKey;
    std::function<platform::swiftui::AnyView()> wrapper;
    std::string nameLabel = "Your Name";
    std::string namePrompt;
    bool hasCompany = false; // "Your Company Name" and its field after the name field
    std::string companyPrompt;
    std::string nameSizeLabel = "Font Size : Name";
    std::string nameColorLabel = "Font Color : Name";
    std::string phoneLabel = "Your Phone No";
    std::string phonePrompt;
    std::string emailLabel = "Your Email";
    std::string emailPrompt;
    std::optional<std::string> senderAddressPrompt;    // none: no field edits `youraddress`
    std::optional<std::string> recipientAddressPrompt; // none: no field edits `recipientaddress`
    std::string recipientPrompt;
    bool spacersBeforeBody = true; // the two spacers between the sender block and the body block
    bool hasPhoto = false;         // the photo and "Select Logo"
    bool hasDate = true;           // "Display Date" and its group
};

// The states a letter form hands the builder; `yourcompanyname` only for the business letter.
struct LetterStates {
    TextState yourname;
    std::optional<TextState> yourcompanyname;
    TextState yourphoneno, youremail, youraddress, displaydate, recipientname, recipientaddress;
    TextState fontsizeyourname, textColoryourname, fontsizerecipientname, textColorrecipientname;
    TextState fontsizeBody, fonttypeBody, textColorBody;
    std::optional<PhotoStates> photo;
    platform::swiftui::State<bool> showingPdfPicker1;
};

// The form's table: its rows and its 14 keys (15 with the company name).
TemplateFormTable letterFormTable(const LetterMember& member, const LetterStates& states);

struct ModernLetterViewSwiftUI {
    TextState yourname{"Alex"};
    TextState yourphoneno{"555013247"};
    TextState youremail{"alex.morgan@example.com"};
    TextState youraddress{"12 Elm Street, Springfield"};
    TextState displaydate{""};
    TextState recipientname{"Jordan"};
    TextState recipientaddress{"Acme Supplies Ltd, 400 Market Road, Rivertown"};
    TextState fontsizeyourname{"fs-5"};
    TextState textColoryourname{""};
    TextState fontsizerecipientname{"fs-5"};
    TextState textColorrecipientname{""};
    TextState fontsizeBody{"fs-6"};
    TextState fonttypeBody{""};
    TextState textColorBody{""};
    platform::swiftui::State<bool> imagePickerVisible{false};
    platform::swiftui::State<std::optional<platform::swiftui::Image>> selectedImage{
        platform::swiftui::Image::system("photo")};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    static const LetterMember& member();
    platform::swiftui::AnyView body() const;
};

struct PersonalLetterViewSwiftUI {
    TextState yourname{"Robin Hale Jr."};
    TextState yourphoneno{"555013247"};
    TextState youremail{"alex.morgan@example.com"};
    TextState youraddress{"7 Birch Lane, Lakeside"};
    TextState displaydate{""};
    TextState recipientname{"Casey"};
    TextState recipientaddress{"Acme Supplies Ltd, 400 Market Road, Rivertown"};
    TextState fontsizeyourname{"fs-2"};
    TextState textColoryourname{"text-primary"};
    TextState fontsizerecipientname{"fs-6"};
    TextState textColorrecipientname{""};
    TextState fontsizeBody{"fs-6"};
    TextState fonttypeBody{""};
    TextState textColorBody{""};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    static const LetterMember& member();
    platform::swiftui::AnyView body() const;
};

struct ModernBoldLetterViewSwiftUI {
    TextState yourname{"Morgan Reed Jr."};
    TextState yourphoneno{"555013247"};
    TextState youremail{"alex.morgan@example.com"};
    TextState youraddress{"21 Oak Avenue, Hillview"};
    TextState displaydate{""};
    TextState recipientname{"Jordan"};
    TextState recipientaddress{"Northwind Traders, 18 Harbour Street, Bayport"};
    TextState fontsizeyourname{"fs-1"};
    TextState textColoryourname{"text-danger"};
    TextState fontsizerecipientname{"fs-6"};
    TextState textColorrecipientname{"text-dark"};
    TextState fontsizeBody{"fs-6"};
    TextState fonttypeBody{""};
    TextState textColorBody{""};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    static const LetterMember& member();
    platform::swiftui::AnyView body() const;
};

struct BusinessLetterViewSwiftUI {
    TextState yourname{"Morgan Reed Jr."};
    TextState yourcompanyname{"Brightside Studio Ltd"};
    TextState yourphoneno{"555013247"};
    TextState youremail{"alex.morgan@example.com"};
    TextState youraddress{"5 Station Road, Millbrook"};
    TextState displaydate{""};
    TextState recipientname{"Jordan"};
    TextState recipientaddress{"Contoso Group, 90 King Street, Fairview"};
    TextState fontsizeyourname{"fs-1"};
    TextState textColoryourname{"text-danger"};
    TextState fontsizerecipientname{"fs-6"};
    TextState textColorrecipientname{"text-dark"};
    TextState fontsizeBody{"fs-6"};
    TextState fonttypeBody{""};
    TextState textColorBody{""};
    platform::swiftui::State<bool> showingPdfPicker1{false};

    static const LetterMember& member();
    platform::swiftui::AnyView body() const;
};

} // namespace quillora
