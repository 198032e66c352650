#include "engine/FilterEvaluator.h"

#include "base/Strings.h"
#include "engine/Errors.h"
#include "engine/FilterFormat.h"
#include "engine/TableSchema.h"

#include <cmath>
#include <cstring>
#include <map>

namespace ws::engine {

namespace {

using filter::ConstType;
using filter::FilterOp;
using filter::NodeClass;

// Children may be shared or even loop back in a damaged buffer: the decoded tree is bounded.
constexpr int kMaxDepth = 256;
constexpr int kMaxNodes = 20000;

// What a node yields. Truth values are numbers 0 and 1 so that they compare with booleans.
enum class Kind { Truth, Bool, Number, Date, Time, DateTime, Text };

bool Numeric(Kind k) {
    return k == Kind::Truth || k == Kind::Bool || k == Kind::Number;
}
bool Comparable(Kind a, Kind b) {
    return a == b || (Numeric(a) && Numeric(b));
}

// The comparison operators, each with its symbol in SQL.
struct ComparisonOp {
    FilterOp op;
    const char* symbol;
};
constexpr ComparisonOp kComparisons[] = {
    {FilterOp::Equal, "="}, {FilterOp::NotEqual, "<>"},     {FilterOp::Greater, ">"},
    {FilterOp::Less, "<"},  {FilterOp::GreaterEqual, ">="}, {FilterOp::LessEqual, "<="},
};

// The SQL symbol of a comparison operator; none for another operator.
const char* ComparisonSymbol(FilterOp op) {
    for (const ComparisonOp& comparison : kComparisons) {
        if (comparison.op == op)
            return comparison.symbol;
    }
    return nullptr;
}

bool IsComparison(FilterOp op) {
    return ComparisonSymbol(op) != nullptr;
}

struct Val {
    bool null = true;
    double number = 0;
    std::string text;
};

struct Node {
    FilterOp op = FilterOp::None;
    Kind kind = Kind::Truth;
    std::unique_ptr<Node> left;
    std::unique_ptr<Node> right;
    std::vector<std::unique_ptr<Node>> list;
    // field
    const FieldDesc* field = nullptr;
    // constant
    Val constant;
    ConstType constType = ConstType::None;
    // compare node
    bool compareNode = false;
    bool caseInsensitive = false;
    std::uint16_t partial = 0;
};

// ---- decoding -----------------------------------------------------------------------------------

class Decoder {
public:
    Decoder(std::span<const std::uint8_t> nodes, std::span<const std::uint8_t> literals,
            const std::vector<FieldDesc>& fields)
        : m_Nodes(nodes), m_Literals(literals) {
        for (const FieldDesc& f : fields)
            m_Fields.emplace(f.number, &f);
    }

    std::unique_ptr<Node> Root(std::string& why) {
        std::unique_ptr<Node> root = Decode(0, 0);
        if (root && !Logical(*root))
            Refuse("the expression is not a condition");
        why = m_Why;
        return m_Why.empty() ? std::move(root) : nullptr;
    }

private:
    std::unique_ptr<Node> Refuse(const std::string& why) {
        if (m_Why.empty())
            m_Why = why;
        return nullptr;
    }

    bool Word(std::size_t at, std::uint16_t& value) const {
        if (at + filter::kOperandSize > m_Nodes.size())
            return false;
        std::memcpy(&value, m_Nodes.data() + at, filter::kOperandSize);
        return true;
    }

    bool Header(std::size_t at, std::uint32_t& nodeClass, FilterOp& op) const {
        if (at + filter::kNodeHeaderSize > m_Nodes.size())
            return false;
        std::memcpy(&nodeClass, m_Nodes.data() + at + filter::kNodeClassAt, sizeof nodeClass);
        std::memcpy(&op, m_Nodes.data() + at + filter::kNodeOperatorAt, sizeof op);
        return true;
    }

    static bool Logical(const Node& n) { return n.kind == Kind::Truth || n.kind == Kind::Bool; }

