#include "templates/StyleOptions.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDateFormatter.h"

namespace quillora {

namespace {

std::string now(platform::NSDateFormatterStyle dateStyle, platform::NSDateFormatterStyle timeStyle) {
    platform::NSDateFormatter formatter;
    formatter.setDateStyle(dateStyle);
    formatter.setTimeStyle(timeStyle);
    return formatter.stringFromDate(platform::NSDate());
}

} // namespace

const std::vector<StyleOption>& styleOptions(OptionKind kind) {
    static const std::vector<StyleOption> sizes{
        {"XtraSmall", "Xtra Small selected ", "fs-6"}, {"Small", " Small selected ", "fs-5"},
        {"Normal", "Normal selected ", "fs-4"},        {"Large", "Large selected ", "fs-3"},
        {"LargePlus", "LargePlus  selected ", "fs-2"}, {"XtraLarge", "Xtra Large selected ", "fs-1"},
    };
    static const std::vector<StyleOption> weights{
        {"Bold", "Bold selected ", "fw-bold"},           {"Bolder", " Bolder selected ", "fw-bolder"},
        {"Normal", "Normal selected ", "fw-normal"},     {"Light", "Light selected ", "fw-light"},
        {"Lighter", "Lighter  selected ", "fw-lighter"}, {"Italic", "Italic selected ", "fst-italic"},
        {"Thin", "Thin selected ", "fst-normal"},
    };
    static const std::vector<StyleOption> headlineColors{
        {"Red", "Red headline selected ", "text-danger"},
        {"Blue", " Blue headline selected  ", "text-primary"},
        {"Grey", " Grey headline selected  ", "text-secondary"},
        {"Black", " Black headline selected  ", "text-dark"},
        {"LightBlue", " LightBlue headline selected  ", "text-info"},
        {"Yellow", " Yellow headline selected  ", "text-warning"},
    };
    static const std::vector<StyleOption> bodyColors{
        {"Red", "Red Body text selected ", "text-danger"},
        {"Blue", " Blue Body text selected ", "text-primary"},
        {"Grey", " Grey Body text selected ", "text-secondary"},
        {"Black", " Black Body text selected ", "text-dark"},
        {"LightBlue", " LightBlue Body text selected ", "text-info"},
        {"Yellow", " Yellow Body text selected  ", "text-warning"},
    };
    static const std::vector<StyleOption> dates{{"No", "date not selected ", ""},
                                                {"Yes", " date selected  ", ""}};
    static const std::vector<StyleOption> times{{"No", "Time not selected ", ""},
                                                {"Yes", " Time selected  ", ""}};
    switch (kind) {
    case OptionKind::Size:
        return sizes;
    case OptionKind::Weight:
        return weights;
    case OptionKind::HeadlineColor:
        return headlineColors;
    case OptionKind::BodyColor:
        return bodyColors;
    case OptionKind::Date:
        return dates;
    case OptionKind::Time:
        break;
    }
    return times;
}

std::vector<std::string> optionItems(OptionKind kind) {
    std::vector<std::string> items;
    for (const auto& option : styleOptions(kind))
        items.push_back(option.item);
    return items;
}

OptionChoice chooseOption(OptionKind kind, const std::string& item) {
    const bool isDate = kind == OptionKind::Date, isTime = kind == OptionKind::Time;
    for (const auto& option : styleOptions(kind)) {
        if (option.item != item) continue;
        if (!isDate && !isTime) return {option.line, option.styleClass};
        if (item == "No") return {option.line, " "};
        return {option.line, isDate ? now(platform::LongStyle, platform::NoStyle)
                                    : now(platform::NoStyle, platform::MediumStyle)};
    }
    switch (kind) {
    case OptionKind::Size:
        return {"default:  Small selected ", "fs-5"};
    case OptionKind::Weight:
        return {"default:  Normal selected ", "fw-normal"};
    case OptionKind::HeadlineColor:
        return {"default:  Red  selected ", "text-danger"};
    case OptionKind::BodyColor:
        return {" Black Body text selected  ", "text-dark"};
    case OptionKind::Date:
        return {"default:  date selected ", now(platform::LongStyle, platform::NoStyle)};
    case OptionKind::Time:
        break;
    }
    return {"default:  date selected ", now(platform::NoStyle, platform::MediumStyle)};
}

} // namespace quillora
