#pragma once
// Image files decoded for drawing: PNG through cairo, JPEG through libjpeg.

#include <filesystem>

typedef struct _cairo_surface cairo_surface_t;

namespace platform {

// A new image surface (the caller owns it), or none when the file is missing, of another kind or
// corrupt.
cairo_surface_t* loadImageFile(const std::filesystem::path& path);

} // namespace platform
