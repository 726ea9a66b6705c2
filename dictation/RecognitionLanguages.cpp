#include "dictation/RecognitionLanguages.h"

namespace quillora {

const RecognitionLanguageTable& mainLanguageTable() {
    static const RecognitionLanguageTable table{
        {"🇺🇸English (United States)", "en-US", "US"},
        {"🇬🇧English (United Kingdom)", "en-GB", "GB"},
        {"🇦🇺English (Australia)", "en-AU", "AU"},
        {"🇨🇦English (Canada)", "en-CA", "CA"},
        {"🇮🇳English (India)", "en-IN", "IN"},
        {"🇮🇩English (Indonesia)", "en-ID", "ID"},
        {"🇮🇪English (Ireland)", "en-IE", "IE"},
        {"🇳🇿English (New Zealand)", "en-NZ", "NZ"},
        {"🇵🇭English (Philippines)", "en-PH", "PH"},
        {"🇸🇦English (Saudi Arabia)", "en-SA", "SA"},
        {"🇸🇬English (Singapore)", "en-SG", "SG"},
        {"🇿🇦English (South Africa)", "en-ZA", "ZA"},
        {"🇦🇪English (UAE)", "en-AE", "AE"},
        {"🇸🇦Arabic (Saudi Arabia)", "ar-SA", ""},
        {"🇪🇸Catalan(Spain)", "ca-ES", "ES"},
        {" 🇨🇳Chinese (China Mainland", "zh-CN", "CN"},
        {" 🇭🇰Chinese (Hongkong)", "zh-HK", "HK"},
        {" 🇹🇼 Chinese (Taiwan)", "zh-TW", "TW"},
        {"🇭🇷Croatian (Croatia)", "hr-HR", "HR"},
        {"🇨🇿Czech (Czechia)", "cs-CZ", "CZ"},
        {"🇩🇰Danish (Denmark)", "da-DK", "DK"},
        {"🇧🇪Dutch (Belgium)", "nl-BE", "BE"},
        {"🇧🇪Dutch (Netherlands)", "nl-NL", "NL"},
        {"🇫🇮Finnish(Finland)", "fi-FI", "FI"},
        {"🇧🇪French(Belgium)", "fr-BE", ""},
        {"🇨🇦French(Canada)", "fr-CA", ""},
        {"🇫🇷French(France)", "fr-FR", "FR"},
        {"🇨🇭French(Switzerland)", "fr-CH", "CH"},
        {"🇦🇹German(Austria)", "de-AT", "AT"},
        {"🇩🇪German(Germany)", "de-DE", "DE"},
        {"🇨🇭German(Switzerland)", "de-CH", ""},
        {"🇬🇷Greek(Greece)", "el-GR", "GR"},
        {"🇮🇱Hebrew(Israel)", "he-IL", "IL"},
        {"🇮🇳Hindi(India)", "hi-IN", ""},
        {"🇮🇳Hindi (India, Translit)", "hi-IN-translit", ""},
        {"🇮🇳Hindi (Latin)", "hi-Latn", ""},
        {"🇭🇺Hungarian (Hungary)", "hu-HU", "HU"},
        {"🇮🇩Indonesian (Indonesia)", "id-ID", ""},
        {"🇮🇹Italian (Italy)", "it-IT", "IT"},
        {"🇨🇭Italian(Switzerland)", "it-CH", ""},
        {"🇯🇵Japanese(Japan)", "ja-JP", "JP"},
        {"🇲🇾Malay(Malaysia)", "ms-MY", "MY"},
        {"🇳🇴Norwegian(Norway)", "nb-NO", "NO"},
        {"🇵🇱Polish(Poland)", "pl-PL", "PL"},
        {"🇧🇷Portuguese(Brazil)", "pt-BR", ""},
        {"🇧🇷Portuguese(Portugal)", "pt-PT", "PT"},
        {"🇷🇴Romanian(Romania)", "ro-RO", "RO"},
        {"🇷🇺Russia(Russian)", "ru-RU", "RU"},
        {"🇸🇰Slovak(Slovakia)", "sk-SK", "SK"},
        {"🇨🇱Spanish(Chile)", "es-CL", "CL"},
        {"🇨🇴Spanish(Colombia)", "es-CO", ""},
        {"🇲🇽Spanish(Latin America)", "es-419", ""},
        {"🇲🇽Spanish(Mexicon)", "es-MX", "MX"},
        {"🇪🇸Spanish(Spain)", "es-ES", ""},
        {"🇺🇸Spanish(United States)", "es-US", ""},
        {"🇸🇪Swedish(Sweden)", "sv-SE", "SE"},
        {"🇹🇭Thai(Thailand)", "th-TH", "TH"},
        {"🇹🇷Turkish(Turkey)", "tr-TR", "TR"},
        {"🇺🇦Ukranian(Ukraine)", "uk-UA", "UA"},
        {"🇻🇳Vietnamese(Vietnam)", "vi-VN", "VN"},
    };
    return table;
}

std::optional<long> defaultRowForRegion(const RecognitionLanguageTable& table,
                                        const std::optional<std::string>& region) {
    if (!region || region->empty()) return std::nullopt;
    for (std::size_t row = 0; row < table.size(); ++row)
        if (table[row].defaultForRegion == *region) return static_cast<long>(row);
    return std::nullopt;
}

long rowOrFirst(const RecognitionLanguageTable& table, long row) {
    return row >= 0 && row < static_cast<long>(table.size()) ? row : 0;
}

} // namespace quillora
