#pragma once
// What sets the three entry lists apart: one row of this table per dictation variant. Everything
// not in the table is the same for the three.

#include <string>

namespace quillora {

struct EntryListVariant {
    const char* storyboardIdentifier;
    const char* title;
    const char* walletImage;
    const char* cellImage;
    const char* cellSubtitle;
    const char* fileName;
    const char* detailClassName;
    // Deleting a row in editing mode while the search filter is on removes it (or does nothing).
    bool deletesWhileFiltered;
    // Switching the editing mode while the search filter is on works (or does nothing at all).
    bool editsWhileFiltered;
    // Beginning to edit the search text also reloads the table.
    bool reloadsWhenSearchBegins;
};

inline constexpr EntryListVariant kMainEntryList{
    "VCTV",        "DidovIvave", "docswallet.png",    "notes1_t.png",
    "Daily Notes", "notes.txt",  "DetailVCTableView", true,
    true,          false};
inline constexpr EntryListVariant kNotesEntryList{"NVCTV",
                                                  "DidovIvave-I",
                                                  "docswallet2.png",
                                                  "notes_t.png",
                                                  "Daily Notes-I",
                                                  "notesNVC.txt",
                                                  "DetailNotesVCTableView",
                                                  false,
                                                  true,
                                                  false};
inline constexpr EntryListVariant kRecipeEntryList{"RVCTV",
                                                   "Daily Notes-II",
                                                   "docswallet3.png",
                                                   "trolley_t.png",
                                                   "Daily Note-II",
                                                   "notesRVC.txt",
                                                   "DetailRecipeVCTableView",
                                                   true,
                                                   false,
                                                   true};

} // namespace quillora
