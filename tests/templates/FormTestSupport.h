#pragma once
// Forms opened the way the gallery opens them (a hosting controller presented from a screen), and
// look-ups of what their option groups show.

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pdf/TemplateStore.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/swiftui/UIHostingController.h"
#include "tests/pdf/screens/ScreenTestSupport.h"

namespace quillora::test {

class FormTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        const char* tz = std::getenv("TZ");
        savedTZ_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "UTC", 1);
        platform::NSLocale::setCurrentLocaleForTesting(platform::NSLocale("en_US"));
    }
    void TearDown() override {
        platform::NSLocale::setCurrentLocaleForTesting(std::nullopt);
        if (savedTZ_)
            setenv("TZ", savedTZ_->c_str(), 1);
        else
            unsetenv("TZ");
        ScreenTest::TearDown();
    }

    std::shared_ptr<platform::swiftui::UIHostingController> open(platform::swiftui::AnyView form) {
        auto hosting = std::make_shared<platform::swiftui::UIHostingController>(std::move(form));
        base->presentViewController_animated_completion(hosting, false, nullptr);
        runUntilIdle();
        return hosting;
    }
    void close(const std::shared_ptr<platform::swiftui::UIHostingController>& hosting) {
        if (auto shown = hosting->presentedViewController())
            shown->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
        base->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
    }

    static TemplateDictionary stored(const std::string& key) { return storedTemplateDictionary(key); }
    static bool isStored(const std::string& key) {
        return platform::NSUserDefaults::standardUserDefaults()->objectForKey(key).has_value();
    }

    // The nodes in reading order.
    static std::vector<const platform::swiftui::Node*> inOrder(const platform::swiftui::Node& root) {
        std::vector<const platform::swiftui::Node*> out;
        root.find([&](const platform::swiftui::Node& n) {
            out.push_back(&n);
            return false;
        });
        return out;
    }

    // The radio groups after the heading, up to the next text that is not an option's label.
    static std::vector<const platform::swiftui::Node*> groupsUnder(const platform::swiftui::Node& root,
                                                                   const std::string& heading) {
        std::vector<const platform::swiftui::Node*> groups;
        bool passed = false;
        const platform::swiftui::Node* group = nullptr;
        for (const auto* n : inOrder(root)) {
            if (n->kind == "Text" && n->text() == heading && !passed) {
                passed = true;
                continue;
            }
            if (!passed) continue;
            if (n->kind == "RadioButtonGroup") {
                group = n;
                groups.push_back(n);
            } else if (n->kind == "Text" &&
                       (!group || !group->find([&](const auto& m) { return &m == n; }))) {
                break;
            }
        }
        return groups;
    }

    // What a group shows: each option with its symbol.
    static std::vector<std::pair<std::string, std::string>> shown(const platform::swiftui::Node& group) {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto* button : group.findAllKind("RadioButton")) {
            const auto* image = button->findKind("Image");
            out.emplace_back(button->text(), image ? image->textProp("systemName").value_or("") : "");
        }
        return out;
    }
    // The options a group shows chosen.
    static std::vector<std::string> chosen(const platform::swiftui::Node& group) {
        std::vector<std::string> out;
        for (const auto& [item, symbol] : shown(group))
            if (symbol == "largecircle.fill.circle") out.push_back(item);
        return out;
    }

private:
    std::optional<std::string> savedTZ_;
};

} // namespace quillora::test
