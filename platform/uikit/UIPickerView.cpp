#include "platform/uikit/UIPickerView.h"

namespace platform {

long UIPickerView::numberOfComponents() {
    auto source = dataSource();
    return source ? source->numberOfComponentsInPickerView(*this) : 0;
}

long UIPickerView::numberOfRowsInComponent(long component) {
    auto source = dataSource();
    if (!source || component < 0 || component >= numberOfComponents()) return 0;
    return source->pickerView_numberOfRowsInComponent(*this, component);
}

void UIPickerView::ensureSelection(long component) {
    if (component >= 0 && static_cast<std::size_t>(component) >= selected_.size())
        selected_.resize(static_cast<std::size_t>(component) + 1, 0);
}

long UIPickerView::selectedRowInComponent(long component) {
    long rows = numberOfRowsInComponent(component);
    if (rows <= 0) return -1;
    ensureSelection(component);
    return std::min(selected_[static_cast<std::size_t>(component)], rows - 1);
}

void UIPickerView::selectRow_inComponent_animated(long row, long component, bool) {
    if (row < 0 || row >= numberOfRowsInComponent(component)) return;
    ensureSelection(component);
    selected_[static_cast<std::size_t>(component)] = row;
}

bool UIPickerView::userSelectRow(long row, long component) {
    // A picker nobody can see takes no pick.
    if (isHiddenOnScreen()) return false;
    if (row < 0 || row >= numberOfRowsInComponent(component)) return false;
    auto keep = self<UIPickerView>();
    selectRow_inComponent_animated(row, component, true);
    if (auto d = delegate()) d->pickerView_didSelectRow_inComponent(*this, row, component);
    return true;
}

void UIPickerView::reloadAllComponents() {
    for (long c = 0; c < static_cast<long>(selected_.size()); ++c)
        reloadComponent(c);
}

void UIPickerView::reloadComponent(long component) {
    if (component < 0 || static_cast<std::size_t>(component) >= selected_.size()) return;
    long rows = numberOfRowsInComponent(component);
    auto& row = selected_[static_cast<std::size_t>(component)];
    if (row >= rows) row = rows > 0 ? rows - 1 : 0;
}

std::optional<std::string> UIPickerView::titleForRow(long row, long component) {
    auto d = delegate();
    if (!d || row < 0 || row >= numberOfRowsInComponent(component)) return std::nullopt;
    if (auto title = d->pickerView_titleForRow_forComponent(*this, row, component)) return title;
    if (auto attributed = d->pickerView_attributedTitleForRow_forComponent(*this, row, component))
        return attributed->string;
    return std::nullopt;
}

std::string UIPickerView::stateDescription() const {
    auto& me = const_cast<UIPickerView&>(*this);
    std::string out;
    long components = me.numberOfComponents();
    for (long c = 0; c < components; ++c) {
        long row = me.selectedRowInComponent(c);
        if (!out.empty()) out += " ";
        out += "row=" + std::to_string(row) + "/" + std::to_string(me.numberOfRowsInComponent(c));
        if (auto title = me.titleForRow(row, c)) out += " " + quote(*title);
    }
    if (auto base = UIView::stateDescription(); !base.empty()) out += (out.empty() ? "" : " ") + base;
    return out;
}

} // namespace platform
