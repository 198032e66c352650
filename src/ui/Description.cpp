#include "ui/Description.h"

#include "base/Strings.h"

#include <charconv>
#include <cstdint>

namespace ws {

EParserError::EParserError(const std::string& message, int line, int column)
    : Exception(Format("Line %d, column %d: %s", line, column, message.c_str())), m_Line(line),
      m_Column(column) {}

namespace {

enum class TTok { End, Ident, Integer, Float, String, Binary, Symbol };

struct TToken {
    TTok Kind = TTok::End;
    std::string Text; // identifier, string contents, or the symbol
    std::int64_t Int = 0;
    double Float = 0;
    std::vector<std::uint8_t> Bytes;
    int Line = 0;
    int Column = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || IsDigit(c);
}
int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Splits the text into tokens, keeping where each started.
class TLexer {
public:
    explicit TLexer(std::string_view text) : m_Text(text) {}

    std::vector<TToken> Run() {
        std::vector<TToken> tokens;
        for (;;) {
            SkipSpace();
            TToken t;
            t.Line = m_Line;
            t.Column = m_Column;
            if (AtEnd()) {
                tokens.push_back(std::move(t));
                return tokens;
            }
            Lex(t);
            tokens.push_back(std::move(t));
        }
    }

private:
    bool AtEnd() const { return m_Pos >= m_Text.size(); }
    char Peek(size_t ahead = 0) const { return m_Pos + ahead < m_Text.size() ? m_Text[m_Pos + ahead] : '\0'; }
    char Next() {
        const char c = m_Text[m_Pos++];
        if (c == '\n') {
            ++m_Line;
            m_Column = 1;
        } else {
            ++m_Column;
        }
        return c;
    }
    [[noreturn]] void Fail(const std::string& message) const {
        throw EParserError(message, m_Line, m_Column);
    }

    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n'))
            Next();
    }

    void Lex(TToken& t) {
        const char c = Peek();
        if (IsIdentStart(c))
            return LexIdent(t);
        if (IsDigit(c) || c == '-' || c == '$')
            return LexNumber(t);
        if (c == '\'' || c == '#')
            return LexString(t);
        if (c == '{')
            return LexBinary(t);
        if (c == '=' || c == ':' || c == '[' || c == ']' || c == '(' || c == ')' || c == '<' || c == '>' ||
            c == ',' || c == '+') {
            t.Kind = TTok::Symbol;
            t.Text = std::string(1, Next());
            return;
        }
        const auto byte = static_cast<unsigned char>(c);
        Fail(byte >= 0x20 && byte < 0x7F ? Format("unexpected character '%c'", c)
                                         : Format("unexpected character code %u", byte));
    }

    void LexIdent(TToken& t) {
        t.Kind = TTok::Ident;
        for (;;) {
            while (IsIdentChar(Peek()))
                t.Text += Next();
            if (Peek() != '.')
                return;
            t.Text += Next();
            if (!IsIdentStart(Peek()))
                Fail("a name must follow the '.'");
        }
    }

    void LexNumber(TToken& t) {
        const int line = m_Line;
        const int column = m_Column;
        std::string digits;
        const bool negative = Peek() == '-';
        if (negative)
            Next();
        if (Peek() == '$')
            return LexHex(t, negative);
        while (IsDigit(Peek()) || Peek() == '.' || Peek() == 'e' || Peek() == 'E' ||
               ((Peek() == '+' || Peek() == '-') && !digits.empty() &&
                (digits.back() == 'e' || digits.back() == 'E')))
            digits += Next();
        if (digits.empty() || !IsDigit(digits[0]))
            Fail("a number was expected");
        const bool isFloat = digits.find_first_of(".eE") != std::string::npos;
        if (negative)
            digits.insert(digits.begin(), '-');
        const char* first = digits.data();
        const char* last = first + digits.size();
        std::from_chars_result r{};
        if (isFloat) {
            t.Kind = TTok::Float;
            r = std::from_chars(first, last, t.Float);
        } else {
            t.Kind = TTok::Integer;
            r = std::from_chars(first, last, t.Int);
        }
        if (r.ec == std::errc::result_out_of_range)
            throw EParserError("number " + digits + " is out of range", line, column);
        if (r.ec != std::errc() || r.ptr != last)
            throw EParserError("malformed number " + digits, line, column);
    }

    void LexHex(TToken& t, bool negative) {
        Next(); // '$'
        std::uint64_t v = 0;
        int count = 0;
        while (IsHexDigit(Peek())) {
            if (++count > 16)
                Fail("hexadecimal number is out of range");
            v = v << 4 | static_cast<std::uint64_t>(HexValue(Next()));
        }
        if (count == 0)
            Fail("hexadecimal digits must follow '$'");
        if (v > static_cast<std::uint64_t>(INT64_MAX))
            Fail("hexadecimal number is out of range");
        t.Kind = TTok::Integer;
        t.Int = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    }

