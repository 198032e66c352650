#include "data/FilterExpr.h"

#include "base/Convert.h"
#include "base/DateTime.h"
#include "base/Strings.h"
#include "base/Utf8.h"
#include "data/DBError.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace ws {

namespace {

// Node classes of the expression buffer.
constexpr std::uint32_t kUnaryNode = 1;
constexpr std::uint32_t kBinaryNode = 2;
constexpr std::uint32_t kCompareNode = 3;
constexpr std::uint32_t kFieldNode = 4;
constexpr std::uint32_t kConstNode = 5;
constexpr std::uint32_t kFunctionNode = 10;
constexpr std::uint32_t kListNode = 11;

constexpr std::uint16_t kBufferVersion = 2;
constexpr std::uint16_t kHeaderSize = 10;
constexpr std::size_t kNodeHeaderSize = 8;
// Characters a text constant keeps in the expression buffer.
constexpr std::size_t kMaxConstText = 255;

[[noreturn]] void Fail(const std::string& message) {
    throw EDatabaseError(message);
}

bool IsTextType(TFieldType type) {
    return type == ftString || type == ftFixedChar || type == ftWideString || type == ftGuid;
}

std::uint16_t EngineTypeCode(TFieldType type) {
    if (IsTextType(type))
        return 1;
    if (IsBlobFieldType(type))
        return 3;
    switch (type) {
    case ftDate:
        return 2;
    case ftBoolean:
        return 4;
    case ftSmallint:
        return 5;
    case ftInteger:
    case ftAutoInc:
        return 6;
    case ftFloat:
    case ftCurrency:
        return 7;
    case ftBCD:
    case ftFMTBcd:
        return 8;
    case ftBytes:
        return 9;
    case ftTime:
        return 10;
    case ftDateTime:
        return 11;
    case ftWord:
        return 12;
    case ftVarBytes:
        return 15;
    case ftLargeint:
        return 18;
    case ftTimeStamp:
        return 24;
    default:
        return 0;
    }
}

bool IsComparison(TExprOperator op) {
    return op >= TExprOperator::Equal && op <= TExprOperator::LessEqual;
}

TExprOperator Mirror(TExprOperator op) {
    switch (op) {
    case TExprOperator::Greater:
        return TExprOperator::Less;
    case TExprOperator::Less:
        return TExprOperator::Greater;
    case TExprOperator::GreaterEqual:
        return TExprOperator::LessEqual;
    case TExprOperator::LessEqual:
        return TExprOperator::GreaterEqual;
    default:
        return op;
    }
}

// The constant's text for conversions: the true and false words convert as the integers they are.
std::string ConstText(const TExprNode& node) {
    return node.ConstKind == TExprConstKind::Integer ? IntToStr(node.IntValue) : node.Data;
}

std::int32_t ConstInteger(const TExprNode& node) {
    return node.ConstKind == TExprConstKind::Integer ? node.IntValue : StrToInt(node.Data);
}

bool ConstTruth(const TExprNode& node) {
    if (node.ConstKind == TExprConstKind::Integer)
        return node.IntValue != 0;
    if (SameText(node.Data, "True"))
        return true;
    if (SameText(node.Data, "False"))
        return false;
    double number = 0;
    if (TryStrToFloat(node.Data, number))
        return number != 0;
    throw EConvertError(Format("'%s' is not a valid boolean value", node.Data.c_str()));
}

template <class T>
std::vector<std::uint8_t> Bytes(T value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

std::int32_t MSecsOfDay(TDateTime value) {
    const TimeParts t = DecodeTime(value);
    return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.msec;
}

// The constant's value in the engine's encoding for the node's type.
std::vector<std::uint8_t> EncodeConstant(const TExprNode& node) {
    const TFieldType type = node.DataType;
    if (IsTextType(type)) {
        const std::string text(Utf8Left(ConstText(node), kMaxConstText));
        return std::vector<std::uint8_t>(text.c_str(), text.c_str() + text.size() + 1);
    }
    switch (type) {
    case ftBoolean:
        return Bytes<std::uint16_t>(ConstTruth(node) ? 1 : 0);
    case ftSmallint:
    case ftWord: {
        const std::int32_t value = ConstInteger(node);
        const bool small = type == ftSmallint;
        if (small ? (value < -32768 || value > 32767) : (value < 0 || value > 65535))
            Fail(messages::ExprRangeError);
        return small ? Bytes(static_cast<std::int16_t>(value)) : Bytes(static_cast<std::uint16_t>(value));
    }
    case ftInteger:
    case ftAutoInc:
        return Bytes(ConstInteger(node));
    case ftFloat:
    case ftCurrency:
        return Bytes(StrToFloat(ConstText(node)));
    case ftDate:
        return Bytes(DateToDayNumber(StrToDate(ConstText(node))));
    case ftTime:
        return Bytes(MSecsOfDay(StrToTime(ConstText(node))));
    case ftDateTime: {
        const TDateTime value = StrToDateTime(ConstText(node));
        return Bytes(static_cast<double>(DateToDayNumber(value)) * MSecsPerDay + MSecsOfDay(value));
    }
    default:
        // Our engine has no decimal or timestamp records, so such constants are refused like
        // every other type it cannot compare.
        Fail(Format(messages::ExprBadConstType, std::string(FieldTypeName(type)).c_str()));
    }
}

template <class T>
void PutValue(std::vector<std::uint8_t>& area, std::size_t at, T value) {
    std::memcpy(area.data() + at, &value, sizeof(T));
}

} // namespace

const TExprField* TExprFields::Find(std::string_view name) const {
    for (const TExprField& field : Fields) {
        if (SameText(field.FieldName, name))
            return &field;
    }
    return nullptr;
}

TFilterExpr::TFilterExpr(const TExprFields& fields, TFilterExprOptions options)
    : m_Fields(fields), m_Options(options) {}

TExprNode* TFilterExpr::NewNode(TExprNodeKind kind, TExprOperator op) {
    m_Nodes.push_back(std::make_unique<TExprNode>());
    TExprNode* node = m_Nodes.back().get();
    node->Kind = kind;
    node->Operator = op;
    return node;
}

TExprNode* TFilterExpr::NewFieldNode(const std::string& name) {
    const TExprField* field = m_Fields.Find(name);
    if (!field) {
        const std::string message = Format(messages::FieldNotFound, name.c_str());
        Fail(m_Fields.ViewName.empty() ? message : m_Fields.ViewName + ": " + message);
    }
    if (!field->Filterable)
        Fail(Format(messages::ExprNoFilterField, name.c_str()));
    return NewFieldNode(*field, name);
}

TExprNode* TFilterExpr::NewFieldNode(const TExprField& field, const std::string& nameAsWritten) {
    TExprNode* node = NewNode(TExprNodeKind::Field, TExprOperator::FieldRef);
    node->Data = nameAsWritten;
    node->Field = &field;
    node->DataType = field.DataType;
    node->DataSize = field.Size;
    node->Scope = TExprScope::Field;
    return node;
}

TExprNode* TFilterExpr::NewConstNode(TExprConstKind kind, const std::string& text, int intValue) {
    TExprNode* node = NewNode(TExprNodeKind::Const, TExprOperator::Constant);
    node->ConstKind = kind;
    node->Data = text;
    node->IntValue = intValue;
    node->Scope = TExprScope::Const;
    if (kind == TExprConstKind::Text)
        node->DataType = ftString;
    else if (kind == TExprConstKind::Number)
        node->DataType = ftFloat;
    else if (kind == TExprConstKind::Integer)
        node->DataType = ftBoolean;
    return node;
}

std::vector<std::uint8_t> TFilterExpr::GetFilterData(const TExprNode* root) {
    m_NodeArea.clear();
    m_LiteralArea.clear();
    WriteNode(root, TExprOperator::None);
    const std::size_t total = kHeaderSize + m_NodeArea.size() + m_LiteralArea.size();
    if (total > std::numeric_limits<std::uint16_t>::max())
        Fail(messages::ExprTooComplex);
    std::vector<std::uint8_t> buffer(kHeaderSize);
    PutValue<std::uint16_t>(buffer, 0, kBufferVersion);
    PutValue<std::uint16_t>(buffer, 2, static_cast<std::uint16_t>(total));
    PutValue<std::uint16_t>(buffer, 4, 0xFFFF);
    PutValue<std::uint16_t>(buffer, 6, kHeaderSize);
    PutValue<std::uint16_t>(buffer, 8, static_cast<std::uint16_t>(kHeaderSize + m_NodeArea.size()));
    buffer.insert(buffer.end(), m_NodeArea.begin(), m_NodeArea.end());
    buffer.insert(buffer.end(), m_LiteralArea.begin(), m_LiteralArea.end());
    return buffer;
}

std::uint16_t TFilterExpr::WriteNode(const TExprNode* node, TExprOperator parentOp) {
    switch (node->Kind) {
    case TExprNodeKind::Field: {
        const bool logical = parentOp == TExprOperator::None || parentOp == TExprOperator::Not ||
                             parentOp == TExprOperator::And || parentOp == TExprOperator::Or;
        return logical && node->DataType == ftBoolean ? WriteBooleanTest(node) : WriteFieldNode(node);
    }
    case TExprNodeKind::Const:
        return WriteConstNode(node);
    case TExprNodeKind::Func:
        return WriteFunction(node);
    case TExprNodeKind::Operator:
        break;
    }
    switch (node->Operator) {
    case TExprOperator::Not:
    case TExprOperator::IsBlank:
    case TExprOperator::NotBlank:
        return WriteUnary(node->Operator, node->Left);
    case TExprOperator::In: {
        const std::uint16_t at = PutNode(kBinaryNode, node->Operator, 2);
        SetOperand(at, 0, WriteNode(node->Left, node->Operator));
        SetOperand(at, 1, WriteList(node->Args, node->Operator));
        return at;
    }
    default:
        if (IsComparison(node->Operator) || node->Operator == TExprOperator::Like)
            return WriteComparison(node);
        return WriteBinary(node->Operator, node->Left, node->Right);
    }
}

std::uint16_t TFilterExpr::WriteFieldNode(const TExprNode* node) {
    const std::uint16_t at = PutNode(kFieldNode, TExprOperator::FieldRef, 2);
    SetOperand(at, 0, static_cast<std::uint16_t>(node->Field ? node->Field->FieldNo : 0));
    SetOperand(at, 1, PutText(node->Data));
    return at;
}

std::uint16_t TFilterExpr::WriteConstNode(const TExprNode* node) {
    if (node->ConstKind == TExprConstKind::Null)
        Fail(messages::ExprNullOnlyEq);
    const std::vector<std::uint8_t> value = EncodeConstant(*node);
    const std::uint16_t at = PutNode(kConstNode, TExprOperator::Constant, 3);
    SetOperand(at, 0, EngineTypeCode(node->DataType));
    SetOperand(at, 1, static_cast<std::uint16_t>(value.size()));
    SetOperand(at, 2, PutLiteral(value.data(), value.size()));
    return at;
}

// A bare boolean field means "the field is not false".
std::uint16_t TFilterExpr::WriteBooleanTest(const TExprNode* field) {
    const std::uint16_t at = PutNode(kBinaryNode, TExprOperator::NotEqual, 2);
    SetOperand(at, 0, WriteFieldNode(field));
    const std::uint16_t falseWord = 0;
    const std::uint16_t constant = PutNode(kConstNode, TExprOperator::Constant, 3);
    SetOperand(constant, 0, EngineTypeCode(ftBoolean));
    SetOperand(constant, 1, sizeof falseWord);
    SetOperand(constant, 2, PutLiteral(&falseWord, sizeof falseWord));
    SetOperand(at, 1, constant);
    return at;
}

std::uint16_t TFilterExpr::WriteUnary(TExprOperator op, const TExprNode* child) {
    const std::uint16_t at = PutNode(kUnaryNode, op, 1);
    SetOperand(at, 0, WriteNode(child, op));
    return at;
}

std::uint16_t TFilterExpr::WriteBinary(TExprOperator op, const TExprNode* left, const TExprNode* right) {
    const std::uint16_t at = PutNode(kBinaryNode, op, 2);
    SetOperand(at, 0, WriteNode(left, op));
    SetOperand(at, 1, WriteNode(right, op));
    return at;
}

std::uint16_t TFilterExpr::WriteComparison(const TExprNode* node) {
    TExprOperator op = node->Operator;
    const TExprNode* left = node->Left;
    const TExprNode* right = node->Right;
    if (IsComparison(op) && right->Kind == TExprNodeKind::Field && left->Kind != TExprNodeKind::Field) {
        std::swap(left, right);
        op = Mirror(op);
    }
    if (left->Kind != TExprNodeKind::Field || right->Kind != TExprNodeKind::Const)
        return WriteBinary(op, left, right);
    if (right->ConstKind == TExprConstKind::Null) {
        if (op == TExprOperator::Equal)
            return WriteUnary(TExprOperator::IsBlank, left);
        if (op == TExprOperator::NotEqual)
            return WriteUnary(TExprOperator::NotBlank, left);
        Fail(messages::ExprNullOnlyEq);
    }
    const bool textCompare =
        op == TExprOperator::Equal || op == TExprOperator::NotEqual || op == TExprOperator::Like;
    std::string text = ConstText(*right);
    if (!textCompare || !IsTextType(right->DataType) || text.empty())
        return WriteBinary(op, left, right);
    std::size_t partial = 0;
    if (node->Partial) {
        partial = text.size();
    } else if (!m_Options.NoPartialCompare && text.size() >= 2 && text.back() == '*') {
        text.pop_back();
        partial = text.size();
    }
    if (!m_Options.CaseInsensitive && partial == 0)
        return WriteBinary(op, left, right);
    text = std::string(Utf8Left(text, kMaxConstText));
    const std::uint16_t at = PutNode(kCompareNode, op, 4);
    SetOperand(at, 0, m_Options.CaseInsensitive ? 1 : 0);
    SetOperand(at, 1, static_cast<std::uint16_t>(std::min(partial, text.size())));
    SetOperand(at, 2, WriteFieldNode(left));
    const std::uint16_t constant = PutNode(kConstNode, TExprOperator::Constant, 3);
    SetOperand(constant, 0, EngineTypeCode(right->DataType));
    SetOperand(constant, 1, static_cast<std::uint16_t>(text.size() + 1));
    SetOperand(constant, 2, PutText(text));
    SetOperand(at, 3, constant);
    return at;
}

// The first element node comes before its entry; every later one after the entry it refers to.
std::uint16_t TFilterExpr::WriteList(const std::vector<TExprNode*>& entries, TExprOperator parentOp) {
    if (entries.empty())
        return 0;
    const std::uint16_t first = PutNode(kListNode, TExprOperator::ListElement, 2);
    SetOperand(first, 0, WriteNode(entries.front(), parentOp));
    std::uint16_t previous = first;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const std::uint16_t entry = WriteNode(entries[i], parentOp);
        const std::uint16_t element = PutNode(kListNode, TExprOperator::ListElement, 2);
        SetOperand(element, 0, entry);
        SetOperand(previous, 1, element);
        previous = element;
    }
    return first;
}

