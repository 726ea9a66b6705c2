#include "templates/LetterForm.h"

#include "common/TemplateKeys.h"

#include "pdf/UipdfPicker.h"

namespace quillora {

using namespace platform::swiftui;

TemplateFormTable letterFormTable(const LetterMember& m, const LetterStates& s) {
    const Font sub = Font::subheadline();
    // Block B: sender and recipient.
    std::vector<FormRow> sender{label(m.nameLabel, sub, Color::purple()), field(m.namePrompt, s.yourname)};
    if (m.hasCompany && s.yourcompanyname) {
        sender.push_back(label("Your Company Name", sub, Color::purple()));
        sender.push_back(field(m.companyPrompt, *s.yourcompanyname));
    }
    std::vector<FormRow> senderStyles{label(m.nameSizeLabel, sub, Color::purple()),
                                      options(OptionKind::Size, "Small", s.fontsizeyourname),
                                      label(m.nameColorLabel, sub, Color::purple()),
                                      options(OptionKind::HeadlineColor, "Red", s.textColoryourname),
                                      label(m.phoneLabel, sub, Color::purple()),
                                      field(m.phonePrompt, s.yourphoneno),
                                      label(m.emailLabel, sub, Color::purple()),
                                      field(m.emailPrompt, s.youremail)};
    if (m.senderAddressPrompt) senderStyles.push_back(field(*m.senderAddressPrompt, s.youraddress));
    sender.push_back(stack(std::move(senderStyles), Font::headline(), 40));
    sender.push_back(label("Recipient Name", Font::headline(), Color::orange()));
    sender.push_back(field(m.recipientPrompt, s.recipientname, Font::headline()));
    sender.push_back(stack({label("Font Size : Recipient Name", sub, Color::orange()),
                            options(OptionKind::Size, "LargePlus", s.fontsizerecipientname),
                            label("Font Color : Recepient Name", sub, Color::orange()),
                            options(OptionKind::HeadlineColor, "Red", s.textColorrecipientname)}));
    if (m.recipientAddressPrompt) sender.push_back(field(*m.recipientAddressPrompt, s.recipientaddress));

    // Block C: photo, body styles, date and Preview.
    std::vector<FormRow> body{label("Note: Say 'next line or new Paragrah' for starting New paragraph  ",
                                    Font::footnote(), Color::blue()),
                              spacer(),
                              label("Font Size : Body", sub, Color::green()),
                              options(OptionKind::Size, "Small", s.fontsizeBody),
                              label("Font Type : Body ", sub, Color::green()),
                              options(OptionKind::Weight, "Normal", s.fonttypeBody),
                              label("Font Color : Body ", sub, Color::green()),
                              options(OptionKind::BodyColor, "Black", s.textColorBody)};
    if (m.hasDate) {
        body.push_back(label("Display Date", sub));
        body.push_back(options(OptionKind::Date, "No", s.displaydate));
    }
    std::vector<FormRow> closing;
    if (m.hasPhoto) closing.push_back(photo("Select Logo"));
    closing.push_back(stack(std::move(body)));
    for (FormRow row : {spacer(), preview(), spacer(), spacer()})
        closing.push_back(row);

    TemplateFormTable t{m.storageKey, m.wrapper, s.showingPdfPicker1, m.hasPhoto ? s.photo : std::nullopt,
                        {},           {}};
    t.rows = {header(m.title, 2), spacer(), stack(std::move(sender))};
    if (m.spacersBeforeBody) t.rows.insert(t.rows.end(), {spacer(), spacer()});
    t.rows.push_back(stack(std::move(closing)));

    t.keys = {{templatekeys::Your_Name, s.yourname}};
    if (m.hasCompany && s.yourcompanyname)
        t.keys.emplace_back(templatekeys::Your_CompanyName, *s.yourcompanyname);
    for (auto& entry : std::vector<std::pair<std::string, TextState>>{
             {templatekeys::Your_PhoneNo, s.yourphoneno},
             {templatekeys::Your_Email, s.youremail},
             {templatekeys::Your_Address, s.youraddress},
             {templatekeys::Recipient_Name, s.recipientname},
             {templatekeys::Recipient_Address, s.recipientaddress},
             {templatekeys::TextColor_YourName, s.textColoryourname},
             {templatekeys::TextColor_Body, s.textColorBody},
             {templatekeys::FontSize_Body, s.fontsizeBody},
             {templatekeys::FontWeight_Body, s.fonttypeBody},
             {templatekeys::TextColor_RecipeintName, s.textColorrecipientname},
             {templatekeys::Font_SizeYourName, s.fontsizeyourname},
             {templatekeys::Font_SizeRecipientName, s.fontsizerecipientname},
             {templatekeys::Display_Date, s.displaydate}})
        t.keys.push_back(std::move(entry));
    return t;
}

namespace {
LetterMember modernMember() {
    LetterMember m;
    m.title = "Finalizing your Modern Letter PDF";
    m.storageKey = templatekeys::SavedModernLetter;
    m.wrapper = [] { return AnyView(ModernLetterUipdfPicker{}); };
    m.namePrompt = "Your Name e.g Alex Morgan";
    m.phonePrompt = "Your Phone No e.g +1 555 013 2470";
    m.emailPrompt = "Your Email e.g alex.morgan@example.com";
    m.senderAddressPrompt = "Your Address e.g 12 Elm Street, Springfield";
    m.recipientAddressPrompt = "Recepient Address e.g 400 Market Road, Rivertown";
    m.recipientPrompt = " Enter  Recipient Name e.g Jordan  ";
    m.hasPhoto = true;
    return m;
}

template <class Form> LetterStates statesOf(const Form& f) {
    LetterStates s{f.yourname,         std::nullopt,        f.yourphoneno,           f.youremail,
                   f.youraddress,      f.displaydate,       f.recipientname,         f.recipientaddress,
                   f.fontsizeyourname, f.textColoryourname, f.fontsizerecipientname, f.textColorrecipientname,
                   f.fontsizeBody,     f.fonttypeBody,      f.textColorBody,         std::nullopt,
                   f.showingPdfPicker1};
    if constexpr (requires { f.yourcompanyname; }) s.yourcompanyname = f.yourcompanyname;
    if constexpr (requires { f.selectedImage; }) s.photo = PhotoStates{f.imagePickerVisible, f.selectedImage};
    return s;
}
} // namespace

const LetterMember& ModernLetterViewSwiftUI::member() {
    static const LetterMember m = modernMember();
    return m;
}

const LetterMember& PersonalLetterViewSwiftUI::member() {
    static const LetterMember m = [] {
        LetterMember m = modernMember();
        m.title = "Finalizing your Personal Letter PDF";
        m.storageKey = templatekeys::SavedPersonalLetter;
        m.wrapper = [] { return AnyView(PersonalLetterUipdfPicker{}); };
        m.senderAddressPrompt.reset();
        m.recipientAddressPrompt.reset();
        m.spacersBeforeBody = false;
        m.hasPhoto = false;
        return m;
    }();
    return m;
}

const LetterMember& ModernBoldLetterViewSwiftUI::member() {
    static const LetterMember m = [] {
        LetterMember m = modernMember();
        m.storageKey = templatekeys::SavedModernBoldLetter;
        m.wrapper = [] { return AnyView(ModernBoldLetterUipdfPicker{}); };
        m.spacersBeforeBody = false;
        m.hasPhoto = false;
        m.hasDate = false;
        return m;
    }();
    return m;
}

const LetterMember& BusinessLetterViewSwiftUI::member() {
    static const LetterMember m = [] {
        LetterMember m = modernMember();
        m.title = "Finalizing your Business Letter PDF";
        m.storageKey = templatekeys::SavedBusinessLetter;
        m.wrapper = [] { return AnyView(BusinessLetterUipdfPicker{}); };
        m.nameLabel = "Your  Name";
        m.namePrompt = "Your  Name e.g Morgan Reed";
        m.hasCompany = true;
        m.companyPrompt = "Your Company Name e.g Brightside Studio";
        m.nameSizeLabel = "Font Size : Company Name";
        m.nameColorLabel = "Font Color : Company Name";
        m.phoneLabel = "Your Company Phone No";
        m.emailLabel = "Your Company Email";
        m.emailPrompt = "Your company Email e.g hello@brightside.example.com";
        m.senderAddressPrompt.reset();
        m.spacersBeforeBody = false;
        m.hasPhoto = false;
        return m;
    }();
    return m;
}

AnyView ModernLetterViewSwiftUI::body() const {
    return templateForm(letterFormTable(member(), statesOf(*this)));
}
AnyView PersonalLetterViewSwiftUI::body() const {
    return templateForm(letterFormTable(member(), statesOf(*this)));
}
AnyView ModernBoldLetterViewSwiftUI::body() const {
    return templateForm(letterFormTable(member(), statesOf(*this)));
}
AnyView BusinessLetterViewSwiftUI::body() const {
    return templateForm(letterFormTable(member(), statesOf(*this)));
}

} // namespace quillora
