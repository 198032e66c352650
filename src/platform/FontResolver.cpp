#include "platform/FontResolver.h"

#include "base/Strings.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

namespace ws::platform {

namespace {

constexpr const char* kFallbackFamily = "DejaVu Sans";
constexpr const char* kFallbackRegular = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kFallbackBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Folders with TrueType files that fontconfig usually does not index: the metric-compatible faces
// for the families our layouts name live here.
constexpr const char* kKnownFolders[] = {
    "/usr/share/wine/fonts",
    "/usr/share/fonts/truetype/wine",
    "/usr/local/share/fonts",
    nullptr,
};

const char* AsChars(const FcChar8* s) {
    return reinterpret_cast<const char*>(s);
}
const FcChar8* AsFc(const char* s) {
    return reinterpret_cast<const FcChar8*>(s);
}

bool MatchHasFamily(FcPattern* match, const std::string& family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (SameText(AsChars(name), family))
            return true;
    }
    return false;
}

// fontconfig substitutes freely; only a match that really carries the family counts.
std::optional<FontFile> FromFontconfig(const std::string& family, bool bold, bool italic) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, AsFc(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return std::nullopt;

    std::optional<FontFile> found;
    FcChar8* file = nullptr;
    if (MatchHasFamily(match, family) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        int index = 0;
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        found = FontFile{AsChars(file), index, bold && weight < FC_WEIGHT_DEMIBOLD,
                         italic && slant == FC_SLANT_ROMAN};
    }
    FcPatternDestroy(match);
    return found;
}

struct Candidate {
    std::string path;
    int index = 0;
    std::string family;
    bool bold = false;
    bool italic = false;
    bool scalable = false;
    int strikes = 0;
};

bool IsTrueTypeFile(const std::filesystem::path& path) {
    const std::string ext = LowerCase(path.extension().string());
    return ext == ".ttf" || ext == ".otf" || ext == ".ttc";
}

void AddFaces(FT_Library library, const std::string& path, std::vector<Candidate>& out) {
    FT_Long count = 1;
    for (FT_Long i = 0; i < count; ++i) {
        FT_Face face = nullptr;
        if (FT_New_Face(library, path.c_str(), i, &face) != 0)
            return;
        count = face->num_faces;
        if (face->family_name != nullptr) {
            out.push_back(Candidate{path, static_cast<int>(i), face->family_name,
                                    (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                                    (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0, FT_IS_SCALABLE(face),
                                    face->num_fixed_sizes});
        }
        FT_Done_Face(face);
    }
}

// Every TrueType face in the known folders, read once.
std::vector<Candidate> ScanKnownFolders() {
    std::vector<Candidate> faces;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return faces;
    for (const char* const* folder = kKnownFolders; *folder != nullptr; ++folder) {
        std::error_code ec;
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(*folder, ec)) {
            if (entry.is_regular_file(ec) && IsTrueTypeFile(entry.path()))
                files.push_back(entry.path().string());
        }
        std::sort(files.begin(), files.end()); // directory order is not stable; the choice must be
        for (const auto& file : files)
            AddFaces(library, file, faces);
    }
    FT_Done_FreeType(library);
    return faces;
}

// Style that matches first, then outlines over bitmap strikes, then more strikes.
int Score(const Candidate& c, bool bold, bool italic) {
    return (c.bold == bold ? 8 : 0) + (c.italic == italic ? 4 : 0) + (c.scalable ? 2 : 0);
}

std::optional<FontFile> FromKnownFolders(const std::vector<Candidate>& faces, const std::string& family,
                                         bool bold, bool italic) {
    const Candidate* best = nullptr;
    for (const auto& c : faces) {
        if (!SameText(c.family, family))
            continue;
        if (best == nullptr || Score(c, bold, italic) > Score(*best, bold, italic) ||
            (Score(c, bold, italic) == Score(*best, bold, italic) && c.strikes > best->strikes))
            best = &c;
    }
    if (best == nullptr)
        return std::nullopt;
    return FontFile{best->path, best->index, bold && !best->bold, italic && !best->italic};
}

std::optional<FontFile> FromFallbackPath(bool bold, bool italic) {
    std::error_code ec;
    if (bold && std::filesystem::exists(kFallbackBold, ec))
        return FontFile{kFallbackBold, 0, false, italic};
    if (std::filesystem::exists(kFallbackRegular, ec))
        return FontFile{kFallbackRegular, 0, bold, italic};
    return std::nullopt;
}

class ResolverCache {
public:
    FontFile Resolve(const std::string& family, bool bold, bool italic) {
        std::lock_guard lock(m_Mutex);
        const auto key = std::make_tuple(UpperCase(family), bold, italic);
        if (auto it = m_Resolved.find(key); it != m_Resolved.end())
            return it->second;
        FontFile file = Lookup(family, bold, italic);
        m_Resolved.emplace(key, file);
        return file;
    }

private:
    FontFile Lookup(const std::string& family, bool bold, bool italic) {
        if (auto file = FromFontconfig(family, bold, italic))
            return *file;
        if (!m_Scanned) {
            m_Known = ScanKnownFolders();
            m_Scanned = true;
        }
        if (auto file = FromKnownFolders(m_Known, family, bold, italic))
            return *file;
        if (auto file = FromFontconfig(kFallbackFamily, bold, italic))
            return *file;
        if (auto file = FromFallbackPath(bold, italic))
            return *file;
        throw EFontError(Format("No font file found for \"%s\" nor for the fallback family \"%s\"",
                                family.c_str(), kFallbackFamily));
    }

    std::mutex m_Mutex;
    std::map<std::tuple<std::string, bool, bool>, FontFile> m_Resolved;
    std::vector<Candidate> m_Known;
    bool m_Scanned = false;
};

ResolverCache& Cache() {
    static ResolverCache cache;
    return cache;
}

} // namespace

FontFile FontResolver::Resolve(const std::string& family, bool bold, bool italic) {
    return Cache().Resolve(family, bold, italic);
}

const char* const* FontResolver::KnownFolders() {
    return kKnownFolders;
}

std::string FontFilePath(const FontSpec& font) {
    return FontResolver::Resolve(font.family, HasStyle(font.style, FontStyle::Bold),
                                 HasStyle(font.style, FontStyle::Italic))
        .path;
}

} // namespace ws::platform
