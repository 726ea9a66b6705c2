#pragma once
// Where the app points people: its own pages and support addresses, and the catalogue of the
// maker's other apps that the promotion pages and the card galleries show. All of it lives on the
// project's own domain; nothing here names a real store, maker or video site.

#include <string_view>

namespace quillora::settings {

// --- Addresses of this app (pages, store page, support mail) ---

// The maker, as the settings footer names it.
inline constexpr std::string_view makerName = "Quillora Labs";
// The maker's page of all its apps.
inline constexpr std::string_view developerPage = "https://quillora.app/apps";
// The help page on the spoken commands the dictation screens understand.
inline constexpr std::string_view commandHelpPage = "https://quillora.app/help/voice-commands";
inline constexpr std::string_view website = "https://quillora.app/";
// This app's own store page: what a recommendation links to.
inline constexpr std::string_view storePage = "https://quillora.app/store/quillora";
// The tutorial video, for those who watch it outside the app.
inline constexpr std::string_view tutorialVideoPage = "https://quillora.app/tutorial/video";
// Another product of the maker, offered by a settings row of its own.
inline constexpr std::string_view otherProductTitle = "Quillora Lexicon";
inline constexpr std::string_view otherProductPage = "https://quillora.app/lexicon";
// Where feedback goes: the settings screen writes to both, the settings table to the first.
inline constexpr std::string_view supportAddress = "support@quillora.app";
inline constexpr std::string_view feedbackAddress = "feedback@quillora.app";
// The recommendation shared with the store link.
inline constexpr std::string_view shareText = "Check out Quillora App , Fantastic Quillora Converter tool ";

// --- Catalogue of the maker's other apps ---

// One app of the maker (or the bundle of several): its name, its bundle picture, its store page
// and a paragraph about it.
struct CatalogueApp {
    std::string_view name;
    std::string_view picture;
    std::string_view storeLink;
    std::string_view description;
};

// The bundle first, then the seven apps.
inline constexpr CatalogueApp catalogueBundle{
    "Quillora Writer's Bundle", "app_bundle.jpg", "https://quillora.app/store/bundle",
    "Five apps for people who write: Quillora Lexicon, Inkwell Scan, Murmur Memo, Lumen Reader and "
    "Parlance Tutor, together for the price of two."};
inline constexpr CatalogueApp catalogueApps[] = {
    {"Quillora Lexicon", "app_lexicon.jpg", "https://quillora.app/store/lexicon",
     "A dictionary and thesaurus that works offline: definitions, synonyms and example sentences for "
     "every word you dictate."},
    {"Inkwell Scan", "app_inkwell.jpg", "https://quillora.app/store/inkwell",
     "Turn paper into text: photograph a page, straighten it and keep it as a searchable PDF."},
    {"Murmur Memo", "app_murmur.jpg", "https://quillora.app/store/murmur",
     "Voice memos with bookmarks: record a meeting, mark the moments that matter and play them back."},
    {"Lumen Reader", "app_lumen.jpg", "https://quillora.app/store/lumen",
     "A calm reader for PDFs and e-books, with a night mode and highlights you can export."},
    {"Parlance Tutor", "app_parlance.jpg", "https://quillora.app/store/parlance",
     "Practise speaking a new language: say the phrase, see how it was heard, try again."},
    {"Tally Ledger", "app_tally.jpg", "https://quillora.app/store/tally",
     "Speak your expenses as you go; Tally files them by day and category and totals the month."},
    {"Hearth Recipes", "app_hearth.jpg", "https://quillora.app/store/hearth",
     "A recipe book for the kitchen: dictate a recipe, scale it for guests and cook hands-free."},
};

} // namespace quillora::settings
