#include "platform/TextLayout.h"

#include "platform/PixelCanvas.h"

#include <algorithm>
#include <iterator>

namespace ws::platform {

namespace {

constexpr int kTabChars = 8;

bool IsBlank(char32_t code) {
    return code == U' ' || code == U'\t';
}
bool IsBreak(char32_t code) {
    return code == U'\n' || code == U'\r';
}

// Length of the UTF-8 sequence starting at s[i] and its code point, or 0 when it is not valid.
int DecodeSequence(std::string_view s, size_t i, char32_t& code) {
    const auto lead = static_cast<unsigned char>(s[i]);
    int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
    if (length == 0 || i + static_cast<size_t>(length) > s.size())
        return 0;
    char32_t value = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    code = value;
    return length;
}

} // namespace

std::u32string DecodeText(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t code = static_cast<unsigned char>(text[i]);
        int length = code < 0x80 ? 1 : DecodeSequence(text, i, code);
        if (length == 0) {
            code = static_cast<unsigned char>(text[i]);
            length = 1;
        }
        out.push_back(code);
        i += static_cast<size_t>(length);
    }
    return out;
}

TextLayout::TextLayout(FontFace& face, std::string_view text, int width, unsigned flags)
    : m_Face(face), m_Width(width), m_Flags(flags), m_TabWidth(kTabChars * face.Metrics().avgCharWidth) {
    const std::vector<TextChar> chars = Prefixed(DecodeText(text));
    if (chars.empty())
        return;
    if (m_Flags & tfSingleLine) {
        std::vector<TextChar> line;
        std::copy_if(chars.begin(), chars.end(), std::back_inserter(line),
                     [](const TextChar& c) { return !IsBreak(c.code); });
        AddParagraph(line);
        return;
    }
    // "\r\n", "\n" and "\r" each end a line; a break at the very end adds no empty line.
    std::vector<TextChar> paragraph;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (!IsBreak(chars[i].code)) {
            paragraph.push_back(chars[i]);
            continue;
        }
        if (chars[i].code == U'\r' && i + 1 < chars.size() && chars[i + 1].code == U'\n')
            ++i;
        AddParagraph(paragraph);
        paragraph.clear();
    }
    if (!paragraph.empty() || !IsBreak(chars.back().code))
        AddParagraph(paragraph);
}

int TextLayout::Width() const {
    int widest = 0;
    for (const auto& line : m_Lines)
        widest = std::max(widest, line.width);
    return widest;
}

int TextLayout::Step(int x, const TextChar& c) const {
    if (c.code != U'\t')
        return x + m_Face.Advance(c.code);
    if (!(m_Flags & tfExpandTabs) || m_TabWidth <= 0)
        return x;
    return (x / m_TabWidth + 1) * m_TabWidth;
}

// A single '&' hides itself and underlines the next character; "&&" is one '&'.
std::vector<TextChar> TextLayout::Prefixed(const std::u32string& text) const {
    std::vector<TextChar> out;
    out.reserve(text.size());
    const bool prefixes = !(m_Flags & tfNoPrefix);
    for (size_t i = 0; i < text.size(); ++i) {
        if (!prefixes || text[i] != U'&') {
            out.push_back(TextChar{text[i], false});
            continue;
        }
        if (++i == text.size())
            break;
        out.push_back(TextChar{text[i], text[i] != U'&' && !IsBreak(text[i])});
    }
    return out;
}

void TextLayout::AddParagraph(const std::vector<TextChar>& chars) {
    if (m_Flags & tfWordBreak)
        AddWrapped(chars);
    else
        AddLine(chars);
}

// Greedy breaking at blanks: a word goes to the next line when it would pass the width, and the
// blanks at the break are dropped. A word wider than the line keeps a line of its own and is cut.
void TextLayout::AddWrapped(const std::vector<TextChar>& chars) {
    std::vector<TextChar> line;
    bool lineHasWord = false;
    int x = 0;
    size_t i = 0;
    while (i < chars.size()) {
        size_t wordStart = i;
        while (wordStart < chars.size() && IsBlank(chars[wordStart].code))
            ++wordStart;
        size_t wordEnd = wordStart;
        while (wordEnd < chars.size() && !IsBlank(chars[wordEnd].code))
            ++wordEnd;
        int end = x;
        for (size_t k = i; k < wordEnd; ++k)
            end = Step(end, chars[k]);
        if (lineHasWord && end > m_Width) {
            AddLine(line);
            line.clear();
            lineHasWord = false;
            x = 0;
            if (wordStart == wordEnd)
                return; // only blanks were left
            i = wordStart;
            continue;
        }
        line.insert(line.end(), chars.begin() + static_cast<std::ptrdiff_t>(i),
                    chars.begin() + static_cast<std::ptrdiff_t>(wordEnd));
        lineHasWord = lineHasWord || wordEnd > wordStart;
        x = end;
        i = wordEnd;
    }
    AddLine(line);
}

void TextLayout::AddLine(std::vector<TextChar> chars) {
    TextLine line{std::move(chars), 0};
    line.width = Measure(line.chars);
    if ((m_Flags & tfEndEllipsis) && line.width > m_Width)
        Ellipsize(line);
    m_Lines.push_back(std::move(line));
}

int TextLayout::Measure(const std::vector<TextChar>& chars) const {
    int x = 0;
    for (const auto& c : chars)
        x = Step(x, c);
    return x;
}

// Keeps the longest start of the line that still leaves room for "..." within the width.
void TextLayout::Ellipsize(TextLine& line) const {
    const int dots = 3 * m_Face.Advance(U'.');
    size_t keep = 0;
    int x = 0;
    for (size_t i = 0; i < line.chars.size(); ++i) {
        const int next = Step(x, line.chars[i]);
        if (next + dots > m_Width)
            break;
        x = next;
        keep = i + 1;
    }
    line.chars.resize(keep);
    for (int k = 0; k < 3; ++k)
        line.chars.push_back(TextChar{U'.', false});
    line.width = Measure(line.chars);
}

} // namespace ws::platform
