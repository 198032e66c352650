#pragma once

// The look of the program's modal message box: a caption bar, an optional error icon, the text
// and one OK button. Every window system shows the box as a window of its own painted by this
// class, so the box looks the same everywhere.

#include "platform/Geometry.h"
#include "platform/MessageBoxRequest.h"

namespace ws::platform {

class PixelCanvas;

class MessageBoxView {
public:
    // Lays the box out for a screen of the given size: centred, at most that large.
    MessageBoxView(MessageBoxRequest request, Size screen);

    const MessageBoxRequest& Request() const { return m_Request; }
    // The window's rectangle on the screen.
    Rect Bounds() const { return m_Bounds; }
    // Parts, in the window's coordinates.
    Rect CaptionBar() const { return m_Caption; }
    Rect IconRect() const { return m_Icon; }
    Rect TextRect() const { return m_Text; }
    Rect OkButton() const { return m_Button; }

    void Paint(PixelCanvas& canvas) const;

private:
    void PaintFrame(PixelCanvas& canvas, const Rect& r, bool raised) const;
    void PaintErrorIcon(PixelCanvas& canvas) const;

    MessageBoxRequest m_Request;
    Rect m_Bounds;
    Rect m_Caption;
    Rect m_Icon;
    Rect m_Text;
    Rect m_Button;
};

} // namespace ws::platform