std::uint16_t TFilterExpr::WriteFunction(const TExprNode* node) {
    const std::uint16_t at = PutNode(kFunctionNode, TExprOperator::Function, 2);
    SetOperand(at, 0, PutText(node->Data));
    SetOperand(at, 1, WriteList(node->Args, TExprOperator::Function));
    return at;
}

std::uint16_t TFilterExpr::PutNode(std::uint32_t nodeClass, TExprOperator op, int operandCount) {
    const std::size_t at = m_NodeArea.size();
    if (at > std::numeric_limits<std::uint16_t>::max())
        Fail(messages::ExprTooComplex);
    m_NodeArea.resize(at + kNodeHeaderSize + 2 * static_cast<std::size_t>(operandCount));
    PutValue(m_NodeArea, at, nodeClass);
    PutValue(m_NodeArea, at + 4, static_cast<std::uint32_t>(op));
    return static_cast<std::uint16_t>(at);
}

void TFilterExpr::SetOperand(std::uint16_t node, int index, std::uint16_t value) {
    PutValue(m_NodeArea, node + kNodeHeaderSize + 2 * static_cast<std::size_t>(index), value);
}

std::uint16_t TFilterExpr::PutLiteral(const void* data, std::size_t size) {
    const std::size_t at = m_LiteralArea.size();
    if (at > std::numeric_limits<std::uint16_t>::max())
        Fail(messages::ExprTooComplex);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_LiteralArea.insert(m_LiteralArea.end(), bytes, bytes + size);
    return static_cast<std::uint16_t>(at);
}