    // 'text' and #code pieces written next to each other form one string.
    void LexString(TToken& t) {
        t.Kind = TTok::String;
        while (Peek() == '\'' || Peek() == '#') {
            if (Peek() == '\'')
                LexQuoted(t.Text);
            else
                LexCharCode(t.Text);
        }
    }

    void LexQuoted(std::string& out) {
        Next(); // opening quote
        for (;;) {
            if (AtEnd() || Peek() == '\n' || Peek() == '\r')
                Fail("unterminated string");
            const char c = Next();
            if (c != '\'') {
                out += c;
                continue;
            }
            if (Peek() != '\'')
                return;
            out += Next();
        }
    }

    void LexCharCode(std::string& out) {
        Next(); // '#'
        const bool hex = Peek() == '$';
        if (hex)
            Next();
        std::uint32_t code = 0;
        int count = 0;
        while (hex ? IsHexDigit(Peek()) : IsDigit(Peek())) {
            code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(hex ? HexValue(Next()) : Next() - '0');
            if (++count > 7)
                Fail("character code is out of range");
        }
        if (count == 0)
            Fail("a character code must follow '#'");
        // NUL would cut the text short wherever it is handed on; surrogates are no characters.
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            Fail(Format("invalid character code %u", code));
        AppendUtf8(out, code);
    }

    void LexBinary(TToken& t) {
        Next(); // '{'
        t.Kind = TTok::Binary;
        int pending = -1;
        for (;;) {
            SkipSpace();
            if (AtEnd())
                Fail("unterminated binary data");
            const char c = Next();
            if (c == '}')
                break;
            if (!IsHexDigit(c))
                Fail("binary data holds a character that is no hexadecimal digit");
            if (pending < 0) {
                pending = HexValue(c);
            } else {
                t.Bytes.push_back(static_cast<std::uint8_t>(pending << 4 | HexValue(c)));
                pending = -1;
            }
        }
        if (pending >= 0)
            Fail("binary data has an odd number of hexadecimal digits");
    }

    std::string_view m_Text;
    size_t m_Pos = 0;
    int m_Line = 1;
    int m_Column = 1;
};

class TParser {
public:
    explicit TParser(std::vector<TToken> tokens) : m_Tokens(std::move(tokens)) {}

    TDescObject ParseRoot() {
        TDescObject root = ParseObject(0);
        if (Current().Kind != TTok::End)
            Fail(Current(), "text follows the end of the root object");
        return root;
    }

private:
    const TToken& Current() const { return m_Tokens[m_Index]; }
    const TToken& Ahead() const { return m_Tokens[m_Index + 1 < m_Tokens.size() ? m_Index + 1 : m_Index]; }
    const TToken& Take() {
        const TToken& t = m_Tokens[m_Index];
        if (m_Index + 1 < m_Tokens.size())
            ++m_Index;
        return t;
    }
    [[noreturn]] static void Fail(const TToken& t, const std::string& message) {
        throw EParserError(message, t.Line, t.Column);
    }
    static std::string Describe(const TToken& t) {
        switch (t.Kind) {
        case TTok::End:
            return "the end of the text";
        case TTok::Ident:
            return "'" + t.Text + "'";
        case TTok::Symbol:
            return "'" + t.Text + "'";
        case TTok::String:
            return "a string";
        case TTok::Binary:
            return "binary data";
        default:
            return "a number";
        }
    }
    bool IsKeyword(const TToken& t, std::string_view word) const {
        return t.Kind == TTok::Ident && SameText(t.Text, word);
    }
    bool IsSymbol(const TToken& t, char symbol) const {
        return t.Kind == TTok::Symbol && t.Text.size() == 1 && t.Text[0] == symbol;
    }
    void ExpectSymbol(char symbol, const char* what) {
        if (!IsSymbol(Current(), symbol))
            Fail(Current(),
                 Format("'%c' expected %s but %s found", symbol, what, Describe(Current()).c_str()));
        Take();
    }
    std::string ExpectName(const char* what) {
        if (Current().Kind != TTok::Ident || Current().Text.find('.') != std::string::npos ||
            IsKeyword(Current(), "end") || IsKeyword(Current(), "object"))
            Fail(Current(), Format("%s expected but %s found", what, Describe(Current()).c_str()));
        return Take().Text;
    }
    static void CheckDepth(const TToken& t, int depth) {
        if (depth > MaxDescriptionDepth)
            Fail(t, "nested too deeply");
    }
    bool AtObject() const { return IsKeyword(Current(), "object") && !IsSymbol(Ahead(), '='); }