    std::unique_ptr<Node> Decode(std::size_t at, int depth);
    std::unique_ptr<Node> DecodeUnary(FilterOp op, const std::uint16_t* operands, int depth);
    std::unique_ptr<Node> DecodeBinary(FilterOp op, const std::uint16_t* operands, int depth);
    std::unique_ptr<Node> DecodeCompare(FilterOp op, const std::uint16_t* operands, int depth);
    std::unique_ptr<Node> DecodeField(const std::uint16_t* operands);
    std::unique_ptr<Node> DecodeConstant(const std::uint16_t* operands);
    bool DecodeList(std::uint16_t at, Node& in, int depth);
    bool LiteralText(std::size_t at, std::size_t limit, std::string& text) const;

    std::span<const std::uint8_t> m_Nodes;
    std::span<const std::uint8_t> m_Literals;
    std::map<std::uint16_t, const FieldDesc*> m_Fields;
    int m_Count = 0;
    std::string m_Why;
};

std::unique_ptr<Node> Decoder::Decode(std::size_t at, int depth) {
    if (depth > kMaxDepth || ++m_Count > kMaxNodes)
        return Refuse("the expression is nested too deeply");
    std::uint32_t nodeClass = 0;
    FilterOp op = FilterOp::None;
    if (!Header(at, nodeClass, op))
        return Refuse("a node lies outside the node area");
    const int count = filter::OperandCount(nodeClass);
    if (count < 0)
        return Refuse(Format("unknown node class %u", nodeClass));
    std::uint16_t operands[4] = {};
    for (int i = 0; i < count; ++i) {
        if (!Word(at + filter::OperandAt(i), operands[i]))
            return Refuse("a node lies outside the node area");
    }
    switch (static_cast<NodeClass>(nodeClass)) {
    case NodeClass::Unary:
        return DecodeUnary(op, operands, depth);
    case NodeClass::Binary:
        return DecodeBinary(op, operands, depth);
    case NodeClass::Compare:
        return DecodeCompare(op, operands, depth);
    case NodeClass::Field:
        return op == FilterOp::FieldRef ? DecodeField(operands)
                                        : Refuse("a field node with a wrong operator");
    case NodeClass::Constant:
        return op == FilterOp::Constant ? DecodeConstant(operands)
                                        : Refuse("a constant node with a wrong operator");
    case NodeClass::Function:
        return Refuse("function calls are not supported");
    default:
        return Refuse("a list element outside a list");
    }
}

std::unique_ptr<Node> Decoder::DecodeUnary(FilterOp op, const std::uint16_t* operands, int depth) {
    if (op != FilterOp::Not && op != FilterOp::IsBlank && op != FilterOp::NotBlank)
        return Refuse(Format("operator %u in a unary node", static_cast<unsigned>(op)));
    auto node = std::make_unique<Node>();
    node->op = op;
    node->left = Decode(operands[filter::uoChild], depth + 1);
    if (!node->left)
        return nullptr;
    if (op == FilterOp::Not && !Logical(*node->left))
        return Refuse("NOT of something that is not a condition");
    return node;
}

std::unique_ptr<Node> Decoder::DecodeBinary(FilterOp op, const std::uint16_t* operands, int depth) {
    auto node = std::make_unique<Node>();
    node->op = op;
    node->left = Decode(operands[filter::boLeft], depth + 1);
    if (!node->left)
        return nullptr;
    if (op == FilterOp::In) {
        if (operands[filter::boRight] == 0 || !DecodeList(operands[filter::boRight], *node, depth + 1))
            return Refuse("an IN node without a valid list");
        return node;
    }
    node->right = Decode(operands[filter::boRight], depth + 1);
    if (!node->right)
        return nullptr;
    const Kind l = node->left->kind;
    const Kind r = node->right->kind;
    if (IsComparison(op))
        return Comparable(l, r) ? std::move(node) : Refuse("a comparison of values of different kinds");
    switch (op) {
    case FilterOp::And:
    case FilterOp::Or:
        return Logical(*node->left) && Logical(*node->right)
                   ? std::move(node)
                   : Refuse("AND or OR of something that is not a condition");
    case FilterOp::Like:
        return l == Kind::Text && r == Kind::Text ? std::move(node)
                                                  : Refuse("LIKE on something that is not text");
    case FilterOp::Add:
    case FilterOp::Subtract:
    case FilterOp::Multiply:
    case FilterOp::Divide:
        node->kind = Kind::Number;
        return Numeric(l) && Numeric(r) ? std::move(node)
                                        : Refuse("arithmetic on something that is not a number");
    default:
        return Refuse(Format("operator %u in a binary node", static_cast<unsigned>(op)));
    }
}

bool Decoder::DecodeList(std::uint16_t at, Node& in, int depth) {
    while (at != 0) {
        if (depth > kMaxDepth || ++m_Count > kMaxNodes) {
            Refuse("the IN list is too long");
            return false;
        }
        std::uint32_t nodeClass = 0;
        FilterOp op = FilterOp::None;
        std::uint16_t entry = 0;
        std::uint16_t next = 0;
        if (!Header(at, nodeClass, op) || !Word(at + filter::OperandAt(filter::loEntry), entry) ||
            !Word(at + filter::OperandAt(filter::loNext), next))
            return false;
        if (nodeClass != static_cast<std::uint32_t>(NodeClass::ListElement) || op != FilterOp::ListElement)
            return false;
        std::unique_ptr<Node> value = Decode(entry, depth + 1);
        if (!value || !Comparable(in.left->kind, value->kind))
            return false;
        in.list.push_back(std::move(value));
        at = next;
    }
    return !in.list.empty();
}

std::unique_ptr<Node> Decoder::DecodeCompare(FilterOp op, const std::uint16_t* operands, int depth) {
    if (op != FilterOp::Equal && op != FilterOp::NotEqual && op != FilterOp::Like)
        return Refuse(Format("operator %u in a compare node", static_cast<unsigned>(op)));
    if (operands[filter::coCaseInsensitive] > 1)
        return Refuse("a compare node with a bad case flag");
    auto node = std::make_unique<Node>();
    node->op = op;
    node->compareNode = true;
    node->caseInsensitive = operands[filter::coCaseInsensitive] == 1;
    node->partial = operands[filter::coPartialLength];
    node->left = Decode(operands[filter::coField], depth + 1);
    if (!node->left)
        return nullptr;
    node->right = Decode(operands[filter::coConstant], depth + 1);
    if (!node->right)
        return nullptr;
    if (!node->left->field || node->left->kind != Kind::Text || node->right->constType != ConstType::Text)
        return Refuse("a compare node needs a text field and a text constant");
    return node;
}

Kind FieldKind(FieldType type) {
    switch (type) {
    case FieldType::ZString:
    case FieldType::Blob:
        return Kind::Text;
    case FieldType::Date:
        return Kind::Date;
    case FieldType::Bool:
        return Kind::Bool;
    default:
        return Kind::Number;
    }
}

bool Decoder::LiteralText(std::size_t at, std::size_t limit, std::string& text) const {
    const std::size_t end = std::min(limit, m_Literals.size());
    if (at >= end)
        return false;
    const auto* start = reinterpret_cast<const char*>(m_Literals.data() + at);
    const auto* zero = static_cast<const char*>(std::memchr(start, 0, end - at));
    if (!zero)
        return false;
    text.assign(start, zero);
    return true;
}

std::unique_ptr<Node> Decoder::DecodeField(const std::uint16_t* operands) {
    const std::uint16_t number = operands[filter::foNumber];
    const auto found = m_Fields.find(number);
    if (found == m_Fields.end() || found->second->type == FieldType::Unknown)
        return Refuse(Format("no field number %u in this table", number));
    std::string name;
    if (!LiteralText(operands[filter::foName], m_Literals.size(), name))
        return Refuse("a field name lies outside the literal area");
    auto node = std::make_unique<Node>();
    node->op = FilterOp::FieldRef;
    node->field = found->second;
    node->kind = FieldKind(found->second->type);
    return node;
}

template <class T>
double Load(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return static_cast<double>(value);
}

// The kind of a fixed-size constant: the times are constants' own, a word is a number, and every
// other type is one of the engine's field types.
Kind ConstKind(ConstType type) {
    if (type == ConstType::Time)
        return Kind::Time;
    if (type == ConstType::DateTime)
        return Kind::DateTime;
    return type == ConstType::Word ? Kind::Number : FieldKind(static_cast<FieldType>(type));
}

double FixedValue(ConstType type, const std::uint8_t* p) {
    switch (type) {
    case ConstType::Bool:
        return Load<std::uint16_t>(p) != 0 ? 1 : 0;
    case ConstType::Int16:
        return Load<std::int16_t>(p);
    case ConstType::Word:
        return Load<std::uint16_t>(p);
    case ConstType::Float:
    case ConstType::DateTime:
        return Load<double>(p);
    default:
        return Load<std::int32_t>(p);
    }
}

std::unique_ptr<Node> Decoder::DecodeConstant(const std::uint16_t* operands) {
    const auto type = static_cast<ConstType>(operands[filter::caType]);
    const std::size_t size = operands[filter::caSize];
    const std::size_t at = operands[filter::caValue];
    if (size == 0 || at + size > m_Literals.size())
        return Refuse("a constant lies outside the literal area");
    auto node = std::make_unique<Node>();
    node->op = FilterOp::Constant;
    node->constType = type;
    node->constant.null = false;
    if (type == ConstType::Text) {
        node->kind = Kind::Text;
        if (!LiteralText(at, at + size, node->constant.text))
            return Refuse("a text constant without its end");
        return node;
    }
    for (const filter::FixedConstLayout& fixed : filter::kFixedConstants) {
        if (fixed.type != type)
            continue;
        if (size != fixed.size)
            return Refuse("a constant of the wrong size");
        node->kind = ConstKind(type);
        node->constant.number = FixedValue(type, m_Literals.data() + at);
        return node;
    }
    return Refuse(Format("constants of type %u are not supported", static_cast<unsigned>(type)));
}

// ---- evaluating ---------------------------------------------------------------------------------

using FieldReader = FilterEvaluator::FieldReader;

Val FieldValue(const FieldReader& read, const FieldDesc& field) {
    Value value;
    Val v;
    if (read(field.number, value) != esOk)
        return v;
    v.null = false;
    if (const auto* text = std::get_if<std::string>(&value))
        v.text = *text;
    else if (const auto* i = std::get_if<std::int32_t>(&value))
        v.number = *i;
    else if (const auto* d = std::get_if<double>(&value))
        v.number = *d;
    else if (const auto* b = std::get_if<bool>(&value))
        v.number = *b ? 1 : 0;
    else if (const auto* day = std::get_if<DayNumber>(&value))
        v.number = day->days;
    else
        v.null = true;
    return v;
}

// SQL's LIKE wildcards: "%" any run of characters, "_" one character.
bool LikeMatch(std::string_view text, std::string_view pattern) {
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '%') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

class Evaluator {
public:
    explicit Evaluator(const FieldReader& read) : m_Read(read) {}

