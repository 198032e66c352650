#pragma once

// A line (or block) of text on its parent: the header band of the main window is one.

#include "ui/Alignment.h"
#include "ui/Control.h"

#include <string>

namespace ws {

enum class TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TControl {
public:
    WS_CLASS_INFO()

    explicit TLabel(TComponent* owner);

    const std::string& Caption() const { return m_Caption; }
    void SetCaption(const std::string& caption);
    TAlignment Alignment() const { return m_Alignment; }
    void SetAlignment(TAlignment alignment);
    TTextLayout Layout() const { return m_Layout; }
    void SetLayout(TTextLayout layout);
    // With AutoSize the label takes the size of its text whenever the text or the font changes.
    bool AutoSize() const { return m_AutoSize; }
    void SetAutoSize(bool autoSize);
    // An opaque label fills its rectangle with its colour before the text is drawn.
    bool Transparent() const { return m_Transparent; }
    void SetTransparent(bool transparent);
    bool WordWrap() const { return m_WordWrap; }
    void SetWordWrap(bool wordWrap);
    // When true an '&' underlines the next character instead of being drawn.
    bool ShowAccelChar() const { return m_ShowAccelChar; }
    void SetShowAccelChar(bool show);

    void Loaded() override;

protected:
    void Paint(TCanvas& canvas) override;
    void FontChanged() override;

private:
    unsigned TextFlags() const;
    void AdjustBounds();

    std::string m_Caption;
    TAlignment m_Alignment = TAlignment::taLeftJustify;
    TTextLayout m_Layout = TTextLayout::tlTop;
    bool m_AutoSize = true;
    bool m_Transparent = false;
    bool m_WordWrap = false;
    bool m_ShowAccelChar = true;
};

} // namespace ws
