#pragma once
// Sets the texts of declarative views with pango: the layout measures a text and the drawing
// shows the very same lines, so a text never draws outside the size it chose. Metrics are not
// hinted, so a text measures the same at every drawing scale.

#include <cairo.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "platform/swiftui/ViewLayout.h"
#include "platform/uikit/TextDrawing.h"

typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;

namespace platform::swiftui {

class TextSetter : public TextMeasurer {
public:
    TextSetter();
    ~TextSetter() override;
    TextSetter(const TextSetter&) = delete;
    TextSetter& operator=(const TextSetter&) = delete;

    CGSize measure(const std::vector<TextRun>& runs, const TextStyle& style,
                   std::optional<double> width) const override;
    // Draws the runs in `rect` (wrapped at its width), in `fallback` where neither the run nor the
    // style gives a colour.
    void draw(cairo_t* cr, const std::vector<TextRun>& runs, const TextStyle& style, const CGRect& rect,
              const Color& fallback) const;

    // `text` set at `width` (none: one line per paragraph) as a field or editor shows it, for its
    // caret, its selection and the character under the pointer.
    platform::TextLayout plainLayout(const std::string& text, const TextStyle& style,
                                     std::optional<double> width) const;

private:
    struct LayoutDeleter {
        void operator()(PangoLayout* layout) const;
    };
    std::unique_ptr<PangoLayout, LayoutDeleter> layout(const std::vector<TextRun>& runs,
                                                       const TextStyle& style, std::optional<double> width,
                                                       const Color& fallback) const;
    // The same, kept: a frame measures a text several times and draws it once or twice (a
    // shadow), and shaping is the costly part.
    PangoLayout* cached(const std::vector<TextRun>& runs, const TextStyle& style, std::optional<double> width,
                        const Color& fallback) const;

    PangoContext* context_;
    mutable std::unordered_map<std::string, std::unique_ptr<PangoLayout, LayoutDeleter>> layouts_;
};

} // namespace platform::swiftui
