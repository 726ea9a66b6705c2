#pragma once
// The notes dictation screen: office symbols by voice and from the keyboard's accessory bar, the
// transcript edited in a keyboard overlay, saved into the notes list. All of it is the shared
// dictation screen with the notes tables.

#include "dictation/DictationScreen.h"

namespace quillora {

DictationScreenTable notesScreenTable();

class NotesViewController : public DictationScreen {
public:
    NotesViewController();
};

} // namespace quillora
