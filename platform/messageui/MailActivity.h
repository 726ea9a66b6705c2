#pragma once
// The share sheet's Mail: the composer opens over the screen that shared, its body the shared
// text and links, the shared files attached, and the person sends or keeps the message as from
// any composer. The sheet hears it as done once the message is sent or kept as a draft.

namespace platform {

// Offers Mail on every share sheet from now on, while the device can send mail.
void provideMailActivity();

} // namespace platform
