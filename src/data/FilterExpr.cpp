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

namespace format = engine::filter;
using format::ConstType;
using format::NodeClass;

[[noreturn]] void Fail(const std::string& message) {
    throw EDatabaseError(message);
}

bool IsTextType(TFieldType type) {
    return type == ftString || type == ftFixedChar || type == ftWideString || type == ftGuid;
}

// The type code a constant of the field type carries.
ConstType ConstTypeOf(TFieldType type) {
    if (IsTextType(type))
        return ConstType::Text;
    if (IsBlobFieldType(type))
        return ConstType::Blob;
    switch (type) {
    case ftDate:
        return ConstType::Date;
    case ftBoolean:
        return ConstType::Bool;
    case ftSmallint:
        return ConstType::Int16;
    case ftInteger:
    case ftAutoInc:
        return ConstType::Int32;
    case ftFloat:
    case ftCurrency:
        return ConstType::Float;
    case ftBCD:
    case ftFMTBcd:
        return ConstType::Bcd;
    case ftBytes:
        return ConstType::Bytes;
    case ftTime:
        return ConstType::Time;
    case ftDateTime:
        return ConstType::DateTime;
    case ftWord:
        return ConstType::Word;
    case ftVarBytes:
        return ConstType::VarBytes;
    case ftLargeint:
        return ConstType::Int64;
    case ftTimeStamp:
        return ConstType::TimeStamp;
    default:
        return ConstType::None;
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
        const std::string text(Utf8Left(ConstText(node), format::kMaxConstText));
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

TExprFields TExprFields::FromEngine(const std::vector<engine::FieldDesc>& fields, std::string viewName) {
    TExprFields result;
    result.ViewName = std::move(viewName);
    for (const engine::FieldDesc& field : fields)
        result.Fields.push_back({field.name, FieldTypeOf(field), field.number, field.size, true});
    return result;
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
    const std::size_t total = format::kHeaderSize + m_NodeArea.size() + m_LiteralArea.size();
    if (total > std::numeric_limits<std::uint16_t>::max())
        Fail(messages::ExprTooComplex);
    std::vector<std::uint8_t> buffer(format::kHeaderSize);
    PutValue<std::uint16_t>(buffer, format::hwVersion, format::kVersion);
    PutValue<std::uint16_t>(buffer, format::hwTotalSize, static_cast<std::uint16_t>(total));
    PutValue<std::uint16_t>(buffer, format::hwNodeCount, format::kUncounted);
    PutValue<std::uint16_t>(buffer, format::hwNodeArea, format::kHeaderSize);
    PutValue<std::uint16_t>(buffer, format::hwLiteralArea,
                            static_cast<std::uint16_t>(format::kHeaderSize + m_NodeArea.size()));
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
        const std::uint16_t at = PutNode(NodeClass::Binary, node->Operator);
        SetOperand(at, format::boLeft, WriteNode(node->Left, node->Operator));
        SetOperand(at, format::boRight, WriteList(node->Args, node->Operator));
        return at;
    }
    default:
        if (IsComparison(node->Operator) || node->Operator == TExprOperator::Like)
            return WriteComparison(node);
        return WriteBinary(node->Operator, node->Left, node->Right);
    }
}

std::uint16_t TFilterExpr::WriteFieldNode(const TExprNode* node) {
    const std::uint16_t at = PutNode(NodeClass::Field, TExprOperator::FieldRef);
    SetOperand(at, format::foNumber, static_cast<std::uint16_t>(node->Field ? node->Field->FieldNo : 0));
    SetOperand(at, format::foName, PutText(node->Data));
    return at;
}

std::uint16_t TFilterExpr::WriteConstNode(const TExprNode* node) {
    if (node->ConstKind == TExprConstKind::Null)
        Fail(messages::ExprNullOnlyEq);
    const std::vector<std::uint8_t> value = EncodeConstant(*node);
    return PutConstant(ConstTypeOf(node->DataType), value.data(), value.size());
}

