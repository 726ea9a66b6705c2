#pragma once
// The first screen until the dictation screen takes its place: the application's name.

#include <memory>

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"

namespace quillora {

class LaunchViewController : public platform::UIViewController {
public:
    void viewDidLoad() override;

    std::shared_ptr<platform::UILabel> titleLabel = std::make_shared<platform::UILabel>();
};

} // namespace quillora
