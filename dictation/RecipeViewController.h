#pragma once
// The recipe dictation screen: food names by voice become emoji, 31 languages each with its own
// record-button pictures and listening text, symbol buttons on the screen, saved into the recipe
// list. All of it is the shared dictation screen with the recipe tables.

#include "dictation/DictationScreen.h"

namespace quillora {

DictationScreenTable recipeScreenTable();

class RecipeViewController : public DictationScreen {
public:
    RecipeViewController();

    // Pushes the recipe text view of the storyboard (nothing when there is none to push).
    void showRecipeBook();
};

} // namespace quillora