    bool Test(const Node& n) const {
        const Val v = Eval(n);
        return !v.null && v.number != 0;
    }

    Val Eval(const Node& n) const {
        switch (n.op) {
        case FilterOp::FieldRef:
            return FieldValue(m_Read, *n.field);
        case FilterOp::Constant:
            return n.constant;
        case FilterOp::Not:
            return Truth(!Test(*n.left));
        case FilterOp::And:
            return Truth(Test(*n.left) && Test(*n.right));
        case FilterOp::Or:
            return Truth(Test(*n.left) || Test(*n.right));
        case FilterOp::IsBlank:
        case FilterOp::NotBlank:
            return Truth(Eval(*n.left).null == (n.op == FilterOp::IsBlank));
        case FilterOp::In:
            return In(n);
        case FilterOp::Add:
        case FilterOp::Subtract:
        case FilterOp::Multiply:
        case FilterOp::Divide:
            return Arithmetic(n);
        default:
            return Compare(n);
        }
    }

private:
    static Val Truth(bool value) {
        Val v;
        v.null = false;
        v.number = value ? 1 : 0;
        return v;
    }

    static int Order(const Val& a, const Val& b, Kind kind, bool caseInsensitive) {
        if (kind != Kind::Text)
            return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
        return caseInsensitive ? CompareText(a.text, b.text) : a.text.compare(b.text);
    }

