#include "settings/SettingsCell.h"

namespace quillora {

using namespace platform::swiftui;

AnyView SettingsCell::body() const {
    return HStack({Image::system(imgName).font(Font::headline()).foregroundColor(colorname),
                   // Shown as written: a title is never a localization key.
                   Text(title).font(Font::headline()).padding(EdgeInsets{0, 10, 0, 0}), Spacer(),
                   Image::system("chevron.right").font(Font::headline()).foregroundColor(Color::gray())})
        .clipShape(RoundedRectangle(10, CornerStyle::continuous));
}

} // namespace quillora