std::uint16_t TFilterExpr::PutText(const std::string& text) {
    return PutLiteral(text.c_str(), text.size() + 1);
}

std::vector<std::uint8_t> TFilterExpr::BuildLookup(const TExprFields& fields,
                                                   const std::vector<const TExprField*>& keys,
                                                   const std::vector<std::string>& values,
                                                   bool caseInsensitive, bool partialKey) {
    if (keys.empty() || keys.size() != values.size())
        Fail("A lookup needs one value for each key field");
    TFilterExpr expr(fields, TFilterExprOptions{caseInsensitive, true});
    TExprNode* root = nullptr;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        TExprNode* field = expr.NewFieldNode(*keys[i], keys[i]->FieldName);
        TExprNode* value = expr.NewConstNode(TExprConstKind::Text, values[i]);
        // A memo is compared by its text.
        value->DataType = IsBlobFieldType(field->DataType) ? ftString : field->DataType;
        value->DataSize = field->DataSize;
        TExprNode* equal = expr.NewNode(TExprNodeKind::Operator, TExprOperator::Equal);
        equal->Left = field;
        equal->Right = value;
        equal->DataType = ftBoolean;
        equal->Partial = partialKey && i + 1 == keys.size();
        if (!root) {
            root = equal;
            continue;
        }
        TExprNode* conjunction = expr.NewNode(TExprNodeKind::Operator, TExprOperator::And);
        conjunction->Left = root;
        conjunction->Right = equal;
        conjunction->DataType = ftBoolean;
        root = conjunction;
    }
    return expr.GetFilterData(root);
}

} // namespace ws
