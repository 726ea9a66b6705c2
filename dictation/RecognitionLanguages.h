#pragma once
// Recognition-language tables: picker titles paired by row with the locale a recognizer is built
// for, and the device regions for which a row is the first choice.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillora {

struct RecognitionLanguage {
    constexpr RecognitionLanguage(std::string_view title, std::string_view localeIdentifier,
                                  std::string_view defaultForRegion, std::string_view playImage = {},
                                  std::string_view pauseImage = {}, std::string_view listening = {})
        : title(title), localeIdentifier(localeIdentifier), defaultForRegion(defaultForRegion),
          playImage(playImage), pauseImage(pauseImage), listening(listening) {}

    std::string_view title;
    std::string_view localeIdentifier;
    // Empty when the row is no region's default.
    std::string_view defaultForRegion;
    // The record button's pictures while idle and while dictating, and the live text at a run's
    // start; empty where the screen's own defaults apply.
    std::string_view playImage;
    std::string_view pauseImage;
    std::string_view listening;
};

using RecognitionLanguageTable = std::vector<RecognitionLanguage>;

// The 60 rows of the main dictation screen.
const RecognitionLanguageTable& mainLanguageTable();

// The 31 rows of the recipe screen, shared index for index with the detail screens.
const RecognitionLanguageTable& recipeLanguageTable();

// The row whose region column names `region` (exact, case-sensitive), or none.
std::optional<long> defaultRowForRegion(const RecognitionLanguageTable& table,
                                        const std::optional<std::string>& region);

// `row` when the table has it, else 0.
long rowOrFirst(const RecognitionLanguageTable& table, long row);

} // namespace quillora
