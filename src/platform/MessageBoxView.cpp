#include "platform/MessageBoxView.h"

#include "platform/PixelCanvas.h"

#include <algorithm>

namespace ws::platform {

namespace {

constexpr int Border = 2;
constexpr int CaptionHeight = 20;
constexpr int Margin = 12;
constexpr int IconSize = 32;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;
constexpr int ButtonGap = 14;
constexpr int MinimumTextWidth = 120;

FontSpec TextFont() {
    return FontSpec{"MS Sans Serif", -11, FontStyle::None, clWindowText};
}
FontSpec CaptionFont() {
    return FontSpec{"MS Sans Serif", -11, FontStyle::Bold, clCaptionText};
}

constexpr unsigned BodyTextFlags = tfLeft | tfWordBreak | tfExpandTabs | tfNoPrefix;

} // namespace

MessageBoxView::MessageBoxView(MessageBoxRequest request, Size screen) : m_Request(std::move(request)) {
    // Measuring text needs a canvas; the target is never painted.
    Image scratch(1, 1);
    PixelCanvas measure(scratch);
    const int maxTextWidth = std::max(MinimumTextWidth, screen.cx / 2);

    measure.SetFont(TextFont());
    Rect text{0, 0, maxTextWidth, 0};
    measure.DrawText(m_Request.text.empty() ? " " : m_Request.text, text, BodyTextFlags | tfCalcRect);
    const int textWidth = std::min(std::max(text.Width(), 1), maxTextWidth);
    const int textHeight = std::max(text.Height(), 1);

    measure.SetFont(CaptionFont());
    const int captionWidth = measure.TextWidth(m_Request.caption) + 2 * Margin;

    const bool hasIcon = m_Request.icon == MessageBoxIcon::Error;
    const int iconSpace = hasIcon ? IconSize + Margin : 0;
    const int clientWidth =
        std::max({Margin + iconSpace + textWidth + Margin, ButtonWidth + 2 * Margin, captionWidth});
    const int bodyHeight = std::max(textHeight, hasIcon ? IconSize : 0);
    const int clientHeight = Margin + bodyHeight + ButtonGap + ButtonHeight + Margin;

    const int width = std::min(clientWidth + 2 * Border, std::max(screen.cx, 1));
    const int height = std::min(clientHeight + CaptionHeight + 2 * Border, std::max(screen.cy, 1));
    m_Bounds = Rect::FromSize((screen.cx - width) / 2, (screen.cy - height) / 2, width, height);

    m_Caption = Rect::FromSize(Border, Border, width - 2 * Border, CaptionHeight);
    const int bodyTop = m_Caption.bottom + Margin;
    if (hasIcon)
        m_Icon = Rect::FromSize(Border + Margin, bodyTop, IconSize, IconSize);
    const int textLeft = Border + Margin + iconSpace;
    // A text shorter than the icon is centred on it.
    const int textTop = bodyTop + (bodyHeight - textHeight) / 2;
    m_Text = Rect{textLeft, textTop, std::max(textLeft, width - Border - Margin), textTop + textHeight};
    m_Button = Rect::FromSize((width - ButtonWidth) / 2, bodyTop + bodyHeight + ButtonGap, ButtonWidth,
                              ButtonHeight);
}

void MessageBoxView::Paint(PixelCanvas& canvas) const {
    const Rect all{0, 0, m_Bounds.Width(), m_Bounds.Height()};
    canvas.FillRect(all, clBtnFace);
    PaintFrame(canvas, all, true);

    canvas.FillRect(m_Caption, clActiveCaption);
    canvas.SetFont(CaptionFont());
    Rect caption{m_Caption.left + 4, m_Caption.top, m_Caption.right - 4, m_Caption.bottom};
    canvas.DrawText(m_Request.caption, caption,
                    tfLeft | tfVCenter | tfSingleLine | tfNoPrefix | tfEndEllipsis);

    if (m_Request.icon == MessageBoxIcon::Error)
        PaintErrorIcon(canvas);

    canvas.SetFont(TextFont());
    Rect text = m_Text;
    canvas.DrawText(m_Request.text, text, BodyTextFlags);

    PaintFrame(canvas, m_Button, true);
    Rect label = m_Button;
    canvas.DrawText("OK", label, tfCenter | tfVCenter | tfSingleLine);
    canvas.DrawFocusRect(Rect{m_Button.left + 4, m_Button.top + 4, m_Button.right - 4, m_Button.bottom - 4});
}

void MessageBoxView::PaintFrame(PixelCanvas& canvas, const Rect& r, bool raised) const {
    const TColor light = raised ? clBtnHighlight : cl3DDkShadow;
    const TColor dark = raised ? cl3DDkShadow : clBtnHighlight;
    canvas.HLine(r.left, r.right - 1, r.top, light);
    canvas.VLine(r.left, r.top, r.bottom - 1, light);
    canvas.HLine(r.left, r.right, r.bottom - 1, dark);
    canvas.VLine(r.right - 1, r.top, r.bottom, dark);
    canvas.HLine(r.left + 1, r.right - 1, r.bottom - 2, clBtnShadow);
    canvas.VLine(r.right - 2, r.top + 1, r.bottom - 1, clBtnShadow);
}

void MessageBoxView::PaintErrorIcon(PixelCanvas& canvas) const {
    // A red disc with a white cross.
    const int size = m_Icon.Width();
    const int centre2 = size - 1; // twice the centre, so odd and even sizes stay symmetric
    const int radius2 = size - 1;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int dx = 2 * x - centre2;
            const int dy = 2 * y - centre2;
            if (dx * dx + dy * dy > radius2 * radius2)
                continue;
            const bool cross = (x == y || x + 1 == y || x == y + 1 || x + y == size - 1 || x + y == size ||
                                x + y == size - 2) &&
                               x > size / 4 && x < size - size / 4 - 1;
            canvas.SetPixel(m_Icon.left + x, m_Icon.top + y, cross ? clWhite : clRed);
        }
    }
}

} // namespace ws::platform
