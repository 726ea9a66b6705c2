#pragma once
// Picker views: rows per component come from the data source, titles from the delegate.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/NSAttributedString.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

namespace platform {

class UIPickerView;

class UIPickerViewDataSource {
public:
    virtual ~UIPickerViewDataSource() = default;
    virtual long numberOfComponentsInPickerView(UIPickerView&) = 0;
    virtual long pickerView_numberOfRowsInComponent(UIPickerView&, long component) = 0;
};

class UIPickerViewDelegate {
public:
    virtual ~UIPickerViewDelegate() = default;
    virtual std::optional<std::string> pickerView_titleForRow_forComponent(UIPickerView&, long, long) {
        return std::nullopt;
    }
    virtual std::optional<NSAttributedString> pickerView_attributedTitleForRow_forComponent(UIPickerView&,
                                                                                            long, long) {
        return std::nullopt;
    }
    virtual std::shared_ptr<UIView> pickerView_viewForRow_forComponent_reusingView(UIPickerView&, long, long,
                                                                                   std::shared_ptr<UIView>) {
        return nullptr;
    }
    virtual void pickerView_didSelectRow_inComponent(UIPickerView&, long, long) {}
    virtual double pickerView_rowHeightForComponent(UIPickerView&, long) { return 32; }
};

class UIPickerView : public UIView {
public:
    UIPickerView() = default;
    explicit UIPickerView(const CGRect& frame) : UIView(frame) {}

    std::shared_ptr<UIPickerViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UIPickerViewDataSource> source) { dataSource_ = std::move(source); }
    std::shared_ptr<UIPickerViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIPickerViewDelegate> delegate) { delegate_ = std::move(delegate); }

    long numberOfComponents();
    long numberOfRowsInComponent(long component);
    // Row selected in the component, -1 when it has no rows.
    long selectedRowInComponent(long component);
    // Selects the row without telling the delegate; a row or component out of range does nothing.
    void selectRow_inComponent_animated(long row, long component, bool animated);
    // The user's pick: selects the row and tells the delegate. False when out of range or when the
    // picker is not on screen (hidden, or inside a hidden view).
    bool userSelectRow(long row, long component = 0);
    void reloadAllComponents();
    void reloadComponent(long component);

    // The row's title as the delegate gives it: plain, else attributed, else none.
    std::optional<std::string> titleForRow(long row, long component = 0);

    std::string stateDescription() const override;

    // The wheels: the chosen row centred in a grey band, its neighbours above and below.
    void draw(cairo_t* cr) const override;
    bool clipsWhenDrawn() const override { return true; }
    // A click on a row above or below the centre picks it, as turning the wheel there would.
    void touchesEnded(const UITouch& touch) override;
    // The row and component drawn at `point` (bounds coordinates); none outside every row.
    std::optional<std::pair<long, long>> rowAtPoint(CGPoint point);

private:
    void ensureSelection(long component);

    std::weak_ptr<UIPickerViewDataSource> dataSource_;
    std::weak_ptr<UIPickerViewDelegate> delegate_;
    std::vector<long> selected_;
};

} // namespace platform
