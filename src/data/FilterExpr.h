#pragma once

#include "data/FieldType.h"
#include "engine/FilterFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ws {

// What the filter builder needs to know of a view's field: the parser types expressions against
// these, and the buffer names fields by the engine's number. The table view fills the list from its
// field objects, the admin tool from the engine's field descriptions.
struct TExprField {
    std::string FieldName;
    TFieldType DataType = ftUnknown;
    int FieldNo = 0; // the engine's, from 1
    int Size = 0;
    // Stored and internally calculated fields can be filtered on; calculated ones cannot.
    bool Filterable = true;
};

// The fields of one view, in field order, and the view's name for messages that carry it.
struct TExprFields {
    std::string ViewName;
    std::vector<TExprField> Fields;

    // First match in field order, without regard to case; nullptr when there is none.
    const TExprField* Find(std::string_view name) const;

    // The fields a table view declares by default over the engine's field descriptions.
    static TExprFields FromEngine(const std::vector<engine::FieldDesc>& fields, std::string viewName = {});
};

struct TFilterExprOptions {
    bool CaseInsensitive = false;
    bool NoPartialCompare = false;
};

// Operators of the parse tree are those the expression buffer carries.
using TExprOperator = engine::filter::FilterOp;

enum class TExprNodeKind { Field, Const, Operator, Func };
enum class TExprScope { Field, Aggregate, Const };
// What a constant node holds: the NULL word, a text, a number as written, or the integer the
// true and false words stand for.
enum class TExprConstKind { Null, Text, Number, Integer };

struct TExprNode {
    TExprNodeKind Kind = TExprNodeKind::Operator;
    TExprOperator Operator = TExprOperator::None;
    std::string Data; // field name as written, constant text, function name
    TExprConstKind ConstKind = TExprConstKind::Null;
    int IntValue = 0;
    TExprNode* Left = nullptr;
    TExprNode* Right = nullptr;
    std::vector<TExprNode*> Args; // IN lists and function arguments
    TFieldType DataType = ftUnknown;
    int DataSize = 0;
    bool Partial = false; // prefix comparison over the constant's length (lookup filters)
    int Depth = 1;        // levels of the tree under and including this node
    TExprScope Scope = TExprScope::Const;
    const TExprField* Field = nullptr;
};

namespace messages {
inline constexpr const char* ExprInvalidChar = "Invalid filter expression character: '%s'";
inline constexpr const char* ExprInvalidKeyword = "Invalid use of keyword";
inline constexpr const char* ExprNameTerminated = "Unterminated field name";
inline constexpr const char* ExprStringTerminated = "Unterminated string constant";
inline constexpr const char* ExprLParenExpected = "'(' expected but %s found";
inline constexpr const char* ExprRParenExpected = "')' expected but %s found";
inline constexpr const char* ExprRParenOrComma = "')' or ',' expected but %s found";
inline constexpr const char* ExprEmptyInList = "IN predicate list may not be empty";
inline constexpr const char* ExprNoArith = "Arithmetic in filter expressions not supported";
inline constexpr const char* ExprExpected = "Expression expected but %s found";
inline constexpr const char* ExprTermination = "Filter expression incorrectly terminated";
inline constexpr const char* ExprNoFilterField = "Field '%s' cannot be used in a filter expression";
inline constexpr const char* ExprTypeMismatch = "Type mismatch in expression";
inline constexpr const char* ExprIncorrect = "Incorrectly formed filter expression";
inline constexpr const char* ExprNullOnlyEq = "NULL only allowed with '=' and '<>'";
inline constexpr const char* ExprRangeError = "Constant out of range";
inline constexpr const char* ExprBadConstType = "Constant is not correct type %s";
inline constexpr const char* ExprTooComplex = "Filter expression is too complex";
} // namespace messages

// The parse tree of one filter and the writer of its expression buffer. Owns its nodes; the parser
// (ExprParser.h) builds them from text, the lookup filter of Locate directly from fields and values.
class TFilterExpr {
public:
    TFilterExpr(const TExprFields& fields, TFilterExprOptions options);
    TFilterExpr(const TFilterExpr&) = delete;
    TFilterExpr& operator=(const TFilterExpr&) = delete;

    const TExprFields& Fields() const { return m_Fields; }
    TFilterExprOptions Options() const { return m_Options; }

    TExprNode* NewNode(TExprNodeKind kind, TExprOperator op);
    // Resolves the name among the view's fields; raises when it is unknown or not filterable.
    TExprNode* NewFieldNode(const std::string& name);
    TExprNode* NewFieldNode(const TExprField& field, const std::string& nameAsWritten);
    TExprNode* NewConstNode(TExprConstKind kind, const std::string& text, int intValue = 0);

    // The expression buffer for the tree under root.
    std::vector<std::uint8_t> GetFilterData(const TExprNode* root);

    // The lookup filter of Locate: each key field equal to its value, joined by AND from the left.
    // Trailing "*" is taken literally; with partialKey the last comparison is a prefix match.
    static std::vector<std::uint8_t> BuildLookup(const TExprFields& fields,
                                                 const std::vector<const TExprField*>& keys,
                                                 const std::vector<std::string>& values, bool caseInsensitive,
                                                 bool partialKey);

private:
    std::uint16_t WriteNode(const TExprNode* node, TExprOperator parentOp);
    std::uint16_t WriteFieldNode(const TExprNode* node);
    std::uint16_t WriteConstNode(const TExprNode* node);
    std::uint16_t WriteBooleanTest(const TExprNode* field);
    std::uint16_t WriteUnary(TExprOperator op, const TExprNode* child);
    std::uint16_t WriteBinary(TExprOperator op, const TExprNode* left, const TExprNode* right);
    std::uint16_t WriteComparison(const TExprNode* node);
    std::uint16_t WriteList(const std::vector<TExprNode*>& entries, TExprOperator parentOp);
    std::uint16_t WriteFunction(const TExprNode* node);

    std::uint16_t PutNode(engine::filter::NodeClass nodeClass, TExprOperator op);
    void SetOperand(std::uint16_t node, int index, std::uint16_t value);
    // A constant node and its value in the literal area.
    std::uint16_t PutConstant(engine::filter::ConstType type, const void* value, std::size_t size);
    std::uint16_t PutLiteral(const void* data, std::size_t size);
    std::uint16_t PutText(const std::string& text);

    const TExprFields& m_Fields;
    TFilterExprOptions m_Options;
    std::vector<std::unique_ptr<TExprNode>> m_Nodes;
    std::vector<std::uint8_t> m_NodeArea;
    std::vector<std::uint8_t> m_LiteralArea;
};

} // namespace ws
