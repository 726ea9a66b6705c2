#include "analysis/SwiftUIView.h"

#include "analysis/ChartDataModel.h"
#include "analysis/GradientButtonStyle.h"
#include "analysis/HighlightedText.h"
#include "analysis/PieChart.h"
#include "common/StoredKeys.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

using namespace platform::swiftui;

namespace {

std::vector<std::string> storedList(const platform::NSUserDefaults& defaults, std::string_view key) {
    return defaults.arrayForKey(std::string(key)).value_or(std::vector<std::string>{});
}

void dismissPresented(const std::weak_ptr<platform::UIViewController>& presentingVC) {
    if (auto presenter = presentingVC.lock(); presenter && presenter->presentedViewController())
        presenter->dismissViewControllerAnimated_completion(true, nullptr);
}

AnyView footnote(const std::string& label) {
    return Text(label).font(Font::footnote());
}

AnyView wordButton(const std::string& word, const State<std::string>& matching) {
    auto term = matching;
    return Button(Text(word),
                  [term, word] {
                      auto& console = platform::console();
                      console.print("Button pressed");
                      term.set(word);
                      console.print("Button value " + term.get());
                  })
        .frame(65, 12)
        .padding()
        .overlay(RoundedRectangle(10, CornerStyle::continuous)
                     .modifier("inset", {{"amount", 3.0}})
                     .stroke(Color::purple(), 1))
        .font(Font::footnote());
}

AnyView wordRow(const std::vector<std::string>& words, const State<std::string>& matching) {
    std::vector<AnyView> buttons;
    for (const std::string& word : words)
        buttons.push_back(wordButton(word, matching));
    return HStack({Spacer(), Spacer(), Spacer(),
                   ScrollView(Axis::horizontal, true,
                              HStack(StackOptions{Alignment::center, 10},
                                     {Group(std::move(buttons)).modifier("forEach")}))});
}

template <class Style> AnyView classButton(const std::string& label, Style style) {
    std::string line = label + " pressed ";
    return HStack({Button(footnote(label), [line] { platform::console().print(line); }).buttonStyle(style)});
}

} // namespace

SwiftUIView::SwiftUIView() {
    auto defaults = platform::NSUserDefaults::standardUserDefaults();
    text = State<std::string>(defaults->stringForKey(std::string(keys::saveclipBoardText)).value_or(""));
    savedarrayverb = storedList(*defaults, keys::savedarrayverb);
    savedarraynoun = storedList(*defaults, keys::savedarraynoun);
    savedarrayadjective = storedList(*defaults, keys::savedarrayadjective);
    savedarraypronoun = storedList(*defaults, keys::savedarraypronoun);
}

AnyView SwiftUIView::body() const {
    auto self = *this;
    const Color shadow = Color::white(0, 0.33);

    std::vector<AnyView> legendItems;
    auto cells = chartCells();
    for (const ChartCellModel& cell : cells)
        legendItems.push_back(VStack({footnote(cell.name), Spacer(), Circle().fill(cell.color)}));

    auto readout = selectedDonut;
    ChartTapHandler onTap = [readout](const std::optional<ChartCellModel>& cell) {
        readout.set(cell ? " " + cell->name + "\n: " + doubleDescription(cell->value) : "");
    };

    AnyView header = VStack({
        HStack({Button(footnote("cancel"),
                       [self] {
                           platform::console().print("cancel pressed ");
                           dismissPresented(self.presentingVC);
                       })
                    .buttonStyle(GradientButtonStyleBlue{}),
                Spacer(),
                VStack({Spacer(), Text("\U0001F64B\u200D\u2640\uFE0F Click on Pie chart")
                                      .font(Font::footnote())
                                      .foregroundColor(Color::blue())
                                      .padding(EdgeInsets{3, 3, 3, 3})})}),
        Spacer(),
        ScrollView(
            Axis::horizontal, true,
            HStack(StackOptions{Alignment::center, 20}, {Group(std::move(legendItems)).modifier("forEach")})),
        Spacer(),
        HStack(StackOptions{Alignment::center, 20},
               {AnyView(DonutChart{State<platform::UUID>(platform::UUID::make()),
                                   std::make_shared<ChartDataModel>(std::move(cells)), onTap})
                    .frame(150, 150)
                    .padding(),
                Text(selectedDonut.get())
                    .font(Font::footnote())
                    .modifier("multilineTextAlignment", {{"alignment", std::string("leading")}}),
                Spacer()}),
        Spacer(),
        VStack({Spacer(), TextField("Search Term", matching.binding())
                              .modifier("autocapitalization", {{"type", std::string("none")}})
                              .modifier("textFieldStyle", {{"style", std::string("roundedBorder")}})}),
        Spacer(),
    });

    AnyView highlighted =
        ZStack({AnyView(HighlightedText{text.get(), matching.get()}).font(Font::body()).lineLimit(100)})
            .shadow(shadow, 4, 0, 0);

    AnyView wordClasses =
        VStack({classButton("Verb", GradientButtonStylePink{}), wordRow(savedarrayverb, matching),
                classButton("Noun", GradientButtonStyleBlue{}), wordRow(savedarraynoun, matching),
                classButton("Adjective", GradientButtonStyle{}), wordRow(savedarrayadjective, matching),
                classButton("Pronoun", GradientButtonStyleRed{}), wordRow(savedarraypronoun, matching)})
            .background(AnyView(Color::systemBackground())
                            .modifier("edgesIgnoringSafeArea", {{"edges", std::string("all")}}));

    return ScrollView(
        Axis::vertical, true,
        VStack({header, Spacer(), Spacer(), highlighted, Spacer(), Spacer(), Spacer(), wordClasses}));
}

} // namespace quillora
