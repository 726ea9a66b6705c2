#pragma once
// What sets the three entry detail screens apart: one row of this table per list. Everything not
// in the table is the same for the three.

#include "platform/foundation/Geometry.h"

namespace quillora {

struct DetailScreenVariant {
    const char* className;
    platform::CGFloat backButtonX;
    // The record button's picture until a language is chosen.
    const char* firstRecordImage;
    // The navigation item never shows a large title.
    bool largeTitleNever;
    // The scene's toolBarView rides on the keyboard of the transcript and of its keyboard copy.
    bool toolBarAsAccessory;
    // The transcript is this much narrower than the screen.
    platform::CGFloat transcriptWidthInset;
    // A run stopped by the screen going away says so.
    bool reportsLeavingStop;
};

inline constexpr DetailScreenVariant kMainEntryDetail{
    "DetailVCTableView", 10, "Play.png", false, false, 10, false};
inline constexpr DetailScreenVariant kNotesEntryDetail{
    "DetailNotesVCTableView", 5, "Play1.png", true, true, 10, false};
inline constexpr DetailScreenVariant kRecipeEntryDetail{
    "DetailRecipeVCTableView", 10, "Play.png", true, true, 5, true};

} // namespace quillora
