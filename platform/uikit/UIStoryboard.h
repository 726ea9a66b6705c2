#pragma once
// Storyboards built in code: scenes registered by identifier with a factory, an initial scene, and
// segues by identifier from one scene to another.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/uikit/UIViewController.h"

namespace platform {

class NSBundle;

enum class UIStoryboardSegueKind { Show, Present };

class UIStoryboardSegue : public NSObject {
public:
    UIStoryboardSegue(std::string identifier, std::shared_ptr<UIViewController> source,
                      std::shared_ptr<UIViewController> destination)
        : identifier_(std::move(identifier)), source_(std::move(source)),
          destination_(std::move(destination)) {}

    const std::string& identifier() const { return identifier_; }
    const std::shared_ptr<UIViewController>& sourceViewController() const { return source_; }
    const std::shared_ptr<UIViewController>& destinationViewController() const { return destination_; }

private:
    std::string identifier_;
    std::shared_ptr<UIViewController> source_;
    std::shared_ptr<UIViewController> destination_;
};

class UIStoryboard : public NSObject {
public:
    using SceneFactory = std::function<std::shared_ptr<UIViewController>()>;
    using Builder = std::function<void(UIStoryboard&)>;

    explicit UIStoryboard(std::string name) : name_(std::move(name)) {}

    // The storyboard `name`, built by the builder registered under that name. An unknown name
    // stops the program, as a missing storyboard file does on the platform.
    static std::shared_ptr<UIStoryboard> storyboardWithName_bundle(const std::string& name,
                                                                   NSBundle* bundle = nullptr);
    static void registerStoryboard(const std::string& name, Builder builder);
    static bool hasStoryboardNamed(const std::string& name);

    const std::string& name() const { return name_; }
    void registerScene(const std::string& identifier, SceneFactory factory);
    void setInitialScene(const std::string& identifier) { initial_ = identifier; }
    void registerSegue(const std::string& sourceScene, const std::string& segueIdentifier,
                       const std::string& destinationScene,
                       UIStoryboardSegueKind kind = UIStoryboardSegueKind::Show);

    // A new screen of the scene. An unknown identifier stops the program.
    std::shared_ptr<UIViewController> instantiateViewControllerWithIdentifier(const std::string& identifier);
    // None when the storyboard names no initial scene.
    std::shared_ptr<UIViewController> instantiateInitialViewController();

    bool hasScene(const std::string& identifier) const { return scenes_.count(identifier) > 0; }
    struct Segue {
        std::string destination;
        UIStoryboardSegueKind kind;
    };
    const Segue* segue(const std::string& sourceScene, const std::string& identifier) const;

private:
    std::string name_;
    std::map<std::string, SceneFactory> scenes_;
    std::string initial_;
    std::map<std::pair<std::string, std::string>, Segue> segues_;
};

} // namespace platform
