#pragma once

// What a window asks to hear from its window system. Every handler is optional and runs on the
// user-interface thread, from the event loop or from a call that paints at once.

#include "platform/Geometry.h"

#include <functional>

namespace ws::platform {

class PixelCanvas;

// The few keys anything of ours reacts to; every other key arrives as Other.
enum class Key { Enter, Space, Escape, Other };

struct WindowEvents {
    // Paints the part 'dirty' (in the window's own coordinates) of the window. The canvas has its
    // origin at the window's top-left corner and is clipped to the window and to 'dirty'.
    std::function<void(PixelCanvas& canvas, const Rect& dirty)> paint;
    // A click or a double-click, at a point in the window's own coordinates. A double-click is
    // preceded by the click of its first press.
    std::function<void(Point at)> click;
    std::function<void(Point at)> doubleClick;
    // Key presses go to the window that has the keyboard focus.
    std::function<void(Key key)> keyDown;
    std::function<void()> focusEnter;
    std::function<void()> focusLeave;
};

// Notifications about the program as a whole.
struct ApplicationEvents {
    std::function<void()> minimized;
    std::function<void()> restored;
    // A message box of the program opens or closes (boxes may nest).
    std::function<void()> messageBoxOpened;
    std::function<void()> messageBoxClosed;
};

} // namespace ws::platform
