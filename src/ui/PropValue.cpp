#include "ui/PropValue.h"

#include "base/Strings.h"
#include "ui/Properties.h"

namespace ws {

TPropValue::TPropValue() = default;
TPropValue::~TPropValue() = default;
TPropValue::TPropValue(const TPropValue& other) = default;
TPropValue::TPropValue(TPropValue&& other) noexcept = default;
TPropValue& TPropValue::operator=(const TPropValue& other) = default;
TPropValue& TPropValue::operator=(TPropValue&& other) noexcept = default;

TPropValue TPropValue::Nil() {
    return {};
}

TPropValue TPropValue::Integer(std::int64_t v) {
    TPropValue r;
    r.m_Kind = TKind::Integer;
    r.m_Integer = v;
    return r;
}

TPropValue TPropValue::Float(double v) {
    TPropValue r;
    r.m_Kind = TKind::Float;
    r.m_Float = v;
    return r;
}

TPropValue TPropValue::Boolean(bool v) {
    TPropValue r;
    r.m_Kind = TKind::Boolean;
    r.m_Integer = v ? 1 : 0;
    return r;
}

TPropValue TPropValue::String(std::string v) {
    TPropValue r;
    r.m_Kind = TKind::String;
    r.m_Text = std::move(v);
    return r;
}

TPropValue TPropValue::Ident(std::string v) {
    TPropValue r;
    r.m_Kind = TKind::Ident;
    r.m_Text = std::move(v);
    return r;
}

TPropValue TPropValue::Set(std::vector<std::string> identifiers) {
    TPropValue r;
    r.m_Kind = TKind::Set;
    r.m_Names = std::move(identifiers);
    return r;
}

TPropValue TPropValue::List(std::vector<TPropValue> items) {
    TPropValue r;
    r.m_Kind = TKind::List;
    r.m_List = std::move(items);
    return r;
}

TPropValue TPropValue::StringList(const std::vector<std::string>& lines) {
    std::vector<TPropValue> items;
    items.reserve(lines.size());
    for (const std::string& line : lines)
        items.push_back(String(line));
    return List(std::move(items));
}

TPropValue TPropValue::Binary(std::vector<std::uint8_t> bytes) {
    TPropValue r;
    r.m_Kind = TKind::Binary;
    r.m_Bytes = std::move(bytes);
    return r;
}

TPropValue TPropValue::Collection(TItems items) {
    TPropValue r;
    r.m_Kind = TKind::Collection;
    r.m_Items = std::move(items);
    return r;
}

TPropValue TPropValue::Component(TComponent* component) {
    TPropValue r;
    r.m_Kind = TKind::Component;
    r.m_Component = component;
    return r;
}

void TPropValue::Expect(TKind kind) const {
    if (m_Kind != kind)
        throw EPropertyError(Format("Expected %s value but found %s", KindName(kind), Describe().c_str()));
}

std::int64_t TPropValue::AsInteger() const {
    Expect(TKind::Integer);
    return m_Integer;
}

double TPropValue::AsFloat() const {
    Expect(TKind::Float);
    return m_Float;
}

bool TPropValue::AsBoolean() const {
    Expect(TKind::Boolean);
    return m_Integer != 0;
}

const std::string& TPropValue::AsString() const {
    Expect(TKind::String);
    return m_Text;
}

const std::string& TPropValue::AsIdent() const {
    Expect(TKind::Ident);
    return m_Text;
}

const std::vector<std::string>& TPropValue::AsSet() const {
    Expect(TKind::Set);
    return m_Names;
}

const std::vector<TPropValue>& TPropValue::AsList() const {
    Expect(TKind::List);
    return m_List;
}

std::vector<std::string> TPropValue::AsStringList() const {
    Expect(TKind::List);
    std::vector<std::string> lines;
    lines.reserve(m_List.size());
    for (const TPropValue& item : m_List) {
        if (item.Kind() != TKind::String)
            throw EPropertyError(Format("String list holds %s", item.Describe().c_str()));
        lines.push_back(item.m_Text);
    }
    return lines;
}

const std::vector<std::uint8_t>& TPropValue::AsBinary() const {
    Expect(TKind::Binary);
    return m_Bytes;
}

const TPropValue::TItems& TPropValue::AsCollection() const {
    Expect(TKind::Collection);
    return m_Items;
}

TComponent* TPropValue::AsComponent() const {
    if (m_Kind == TKind::Nil)
        return nullptr;
    Expect(TKind::Component);
    return m_Component;
}

std::string TPropValue::Describe() const {
    switch (m_Kind) {
    case TKind::Integer:
        return Format("integer %lld", static_cast<long long>(m_Integer));
    case TKind::Float:
        return Format("float %g", m_Float);
    case TKind::Boolean:
        return m_Integer != 0 ? "True" : "False";
    case TKind::String:
        return "string '" + m_Text + "'";
    case TKind::Ident:
        return "identifier " + m_Text;
    case TKind::Set:
        return Format("set of %zu", m_Names.size());
    case TKind::List:
        return Format("list of %zu", m_List.size());
    case TKind::Binary:
        return Format("binary data of %zu bytes", m_Bytes.size());
    case TKind::Collection:
        return Format("collection of %zu items", m_Items.size());
    case TKind::Component:
        return m_Component ? "component" : "nil";
    case TKind::Nil:
        return "nil";
    }
    return "value";
}

bool operator==(const TPropValue& a, const TPropValue& b) {
    return a.m_Kind == b.m_Kind && a.m_Integer == b.m_Integer && a.m_Float == b.m_Float &&
           a.m_Text == b.m_Text && a.m_Names == b.m_Names && a.m_List == b.m_List && a.m_Bytes == b.m_Bytes &&
           a.m_Items == b.m_Items && a.m_Component == b.m_Component;
}

const char* KindName(TPropValue::TKind kind) {
    switch (kind) {
    case TPropValue::TKind::Nil:
        return "nil";
    case TPropValue::TKind::Integer:
        return "integer";
    case TPropValue::TKind::Float:
        return "float";
    case TPropValue::TKind::Boolean:
        return "boolean";
    case TPropValue::TKind::String:
        return "string";
    case TPropValue::TKind::Ident:
        return "identifier";
    case TPropValue::TKind::Set:
        return "set";
    case TPropValue::TKind::List:
        return "list";
    case TPropValue::TKind::Binary:
        return "binary";
    case TPropValue::TKind::Collection:
        return "collection";
    case TPropValue::TKind::Component:
        return "component";
    }
    return "value";
}

} // namespace ws
