#pragma once
// The template screens that only the main storyboard creates, registered as its scenes under
// their class names.

namespace platform {
class UIStoryboard;
}

namespace quillora {

// Adds the scenes "PDFRealEstateViewController", "PDFProjectProposalViewController" and
// "PDFPhotoPosterViewController", each making a new screen of that class.
void registerPDFScenes(platform::UIStoryboard& storyboard);

} // namespace quillora
