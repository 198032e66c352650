#include "data/PictureValidator.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace ws {

namespace {

// Pictures come from the database, so they are not trusted: nesting deeper than this (brackets,
// braces and repetitions together) is refused, and one check does at most kStepBudget steps.
constexpr int kMaxDepth = 100;
constexpr long kStepBudget = 1'000'000;

// A byte that is not part of valid UTF-8 is kept as a code unit of its own in this range, so
// that it still counts as a character and is written back unchanged.
constexpr char32_t kRawByteBase = 0xDC00;

std::vector<char32_t> DecodeUtf8(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t length = b < 0x80           ? 1
                              : (b >> 5) == 0x6  ? 2
                              : (b >> 4) == 0xE  ? 3
                              : (b >> 3) == 0x1E ? 4
                                                 : 0;
        char32_t code = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = length != 0 && i + length <= s.size();
        for (size_t k = 1; ok && k < length; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            code = (code << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point are not characters.
        static const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && code >= minimum[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!ok) {
            out.push_back(kRawByteBase + b);
            ++i;
            continue;
        }
        out.push_back(code);
        i += length;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF) {
        out += static_cast<char>(c - kRawByteBase);
    } else if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsAsciiLetter(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsLetter(char32_t c) {
    return IsAsciiLetter(c) || c > 128;
}
char32_t ToUpper(char32_t c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}
char32_t ToLower(char32_t c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}
bool IsAnything(char32_t) {
    return true;
}
char32_t AsItIs(char32_t c) {
    return c;
}

// The picture characters that stand for one character of the value: which characters they take,
// and what a character taken becomes.
struct CharacterClass {
    char32_t symbol;
    bool (*takes)(char32_t);
    char32_t (*becomes)(char32_t);
};

constexpr CharacterClass kCharacterClasses[] = {
    {'#', IsDigit, AsItIs},     // a digit
    {'?', IsLetter, AsItIs},    // a letter
    {'&', IsLetter, ToUpper},   // a letter, in upper case
    {'~', IsLetter, ToLower},   // a letter, in lower case
    {'@', IsAnything, AsItIs},  // any character
    {'!', IsAnything, ToUpper}, // any character, in upper case
};

const CharacterClass* FindCharacterClass(char32_t symbol) {
    for (const CharacterClass& c : kCharacterClasses) {
        if (c.symbol == symbol)
            return &c;
    }
    return nullptr;
}

enum class Kind { Character, Literal, Repeat, Option, Group };

struct Node;
using Sequence = std::vector<Node>;
using Alternatives = std::vector<Sequence>;

struct Node {
    Kind kind = Kind::Literal;
    char32_t literal = 0;
    // Character: what the picture character stands for.
    const CharacterClass* characterClass = nullptr;
    // Repeat: the count, or -1 for "any number".
    long count = -1;
    // Repeat: the repeated term (none when the picture gives none).
    Sequence term;
    // Option and Group.
    Alternatives alternatives;
    // Whether the node can match at the end of the value without a character.
    bool optional = false;
};

bool AllOptional(const Sequence& s) {
    return std::all_of(s.begin(), s.end(), [](const Node& n) { return n.optional; });
}

bool IsOptional(const Node& n) {
    switch (n.kind) {
    case Kind::Option:
        return true;
    case Kind::Repeat:
        return n.count <= 0 || n.term.empty() || n.term.front().optional;
    case Kind::Group:
        return std::any_of(n.alternatives.begin(), n.alternatives.end(), AllOptional);
    default:
        return false;
    }
}

// Escape-aware scan for the forms that make a picture malformed.
bool IsWellFormed(const std::vector<char32_t>& p) {
    if (p.empty())
        return false;
    std::vector<char32_t> open;
    for (size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == ';') {
            if (i + 1 == p.size())
                return false;
            ++i;
        } else if (c == '*' && i + 1 == p.size()) {
            return false;
        } else if (c == '[' || c == '{') {
            open.push_back(c == '[' ? ']' : '}');
        } else if (c == ']' || c == '}') {
            if (open.empty() || open.back() != c)
                return false;
            open.pop_back();
        }
    }
    return open.empty();
}

class Parser {
public:
    explicit Parser(const std::vector<char32_t>& picture) : m_P(picture) {}

    // False when the nesting is too deep.
    bool Parse(Alternatives& out) {
        out = ParseAlternatives(0);
        return !m_TooDeep;
    }

private:
    bool AtEndOfSequence() const {
        return m_Pos >= m_P.size() || m_P[m_Pos] == ',' || m_P[m_Pos] == ']' || m_P[m_Pos] == '}';
    }

    Alternatives ParseAlternatives(int depth) {
        Alternatives alts;
        for (;;) {
            Sequence seq;
            while (!AtEndOfSequence() && !m_TooDeep)
                seq.push_back(ParseTerm(depth));
            alts.push_back(std::move(seq));
            if (m_TooDeep || m_Pos >= m_P.size() || m_P[m_Pos] != ',')
                return alts;
            ++m_Pos;
        }
    }

    Node ParseTerm(int depth) {
        Node n;
        if (depth >= kMaxDepth) {
            m_TooDeep = true;
            return n;
        }
        const char32_t c = m_P[m_Pos++];
        switch (c) {
        case ';':
            n.literal = m_P[m_Pos++];
            break;
        case '*':
            ParseRepeat(n, depth);
            break;
        case '[':
        case '{':
            n.kind = c == '[' ? Kind::Option : Kind::Group;
            n.alternatives = ParseAlternatives(depth + 1);
            ++m_Pos; // the closing bracket, which the syntax check guarantees
            break;
        default:
            n.characterClass = FindCharacterClass(c);
            if (n.characterClass != nullptr)
                n.kind = Kind::Character;
            else
                n.literal = c;
            break;
        }
        n.optional = IsOptional(n);
        return n;
    }

    void ParseRepeat(Node& n, int depth) {
        n.kind = Kind::Repeat;
        bool counted = false;
        long count = 0;
        while (m_Pos < m_P.size() && m_P[m_Pos] >= '0' && m_P[m_Pos] <= '9') {
            // Saturates: no value is that long, and the loop stops at the value's end anyway.
            count = std::min(count * 10 + static_cast<long>(m_P[m_Pos] - '0'), 1'000'000'000L);
            counted = true;
            ++m_Pos;
        }
        n.count = counted ? count : -1;
        if (!AtEndOfSequence())
            n.term.push_back(ParseTerm(depth + 1));
    }

    const std::vector<char32_t>& m_P;
    size_t m_Pos = 0;
    bool m_TooDeep = false;
};

enum class Status { Complete, Incomplete, Error };

struct Outcome {
    Status status = Status::Error;
    size_t pos = 0;
    bool ambiguous = false;
};

// One run of a value against a parsed picture. The copy under test is changed in place (case
// conversions, literals); changes made by an attempt that is abandoned are undone from a journal.
class Matcher {
public:
    explicit Matcher(std::vector<char32_t> value) : m_Text(std::move(value)) {}

    Outcome MatchAlternatives(const Alternatives& alts, size_t pos) {
        bool sawIncomplete = false;
        for (const Sequence& alt : alts) {
            const size_t mark = m_Journal.size();
            const Outcome o = MatchSequence(alt, pos);
            if (o.status == Status::Complete) {
                if (!sawIncomplete)
                    return o;
                // An alternative that ran out of value consumed everything that was left, so a
                // later complete one is only taken when it consumed as much.
                if (o.pos == m_Text.size())
                    return Outcome{Status::Complete, o.pos, true};
                Undo(mark);
                return Outcome{Status::Incomplete, pos, false};
            }
            Undo(mark);
            sawIncomplete = sawIncomplete || o.status == Status::Incomplete;
        }
        return Outcome{sawIncomplete ? Status::Incomplete : Status::Error, pos, false};
    }

    const std::vector<char32_t>& Text() const { return m_Text; }
    bool OutOfSteps() const { return m_Steps > kStepBudget; }

private:
    Outcome MatchSequence(const Sequence& seq, size_t pos) {
        bool ambiguous = false;
        for (const Node& n : seq) {
            const Outcome o = MatchNode(n, pos);
            if (o.status != Status::Complete)
                return o;
            pos = o.pos;
            ambiguous = ambiguous || o.ambiguous;
        }
        return Outcome{Status::Complete, pos, ambiguous};
    }

    Outcome MatchNode(const Node& n, size_t pos) {
        if (++m_Steps > kStepBudget)
            return Outcome{Status::Error, pos, false};
        // The value ended before the picture: fine where the picture may end here.
        if (pos == m_Text.size())
            return Outcome{n.optional ? Status::Complete : Status::Incomplete, pos, false};
        switch (n.kind) {
        case Kind::Repeat:
            return MatchRepeat(n, pos);
        case Kind::Option: {
            const Outcome o = MatchAlternatives(n.alternatives, pos);
            return o.status == Status::Error ? Outcome{Status::Complete, pos, false} : o;
        }
        case Kind::Group:
            return MatchAlternatives(n.alternatives, pos);
        default:
            return MatchCharacter(n, pos);
        }
    }

    Outcome MatchCharacter(const Node& n, size_t pos) {
        const char32_t c = m_Text[pos];
        const CharacterClass* cls = n.characterClass;
        const bool fits = cls != nullptr
                              ? cls->takes(c)
                              : ToUpper(c) == ToUpper(n.literal) || (c == ' ' && pos + 1 == m_Text.size());
        const char32_t taken = cls != nullptr ? cls->becomes(c) : n.literal;
        if (!fits)
            return Outcome{Status::Error, pos, false};
        Set(pos, taken);
        return Outcome{Status::Complete, pos + 1, false};
    }

    // A repetition: as many rounds of the term as the count says, or without a count as many as
    // match, the first that does not ending it.
    Outcome MatchRepeat(const Node& n, size_t pos) {
        if (n.term.empty())
            return Outcome{Status::Complete, pos, false};
        const bool counted = n.count >= 0;
        bool ambiguous = false;
        for (long k = 0; counted ? k < n.count : pos < m_Text.size(); ++k) {
            const size_t mark = m_Journal.size();
            const Outcome o = MatchNode(n.term.front(), pos);
            if (o.status == Status::Error && !counted) {
                Undo(mark);
                break;
            }
            if (o.status != Status::Complete)
                return o;
            ambiguous = ambiguous || o.ambiguous;
            // A round that took nothing would take nothing every further time.
            if (o.pos == pos)
                break;
            pos = o.pos;
        }
        return Outcome{Status::Complete, pos, ambiguous};
    }

    void Set(size_t pos, char32_t c) {
        if (m_Text[pos] == c)
            return;
        m_Journal.emplace_back(pos, m_Text[pos]);
        m_Text[pos] = c;
    }

    void Undo(size_t mark) {
        while (m_Journal.size() > mark) {
            m_Text[m_Journal.back().first] = m_Journal.back().second;
            m_Journal.pop_back();
        }
    }

    std::vector<char32_t> m_Text;
    std::vector<std::pair<size_t, char32_t>> m_Journal;
    long m_Steps = 0;
};

} // namespace

namespace detail {
struct PictureTree {
    Alternatives alternatives;
};
} // namespace detail

TwsPictureValidator::TwsPictureValidator(std::string picture) : m_Picture(std::move(picture)) {
    const std::vector<char32_t> p = DecodeUtf8(m_Picture);
    if (!IsWellFormed(p))
        return;
    auto tree = std::make_shared<detail::PictureTree>();
    if (Parser(p).Parse(tree->alternatives))
        m_Tree = std::move(tree);
}

TPictureMatch TwsPictureValidator::Check(std::string_view value) const {
    TPictureMatch match;
    match.Text = std::string(value);
    if (!m_Tree) {
        match.Result = mrSyntax;
        return match;
    }
    if (value.empty()) {
        match.Result = mrEmpty;
        return match;
    }
    Matcher matcher(DecodeUtf8(value));
    const Outcome o = matcher.MatchAlternatives(m_Tree->alternatives, 0);
    if (matcher.OutOfSteps()) {
        match.Result = mrError;
        return match;
    }
    match.Text.clear();
    for (const char32_t c : matcher.Text())
        AppendUtf8(match.Text, c);
    switch (o.status) {
    case Status::Complete:
        // Characters left over once the picture is used up.
        if (o.pos < matcher.Text().size())
            match.Result = mrError;
        else
            match.Result = o.ambiguous ? mrAmbiguous : mrComplete;
        break;
    case Status::Incomplete:
        match.Result = mrIncomplete;
        break;
    case Status::Error:
        match.Result = mrError;
        break;
    }
    return match;
}

bool TwsPictureValidator::IsValid(std::string_view value) const {
    if (value.empty())
        return true;
    const TMatchResult r = Check(value).Result;
    return r == mrComplete || r == mrAmbiguous;
}

} // namespace ws
