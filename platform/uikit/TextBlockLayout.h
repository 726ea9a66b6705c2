#pragma once
// The layout of a text view's text, made only for what is shown. A text longer than a block is
// cut into blocks (after a line break where one is near, else at a blank, else between
// characters) that pango lays out one at a time, when they come into sight: a 50 MB file opens
// and scrolls at the cost of the few blocks on screen. Blocks not yet laid out count with an
// estimated height, which their real one replaces once they are shown. A short text is one
// block, laid out exactly as a whole.
//
// A cut inside a paragraph is moved, before either block beside it is laid out, to where a line
// of that paragraph starts, so that the blocks read as one paragraph: no short line at a cut.
//
// Offsets are the editing model's (UTF-16 units of the whole text); the lines it gives the
// editing model are the lines drawn, across block boundaries.

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Geometry.h"
#include "platform/foundation/NSRange.h"
#include "platform/uikit/ShownText.h"
#include "platform/uikit/TextDrawing.h"
#include "platform/uikit/TextEditingModel.h"

typedef struct _cairo cairo_t;

namespace platform {

class TextBlockLayout {
public:
    // Bytes of text in a block: a few milliseconds of pango's work, a screenful or two of lines.
    static constexpr std::size_t kBlockBytes = 4096;
    // Blocks kept laid out.
    static constexpr std::size_t kKeptLayouts = 48;
    // The cuts inside a paragraph placed by following its lines from its start (laying out each
    // block before them once more): a block deep in a huge paragraph costs at most this many.
    // The next cut starts over, following the lines from a block's length before it.
    static constexpr std::size_t kCutsFollowed = 8;

    // Makes the layout fit the text, style and width (points), reusing what was laid out when
    // none of them changed. `text` must stay alive and unchanged until the next update.
    void update(const std::string& text, std::uint64_t revision, const TextStyle& style, CGFloat width);

    // The height of the whole text: laid-out blocks as they are, the others estimated.
    CGFloat height() const;
    // Draws the blocks that meet the band from `top` to `bottom` (the layout's coordinates), the
    // layout's top-left corner at `origin`, in the style's colour.
    void draw(cairo_t* cr, CGPoint origin, CGFloat top, CGFloat bottom) const;
    // Draws the selection (a tint of `rgb`) or the caret at an empty one, in the same band.
    void drawSelection(cairo_t* cr, NSRange range, CGPoint origin, CGFloat top, CGFloat bottom, double r,
                       double g, double b) const;

    // Lays out the blocks that meet the band from `top` to `bottom`, as drawing it would: their
    // real heights take the place of the estimates.
    void layOut(CGFloat top, CGFloat bottom) const;

    // The caret at `offset`, from the layout's top-left corner.
    CGRect caretRect(std::size_t offset) const;
    // The offset under a point (from the layout's top-left corner).
    std::size_t offsetAt(CGPoint point) const;
    // The lines as drawn, for the editing model's line moves.
    std::unique_ptr<TextLines> lines() const;

    std::size_t blockCount() const { return blocks_.size(); }
    // How many blocks have been laid out since the text, style or width last changed.
    std::size_t laidOutCount() const;

private:
    struct Block {
        std::size_t byteStart = 0, byteEnd = 0; // what is laid out (a line break ending it is not)
        std::size_t u16Start = 0, u16End = 0;
        std::size_t firstCut = 0;                // where the text was first cut before it
        std::size_t cutsBefore = 0;              // cuts of its paragraph up to its start (0: it starts one)
        bool startSettled = true;                // false while a cut in a paragraph before it may move
        std::optional<CGFloat> height;           // once laid out
        mutable std::optional<CGFloat> estimate; // until then
    };
    struct Laid {
        std::size_t index = 0;
        std::size_t bytes = 0; // of the block, laid out
        ShownText shown;
        TextLayout layout;
    };
    class Lines;

    void split();
    // Moves the cut before block `index`, if it is inside a paragraph, to the start of the line
    // nearest to it, with the cuts before it it follows from. Only blocks not laid out change;
    // their estimates stay as they were.
    void settleCut(std::size_t index) const;
    void moveCut(std::size_t index) const;
    // Settles both cuts of the block holding `offset`; that block.
    std::size_t settledBlockAtOffset(std::size_t offset) const;
    CGFloat estimate(const Block& block) const;
    const Laid& laid(std::size_t index) const;
    std::size_t blockAtOffset(std::size_t offset) const;
    std::size_t blockAtY(CGFloat y) const;
    CGFloat top(std::size_t index) const;
    // Offsets between the whole text and a block's shown text (UTF-16 units).
    std::size_t localOffset(const Laid& laid, std::size_t offset) const;
    std::size_t globalOffset(const Laid& laid, std::size_t local) const;

    const std::string* text_ = nullptr;
    std::uint64_t revision_ = 0;
    TextStyle style_;
    CGFloat width_ = 0;
    bool valid_ = false;
    CGFloat averageAdvance_ = 0, lineHeight_ = 0;
    mutable std::vector<Block> blocks_;
    mutable std::vector<CGFloat> tops_; // prefix sums of the heights; empty when stale
    mutable std::list<Laid> laid_;      // most recently used first
};

} // namespace platform
