#include "dictation/NotesViewController.h"

using namespace platform;

namespace quillora {

DictationScreenTable notesScreenTable() {
    DictationScreenTable table;
    table.scene = "NotesViewController";
    table.segment = 1;
    // The notes screen offers the main screen's languages, row for row.
    table.languages = &mainLanguageTable();
    table.wordClasses = WordClassPass::notesScreen();
    table.editIndicatorY = 200;
    table.recordButtonTop = 50;
    table.liveBorderColor = UIColor::yellowColor();
    table.pickerBorderWidth = 0;
    table.recordButtonBorderColor = UIColor::blackColor();
    // The overlay's accessory bar.
    table.hidesToolBarView = false;
    table.readsDataFile = true;
    table.appearanceClearsTexts = false;
    table.appearanceReadsStoredRow = true;
    table.reportsEmptyTranscript = true;
    table.listScene = "NVCTV";
    table.saveLinePrintsTranscript = true;
    table.colourSheetAtScreenCentre = false;
    table.help = {"☑️⚫️🔲🔵",
                  {"Say 'Pushpin' to add 📌", "Say 'Ballot box' to add ☑️", "Say 'Radio button' to add 🔘",
                   "Say 'Red circle' to add 🔴", "Say 'Blue circle' to add 🔵",
                   "Say 'Black circle' to add ⚫️", "Say 'Paperclip' to add 📎",
                   "Say 'checkmark' to add ✔️", "Say 'Memo' to add 📝", "Say 'Book mark' to add 🔖",
                   "Say 'Pencil' to add ✏️", "Say 'Textbook' to add 📘", "Say 'Clipboard' to add 📋",
                   "Say 'centre dot' to add ·", "Say 'new line' to Start a new line",
                   "Say 'new paragraph' to Start a new paragraph", "Say 'hashtag sign' to add #️⃣",
                   "Say 'comma' to add ,", "Say 'period/full stop' to add ."}};
    table.keyboardOverlay = KeyboardOverlayLook{75, 0, 0, true};
    table.symbols = toolbarSymbols();
    return table;
}

NotesViewController::NotesViewController() : DictationScreen(notesScreenTable(), notesScreenLoopTable()) {}

} // namespace quillora
