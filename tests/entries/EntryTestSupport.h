#pragma once
// A running application around the entry screens: a storyboard with their scenes, a root screen in
// a navigation controller in the key window, and the dictation screens' way of opening a list.

#include <fstream>
#include <sstream>

#include "detail/DetailEntryScreen.h"
#include "detail/DetailScenes.h"
#include "entries/EntryScenes.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIStoryboard.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

class EntryTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        storyboard = std::make_shared<platform::UIStoryboard>("Main");
        registerEntryScenes(*storyboard);
        registerDetailScenes(*storyboard);
        root = std::make_shared<platform::UIViewController>();
        nav = platform::UINavigationController::initWithRootViewController(root);
        window = std::make_shared<platform::UIWindow>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window.reset();
        nav.reset();
        PlatformTest::TearDown();
    }

    // What a dictation screen's Save does with its transcript.
    template <class List = ViewControllerTabelView>
    std::shared_ptr<List> openList(const std::string& transcript, const std::string& scene = "VCTV") {
        auto list =
            std::dynamic_pointer_cast<List>(storyboard->instantiateViewControllerWithIdentifier(scene));
        list->transribeText = transcript;
        list->transcribe = !transcript.empty();
        nav->pushViewController_animated(list, true);
        return list;
    }

    std::string documents(const std::string& name) const {
        return (platform::Sandbox::documents() / name).string();
    }
    std::optional<std::vector<std::string>> listFile(const std::string& name = "notes.txt") const {
        return platform::readStringArrayPlist(documents(name));
    }
    void writeList(const std::vector<std::string>& rows, const std::string& name = "notes.txt") {
        ASSERT_TRUE(platform::writeStringArrayPlist(documents(name), rows));
    }
    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static std::vector<std::string> rowTexts(platform::UITableView& table) {
        std::vector<std::string> out;
        for (auto& cell : table.visibleCells())
            out.push_back(cell->textLabel()->text());
        return out;
    }

    std::shared_ptr<platform::UIStoryboard> storyboard;
    std::shared_ptr<platform::UIViewController> root;
    std::shared_ptr<platform::UINavigationController> nav;
    std::shared_ptr<platform::UIWindow> window;
};

} // namespace quillora::test
