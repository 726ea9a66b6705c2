#include "platform/uikit/ScreenPrinter.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"

namespace platform {

namespace {
std::shared_ptr<UIViewController> contentOf(std::shared_ptr<UIViewController> controller) {
    while (auto nav = std::dynamic_pointer_cast<UINavigationController>(controller)) {
        auto top = nav->topViewController();
        if (!top) break;
        controller = top;
    }
    return controller;
}
} // namespace

std::shared_ptr<UIViewController> ScreenPrinter::baseViewController() {
    auto window = UIApplication::sharedApplication().keyWindow();
    if (!window) return nullptr;
    return contentOf(window->rootViewController());
}

std::shared_ptr<UIViewController> ScreenPrinter::currentViewController() {
    auto current = baseViewController();
    while (current) {
        auto presented = current->presentedViewController();
        if (!presented) break;
        current = contentOf(presented);
    }
    return current;
}

std::vector<std::string> ScreenPrinter::describe(const std::shared_ptr<UIViewController>& controller) {
    std::vector<std::string> lines;
    auto current = contentOf(controller);
    bool first = true;
    while (current) {
        std::vector<std::string> block;
        current->describeScreen(block);
        if (!first && !block.empty()) block.front() = "presented " + block.front();
        lines.insert(lines.end(), block.begin(), block.end());
        first = false;
        auto presented = current->presentedViewController();
        current = presented ? contentOf(presented) : nullptr;
    }
    return lines;
}

std::string ScreenPrinter::printScreen() {
    auto base = baseViewController();
    if (!base) return "(no screen)\n";
    std::string out;
    for (auto& line : describe(base))
        out += line + "\n";
    return out;
}

} // namespace platform
