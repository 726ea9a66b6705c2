#include "templates/TemplateForm.h"

#include "pdf/TemplateStore.h"
#include "platform/foundation/Console.h"
#include "templates/MyImagePicker.h"
#include "templates/RadioButtonGroup.h"
#include "templates/ScaleButtonStyle.h"

namespace quillora {

using namespace platform::swiftui;

FormRow header(std::string title, int spacersAfterTitle) {
    FormRow row;
    row.kind = FormRow::Kind::Header;
    row.text = std::move(title);
    row.spacersInHeader = spacersAfterTitle;
    return row;
}

FormRow label(std::string text, std::optional<Font> font, std::optional<Color> color) {
    FormRow row;
    row.kind = FormRow::Kind::Label;
    row.text = std::move(text);
    row.font = std::move(font);
    row.color = std::move(color);
    return row;
}

FormRow field(std::string prompt, TextState text, std::optional<Font> font) {
    FormRow row;
    row.kind = FormRow::Kind::Field;
    row.text = std::move(prompt);
    row.target = std::move(text);
    row.font = std::move(font);
    return row;
}

FormRow options(OptionKind kind, std::string initial, TextState target) {
    FormRow row;
    row.kind = FormRow::Kind::Options;
    row.options = kind;
    row.initial = std::move(initial);
    row.target = std::move(target);
    return row;
}

FormRow spacer() {
    return FormRow{};
}

FormRow stack(std::vector<FormRow> children, std::optional<Font> font, std::optional<double> padding,
              std::optional<double> spacing) {
    FormRow row;
    row.kind = FormRow::Kind::Stack;
    row.children = std::move(children);
    row.font = std::move(font);
    row.padding = padding;
    row.spacing = spacing;
    return row;
}

FormRow photo(std::string buttonTitle) {
    FormRow row;
    row.kind = FormRow::Kind::Photo;
    row.text = std::move(buttonTitle);
    return row;
}

FormRow preview() {
    FormRow row;
    row.kind = FormRow::Kind::Preview;
    return row;
}

AnyView pillStyle(AnyView label, const Color& from, const Color& to) {
    return label.frame(FrameOptions{{}, {}, 0, 300, {}, {}})
        .padding()
        .foregroundColor(Color::white())
        .background(LinearGradient({from, to}, "leading", "trailing"))
        .clipShape(RoundedRectangle(15, CornerStyle::continuous));
}

namespace {

void previewAction(const TemplateFormTable& table) {
    platform::console().print("Preview");
    table.showingPdfPicker1.set(true);
    TemplateDictionary dictionary;
    for (const auto& [key, state] : table.keys)
        dictionary[key] = state.get();
    storeTemplateDictionary(table.storageKey, dictionary);
}

void build(const TemplateFormTable& table, const FormRow& row, std::vector<AnyView>& out) {
    switch (row.kind) {
    case FormRow::Kind::Header: {
        auto dismiss = environment().dismissAction;
        std::vector<AnyView> views{
            pillStyle(Button(Text("cancel").font(Font::footnote()),
                             [dismiss] {
                                 platform::console().print("cancel pressed ");
                                 if (dismiss) dismiss();
                             }),
                      Color::orange(), Color::purple()),
            Text(row.text).font(Font::headline()).animation(Animation::easeInOut(5.0))};
        for (int i = 0; i < row.spacersInHeader; ++i)
            views.push_back(Spacer());
        views.push_back(Text("We need a little more info \U0001F64B\u200D\u2640\uFE0F").animation(Animation::linear()));
        out.push_back(VStack({Alignment::center, std::nullopt}, std::move(views)));
        return;
    }
    case FormRow::Kind::Label: {
        Text text(row.text);
        AnyView view = text;
        if (row.font) view = view.font(*row.font);
        if (row.color) view = view.foregroundColor(*row.color);
        out.push_back(view);
        return;
    }
    case FormRow::Kind::Field: {
        AnyView view = TextField(row.text, row.target->binding());
        if (row.font) view = view.font(*row.font);
        out.push_back(view.border(Color::black(), 0.5).padding(10));
        return;
    }
    case FormRow::Kind::Options: {
        const OptionKind kind = row.options;
        const TextState target = *row.target;
        out.push_back(
            RadioButtonGroup(optionItems(kind), row.initial, [kind, target](const std::string& item) {
                platform::console().print("Selected is: " + item);
                OptionChoice choice = chooseOption(kind, item);
                platform::console().print(choice.line);
                target.set(choice.value);
            }));
        return;
    }
    case FormRow::Kind::Spacer:
        out.push_back(Spacer());
        return;
    case FormRow::Kind::Stack: {
        std::vector<AnyView> children;
        for (const FormRow& child : row.children)
            build(table, child, children);
        AnyView view = VStack({Alignment::center, row.spacing}, std::move(children));
        if (row.font) view = view.font(*row.font);
        if (row.padding) view = view.padding(*row.padding);
        out.push_back(view);
        return;
    }
    case FormRow::Kind::Photo: {
        if (!table.photo) return;
        const PhotoStates states = *table.photo;
        const auto& shown = states.selectedImage.get();
        out.push_back(If(shown.has_value(), shown ? shown->resizable()
                                                        .aspectRatio(ContentMode::fit)
                                                        .frame(FrameOptions{150, {}, {}, {}, {}, {}})
                                                  : AnyView()));
        auto visible = states.imagePickerVisible;
        auto selected = states.selectedImage;
        out.push_back(pillStyle(Button(row.text, [visible] { visible.set(!visible.get()); }), Color::blue(),
                                Color::purple())
                          .sheet(visible.binding(), [visible, selected] {
                              return AnyView(MyImagePicker(visible.binding(), selected.binding()));
                          }));
        return;
    }
    case FormRow::Kind::Preview: {
        auto copy = table;
        auto wrapper = table.wrapper;
        AnyView label = VStack({Alignment::center, 5}, {Image("textanalysis").resizable().frame(100, 100),
                                                        Text("Preview").font(Font::title())});
        out.push_back(Button(label, [copy] { previewAction(copy); })
                          .buttonStyle(ScaleButtonStyle{})
                          .sheet(table.showingPdfPicker1.binding(), [wrapper] { return wrapper(); }));
        return;
    }
    }
}

} // namespace

AnyView templateForm(const TemplateFormTable& table) {
    std::vector<AnyView> content;
    for (const FormRow& row : table.rows)
        build(table, row, content);
    return VStack(
        {Alignment::center, std::nullopt},
        {ScrollView(Axis::vertical, true, VStack({Alignment::center, std::nullopt}, std::move(content)))});
}

} // namespace quillora
