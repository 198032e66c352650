#pragma once

#include "data/FilterExpr.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ws {

enum class TExprToken {
    End,
    Symbol,
    Name,
    Literal,
    LParen,
    RParen,
    EQ,
    NE,
    GE,
    LE,
    GT,
    LT,
    ADD,
    SUB,
    MUL,
    DIV,
    Comma,
    LIKE,
    ISNULL,
    ISNOTNULL,
    IN,
};

// Reads a filter text into the parse tree of a TFilterExpr, typing it against the view's fields.
// Every failure raises EDatabaseError (a failed constant conversion its own EConvertError) and
// leaves nothing behind. Table filters run with the extended syntax off: no arithmetic and no
// function calls.
class TExprParser {
public:
    TExprParser(TFilterExpr& filter, std::string_view text, bool extendedSyntax = false);

    const TExprNode* Root() const { return m_Root; }
    // The expression buffer of the parsed text.
    std::vector<std::uint8_t> FilterData() { return m_Filter.GetFilterData(m_Root); }

    // Parses text against the fields and writes its buffer: what a table view hands the engine.
    static std::vector<std::uint8_t> Build(const TExprFields& fields, std::string_view text,
                                           TFilterExprOptions options);

private:
    // ---- scanning
    void NextToken();
    void SkipBlanks();
    void SkipComment();
    void ScanWord();
    void ScanKeywordIs();
    void ScanName();
    void ScanLiteral();
    void ScanNumber();
    bool QuoteIsPartOfText(std::size_t afterQuote) const;
    std::string ReadLetters();
    std::string TokenForMessage() const;
    bool IsSymbol(const char* word) const;
    bool NextIsLParen();

    // ---- grammar, lowest precedence first
    TExprNode* ParseExpression();
    TExprNode* ParseConjunction();
    TExprNode* ParseNegation();
    TExprNode* ParseComparison();
    TExprNode* ParseInList(TExprNode* left);
    TExprNode* ParseSum();
    TExprNode* ParseProduct();
    TExprNode* ParsePrimary();
    TExprNode* ParseFunction(const std::string& name);

    // ---- typing
    TExprNode* NewLogical(TExprOperator op, TExprNode* left, TExprNode* right);
    TExprNode* NewComparison(TExprOperator op, TExprNode* left, TExprNode* right);
    TExprNode* NewArithmetic(TExprOperator op, TExprNode* left, TExprNode* right);
    void TypeOperands(TExprOperator op, TExprNode* left, TExprNode* right);
    void RequireBoolean(const TExprNode* node) const;
    TExprNode* Nested(TExprNode* node);

    TFilterExpr& m_Filter;
    std::string_view m_Text;
    bool m_ExtendedSyntax;
    std::size_t m_Pos = 0;
    TExprToken m_Token = TExprToken::End;
    TExprToken m_Previous = TExprToken::End;
    std::string m_TokenText;
    bool m_Numeric = false;
    int m_Nesting = 0;
    TExprNode* m_Root = nullptr;
};

} // namespace ws
