#pragma once
// The names under which the screens meet: user-defaults keys and program notifications. Spelled
// letter for letter as stored, odd spellings included, since existing stores hold them.

namespace quillora::keys {

// The current transcript, handed between screens.
constexpr const char* saveclipBoardText = "saveclipBoardText";
// Row of the recognition-language table.
constexpr const char* lastlangaugeselected = "lastlangaugeselected";
// Point size of the transcript font.
constexpr const char* savefontSizeApp = "savefontSizeApp";
// 1 after the editor saved, 0 otherwise.
constexpr const char* checkchangedtextinEdit = "checkchangedtextinEdit";
// Seconds dictated in the last run.
constexpr const char* timedictateTotal = "timedictateTotal";

// Word-class counters.
constexpr const char* totalwordcount = "totalwordcount";
constexpr const char* totalverbcount = "totalverbcount";
constexpr const char* totalnouncount = "totalnouncount";
constexpr const char* totaladjectivecount = "totaladjectivecount";
constexpr const char* totalpronouncount = "totalpronouncount";
constexpr const char* totaltotalconjunctioncount = "totaltotalconjunctioncount";
constexpr const char* totalorgname = "totalorgname";
constexpr const char* totalplacename = "totalplacename";
constexpr const char* totalpersonname = "totalpersonname";

// Word-class lists (property-list arrays of strings).
constexpr const char* savedarrayverb = "savedarrayverb";
constexpr const char* savedarraynoun = "savedarraynoun";
constexpr const char* savedarrayadjective = "savedarrayadjective";
constexpr const char* savedarraypronoun = "savedarraypronoun";
constexpr const char* savedarrayconjunction = "savedarrayconjunction";
constexpr const char* savedarrayorgname = "savedarrayorgname";
constexpr const char* savedarrayplacename = "savedarrayplacename";
constexpr const char* savedarraypersonname = "savedarraypersonname";

// Notifications, posted on the default centre with no sender object, and their user-info keys.
constexpr const char* printValue = "printValue";
constexpr const char* printValueUserInfoKey = "value";
constexpr const char* fontValue = "fontValue";
constexpr const char* fontValueUserInfoKey = "fontvalue";

} // namespace quillora::keys