    Val Compare(const Node& n) const {
        Val a = Eval(*n.left);
        const Val b = Eval(*n.right);
        if (a.null || b.null)
            return Truth(false);
        if (n.partial != 0 && a.text.size() > n.partial)
            a.text.resize(n.partial);
        if (n.op == FilterOp::Like) {
            if (n.caseInsensitive)
                return Truth(LikeMatch(UpperCase(a.text), UpperCase(b.text)));
            return Truth(LikeMatch(a.text, b.text));
        }
        const int order = Order(a, b, n.left->kind, n.caseInsensitive);
        // NaN is neither less, greater nor equal.
        if (n.left->kind != Kind::Text && a.number != b.number && order == 0)
            return Truth(n.op == FilterOp::NotEqual);
        switch (n.op) {
        case FilterOp::Equal:
            return Truth(order == 0);
        case FilterOp::NotEqual:
            return Truth(order != 0);
        case FilterOp::Greater:
            return Truth(order > 0);
        case FilterOp::Less:
            return Truth(order < 0);
        case FilterOp::GreaterEqual:
            return Truth(order >= 0);
        default:
            return Truth(order <= 0);
        }
    }

    Val In(const Node& n) const {
        const Val a = Eval(*n.left);
        if (a.null)
            return Truth(false);
        for (const auto& entry : n.list) {
            const Val b = Eval(*entry);
            const bool equal = n.left->kind == Kind::Text ? a.text == b.text : a.number == b.number;
            if (!b.null && equal)
                return Truth(true);
        }
        return Truth(false);
    }

