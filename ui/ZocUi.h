#pragma once
#include <SDL.h>

#include <cstdint>

#include "ui/ZocModalDialog.h"

// Helpers of the user interface shared by the windows: placing the main
// window on a display and clickable links. ModalDialog lives in
// ui/ZocModalDialog.h (included here).
namespace ZocUi {

// The display whose bounds contain (x, y) (left/top inclusive, right/bottom
// exclusive), as a display id: SDL's display index + 1. 0 when none does.
uint32_t FindDisplay(int x, int y);

// Applies a stored window rectangle to `window`, corrected in place: a
// position on no attached display becomes centred; a size larger than the
// display's usable area is shrunk to fit it (leaving 50 pixels of height).
void SetWindowPositionAndSizeSafe(SDL_Window* window, SDL_Rect& rect);

// `text` drawn as a link; a click opens `url` in the browser.
void TextURL(const char* text, const char* url);

} // namespace ZocUi
