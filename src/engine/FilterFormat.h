#pragma once

// The expression buffer that carries a filter from the data layer to the engine: the one
// description of its layout, written by the filter builder (data/FilterExpr) and read by the
// evaluator (FilterEvaluator) and the admin tool. All numbers are little-endian.
//
//   header   five 16-bit words at the start of the buffer (HeaderWord)
//   nodes    from the node area's offset: a 32-bit node class, a 32-bit operator and the node's
//            16-bit operands (NodeClass, FilterOp, kNodeLayouts)
//   literals from the literal area's offset: field names and constant values
//
// A node's offset counts from the start of the node area, a literal's from the start of the
// literal area. The root is at node offset 0; a node comes before its children, except that in a
// list every element after the first comes after the entry it refers to.

#include "engine/Types.h"

#include <cstddef>
#include <cstdint>

namespace ws::engine::filter {

inline constexpr std::uint16_t kVersion = 2;

// Byte offsets of the header's words.
enum HeaderWord : std::size_t {
    hwVersion = 0,
    hwTotalSize = 2,   // of the whole buffer
    hwNodeCount = 4,   // not counted: always kUncounted
    hwNodeArea = 6,    // offset of the node area, kHeaderSize
    hwLiteralArea = 8, // offset of the literal area: kHeaderSize plus the node area's size
};
inline constexpr std::size_t kHeaderSize = 10;
inline constexpr std::uint16_t kUncounted = 0xFFFF;

// A node: its class and operator, then its operands.
inline constexpr std::size_t kNodeClassAt = 0;
inline constexpr std::size_t kNodeOperatorAt = 4;
inline constexpr std::size_t kNodeHeaderSize = 8;
inline constexpr std::size_t kOperandSize = 2;

enum class NodeClass : std::uint32_t {
    Unary = 1,
    Binary = 2,
    Compare = 3,
    Field = 4,
    Constant = 5,
    Function = 10,
    ListElement = 11,
};

// Operator codes.
enum class FilterOp : std::uint32_t {
    None = 0,
    IsBlank = 1,
    NotBlank = 2,
    Equal = 3,
    NotEqual = 4,
    Greater = 5,
    Less = 6,
    GreaterEqual = 7,
    LessEqual = 8,
    Not = 9,
    And = 10,
    Or = 11,
    FieldRef = 13,
    Constant = 14,
    Add = 16,
    Subtract = 17,
    Multiply = 18,
    Divide = 19,
    Like = 30,
    In = 31,
    Function = 35,
    ListElement = 36,
};

// The operands of each node class, by index.
enum UnaryOperand { uoChild };          // Unary: NOT, IS NULL, IS NOT NULL
enum BinaryOperand { boLeft, boRight }; // Binary; for IN the right is the first list element
enum CompareOperand {                   // Compare: = <> LIKE of a text field and a text constant
    coCaseInsensitive,                  // 1 or 0
    coPartialLength,                    // compare the field's first n bytes; 0: all of it
    coField,
    coConstant,
};
enum FieldOperand { foNumber, foName };           // Field: the engine's number from 1, its name as a literal
enum ConstantOperand { caType, caSize, caValue }; // Constant: ConstType, bytes, the value as a literal
enum FunctionOperand { fnName, fnArguments };     // Function: name literal, first list element
enum ListOperand { loEntry, loNext };             // ListElement: the entry, the next element or 0

struct NodeLayout {
    NodeClass nodeClass;
    int operands;
};
inline constexpr NodeLayout kNodeLayouts[] = {
    {NodeClass::Unary, 1},    {NodeClass::Binary, 2},   {NodeClass::Compare, 4},     {NodeClass::Field, 2},
    {NodeClass::Constant, 3}, {NodeClass::Function, 2}, {NodeClass::ListElement, 2},
};

// The operands a node of the class has; -1 for a class that does not exist.
constexpr int OperandCount(std::uint32_t nodeClass) {
    for (const NodeLayout& layout : kNodeLayouts) {
        if (static_cast<std::uint32_t>(layout.nodeClass) == nodeClass)
            return layout.operands;
    }
    return -1;
}

constexpr std::size_t NodeSize(NodeClass nodeClass) {
    return kNodeHeaderSize +
           kOperandSize * static_cast<std::size_t>(OperandCount(static_cast<std::uint32_t>(nodeClass)));
}

constexpr std::size_t OperandAt(int index) {
    return kNodeHeaderSize + kOperandSize * static_cast<std::size_t>(index);
}

// Type codes of constants: the engine's logical field types, and codes for value types that only
// constants have.
enum class ConstType : std::uint16_t {
    None = 0,
    Text = static_cast<std::uint16_t>(FieldType::ZString),
    Date = static_cast<std::uint16_t>(FieldType::Date),
    Blob = static_cast<std::uint16_t>(FieldType::Blob),
    Bool = static_cast<std::uint16_t>(FieldType::Bool),
    Int16 = static_cast<std::uint16_t>(FieldType::Int16),
    Int32 = static_cast<std::uint16_t>(FieldType::Int32),
    Float = static_cast<std::uint16_t>(FieldType::Float),
    Bcd = 8,
    Bytes = 9,
    Time = 10,     // 32-bit milliseconds since midnight
    DateTime = 11, // 64-bit double: day number times 86 400 000 plus the milliseconds of the day
    Word = 12,     // 16-bit unsigned
    VarBytes = 15,
    Int64 = 18,
    TimeStamp = 24,
};

// Text constants end with a zero byte and keep at most this many characters.
inline constexpr std::size_t kMaxConstText = 255;

// The constant types of a fixed size: the only ones besides Text that the evaluator reads.
struct FixedConstLayout {
    ConstType type;
    std::size_t size;
};
inline constexpr FixedConstLayout kFixedConstants[] = {
    {ConstType::Bool, 2},  {ConstType::Int16, 2}, {ConstType::Word, 2}, {ConstType::Int32, 4},
    {ConstType::Float, 8}, {ConstType::Date, 4},  {ConstType::Time, 4}, {ConstType::DateTime, 8},
};

} // namespace ws::engine::filter
