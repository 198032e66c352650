#pragma once

// Breaks a text into the lines DrawText paints: '&' prefixes, explicit line breaks, word breaking,
// tab stops and the end ellipsis. Measuring and drawing share it, so a measured rectangle always
// holds exactly what is drawn.

#include "platform/FontFace.h"

#include <string>
#include <string_view>
#include <vector>

namespace ws::platform {

// Texts are UTF-8; a byte that is not part of a valid sequence stands for itself (Latin-1), so
// no text is ever rejected.
std::u32string DecodeText(std::string_view text);

struct TextChar {
    char32_t code = 0; // '\t' is a tab stop
    bool underline = false;
};

struct TextLine {
    std::vector<TextChar> chars;
    int width = 0;
};

class TextLayout {
public:
    // 'width' is the room for a line; 'flags' are the TextFlags of DrawText.
    TextLayout(FontFace& face, std::string_view text, int width, unsigned flags);

    const std::vector<TextLine>& Lines() const { return m_Lines; }
    int Width() const; // of the widest line
    int LineHeight() const { return m_Face.Metrics().height; }
    int Height() const { return LineHeight() * static_cast<int>(m_Lines.size()); }

    // The pen position after 'c' drawn at x, a position measured from the line's start.
    int Step(int x, const TextChar& c) const;

private:
    std::vector<TextChar> Prefixed(const std::u32string& text) const;
    void AddParagraph(const std::vector<TextChar>& chars);
    void AddWrapped(const std::vector<TextChar>& chars);
    void AddLine(std::vector<TextChar> chars);
    int Measure(const std::vector<TextChar>& chars) const;
    void Ellipsize(TextLine& line) const;

    FontFace& m_Face;
    int m_Width;
    unsigned m_Flags;
    int m_TabWidth;
    std::vector<TextLine> m_Lines;
};

} // namespace ws::platform
