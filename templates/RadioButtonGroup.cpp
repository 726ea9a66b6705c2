#include "templates/RadioButtonGroup.h"

namespace quillora {

using namespace platform::swiftui;

AnyView ColorInvert::body(AnyView content) const {
    if (environment().colorScheme == ColorScheme::dark) return content.colorInvert();
    return content;
}

AnyView RadioButton::body() const {
    auto tapped = callback;
    auto option = id;
    const bool chosen = selectedID == id;
    AnyView label =
        VStack({Alignment::center, 10}, {Image::system(chosen ? "largecircle.fill.circle" : "circle")
                                             .renderingMode("original")
                                             .resizable()
                                             .frame(size, size)
                                             .modifier(ColorInvert{}),
                                         Text(id).font(Font::system(textSize)), Spacer()})
            .foregroundColor(color);
    return Button(label, [tapped, option] { tapped(option); }).foregroundColor(color);
}

AnyView RadioButtonGroup::body() const {
    auto self = *this;
    auto tap = [self](const std::string& option) {
        self.selectedId.set(option);
        if (self.callback) self.callback(option);
    };
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < items.size(); ++i)
        indexes.push_back(i);
    const std::string chosen = selectedId.get();
    // A row narrower than its labels sets them all a little smaller rather than break a word, and
    // its circles stand on one line whatever the labels below them take.
    return HStack({Alignment::top, std::nullopt},
                  {ForEach(indexes,
                           [&](std::size_t i) {
                               return AnyView(RadioButton{items[i], tap, chosen, 20, Color::primary(), 14});
                           })})
        .minimumScaleFactor(0.7);
}

} // namespace quillora
