#include "pdf/PDFScenes.h"

#include "pdf/PDFTemplateViewController.h"
#include "platform/uikit/UIStoryboard.h"

namespace quillora {

void registerPDFScenes(platform::UIStoryboard& storyboard) {
    storyboard.registerScene("PDFRealEstateViewController",
                             [] { return std::make_shared<PDFRealEstateViewController>(); });
    storyboard.registerScene("PDFProjectProposalViewController",
                             [] { return std::make_shared<PDFProjectProposalViewController>(); });
    storyboard.registerScene("PDFPhotoPosterViewController",
                             [] { return std::make_shared<PDFPhotoPosterViewController>(); });
}

} // namespace quillora