    Val Arithmetic(const Node& n) const {
        const Val a = Eval(*n.left);
        const Val b = Eval(*n.right);
        Val v;
        if (a.null || b.null || (n.op == FilterOp::Divide && b.number == 0))
            return v;
        v.null = false;
        switch (n.op) {
        case FilterOp::Add:
            v.number = a.number + b.number;
            break;
        case FilterOp::Subtract:
            v.number = a.number - b.number;
            break;
        case FilterOp::Multiply:
            v.number = a.number * b.number;
            break;
        default:
            v.number = a.number / b.number;
            break;
        }
        return v;
    }

    const FieldReader& m_Read;
};

// ---- SQL ----------------------------------------------------------------------------------------

// The storage layer decodes a boolean column as CAST(x AS INTEGER) <> 0 and a float column as
// CAST(x AS REAL), and a NULL column as blank; these conditions say exactly that, and are never
// NULL themselves, so NOT over them stays exact.
class SqlWriter {
public:
    std::optional<SqlCondition> Write(const Node& n) {
        std::string sql;
        if (!Condition(n, sql))
            return std::nullopt;
        return SqlCondition{sql, m_Params};
    }

private:
    static bool FieldLeft(const Node& n) {
        return n.left && n.left->field && n.right && n.right->op == FilterOp::Constant;
    }

    bool Condition(const Node& n, std::string& sql) {
        std::string a;
        std::string b;
        if (IsComparison(n.op))
            return !n.compareNode && FieldLeft(n) && Comparison(n, sql);
        switch (n.op) {
        case FilterOp::And:
        case FilterOp::Or:
            if (!Condition(*n.left, a) || !Condition(*n.right, b))
                return false;
            sql = "(" + a + (n.op == FilterOp::And ? " AND " : " OR ") + b + ")";
            return true;
        case FilterOp::Not:
            if (!Condition(*n.left, a))
                return false;
            sql = "(NOT " + a + ")";
            return true;
        case FilterOp::IsBlank:
        case FilterOp::NotBlank:
            if (!n.left->field || n.left->field->type == FieldType::Blob)
                return false;
            sql = "(" + TableSchema::Quote(n.left->field->name) +
                  (n.op == FilterOp::IsBlank ? " IS NULL)" : " IS NOT NULL)");
            return true;
        default:
            return false;
        }
    }

