#pragma once
// Where the app points people: its own pages and support addresses, and the catalogue of the
// maker's other apps that the promotion pages and the card galleries show. All of it lives on the
// project's own domain; nothing here names a real store, maker or video site.

#include <string_view>

namespace quillora::settings {

// --- Addresses of this app (pages, store page, support mail) ---

// --- Catalogue of the maker's other apps ---

} // namespace quillora::settings
