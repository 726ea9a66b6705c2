#include "dictation/RecipeViewController.h"

#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIStoryboard.h"

using namespace platform;

namespace quillora {

DictationScreenTable recipeScreenTable() {
    DictationScreenTable table;
    table.scene = "RecipeViewController";
    table.segment = 2;
    table.languages = &recipeLanguageTable();
    table.wordClasses = WordClassPass::recipeScreen();
    table.editIndicatorY = 200;
    table.recordButtonTop = 50;
    table.liveBorderColor = UIColor::yellowColor();
    table.pickerBorderWidth = 0;
    table.recordButtonBorderColor = UIColor::blackColor();
    table.hidesToolBarView = true;
    table.showsTemplateButton = false;
    table.saveArrowImage = "savearro2.png";
    table.saveAction = "SaveText_R";
    table.readsDataFile = true;
    table.keepsBookmarkFilePath = true;
    table.appearanceClearsTexts = false;
    table.appearanceReadsStoredRow = true;
    table.reportsEmptyTranscript = true;
    table.listScene = "RVCTV";
    table.outOfRangeRowKeepsSelection = true;
    table.reportsTextChanges = false;
    table.colourSheetAtScreenCentre = false;
    table.help = {"🍱🍔🍟🍎🥚🥐",
                  {"Say 'Chocolate' to add 🍫", "Say 'Doughnut' to add 🍩", "Say 'Pizza' to add 🍕",
                   "Say 'French fries' to add 🍟", "Say 'Birthday cake' to add 🎂", "Say 'Hamburger' to add 🍔",
                   "Say 'Ice cream' to add 🍦", "Say 'Cookie' to add 🍪", "Say 'Sandwich' to add 🥪",
                   "Say 'Apple' to add 🍎", "Say 'Milk' to add 🥛", "Say 'Bread' to add 🍞",
                   "Say 'Beer' to add 🍺"},
                  false};
    table.keyboardOverlay = KeyboardOverlayLook{75, 1.5, 0.5, true};
    table.symbols = toolbarSymbols();
    return table;
}

RecipeViewController::RecipeViewController()
    : DictationScreen(recipeScreenTable(), recipeScreenLoopTable()) {}

void RecipeViewController::showRecipeBook() {
    auto board = storyboard();
    auto nav = navigationController();
    if (!board || !nav || !board->hasScene("RecipeBookMarkViewC")) return;
    nav->pushViewController_animated(board->instantiateViewControllerWithIdentifier("RecipeBookMarkViewC"),
                                     true);
}

} // namespace quillora