    bool Comparison(const Node& n, std::string& sql) {
        const FieldDesc& field = *n.left->field;
        const Node& constant = *n.right;
        const std::string column = TableSchema::Quote(field.name);
        if (field.type == FieldType::Bool && constant.constType == ConstType::Bool &&
            (n.op == FilterOp::Equal || n.op == FilterOp::NotEqual)) {
            const bool wantTrue = (constant.constant.number != 0) == (n.op == FilterOp::Equal);
            sql = "(" + column + " IS NOT NULL AND CAST(" + column + " AS INTEGER) " +
                  (wantTrue ? "<>" : "=") + " 0)";
            return true;
        }
        if (field.type != FieldType::Float || constant.constType != ConstType::Float ||
            !std::isfinite(constant.constant.number))
            return false;
        sql =
            "(" + column + " IS NOT NULL AND CAST(" + column + " AS REAL) " + ComparisonSymbol(n.op) + " ?)";
        m_Params.emplace_back(constant.constant.number);
        return true;
    }

    std::vector<SqlValue> m_Params;
};

class Compiled : public FilterEvaluator::Program {
public:
    explicit Compiled(std::unique_ptr<Node> root) : m_Root(std::move(root)) {}

    bool Matches(const RecordBuffer& row) const override {
        return Test([&row](std::uint16_t fieldNo, Value& value) { return row.Get(fieldNo, value); });
    }

    bool Test(const FieldReader& read) const override { return Evaluator(read).Test(*m_Root); }

    std::optional<SqlCondition> PushDown() const override { return SqlWriter().Write(*m_Root); }

private:
    std::unique_ptr<Node> m_Root;
};

EngineStatus Invalid(const std::string& why) {
    return Errors::Fail(esInvalidFilter, "Filter expression buffer: " + why);
}

} // namespace

EngineStatus FilterEvaluator::Compile(std::span<const std::uint8_t> buffer,
                                      const std::vector<FieldDesc>& fields,
                                      std::unique_ptr<CompiledFilter>& compiled) {
    std::unique_ptr<Program> program;
    const EngineStatus status = Decode(buffer, fields, program);
    compiled = std::move(program);
    return status;
}

EngineStatus FilterEvaluator::Decode(std::span<const std::uint8_t> buffer,
                                     const std::vector<FieldDesc>& fields,
                                     std::unique_ptr<Program>& program) {
    program.reset();
    if (buffer.size() < filter::kHeaderSize)
        return Invalid("shorter than its header");
    const auto word = [&buffer](filter::HeaderWord at) {
        std::uint16_t value = 0;
        std::memcpy(&value, buffer.data() + at, sizeof value);
        return value;
    };
    const std::uint16_t version = word(filter::hwVersion);
    const std::size_t total = word(filter::hwTotalSize);
    const std::size_t nodeStart = word(filter::hwNodeArea);
    const std::size_t literalStart = word(filter::hwLiteralArea);
    if (version != filter::kVersion)
        return Invalid(Format("version %u", static_cast<unsigned>(version)));
    if (total < filter::kHeaderSize || total > buffer.size())
        return Invalid("its size does not match");
    if (nodeStart < filter::kHeaderSize || literalStart <= nodeStart || literalStart > total)
        return Invalid("its areas lie outside it");
    Decoder decoder(buffer.subspan(nodeStart, literalStart - nodeStart),
                    buffer.subspan(literalStart, total - literalStart), fields);
    std::string why;
    std::unique_ptr<Node> root = decoder.Root(why);
    if (!root)
        return Invalid(why);
    program = std::make_unique<Compiled>(std::move(root));
    return esOk;
}

} // namespace ws::engine