// A bare boolean field means "the field is not false".
std::uint16_t TFilterExpr::WriteBooleanTest(const TExprNode* field) {
    const std::uint16_t at = PutNode(NodeClass::Binary, TExprOperator::NotEqual);
    SetOperand(at, format::boLeft, WriteFieldNode(field));
    const std::uint16_t falseWord = 0;
    SetOperand(at, format::boRight, PutConstant(ConstType::Bool, &falseWord, sizeof falseWord));
    return at;
}

std::uint16_t TFilterExpr::WriteUnary(TExprOperator op, const TExprNode* child) {
    const std::uint16_t at = PutNode(NodeClass::Unary, op);
    SetOperand(at, format::uoChild, WriteNode(child, op));
    return at;
}

std::uint16_t TFilterExpr::WriteBinary(TExprOperator op, const TExprNode* left, const TExprNode* right) {
    const std::uint16_t at = PutNode(NodeClass::Binary, op);
    SetOperand(at, format::boLeft, WriteNode(left, op));
    SetOperand(at, format::boRight, WriteNode(right, op));
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
    text = std::string(Utf8Left(text, format::kMaxConstText));
    const std::uint16_t at = PutNode(NodeClass::Compare, op);
    SetOperand(at, format::coCaseInsensitive, m_Options.CaseInsensitive ? 1 : 0);
    SetOperand(at, format::coPartialLength, static_cast<std::uint16_t>(std::min(partial, text.size())));
    SetOperand(at, format::coField, WriteFieldNode(left));
    SetOperand(at, format::coConstant,
               PutConstant(ConstTypeOf(right->DataType), text.c_str(), text.size() + 1));
    return at;
}

// The first element node comes before its entry; every later one after the entry it refers to.
std::uint16_t TFilterExpr::WriteList(const std::vector<TExprNode*>& entries, TExprOperator parentOp) {
    if (entries.empty())
        return 0;
    const std::uint16_t first = PutNode(NodeClass::ListElement, TExprOperator::ListElement);
    SetOperand(first, format::loEntry, WriteNode(entries.front(), parentOp));
    std::uint16_t previous = first;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const std::uint16_t entry = WriteNode(entries[i], parentOp);
        const std::uint16_t element = PutNode(NodeClass::ListElement, TExprOperator::ListElement);
        SetOperand(element, format::loEntry, entry);
        SetOperand(previous, format::loNext, element);
        previous = element;
    }
    return first;
}

std::uint16_t TFilterExpr::WriteFunction(const TExprNode* node) {
    const std::uint16_t at = PutNode(NodeClass::Function, TExprOperator::Function);
    SetOperand(at, format::fnName, PutText(node->Data));
    SetOperand(at, format::fnArguments, WriteList(node->Args, TExprOperator::Function));
    return at;
}

std::uint16_t TFilterExpr::PutNode(NodeClass nodeClass, TExprOperator op) {
    const std::size_t at = m_NodeArea.size();
    if (at > std::numeric_limits<std::uint16_t>::max())
        Fail(messages::ExprTooComplex);
    m_NodeArea.resize(at + format::NodeSize(nodeClass));
    PutValue(m_NodeArea, at + format::kNodeClassAt, nodeClass);
    PutValue(m_NodeArea, at + format::kNodeOperatorAt, op);
    return static_cast<std::uint16_t>(at);
}

void TFilterExpr::SetOperand(std::uint16_t node, int index, std::uint16_t value) {
    PutValue(m_NodeArea, node + format::OperandAt(index), value);
}

std::uint16_t TFilterExpr::PutConstant(ConstType type, const void* value, std::size_t size) {
    const std::uint16_t at = PutNode(NodeClass::Constant, TExprOperator::Constant);
    SetOperand(at, format::caType, static_cast<std::uint16_t>(type));
    SetOperand(at, format::caSize, static_cast<std::uint16_t>(size));
    SetOperand(at, format::caValue, PutLiteral(value, size));
    return at;
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
