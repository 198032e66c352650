#pragma once

#include <cstdint>
#include <string>

namespace ws {

// A 32-bit colour: $00BBGGRR for a plain colour, $FF0000nn for system colour nn, and two markers.
using TColor = std::int32_t;

constexpr TColor ColorValue(std::uint32_t bits) { return static_cast<TColor>(bits); }

constexpr TColor clBlack = ColorValue(0x00000000);
constexpr TColor clMaroon = ColorValue(0x00000080);
constexpr TColor clGreen = ColorValue(0x00008000);
constexpr TColor clOlive = ColorValue(0x00008080);
constexpr TColor clNavy = ColorValue(0x00800000);
constexpr TColor clPurple = ColorValue(0x00800080);
constexpr TColor clTeal = ColorValue(0x00808000);
constexpr TColor clGray = ColorValue(0x00808080);
constexpr TColor clSilver = ColorValue(0x00C0C0C0);
constexpr TColor clRed = ColorValue(0x000000FF);
constexpr TColor clLime = ColorValue(0x0000FF00);
constexpr TColor clYellow = ColorValue(0x0000FFFF);
constexpr TColor clBlue = ColorValue(0x00FF0000);
constexpr TColor clFuchsia = ColorValue(0x00FF00FF);
constexpr TColor clAqua = ColorValue(0x00FFFF00);
constexpr TColor clWhite = ColorValue(0x00FFFFFF);
constexpr TColor clMoneyGreen = ColorValue(0x00C0DCC0);
constexpr TColor clSkyBlue = ColorValue(0x00F0CAA6);
constexpr TColor clCream = ColorValue(0x00F0FBFF);
constexpr TColor clMedGray = ColorValue(0x00A4A0A0);

constexpr TColor clScrollBar = ColorValue(0xFF000000);
constexpr TColor clBackground = ColorValue(0xFF000001);
constexpr TColor clActiveCaption = ColorValue(0xFF000002);
constexpr TColor clInactiveCaption = ColorValue(0xFF000003);
constexpr TColor clMenu = ColorValue(0xFF000004);
constexpr TColor clWindow = ColorValue(0xFF000005);
constexpr TColor clWindowFrame = ColorValue(0xFF000006);
constexpr TColor clMenuText = ColorValue(0xFF000007);
constexpr TColor clWindowText = ColorValue(0xFF000008);
constexpr TColor clCaptionText = ColorValue(0xFF000009);
constexpr TColor clActiveBorder = ColorValue(0xFF00000A);
constexpr TColor clInactiveBorder = ColorValue(0xFF00000B);
constexpr TColor clAppWorkSpace = ColorValue(0xFF00000C);
constexpr TColor clHighlight = ColorValue(0xFF00000D);
constexpr TColor clHighlightText = ColorValue(0xFF00000E);
constexpr TColor clBtnFace = ColorValue(0xFF00000F);
constexpr TColor clBtnShadow = ColorValue(0xFF000010);
constexpr TColor clGrayText = ColorValue(0xFF000011);
constexpr TColor clBtnText = ColorValue(0xFF000012);
constexpr TColor clInactiveCaptionText = ColorValue(0xFF000013);
constexpr TColor clBtnHighlight = ColorValue(0xFF000014);
constexpr TColor cl3DDkShadow = ColorValue(0xFF000015);
constexpr TColor cl3DLight = ColorValue(0xFF000016);
constexpr TColor clInfoText = ColorValue(0xFF000017);
constexpr TColor clInfoBk = ColorValue(0xFF000018);
constexpr TColor clHotLight = ColorValue(0xFF00001A);
constexpr TColor clGradientActiveCaption = ColorValue(0xFF00001B);
constexpr TColor clGradientInactiveCaption = ColorValue(0xFF00001C);
constexpr TColor clMenuHighlight = ColorValue(0xFF00001D);
constexpr TColor clMenuBar = ColorValue(0xFF00001E);

constexpr TColor clNone = ColorValue(0x1FFFFFFF);
constexpr TColor clDefault = ColorValue(0x20000000);

constexpr bool IsSystemColor(TColor c) { return (static_cast<std::uint32_t>(c) & 0xFF000000u) == 0xFF000000u; }

// "$XXXXXXXX": eight upper-case hexadecimal digits, as colours are written in snapshots.
std::string ColorToHex(TColor c);

} // namespace ws
