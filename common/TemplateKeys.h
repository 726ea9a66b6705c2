#pragma once
// The names under which the forms store their template dictionaries, and the keys inside them,
// spelled exactly as stored on existing installations (odd spellings included). Plain C strings:
// they go straight into the dictionaries' std::string keys.

namespace quillora::templatekeys {

// The dictionaries, each stored whole under its name by a form's Preview.
inline constexpr const char* SavedDictNote1 = "SavedDictNote1";
inline constexpr const char* SavedEssay = "SavedEssay";
inline constexpr const char* SavedResearch = "SavedResearch";
inline constexpr const char* SavedModernReport = "SavedModernReport";
inline constexpr const char* SavedSchoolReport = "SavedSchoolReport";
inline constexpr const char* SavedModernLetter = "SavedModernLetter";
inline constexpr const char* SavedModernBoldLetter = "SavedModernBoldLetter";
inline constexpr const char* SavedPersonalLetter = "SavedPersonalLetter";
inline constexpr const char* SavedBusinessLetter = "SavedBusinessLetter";
inline constexpr const char* SavedEventPoster = "SavedEventPoster";
inline constexpr const char* SavedRentFlyer = "SavedRentFlyer";
inline constexpr const char* SavedSaleFlyer = "SavedSaleFlyer";

// The keys inside them.
inline constexpr const char* Instructor_Name = "Instructor_Name";
inline constexpr const char* Page_Heading = "Page_Heading";
inline constexpr const char* Font_SizeHeading = "Font_SizeHeading";
inline constexpr const char* TextColor_Heading = "TextColor_Heading";
inline constexpr const char* Font_SizeSubheading = "Font_SizeSubheading";
inline constexpr const char* TextColor_SubHeading = "TextColor_SubHeading";
inline constexpr const char* Page_SubHeading = "Page_SubHeading";
inline constexpr const char* Font_SizeBody = "Font_SizeBody";
inline constexpr const char* Font_WeightBody = "Font_WeightBody";
inline constexpr const char* TextColor_Body = "TextColor_Body";
inline constexpr const char* Display_Date = "Display_Date";
inline constexpr const char* Display_Time = "Display_Time";
inline constexpr const char* Your_Name = "Your_Name";
inline constexpr const char* Your_CompanyName = "Your_CompanyName";
inline constexpr const char* Your_PhoneNo = "Your_PhoneNo";
inline constexpr const char* Your_Email = "Your_Email";
inline constexpr const char* Your_Address = "Your_Address";
inline constexpr const char* Recipient_Name = "Recipient_Name";
inline constexpr const char* Recipient_Address = "Recipient_Address";
inline constexpr const char* Font_SizeYourName = "Font_SizeYourName";
inline constexpr const char* TextColor_RecipeintName = "TextColor_RecipeintName";
inline constexpr const char* Font_SizeRecipientName = "Font_SizeRecipientName";
inline constexpr const char* TextColor_YourName = "TextColor_YourName";
inline constexpr const char* FontSize_Body = "FontSize_Body";
inline constexpr const char* FontWeight_Body = "FontWeight_Body";
inline constexpr const char* Location = "Location";
inline constexpr const char* Website = "Website";
inline constexpr const char* Phone_No = "Phone_No";
inline constexpr const char* Price = "Price";
inline constexpr const char* Page_Title = "Page_Title";
inline constexpr const char* Font_Size = "Font_Size";
inline constexpr const char* Font_Weight = "Font_Weight";

} // namespace quillora::templatekeys
