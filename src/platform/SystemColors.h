#pragma once

// The system colour scheme and the theme switch. Themes are reported off, so every control paints
// its classic look, and system colours resolve through one fixed scheme: the same pixels on every
// desktop.

#include "base/Color.h"
#include "platform/Image.h"

namespace ws::platform {

// The opaque pixel of a colour: $00BBGGRR gives its red, green and blue; $FF0000nn gives system
// colour nn of the classic scheme (black for an index the scheme does not define). Markers carry
// no colour; ask IsColorMarker first.
Pixel ResolveColor(TColor color);

// clNone and clDefault: values that mean "no colour", which draw nothing.
bool IsColorMarker(TColor color);

// Whether visual themes are active for the process. They never are: drawing is classic.
bool ThemesActive();

} // namespace ws::platform
