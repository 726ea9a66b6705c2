#pragma once
// The white card behind a row's content that the list screens and the PDF browser draw.

#include "platform/uikit/UITableView.h"

namespace quillora {

// Puts the card behind the cell's content (once: a reused cell keeps the card it has).
void styleEntryCard(platform::UITableViewCell& cell);

} // namespace quillora
