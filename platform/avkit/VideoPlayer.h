#pragma once
// The declarative video view: shows its player's frame at the player's position, with the
// platform's controls (a person plays and pauses it; playback does not start by itself).

#include <memory>

#include "platform/avkit/AVPlayer.h"
#include "platform/swiftui/View.h"

namespace platform::swiftui {

AnyView VideoPlayer(std::shared_ptr<AVPlayer> player);

// The player of a VideoPlayer node of a tree, none for any other node.
std::shared_ptr<AVPlayer> videoPlayerOf(const Node& node);

} // namespace platform::swiftui
