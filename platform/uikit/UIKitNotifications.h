#pragma once
// The names of the notifications the platform posts on the default centre, and their user-info keys.

#include "platform/foundation/Geometry.h"
#include "platform/foundation/NSNotificationCenter.h"

namespace platform {

inline const NSNotificationName UIApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline const NSNotificationName UIApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline const NSNotificationName UIApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline const NSNotificationName UIApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline const NSNotificationName UIApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";
inline const NSNotificationName UIApplicationDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";

inline const NSNotificationName UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline const NSNotificationName UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline const NSNotificationName UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline const NSNotificationName UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline const NSNotificationName UIKeyboardWillChangeFrameNotification =
    "UIKeyboardWillChangeFrameNotification";

inline const std::string UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline const std::string UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline const std::string UIKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
inline const std::string UIKeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";

inline const NSNotificationName UITextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";
inline const NSNotificationName UITextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";

class UIView;

// A keyboard notification's begin and end frames in `view`'s coordinates (the notification gives
// them in the window's); a missing begin frame is taken as the end frame.
struct UIKeyboardFrames {
    CGRect begin;
    CGRect end;
};
UIKeyboardFrames keyboardFramesIn(const NSNotification& notification, const UIView& view);

// Posts the keyboard's coming (shown) or going on the default centre, with its frames in screen
// coordinates. Text views and fields call it when they gain or lose the focus.
void postKeyboardNotifications(bool showing);

} // namespace platform
