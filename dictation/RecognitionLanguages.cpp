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

const RecognitionLanguageTable& recipeLanguageTable() {
    static const RecognitionLanguageTable table{
        {"🇺🇸English-US", "en-US", "US", "Play.png", "Pause.png", "Listening...."},
        {"🇬🇧English-GB", "en-GB", "GB", "Play.png", "Pause.png", "Listening...."},
        {"🇮🇪English-IE", "en-IE", "IE", "Play.png", "Pause.png", "Listening...."},
        {"🇦🇺English-AU", "en-AU", "AU", "Play.png", "Pause.png", "Listening...."},
        {"🇫🇷French", "fr-FR", "FR", "French_Play_Button.png", "French_Pause_Button.png", "Écoute ..."},
        {"🇮🇹Italian", "it-IT", "IT", "Italian_Play_Button.png", "Italian_Pause_Button.png", "Ascoltando ..."},
        {"🇪🇸Spanish", "es-MX", "MX", "MX_Play_Button.png", "MX_Pause_Button.png", "Escuchando ..."},
        {"🇩🇪German", "de-DE", "DE", "DE_Play_Button.png", "DE_Pause_Button.png", "Hören ..."},
        {"🇯🇵Japanese", "ja-JP", "JP", "JP_Play_Button.png", "JP_Pause_Button.png", "聞いている ..."},
        {"🇸🇪Swedish", "sv-SE", "SE", "SE_Play_Button.png", "SE_Pause_Button.png", "Lyssnar ..."},
        // It recognises English (Canada): its title says so.
        {"🇨🇦English-CA", "en-CA", "CA", "Play.png", "Pause.png", "Listening..."},
        {"🇳🇱Dutch", "nl-NL", "NL", "NL_Play_Button.png", "NL_Pause_Button.png", "Luisteren ..."},
        {"🇵🇹Portuguese", "pt-PT", "PT", "PT_Play_Button.png", "PT_Pause_Button.png", "Ouvindo ..."},
        {"🇵🇱Polish", "pl-PL", "PL", "PL_Play_Button.png", "PL_Pause_Button.png", "Słucham ..."},
        {"🇭🇺Hungarian", "hu-HU", "HU", "HU_Play_Button.png", "HU_Pause_Button.png", "Hallgatni ..."},
        {"🇹🇷Turkish", "tr-TR", "TR", "TR_Play_Button.png", "TR_Pause_Button.png", "Dinleniyor ..."},
        {"🇳🇴Norwegian", "nb-NO", "NO", "NO_Play_Button.png", "NO_Pause_Button.png", "Lytter ..."},
        {"🇷🇴Romanian", "ro-RO", "RO", "RO_Play_Button.png", "RO_Pause_Button.png", "Ascultă ..."},
        {"🇮🇱Hebrew", "he-IL", "IL", "IL_Play_Button.png", "IL_Pause_Button.png", "מאזין"},
        {"🇹🇭Thai", "th-TH", "TH", "TH_Play_Button.png", "TH_Pause_Button.png", "กำลังฟัง ..."},
        {"🇫🇮Finnish", "fi-FI", "FI", "FI_Play_Button.png", "FI_Pause_Button.png", "Kuunteleminen ..."},
        {"🇨🇿Czech", "cs-CZ", "CZ", "CZ_Play_Button.png", "CZ_Pause_Button.png", "Naslouchání ..."},
        {"🇲🇾Malay", "ms-MY", "MY", "MY_Play_Button.png", "MY_Pause_Button.png", "Mendengar ..."},
        {"🇰🇷Korean", "ko-KR", "KR", "KR_Play_Button.png", "KR_Pause_Button.png", "청취 ..."},
        {"🇮🇩Indonesian", "id-ID", "ID", "ID_Play_Button.png", "ID_Pause_Button.png", "Mendengarkan ..."},
        {"🇩🇰Danish", "da-DK", "DK", "DK_Play_Button.png", "DK_Pause_Button.png", "Hører efter ..."},
        {"🇷🇺Russian", "ru-RU", "RU", "RU_Play_Button.png", "RU_Pause_Button.png", "Слушаю ..."},
        // Dictating shows the pause picture, as on every other row.
        {"🇻🇳Vietnamese", "vi-VN", "VN", "VN_Play_Button.png", "VN_Pause_Button.png", "Đang nghe ..."},
        {"🇺🇦Ukrainian", "uk-UA", "UA", "UA_Play_Button.png", "UA_Pause_Button.png", "Прослуховування ..."},
        {"🇮🇳Hindi", "hi-IN", "IN", "IN_Play_Button.png", "IN_Pause_Button.png", "सुन रहे हैं ..."},
        {"🇨🇳中文(简化的)(Chinese-Simplified)", "zh-CN", "CN", "CN_Play_Button.png", "CN_Pause_Button.png",
         "听..."},
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
