#include "ui/Label.h"

#include "platform/Image.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TLabel::StaticClassInfo() {
    using C = TLabel;
    static const TClassInfo info =
        TClassBuilder<C>("TLabel", TControl::StaticClassInfo())
            .String("Caption", &C::Caption, &C::SetCaption)
            .Enum<TAlignment>("Alignment", AlignmentIdents(), &C::Alignment, &C::SetAlignment)
            .Enum<TTextLayout>("Layout", {"tlTop", "tlCenter", "tlBottom"}, &C::Layout, &C::SetLayout)
            .Boolean("AutoSize", &C::AutoSize, &C::SetAutoSize)
            .Boolean("Transparent", &C::Transparent, &C::SetTransparent)
            .Boolean("WordWrap", &C::WordWrap, &C::SetWordWrap)
            .Boolean("ShowAccelChar", &C::ShowAccelChar, &C::SetShowAccelChar)
            .Build();
    return info;
}

TLabel::TLabel(TComponent* owner) : TControl(owner) {
    SetBounds(0, 0, 65, 13);
}

void TLabel::SetCaption(const std::string& caption) {
    if (caption == m_Caption)
        return;
    m_Caption = caption;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetAlignment(TAlignment alignment) {
    m_Alignment = alignment;
    Invalidate();
}

void TLabel::SetLayout(TTextLayout layout) {
    m_Layout = layout;
    Invalidate();
}

void TLabel::SetAutoSize(bool autoSize) {
    m_AutoSize = autoSize;
    AdjustBounds();
}

void TLabel::SetTransparent(bool transparent) {
    m_Transparent = transparent;
    Invalidate();
}

void TLabel::SetWordWrap(bool wordWrap) {
    m_WordWrap = wordWrap;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetShowAccelChar(bool show) {
    m_ShowAccelChar = show;
    AdjustBounds();
    Invalidate();
}

void TLabel::Loaded() {
    TControl::Loaded();
    AdjustBounds();
}

void TLabel::FontChanged() {
    TControl::FontChanged();
    AdjustBounds();
}

unsigned TLabel::TextFlags() const {
    unsigned flags = platform::tfExpandTabs;
    if (m_Alignment == TAlignment::taCenter)
        flags |= platform::tfCenter;
    else if (m_Alignment == TAlignment::taRightJustify)
        flags |= platform::tfRight;
    if (m_WordWrap)
        flags |= platform::tfWordBreak;
    if (!m_ShowAccelChar)
        flags |= platform::tfNoPrefix;
    return flags;
}

void TLabel::AdjustBounds() {
    // While the stored description is read, sizes come from it; the text is measured once loaded.
    if (!m_AutoSize || IsLoading() || IsDestroying())
        return;
    platform::Image scratch(1, 1);
    platform::PixelCanvas surface(scratch);
    TCanvas canvas(surface);
    canvas.Font().Assign(Font());
    TRect r{0, 0, m_WordWrap ? Width() : 0, 0};
    canvas.DrawText(m_Caption.empty() ? std::string(" ") : m_Caption, r, TextFlags() | platform::tfCalcRect);
    int left = Left();
    if (m_Alignment == TAlignment::taRightJustify && !m_WordWrap)
        left += Width() - r.Width();
    SetBounds(left, Top(), r.Width(), r.Height());
}

void TLabel::Paint(TCanvas& canvas) {
    const TRect client = ClientRect();
    if (!m_Transparent) {
        canvas.Brush().SetColor(Color());
        canvas.FillRect(client);
    }
    TRect text = client;
    const unsigned flags = TextFlags();
    if (m_Layout != TTextLayout::tlTop) {
        TRect measured = client;
        canvas.DrawText(m_Caption, measured, flags | platform::tfCalcRect);
        const int spare = client.Height() - measured.Height();
        text.top += m_Layout == TTextLayout::tlCenter ? spare / 2 : spare;
    }
    canvas.DrawText(m_Caption, text, flags);
}

} // namespace ws
