#pragma once
// The main screen and the device, both injectable so that a test can be a phone or a pad of any size.

#include "platform/foundation/Geometry.h"

namespace platform {

// The device's appearance, light or dark.
enum class UIUserInterfaceStyle { Light, Dark };

class UIScreen {
public:
    static UIScreen& mainScreen();

    // Points; 390 x 844 unless a test or the program sets another size.
    CGRect bounds() const { return bounds_; }
    void setBounds(const CGRect& bounds) { bounds_ = bounds; }
    CGFloat scale() const { return scale_; }
    void setScale(CGFloat scale) { scale_ = scale; }
    // The appearance the device is set to: light unless set (the window follows the desktop's).
    UIUserInterfaceStyle userInterfaceStyle() const { return style_; }
    void setUserInterfaceStyle(UIUserInterfaceStyle style) { style_ = style; }
    // Height of the on-screen keyboard when it is up; none comes up while a hardware keyboard
    // is attached (a desktop), so nothing is covered then.
    CGFloat keyboardHeight() const {
        if (hardwareKeyboard_) return 0;
        return bounds_.height() > 1000 ? 398 : 336;
    }
    bool hasHardwareKeyboard() const { return hardwareKeyboard_; }
    void setHardwareKeyboard(bool attached) { hardwareKeyboard_ = attached; }

private:
    UIScreen() = default;
    CGRect bounds_{0, 0, 390, 844};
    CGFloat scale_ = 3;
    bool hardwareKeyboard_ = false;
    UIUserInterfaceStyle style_ = UIUserInterfaceStyle::Light;
};

enum class UIUserInterfaceIdiom { Unspecified = -1, Phone = 0, Pad = 1, Mac = 5 };

class UIDevice {
public:
    static UIDevice& currentDevice();

    UIUserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }
    void setUserInterfaceIdiom(UIUserInterfaceIdiom idiom) { idiom_ = idiom; }
    const char* systemName() const { return "iOS"; }
    const char* systemVersion() const { return "16.0"; }

private:
    UIDevice() = default;
    UIUserInterfaceIdiom idiom_ = UIUserInterfaceIdiom::Phone;
};

} // namespace platform
