#include "ui/GraphicsIdents.h"

#include "base/Strings.h"

#include <array>
#include <utility>

namespace ws {

namespace {

struct TColorName {
    const char* Name;
    TColor Color;
};

constexpr std::array<TColorName, 52> kColors{{
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clHotLight", clHotLight},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuBar", clMenuBar},
    {"clNone", clNone},
    {"clDefault", clDefault},
}};

constexpr std::array<std::pair<const char*, int>, 18> kCharsets{{
    {"ANSI_CHARSET", 0},
    {"DEFAULT_CHARSET", 1},
    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},
    {"SHIFTJIS_CHARSET", 128},
    {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},
    {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162},
    {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},
    {"ARABIC_CHARSET", 178},
    {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204},
    {"THAI_CHARSET", 222},
    {"OEM_CHARSET", 255},
}};

} // namespace

std::optional<TColor> ColorFromIdent(std::string_view name) {
    for (const TColorName& entry : kColors) {
        if (SameText(entry.Name, name))
            return entry.Color;
    }
    return std::nullopt;
}

std::string ColorIdent(TColor color) {
    for (const TColorName& entry : kColors) {
        if (entry.Color == color)
            return entry.Name;
    }
    return {};
}

std::optional<int> CharsetFromIdent(std::string_view name) {
    for (const auto& [ident, value] : kCharsets) {
        if (SameText(ident, name))
            return value;
    }
    return std::nullopt;
}

std::optional<std::int64_t> ColorIdentToInt(std::string_view name) {
    if (auto color = ColorFromIdent(name))
        return *color;
    return std::nullopt;
}

std::optional<std::int64_t> CharsetIdentToInt(std::string_view name) {
    if (auto charset = CharsetFromIdent(name))
        return *charset;
    return std::nullopt;
}

} // namespace ws
