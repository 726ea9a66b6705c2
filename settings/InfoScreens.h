#pragma once
// The info hub and the about page: screens with nothing of their own; what they show and where
// their buttons lead is the storyboard's.

#include "platform/uikit/UIViewController.h"

namespace quillora {

class InfoViewController final : public platform::UIViewController {};
class secondinfoViewController final : public platform::UIViewController {};

} // namespace quillora
