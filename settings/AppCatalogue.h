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

} // namespace quillora::settings
