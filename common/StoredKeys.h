#pragma once
// The names under which the screens meet: user-defaults keys, the data files they read, and the
// program's notifications with their user-info keys. Spelled exactly as stored on existing installations.

#include <string_view>

namespace quillora::keys {

// The current transcript handed between screens.
inline constexpr std::string_view saveclipBoardText = "saveclipBoardText";
// Row of the recognition-language table last chosen.
inline constexpr std::string_view lastlangaugeselected = "lastlangaugeselected";
// Point size of the transcript font.
inline constexpr std::string_view savefontSizeApp = "savefontSizeApp";
// 1 after the editor saved, 0 otherwise.
inline constexpr std::string_view checkchangedtextinEdit = "checkchangedtextinEdit";
// Seconds dictated in the last run.
inline constexpr std::string_view timedictateTotal = "timedictateTotal";

// Files of the Documents folder: the transcript a dictation screen shows as it loads, the
// bookmark file whose path it keeps, and the text the recipe text view shows.
inline constexpr std::string_view datafileName = "datafile.dat";
inline constexpr std::string_view bookmarkFileName = "dataFile_bookmarkV.dat";
inline constexpr std::string_view recipeDataFileName = "datafile_recipe.dat";

// Path of the photo picked for the forms that show one.
inline constexpr std::string_view SaveImageData = "SaveImageData";

// Word-class counters.
inline constexpr std::string_view totalwordcount = "totalwordcount";
inline constexpr std::string_view totalverbcount = "totalverbcount";
inline constexpr std::string_view totalnouncount = "totalnouncount";
inline constexpr std::string_view totaladjectivecount = "totaladjectivecount";
inline constexpr std::string_view totalpronouncount = "totalpronouncount";
inline constexpr std::string_view totaltotalconjunctioncount = "totaltotalconjunctioncount";
inline constexpr std::string_view totalorgname = "totalorgname";
inline constexpr std::string_view totalplacename = "totalplacename";
inline constexpr std::string_view totalpersonname = "totalpersonname";

// Word lists of the transcript, as arrays of strings.
inline constexpr std::string_view savedarrayverb = "savedarrayverb";
inline constexpr std::string_view savedarraynoun = "savedarraynoun";
inline constexpr std::string_view savedarrayadjective = "savedarrayadjective";
inline constexpr std::string_view savedarraypronoun = "savedarraypronoun";
inline constexpr std::string_view savedarrayconjunction = "savedarrayconjunction";
inline constexpr std::string_view savedarrayorgname = "savedarrayorgname";
inline constexpr std::string_view savedarrayplacename = "savedarrayplacename";
inline constexpr std::string_view savedarraypersonname = "savedarraypersonname";

// Notifications, posted with no sender object.
// The editor's saved text, under userInfoValue.
inline constexpr std::string_view printValue = "printValue";
// The text the document screens take, under userInfoValue.
inline constexpr std::string_view printValue1 = "printValue1";
// A new app-wide font size as decimal text, under userInfoFontValue.
inline constexpr std::string_view fontValue = "fontValue";

inline constexpr std::string_view userInfoValue = "value";
inline constexpr std::string_view userInfoFontValue = "fontvalue";

} // namespace quillora::keys
