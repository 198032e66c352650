#include "ui/Font.h"

#include "ui/GraphicsIdents.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TFont::StaticClassInfo() {
    using C = TFont;
    static const TClassInfo info =
        TClassBuilder<C>("TFont", TPersistent::StaticClassInfo())
            .Integer(
                "Charset", &C::Charset, [](C& f, std::int64_t v) { f.SetCharset(static_cast<int>(v)); },
                CharsetIdentToInt)
            .Integer(
                "Color", &C::Color, [](C& f, std::int64_t v) { f.SetColor(static_cast<TColor>(v)); },
                ColorIdentToInt)
            .Integer("Height", &C::Height, [](C& f, std::int64_t v) { f.SetHeight(static_cast<int>(v)); })
            .String("Name", &C::Name, &C::SetName)
            .Integer("Size", &C::Size, [](C& f, std::int64_t v) { f.SetSize(static_cast<int>(v)); })
            .Set<TFontStyle>("Style", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, &C::Style,
                             &C::SetStyle)
            .Build();
    return info;
}

void TFont::SetName(const std::string& name) {
    if (name == m_Name)
        return;
    m_Name = name;
    Changed();
}

void TFont::SetHeight(int height) {
    if (height == m_Height)
        return;
    m_Height = height;
    Changed();
}

int TFont::Size() const {
    // Rounded as the point size is everywhere else: half a point away from zero.
    const int scaled = -m_Height * 72;
    return scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96;
}

void TFont::SetSize(int points) {
    const int scaled = points * 96;
    SetHeight(-(scaled >= 0 ? (scaled + 36) / 72 : (scaled - 36) / 72));
}

void TFont::SetStyle(TFontStyles style) {
    if (style == m_Style)
        return;
    m_Style = style;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == m_Color)
        return;
    m_Color = color;
    Changed();
}

void TFont::SetCharset(int charset) {
    if (charset == m_Charset)
        return;
    m_Charset = charset;
    Changed();
}

void TFont::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TFont*>(&source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    if (*other == *this)
        return;
    m_Name = other->m_Name;
    m_Height = other->m_Height;
    m_Style = other->m_Style;
    m_Color = other->m_Color;
    m_Charset = other->m_Charset;
    Changed();
}

platform::FontSpec TFont::PlatformFont() const {
    using platform::FontStyle;
    FontStyle style = FontStyle::None;
    if (m_Style.Contains(TFontStyle::fsBold))
        style = style | FontStyle::Bold;
    if (m_Style.Contains(TFontStyle::fsItalic))
        style = style | FontStyle::Italic;
    if (m_Style.Contains(TFontStyle::fsUnderline))
        style = style | FontStyle::Underline;
    if (m_Style.Contains(TFontStyle::fsStrikeOut))
        style = style | FontStyle::StrikeOut;
    return platform::FontSpec{m_Name, m_Height, style, m_Color};
}

void TFont::Changed() {
    if (OnChange)
        OnChange();
}

} // namespace ws
