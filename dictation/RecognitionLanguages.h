#pragma once
// Recognition-language tables: picker titles paired by row with the locale a recognizer is built
// for, and the device regions for which a row is the first choice.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillora {

struct RecognitionLanguage {
    std::string_view title;
    std::string_view localeIdentifier;
    // Empty when the row is no region's default.
    std::string_view defaultForRegion;
};

using RecognitionLanguageTable = std::vector<RecognitionLanguage>;

// The 60 rows of the main dictation screen.
const RecognitionLanguageTable& mainLanguageTable();

// The row whose region column names `region` (exact, case-sensitive), or none.
std::optional<long> defaultRowForRegion(const RecognitionLanguageTable& table,
                                        const std::optional<std::string>& region);

// `row` when the table has it, else 0.
long rowOrFirst(const RecognitionLanguageTable& table, long row);

} // namespace quillora
