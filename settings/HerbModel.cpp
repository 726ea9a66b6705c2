#include "settings/HerbModel.h"

#include "settings/AppCatalogue.h"

namespace quillora {

const std::vector<HerbModel>& herbList() {
    static const std::vector<HerbModel> list = [] {
        std::vector<HerbModel> cards;
        auto add = [&](const settings::CatalogueApp& app) {
            cards.push_back({std::string(app.name), std::string(app.picture), std::string(app.storeLink),
                             std::string(app.storeLink), std::string(app.description)});
        };
        add(settings::catalogueBundle);
        for (std::size_t i = 0; i < 6; ++i)
            add(settings::catalogueApps[i]);
        return cards;
    }();
    return list;
}

const std::vector<HerbModel1>& herbList1() {
    static const std::vector<HerbModel1> list = [] {
        const std::string link(settings::tutorialVideoPage);
        struct Step {
            const char* name;
            const char* image;
            const char* description;
        };
        const Step table[] = {
            {"Start ", "first_step.jpg", "Press 'Start Recording' button"},
            {"Dictate ", "second_step.jpg", "Speak with Natural Voice/ Recoded Audio close to mic"},
            {"STOP", "Third_step.jpg", "Press 'Stop Recording' button"},
            {"SAVE YOUR WORK", "fourth_step.jpg", "Click 'YES' if you wish to save your WORK"},
            {"Press SAVE for Later Use", "fifth_step.jpg",
             "If you Wish to save your Work after editing has been done"},
            {"ERASE TEXT ", "sixth_step.jpg",
             "Press 'Refresh' button at start of Recording to Erase unwanted text "},
            {"DAILY NOTES DIARY", "seventh_step.jpg", "Check your Daily Notes stoed on the device Anytime!"},
            {"DAILY NOTES VIEWING AND EDITING", "eigth_step.jpg",
             "Edit notes, View notes , make change anytime! "},
            {"Better Search Results with Enhanced search ", "nineth_step.jpg",
             "Enhanced Search filtering to filter out your notes easily"},
            {"CONVERT NOTES TO PDF", "eleventh.jpg", "Convert all your Notes into PDF with single CLICK!"},
            {"PDF SAVED ", "twelveth.jpg", "SAVE PDF FOR LATER VIEWING"},
            {"Background Color", "fourteen.jpg", "Background Color change "},
            {"SHARE", "fifeteen.jpg", "Easily Search from PDF's and share on email/social network"},
        };
        std::vector<HerbModel1> cards;
        for (const auto& step : table)
            cards.push_back({step.name, step.image, link, link, step.description});
        return cards;
    }();
    return list;
}

} // namespace quillora