    TDescObject ParseObject(int depth) {
        CheckDepth(Current(), depth);
        if (!IsKeyword(Current(), "object"))
            Fail(Current(), "'object' expected but " + Describe(Current()) + " found");
        TDescObject obj;
        obj.Line = Current().Line;
        obj.Column = Current().Column;
        Take();
        std::string first = ExpectName("a component name or class name");
        if (IsSymbol(Current(), ':')) {
            Take();
            obj.Name = std::move(first);
            obj.ClassName = ExpectName("a class name");
        } else {
            obj.ClassName = std::move(first);
        }
        while (!IsKeyword(Current(), "end")) {
            if (AtObject()) {
                obj.Children.push_back(ParseObject(depth + 1));
                continue;
            }
            if (!obj.Children.empty())
                Fail(Current(), "a property follows a nested object");
            obj.Properties.push_back(ParseProperty(depth));
        }
        Take();
        return obj;
    }

    TPropAssignment ParseProperty(int depth) {
        if (Current().Kind != TTok::Ident)
            Fail(Current(),
                 "property name, 'object' or 'end' expected but " + Describe(Current()) + " found");
        TPropAssignment a;
        a.Line = Current().Line;
        a.Column = Current().Column;
        a.Path = Take().Text;
        ExpectSymbol('=', "after the property name");
        a.Value = ParseValue(depth + 1);
        return a;
    }

    TPropValue ParseValue(int depth) {
        CheckDepth(Current(), depth);
        const TToken& t = Current();
        switch (t.Kind) {
        case TTok::Integer:
            return TPropValue::Integer(Take().Int);
        case TTok::Float:
            return TPropValue::Float(Take().Float);
        case TTok::Binary:
            return TPropValue::Binary(Take().Bytes);
        case TTok::String:
            return ParseString();
        case TTok::Ident:
            return ParseIdent();
        case TTok::Symbol:
            if (IsSymbol(t, '['))
                return ParseSet();
            if (IsSymbol(t, '('))
                return ParseList(depth);
            if (IsSymbol(t, '<'))
                return ParseCollection(depth);
            break;
        case TTok::End:
            break;
        }
        Fail(t, "a value expected but " + Describe(t) + " found");
    }

    TPropValue ParseString() {
        std::string text = Take().Text;
        while (IsSymbol(Current(), '+')) {
            Take();
            if (Current().Kind != TTok::String)
                Fail(Current(), "a string expected after '+' but " + Describe(Current()) + " found");
            text += Take().Text;
        }
        return TPropValue::String(std::move(text));
    }

    TPropValue ParseIdent() {
        std::string name = Take().Text;
        if (SameText(name, "True"))
            return TPropValue::Boolean(true);
        if (SameText(name, "False"))
            return TPropValue::Boolean(false);
        if (SameText(name, "nil"))
            return TPropValue::Nil();
        return TPropValue::Ident(std::move(name));
    }

    TPropValue ParseSet() {
        Take(); // '['
        std::vector<std::string> members;
        if (!IsSymbol(Current(), ']')) {
            for (;;) {
                members.push_back(ExpectName("a set member"));
                if (!IsSymbol(Current(), ','))
                    break;
                Take();
            }
        }
        ExpectSymbol(']', "to close the set");
        return TPropValue::Set(std::move(members));
    }

    TPropValue ParseList(int depth) {
        Take(); // '('
        std::vector<TPropValue> items;
        while (!IsSymbol(Current(), ')')) {
            if (Current().Kind == TTok::End)
                Fail(Current(), "')' expected to close the list");
            items.push_back(ParseValue(depth + 1));
        }
        Take();
        return TPropValue::List(std::move(items));
    }

    TPropValue ParseCollection(int depth) {
        Take(); // '<'
        TPropValue::TItems items;
        while (!IsSymbol(Current(), '>')) {
            if (!IsKeyword(Current(), "item"))
                Fail(Current(), "'item' or '>' expected but " + Describe(Current()) + " found");
            Take();
            std::vector<TPropAssignment> properties;
            while (!IsKeyword(Current(), "end"))
                properties.push_back(ParseProperty(depth + 1));
            Take();
            items.push_back(std::move(properties));
        }
        Take();
        return TPropValue::Collection(std::move(items));
    }

    std::vector<TToken> m_Tokens;
    size_t m_Index = 0;
};

} // namespace

TDescObject ParseDescription(std::string_view text) {
    return TParser(TLexer(text).Run()).ParseRoot();
}

} // namespace ws
