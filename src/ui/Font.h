#pragma once

// The font of a control or a canvas, as a stored description writes it (Font.Name, Font.Height,
// Font.Style, Font.Color, Font.Charset).

#include "base/Color.h"
#include "base/EnumSet.h"
#include "platform/FontSpec.h"
#include "ui/Persistent.h"

#include <functional>
#include <string>

namespace ws {

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TEnumSet<TFontStyle>;

constexpr int ANSI_CHARSET = 0;
constexpr int DEFAULT_CHARSET = 1;

class TFont : public TPersistent {
public:
    WS_CLASS_INFO()

    TFont() = default;
    // A font belongs to one control or canvas; copy its state with Assign.
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const std::string& Name() const { return m_Name; }
    void SetName(const std::string& name);
    // Negative: the character (em) height in pixels; positive: the cell height.
    int Height() const { return m_Height; }
    void SetHeight(int height);
    // Points at 96 pixels per inch, derived from Height.
    int Size() const;
    void SetSize(int points);
    TFontStyles Style() const { return m_Style; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return m_Color; }
    void SetColor(TColor color);
    int Charset() const { return m_Charset; }
    void SetCharset(int charset);

    void Assign(const TPersistent& source) override;
    // What the canvas draws with.
    platform::FontSpec PlatformFont() const;

    // Runs after every change (the owning control repaints).
    std::function<void()> OnChange;

    friend bool operator==(const TFont& a, const TFont& b) {
        return a.PlatformFont() == b.PlatformFont() && a.m_Charset == b.m_Charset;
    }

private:
    void Changed();

    std::string m_Name = "MS Sans Serif";
    int m_Height = -11;
    TFontStyles m_Style;
    TColor m_Color = clWindowText;
    int m_Charset = DEFAULT_CHARSET;
};

} // namespace ws
