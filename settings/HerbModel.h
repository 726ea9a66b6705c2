#pragma once
// The cards of the two galleries: the maker's apps (promotion cards) and the steps of using
// this app (help cards). Both lists are built once, on first use, and never change.

#include <string>
#include <vector>

namespace quillora {

struct HerbModel {
    std::string name;
    std::string image;
    std::string Appstore_Link;
    std::string buyApp;
    std::string description;
};

struct HerbModel1 {
    std::string name;
    std::string image;
    std::string Video_Link;
    std::string Video;
    std::string description;
};

// The links that a card's two detail buttons open.
inline const std::string& licenseLink(const HerbModel& card) {
    return card.Appstore_Link;
}
inline const std::string& authorLink(const HerbModel& card) {
    return card.buyApp;
}
inline const std::string& licenseLink(const HerbModel1& card) {
    return card.Video_Link;
}
inline const std::string& authorLink(const HerbModel1& card) {
    return card.Video;
}

// Seven promotion cards: the bundle, then six of the maker's apps.
const std::vector<HerbModel>& herbList();
// Thirteen help cards, one per step.
const std::vector<HerbModel1>& herbList1();

} // namespace quillora
