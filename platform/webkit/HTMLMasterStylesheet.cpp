// The stylesheet every document starts from: what a browser's defaults give a page printed on
// paper, with the fonts this machine ships (DejaVu) and fallbacks for emoji and CJK text left to
// fontconfig.

#include "platform/webkit/HTMLContainer.h"

namespace platform {

const char* htmlMasterStylesheet() {
    return R"css(
html { display: block; position: relative; }
head, style, script, title, meta, link, base, noscript, template { display: none; }
body { display: block; margin: 8px; font-family: "DejaVu Serif", serif; font-size: 16px; line-height: normal;
       color: black; }

address, article, aside, blockquote, center, dd, details, dialog, dir, div, dl, dt, fieldset, figcaption,
figure, footer, form, header, hgroup, hr, main, menu, nav, ol, p, pre, section, summary, ul, legend
  { display: block; }

p, blockquote, dl, figure, pre, ol, ul, menu, dir { margin-top: 1em; margin-bottom: 1em; }
blockquote, figure { margin-left: 40px; margin-right: 40px; }
center { text-align: center; }
address, cite, em, i, var, dfn { font-style: italic; }
b, strong { font-weight: bold; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
small { font-size: smaller; }
big { font-size: larger; }
sub { vertical-align: sub; font-size: smaller; }
sup { vertical-align: super; font-size: smaller; }
code, kbd, samp, tt, pre { font-family: "DejaVu Sans Mono", monospace; }
pre { white-space: pre; }
a { color: #0000EE; text-decoration: underline; }
mark { background-color: yellow; color: black; }

h1 { display: block; font-size: 2em; margin-top: 0.67em; margin-bottom: 0.67em; font-weight: bold; }
h2 { display: block; font-size: 1.5em; margin-top: 0.83em; margin-bottom: 0.83em; font-weight: bold; }
h3 { display: block; font-size: 1.17em; margin-top: 1em; margin-bottom: 1em; font-weight: bold; }
h4 { display: block; font-size: 1em; margin-top: 1.33em; margin-bottom: 1.33em; font-weight: bold; }
h5 { display: block; font-size: 0.83em; margin-top: 1.67em; margin-bottom: 1.67em; font-weight: bold; }
h6 { display: block; font-size: 0.67em; margin-top: 2.33em; margin-bottom: 2.33em; font-weight: bold; }

ul, menu, dir { list-style-type: disc; padding-left: 40px; }
ol { list-style-type: decimal; padding-left: 40px; }
li { display: list-item; }
ul ul, ol ul { list-style-type: circle; }
ol ol ul, ol ul ul, ul ol ul, ul ul ul { list-style-type: square; }
ul ul, ul ol, ol ol, ol ul { margin-top: 0; margin-bottom: 0; }
dd { margin-left: 40px; }

hr { border-style: inset; border-width: 1px; border-color: #888888; margin-top: 0.5em; margin-bottom: 0.5em; }

table { display: table; border-collapse: separate; border-spacing: 2px; }
caption { display: table-caption; text-align: center; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
colgroup { display: table-column-group; }
col { display: table-column; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { font-weight: bold; text-align: center; }
table[border] { border: 1px outset #808080; }
table[border] td, table[border] th { border: 1px inset #808080; }
table[border="0"], table[border="0"] td, table[border="0"] th { border-style: none; }

img { display: inline-block; }
br { display: block; }
input, select, textarea, button { display: inline-block; }
)css";
}

} // namespace platform
