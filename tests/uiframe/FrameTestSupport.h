#pragma once
// What the view's tests share: the colours of the solid-colour stand-in
// images, a view loaded with them, rendering a state into a canvas, custom
// text tables, and looking for ink (text) in a region.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FrameCanvas.h"
#include "ui/setup/FrameView.h"
#include "ui/setup/TextTable.h"

namespace uiframe_test {

// The colour of stand-in image `id` (frame `frame` of the arrow strip); the
// fixture generator paints the same.
constexpr COLORREF FixtureColour(UINT id, int frame = 0) {
    return RGB(id - 2000, 0x40 + 0x30 * frame, 0xA0);
}

// Whatever the view leaves untouched keeps this colour.
constexpr COLORREF kUntouched = RGB(0xFF, 0x00, 0xFF);

// A text table read from a one-language INI file with the given texts; the
// other texts keep their built-in values.
std::unique_ptr<CTextTable> MakeTexts(const std::vector<std::pair<TextId, std::wstring>>& texts);

// A view with the stand-in images and the given texts (built-in when null).
std::unique_ptr<CFrameView> MakeView(const CTextTable* texts = nullptr);

// The state drawn (after Arrange) into a 620 x 387 canvas filled with kUntouched.
std::unique_ptr<CFrameCanvas> Render(CFrameView& view, const FrameState& state);

// The text as the view should draw it: a canvas filled with `background`
// and the text drawn in Tahoma of `height` and `weight` into `box`.
std::unique_ptr<CFrameCanvas> RenderText(const RECT& box, const std::wstring& text, COLORREF colour,
                                         COLORREF background, int height, int weight, UINT format);

// Pixels of `region` that differ from `background`.
int InkCount(const CFrameCanvas& canvas, const RECT& region, COLORREF background);
// The leftmost / rightmost column of `region` with ink; -1 without ink.
int LeftmostInk(const CFrameCanvas& canvas, const RECT& region, COLORREF background);
int RightmostInk(const CFrameCanvas& canvas, const RECT& region, COLORREF background);
// Whether two canvases agree on every pixel of `region`.
bool SameIn(const CFrameCanvas& a, const CFrameCanvas& b, const RECT& region);

// Width of a text in Tahoma 13 normal, as the layout measures it.
int MeasureSmall(const std::wstring& text);

// Tells the toolkit whether the left button is down, for the test's duration.
class CLeftButton {
public:
    CLeftButton();
    ~CLeftButton();
    void Set(bool down);
};

}  // namespace uiframe_test
