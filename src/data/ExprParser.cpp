#include "data/ExprParser.h"

#include "base/Locale.h"
#include "base/Strings.h"
#include "base/Utf8.h"
#include "data/DBError.h"

#include <algorithm>
#include <array>

namespace ws {

namespace {

// Characters of a quoted text that are kept; the rest is dropped, never inside a character.
constexpr std::size_t kMaxLiteral = 256;
// Deeper texts are refused before they can exhaust the stack here or in the engine, which walks
// the tree recursively too.
constexpr int kMaxNesting = 100;
constexpr int kMaxDepth = 200;

[[noreturn]] void Fail(const std::string& message) {
    throw EDatabaseError(message);
}

bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool IsWordStart(unsigned char c) {
    return IsLetter(c) || c == '_' || (c >= 0x81 && c <= 0xFE);
}

// Our texts are UTF-8: the bytes of a multi-byte character all continue the word.
bool IsWordChar(unsigned char c) {
    return IsLetter(c) || IsDigit(c) || c == '.' || c == '_' || c == '[' || c == ']' || c >= 0x80;
}

bool IsDateType(TFieldType type) {
    return type == ftDate || type == ftTime || type == ftDateTime;
}

// What a value can be compared with: two operands of different kinds have no order.
enum class TValueKind { Unknown, Text, Number, Date, Time, DateTime };

TValueKind KindOf(const TExprNode* node) {
    if (!node || node->Kind == TExprNodeKind::Func)
        return TValueKind::Unknown;
    switch (node->DataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
        return TValueKind::Text;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftAutoInc:
    case ftLargeint:
    case ftFMTBcd:
        return TValueKind::Number;
    case ftDate:
        return TValueKind::Date;
    case ftTime:
        return TValueKind::Time;
    case ftDateTime:
    case ftTimeStamp:
        return TValueKind::DateTime;
    default:
        return IsBlobFieldType(node->DataType) ? TValueKind::Text : TValueKind::Unknown;
    }
}

bool OnlyTestsForNull(const TExprNode* node) {
    return node && (node->DataType == ftBytes || IsBlobFieldType(node->DataType));
}

bool IsConst(const TExprNode* node) {
    return node && node->Kind == TExprNodeKind::Const;
}
bool IsField(const TExprNode* node) {
    return node && node->Kind == TExprNodeKind::Field;
}

// A constant compared with a field takes the field's type; a text compared with a date takes
// the date's.
void TypeConstant(TExprNode* constant, const TExprNode* other) {
    if (!IsConst(constant) || !other)
        return;
    if (IsField(other)) {
        constant->DataType = other->DataType;
        constant->DataSize = other->DataSize;
    } else if (constant->ConstKind == TExprConstKind::Text && IsDateType(other->DataType)) {
        constant->DataType = other->DataType;
    }
}

// Words after a closing quote that show the quote really closed the literal.
bool IsQueryKeyword(std::string_view word, std::string_view nextWord) {
    static constexpr std::array<std::string_view, 15> single = {
        "AND",    "OR",    "LIKE", "IS",  "NULL",      "SELECT", "FROM",      "WHERE",
        "HAVING", "UNION", "PLAN", "ASC", "ASCENDING", "DESC",   "DESCENDING"};
    for (std::string_view keyword : single) {
        if (SameText(word, keyword))
            return true;
    }
    return ((SameText(word, "GROUP") || SameText(word, "ORDER")) && SameText(nextWord, "BY")) ||
           (SameText(word, "FOR") && SameText(nextWord, "UPDATE"));
}

} // namespace

TExprParser::TExprParser(TFilterExpr& filter, std::string_view text, bool extendedSyntax)
    : m_Filter(filter), m_Text(text), m_ExtendedSyntax(extendedSyntax) {
    NextToken();
    m_Root = ParseExpression();
    if (m_Token != TExprToken::End)
        Fail(messages::ExprTermination);
    RequireBoolean(m_Root);
}

std::vector<std::uint8_t> TExprParser::Build(const TExprFields& fields, std::string_view text,
                                             TFilterExprOptions options) {
    TFilterExpr filter(fields, options);
    TExprParser parser(filter, text);
    return parser.FilterData();
}

// ---- scanning -----------------------------------------------------------------------------------

void TExprParser::SkipBlanks() {
    while (m_Pos < m_Text.size() && static_cast<unsigned char>(m_Text[m_Pos]) < '!')
        ++m_Pos;
}

// One comment may stand before a token; it ends at its first "*", which must close it.
void TExprParser::SkipComment() {
    if (m_Text.substr(m_Pos, 2) != "/*")
        return;
    const std::size_t star = m_Text.find('*', m_Pos + 2);
    const std::size_t after = star == std::string_view::npos ? m_Text.size() : star + 1;
    if (after >= m_Text.size() || m_Text[after] != '/')
        Fail(Format(messages::ExprInvalidChar, std::string(m_Text.substr(after, 1)).c_str()));
    m_Pos = after + 1;
    SkipBlanks();
}

void TExprParser::NextToken() {
    m_Previous = m_Token;
    m_Numeric = false;
    SkipBlanks();
    SkipComment();
    const std::size_t start = m_Pos;
    if (m_Pos >= m_Text.size()) {
        m_Token = TExprToken::End;
        m_TokenText.clear();
        return;
    }
    const auto c = static_cast<unsigned char>(m_Text[m_Pos]);
    const auto next = m_Pos + 1 < m_Text.size() ? m_Text[m_Pos + 1] : '\0';
    if (IsWordStart(c))
        return ScanWord();
    if (c == '[')
        return ScanName();
    if (c == '\'')
        return ScanLiteral();
    const bool afterOperand = m_Previous == TExprToken::Symbol || m_Previous == TExprToken::Name ||
                              m_Previous == TExprToken::Literal || m_Previous == TExprToken::RParen;
    if (c == '-' && afterOperand) {
        m_Token = TExprToken::SUB;
    } else if (IsDigit(c) || c == '-') {
        return ScanNumber();
    } else if (c == '<' && (next == '=' || next == '>')) {
        m_Token = next == '=' ? TExprToken::LE : TExprToken::NE;
        ++m_Pos;
    } else if (c == '>' && next == '=') {
        m_Token = TExprToken::GE;
        ++m_Pos;
    } else {
        switch (c) {
        case '(':
            m_Token = TExprToken::LParen;
            break;
        case ')':
            m_Token = TExprToken::RParen;
            break;
        case ',':
            m_Token = TExprToken::Comma;
            break;
        case '=':
            m_Token = TExprToken::EQ;
            break;
        case '+':
            m_Token = TExprToken::ADD;
            break;
        case '*':
            m_Token = TExprToken::MUL;
            break;
        case '/':
            m_Token = TExprToken::DIV;
            break;
        case '<':
            m_Token = TExprToken::LT;
            break;
        case '>':
            m_Token = TExprToken::GT;
            break;
        default:
            Fail(Format(messages::ExprInvalidChar, std::string(1, static_cast<char>(c)).c_str()));
        }
    }
    ++m_Pos;
    m_TokenText = std::string(m_Text.substr(start, m_Pos - start));
}

void TExprParser::ScanWord() {
    const std::size_t start = m_Pos;
    while (m_Pos < m_Text.size() && IsWordChar(static_cast<unsigned char>(m_Text[m_Pos])))
        ++m_Pos;
    m_TokenText = std::string(m_Text.substr(start, m_Pos - start));
    if (SameText(m_TokenText, "LIKE"))
        m_Token = TExprToken::LIKE;
    else if (SameText(m_TokenText, "IN"))
        m_Token = TExprToken::IN;
    else if (SameText(m_TokenText, "IS"))
        ScanKeywordIs();
    else
        m_Token = TExprToken::Symbol;
}

std::string TExprParser::ReadLetters() {
    SkipBlanks();
    const std::size_t start = m_Pos;
    while (m_Pos < m_Text.size() && IsLetter(static_cast<unsigned char>(m_Text[m_Pos])))
        ++m_Pos;
    return std::string(m_Text.substr(start, m_Pos - start));
}

void TExprParser::ScanKeywordIs() {
    const std::string word = ReadLetters();
    if (SameText(word, "NULL")) {
        m_Token = TExprToken::ISNULL;
    } else if (SameText(word, "NOT") && SameText(ReadLetters(), "NULL")) {
        m_Token = TExprToken::ISNOTNULL;
    } else {
        Fail(messages::ExprInvalidKeyword);
    }
    m_TokenText = m_Token == TExprToken::ISNULL ? "IS NULL" : "IS NOT NULL";
}

void TExprParser::ScanName() {
    const std::size_t close = m_Text.find(']', m_Pos + 1);
    if (close == std::string_view::npos)
        Fail(messages::ExprNameTerminated);
    m_Token = TExprToken::Name;
    m_TokenText = std::string(m_Text.substr(m_Pos + 1, close - m_Pos - 1));
    m_Pos = close + 1;
}

// A quote that another quote follows later closes the literal only when a keyword (or no word)
// comes after it: in 'O'Brien' the inner quote belongs to the text.
bool TExprParser::QuoteIsPartOfText(std::size_t afterQuote) const {
    if (m_Text.find('\'', afterQuote) == std::string_view::npos)
        return false;
    std::size_t p = afterQuote;
    while (p < m_Text.size() && (static_cast<unsigned char>(m_Text[p]) < '!' || m_Text[p] == ')'))
        ++p;
    if (p >= m_Text.size() || !IsWordStart(static_cast<unsigned char>(m_Text[p])))
        return false;
    const auto readWord = [this](std::size_t& at) {
        const std::size_t start = at;
        while (at < m_Text.size() && IsWordChar(static_cast<unsigned char>(m_Text[at])))
            ++at;
        return m_Text.substr(start, at - start);
    };
    const std::string_view word = readWord(p);
    while (p < m_Text.size() && static_cast<unsigned char>(m_Text[p]) < '!')
        ++p;
    const std::string_view nextWord = readWord(p);
    return !IsQueryKeyword(word, nextWord);
}

void TExprParser::ScanLiteral() {
    std::string value;
    std::size_t p = m_Pos + 1;
    for (;;) {
        // A zero byte would cut the text short in the buffer, so it cannot stand inside a literal.
        if (p >= m_Text.size() || m_Text[p] == '\0')
            Fail(messages::ExprStringTerminated);
        const char c = m_Text[p++];
        if (c != '\'') {
            value += c;
            continue;
        }
        if (p < m_Text.size() && m_Text[p] == '\'') {
            value += '\'';
            ++p;
            continue;
        }
        if (!QuoteIsPartOfText(p))
            break;
        value += '\'';
    }
    m_Pos = p;
    m_Token = TExprToken::Literal;
    m_TokenText = std::string(Utf8Left(value, kMaxLiteral));
}

void TExprParser::ScanNumber() {
    const char separator = FormatSettings().DecimalSeparator;
    const std::size_t start = m_Pos;
    while (m_Pos < m_Text.size()) {
        const char c = m_Text[m_Pos];
        if (!IsDigit(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != 'E' && c != 'e' &&
            c != separator)
            break;
        ++m_Pos;
    }
    // With a decimal comma, "IN (1, 2)" must still read two numbers.
    if (separator == ',' && m_Pos - start > 1 && m_Text[m_Pos - 1] == ',' && m_Pos < m_Text.size() &&
        m_Text[m_Pos] == ' ')
        --m_Pos;
    m_Token = TExprToken::Literal;
    m_Numeric = true;
    m_TokenText = std::string(m_Text.substr(start, m_Pos - start));
}

std::string TExprParser::TokenForMessage() const {
    return m_Token == TExprToken::End ? std::string("nothing") : "'" + m_TokenText + "'";
}

bool TExprParser::IsSymbol(const char* word) const {
    return m_Token == TExprToken::Symbol && SameText(m_TokenText, word);
}

bool TExprParser::NextIsLParen() {
    std::size_t p = m_Pos;
    while (p < m_Text.size() && static_cast<unsigned char>(m_Text[p]) < '!')
        ++p;
    return p < m_Text.size() && m_Text[p] == '(';
}

// ---- grammar ------------------------------------------------------------------------------------

TExprNode* TExprParser::ParseExpression() {
    if (++m_Nesting > kMaxNesting)
        Fail(messages::ExprTooComplex);
    TExprNode* left = ParseConjunction();
    while (IsSymbol("OR")) {
        NextToken();
        left = NewLogical(TExprOperator::Or, left, ParseConjunction());
    }
    --m_Nesting;
    return left;
}

TExprNode* TExprParser::ParseConjunction() {
    TExprNode* left = ParseNegation();
    while (IsSymbol("AND")) {
        NextToken();
        left = NewLogical(TExprOperator::And, left, ParseNegation());
    }
    return left;
}

// NOT binds looser than a comparison, and a second NOT is a field name.
TExprNode* TExprParser::ParseNegation() {
    if (!IsSymbol("NOT"))
        return ParseComparison();
    NextToken();
    return NewLogical(TExprOperator::Not, ParseComparison(), nullptr);
}

TExprNode* TExprParser::ParseComparison() {
    TExprNode* left = ParseSum();
    TExprOperator op = TExprOperator::None;
    switch (m_Token) {
    case TExprToken::EQ:
        op = TExprOperator::Equal;
        break;
    case TExprToken::NE:
        op = TExprOperator::NotEqual;
        break;
    case TExprToken::GE:
        op = TExprOperator::GreaterEqual;
        break;
    case TExprToken::LE:
        op = TExprOperator::LessEqual;
        break;
    case TExprToken::GT:
        op = TExprOperator::Greater;
        break;
    case TExprToken::LT:
        op = TExprOperator::Less;
        break;
    case TExprToken::LIKE:
        op = TExprOperator::Like;
        break;
    case TExprToken::ISNULL:
    case TExprToken::ISNOTNULL: {
        TExprNode* node = m_Filter.NewNode(TExprNodeKind::Operator, m_Token == TExprToken::ISNULL
                                                                        ? TExprOperator::IsBlank
                                                                        : TExprOperator::NotBlank);
        node->Left = left;
        node->DataType = ftBoolean;
        NextToken();
        return Nested(node);
    }
    case TExprToken::IN:
        NextToken();
        return ParseInList(left);
    default:
        return left;
    }
    NextToken();
    return NewComparison(op, left, ParseSum());
}

TExprNode* TExprParser::ParseInList(TExprNode* left) {
    if (m_Token != TExprToken::LParen)
        Fail(Format(messages::ExprLParenExpected, TokenForMessage().c_str()));
    NextToken();
    if (m_Token == TExprToken::RParen)
        Fail(messages::ExprEmptyInList);
    TExprNode* node = m_Filter.NewNode(TExprNodeKind::Operator, TExprOperator::In);
    node->Left = left;
    node->DataType = ftBoolean;
    for (;;) {
        TExprNode* entry = ParseExpression();
        TypeOperands(TExprOperator::In, left, entry);
        node->Args.push_back(entry);
        if (m_Token == TExprToken::RParen)
            break;
        if (m_Token == TExprToken::End)
            Fail(Format(messages::ExprRParenExpected, TokenForMessage().c_str()));
        if (m_Token != TExprToken::Comma)
            Fail(Format(messages::ExprRParenOrComma, TokenForMessage().c_str()));
        NextToken();
    }
    NextToken();
    return Nested(node);
}

TExprNode* TExprParser::ParseSum() {
    TExprNode* left = ParseProduct();
    while (m_Token == TExprToken::ADD || m_Token == TExprToken::SUB) {
        if (!m_ExtendedSyntax)
            Fail(messages::ExprNoArith);
        const TExprOperator op = m_Token == TExprToken::ADD ? TExprOperator::Add : TExprOperator::Subtract;
        NextToken();
        left = NewArithmetic(op, left, ParseProduct());
    }
    return left;
}

TExprNode* TExprParser::ParseProduct() {
    TExprNode* left = ParsePrimary();
    while (m_Token == TExprToken::MUL || m_Token == TExprToken::DIV) {
        if (!m_ExtendedSyntax)
            Fail(messages::ExprNoArith);
        const TExprOperator op = m_Token == TExprToken::MUL ? TExprOperator::Multiply : TExprOperator::Divide;
        NextToken();
        left = NewArithmetic(op, left, ParsePrimary());
    }
    return left;
}

TExprNode* TExprParser::ParsePrimary() {
    TExprNode* node = nullptr;
    const std::string text = m_TokenText;
    switch (m_Token) {
    case TExprToken::Symbol:
        if (SameText(text, "NULL"))
            node = m_Filter.NewConstNode(TExprConstKind::Null, text);
        else if (SameText(text, "True") || SameText(text, "False"))
            node = m_Filter.NewConstNode(TExprConstKind::Integer, text, SameText(text, "True") ? 1 : 0);
        else if (m_ExtendedSyntax && NextIsLParen())
            return ParseFunction(text);
        else
            node = m_Filter.NewFieldNode(text);
        break;
    case TExprToken::Name:
        node = m_Filter.NewFieldNode(text);
        break;
    case TExprToken::Literal:
        node = m_Filter.NewConstNode(m_Numeric ? TExprConstKind::Number : TExprConstKind::Text, text);
        break;
    case TExprToken::LParen:
        NextToken();
        node = ParseExpression();
        if (m_Token != TExprToken::RParen)
            Fail(Format(messages::ExprRParenExpected, TokenForMessage().c_str()));
        break;
    default:
        Fail(Format(messages::ExprExpected, TokenForMessage().c_str()));
    }
    NextToken();
    return node;
}

TExprNode* TExprParser::ParseFunction(const std::string& name) {
    TExprNode* node = m_Filter.NewNode(TExprNodeKind::Func, TExprOperator::Function);
    node->Data = name;
    NextToken(); // the name
    NextToken(); // "("
    while (m_Token != TExprToken::RParen) {
        node->Args.push_back(ParseExpression());
        if (m_Token == TExprToken::Comma)
            NextToken();
        else if (m_Token != TExprToken::RParen)
            Fail(Format(messages::ExprRParenOrComma, TokenForMessage().c_str()));
    }
    NextToken();
    return Nested(node);
}

// ---- typing -------------------------------------------------------------------------------------

void TExprParser::RequireBoolean(const TExprNode* node) const {
    if (OnlyTestsForNull(node))
        Fail(messages::ExprTypeMismatch);
    const bool boolean = node->DataType == ftBoolean &&
                         (node->Kind == TExprNodeKind::Operator || node->Kind == TExprNodeKind::Field);
    if (!boolean)
        Fail(messages::ExprIncorrect);
}

// AND, OR and NOT only combine conditions: "DateOffSet AND IsActive" would hand the engine a
// number where it needs a truth value.
TExprNode* TExprParser::NewLogical(TExprOperator op, TExprNode* left, TExprNode* right) {
    RequireBoolean(left);
    if (right)
        RequireBoolean(right);
    TExprNode* node = m_Filter.NewNode(TExprNodeKind::Operator, op);
    node->Left = left;
    node->Right = right;
    node->DataType = ftBoolean;
    return Nested(node);
}

TExprNode* TExprParser::NewComparison(TExprOperator op, TExprNode* left, TExprNode* right) {
    TypeOperands(op, left, right);
    TExprNode* node = m_Filter.NewNode(TExprNodeKind::Operator, op);
    node->Left = left;
    node->Right = right;
    node->DataType = ftBoolean;
    return Nested(node);
}

TExprNode* TExprParser::NewArithmetic(TExprOperator op, TExprNode* left, TExprNode* right) {
    if (OnlyTestsForNull(left) || OnlyTestsForNull(right))
        Fail(messages::ExprTypeMismatch);
    TExprNode* node = m_Filter.NewNode(TExprNodeKind::Operator, op);
    node->Left = left;
    node->Right = right;
    node->DataType = ftFloat;
    return Nested(node);
}

void TExprParser::TypeOperands(TExprOperator op, TExprNode* left, TExprNode* right) {
    // Blobs and bytes can only be tested for a value, and a blob matched with LIKE.
    const bool blobLike = op == TExprOperator::Like && left && IsBlobFieldType(left->DataType);
    if ((OnlyTestsForNull(left) && !blobLike) || OnlyTestsForNull(right))
        Fail(messages::ExprTypeMismatch);
    TypeConstant(right, left);
    TypeConstant(left, right);
    if (blobLike && IsConst(right))
        right->DataType = ftString;
    const TValueKind l = KindOf(left);
    const TValueKind r = KindOf(right);
    const bool known = l != TValueKind::Unknown && r != TValueKind::Unknown;
    const auto notText = [](TValueKind k) { return k != TValueKind::Text && k != TValueKind::Unknown; };
    if ((known && l != r) || (op == TExprOperator::Like && (notText(l) || notText(r))))
        Fail(messages::ExprTypeMismatch);
}

TExprNode* TExprParser::Nested(TExprNode* node) {
    for (const TExprNode* child : {node->Left, node->Right})
        node->Depth = std::max(node->Depth, child ? child->Depth + 1 : 1);
    for (const TExprNode* arg : node->Args)
        node->Depth = std::max(node->Depth, arg->Depth + 1);
    if (node->Depth > kMaxDepth)
        Fail(messages::ExprTooComplex);
    return node;
}

} // namespace ws
