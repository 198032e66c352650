#pragma once

// Finds the font file for a family named in a stored layout. The layouts name families that few
// Linux desktops index ("Tahoma", "MS Sans Serif"); we ask fontconfig for the family itself, then
// look for metric-compatible files in known folders, and fall back to DejaVu Sans so text always
// has a face.

#include "base/Exception.h"
#include "platform/FontSpec.h"

#include <string>

namespace ws::platform {

WS_DECLARE_EXCEPTION(EFontError, Exception)

// One face inside a font file, and what the file lacks of the requested style.
struct FontFile {
    std::string path;
    int index = 0;
    bool syntheticBold = false;   // bold asked for, the file is regular: embolden the glyphs
    bool syntheticItalic = false; // italic asked for, the file is upright: slant the outlines
    friend bool operator==(const FontFile&, const FontFile&) = default;
};

class FontResolver {
public:
    // The file for a family in a style. Results are cached for the life of the process; safe to
    // call from any thread. Throws EFontError when not even the fallback family is installed.
    static FontFile Resolve(const std::string& family, bool bold, bool italic);

    // Folders searched, in order, for families that fontconfig does not know.
    static const char* const* KnownFolders();
};

// The file chosen for a font description (family, bold and italic decide it; size does not).
std::string FontFilePath(const FontSpec& font);

} // namespace ws::platform
