#include "platform/uikit/UIStoryboard.h"

#include "platform/foundation/Console.h"

namespace platform {

namespace {
std::map<std::string, UIStoryboard::Builder>& builders() {
    static std::map<std::string, UIStoryboard::Builder> registry;
    return registry;
}
} // namespace

std::shared_ptr<UIStoryboard> UIStoryboard::storyboardWithName_bundle(const std::string& name, NSBundle*) {
    auto it = builders().find(name);
    if (it == builders().end()) fatalError("Could not find a storyboard named '" + name + "' in bundle");
    auto board = std::make_shared<UIStoryboard>(name);
    it->second(*board);
    return board;
}

void UIStoryboard::registerStoryboard(const std::string& name, Builder builder) {
    builders()[name] = std::move(builder);
}

bool UIStoryboard::hasStoryboardNamed(const std::string& name) {
    return builders().count(name) > 0;
}

void UIStoryboard::registerScene(const std::string& identifier, SceneFactory factory) {
    scenes_[identifier] = std::move(factory);
}

void UIStoryboard::registerSegue(const std::string& sourceScene, const std::string& segueIdentifier,
                                 const std::string& destinationScene, UIStoryboardSegueKind kind) {
    segues_[{sourceScene, segueIdentifier}] = Segue{destinationScene, kind};
}

std::shared_ptr<UIViewController>
UIStoryboard::instantiateViewControllerWithIdentifier(const std::string& identifier) {
    auto it = scenes_.find(identifier);
    if (it == scenes_.end())
        fatalError("Storyboard (<UIStoryboard: " + name_ +
                   ">) doesn't contain a view controller with identifier '" + identifier + "'");
    auto controller = it->second();
    if (!controller) fatalError("the scene '" + identifier + "' made no view controller");
    controller->storyboard_ = self<UIStoryboard>();
    controller->storyboardIdentifier_ = identifier;
    return controller;
}

std::shared_ptr<UIViewController> UIStoryboard::instantiateInitialViewController() {
    if (initial_.empty() || !hasScene(initial_)) return nullptr;
    return instantiateViewControllerWithIdentifier(initial_);
}

const UIStoryboard::Segue* UIStoryboard::segue(const std::string& sourceScene,
                                               const std::string& identifier) const {
    auto it = segues_.find({sourceScene, identifier});
    return it == segues_.end() ? nullptr : &it->second;
}

} // namespace platform
