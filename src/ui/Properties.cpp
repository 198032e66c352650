#include "ui/Properties.h"

#include "base/Strings.h"
#include "ui/Component.h"
#include "ui/ComponentRoots.h"
#include "ui/Object.h"

#include <algorithm>
#include <limits>

namespace ws {

namespace {

[[noreturn]] void Fail(std::string_view path, const std::string& what) {
    throw EPropertyError(
        Format("Property %.*s: %s", static_cast<int>(path.size()), path.data(), what.c_str()));
}

const std::string* FindIdentifier(const std::vector<std::string>& identifiers, const std::string& name) {
    for (const std::string& id : identifiers) {
        if (SameText(id, name))
            return &id;
    }
    return nullptr;
}

// Integers are 32 bits wide; values up to $FFFFFFFF are taken as their bit pattern, as colours
// such as $FF000008 are written.
TPropValue CoerceInteger(const TPropInfo& info, const TPropValue& value, std::string_view path) {
    std::int64_t v = 0;
    if (value.Kind() == TPropValue::TKind::Integer) {
        v = value.AsInteger();
    } else if (value.Kind() == TPropValue::TKind::Ident && info.IdentToInt) {
        const std::optional<std::int64_t> mapped = info.IdentToInt(value.AsIdent());
        if (!mapped)
            Fail(path, "unknown identifier " + value.AsIdent());
        v = *mapped;
    } else {
        Fail(path, "expects an integer, not " + value.Describe());
    }
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::uint32_t>::max())
        Fail(path, Format("value %lld is out of range", static_cast<long long>(v)));
    return TPropValue::Integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
}

TPropValue CoerceSet(const TPropInfo& info, const TPropValue& value, std::string_view path) {
    if (value.Kind() != TPropValue::TKind::Set)
        Fail(path, "expects a set, not " + value.Describe());
    std::vector<std::string> members;
    for (const std::string& member : value.AsSet()) {
        const std::string* id = FindIdentifier(info.Identifiers, member);
        if (!id)
            Fail(path, "invalid set member " + member);
        members.push_back(*id);
    }
    return TPropValue::Set(std::move(members));
}

TPropValue CoerceStringList(const TPropValue& value, std::string_view path) {
    if (value.Kind() != TPropValue::TKind::List)
        Fail(path, "expects a list of strings, not " + value.Describe());
    for (const TPropValue& item : value.AsList()) {
        if (item.Kind() != TPropValue::TKind::String)
            Fail(path, "a string list cannot hold " + item.Describe());
    }
    return value;
}

TPropValue CoerceComponent(const TPropInfo& info, const TPropValue& value, std::string_view path) {
    switch (value.Kind()) {
    case TPropValue::TKind::Nil:
    case TPropValue::TKind::Ident:
        return value;
    case TPropValue::TKind::Component: {
        const TComponent* c = value.AsComponent();
        const std::string& wanted = info.ComponentClass().Name();
        if (c && !c->InheritsFrom(wanted))
            Fail(path, Format("expects a %s, not a %s", wanted.c_str(), c->ClassName().c_str()));
        return value;
    }
    default:
        Fail(path, "expects a component, not " + value.Describe());
    }
}

void BindEvent(const TPropTarget& target, const TPropValue& value, TComponent* context,
               std::string_view path) {
    if (value.IsNil()) {
        target.Info->Bind(*target.Object, nullptr);
        if (context)
            context->RecordBoundHandler(path, "");
        return;
    }
    if (value.Kind() != TPropValue::TKind::Ident)
        Fail(path, "expects a method name, not " + value.Describe());
    const std::string& name = value.AsIdent();
    const std::any* handler = nullptr;
    for (TComponent* c = context; c && !handler; c = c->Owner())
        handler = c->FindMethod(name);
    if (!handler)
        Fail(path, "method " + name + " not found");
    if (!target.Info->Bind(*target.Object, handler))
        Fail(path, "method " + name + " does not fit the event");
    if (context)
        context->RecordBoundHandler(path, name);
}

void AssignCollection(const TPropTarget& target, const TPropValue& value, TComponent* context,
                      std::string_view path) {
    if (value.Kind() != TPropValue::TKind::Collection)
        Fail(path, "expects a collection, not " + value.Describe());
    target.Info->ClearItems(*target.Object);
    for (const auto& item : value.AsCollection()) {
        TObject* added = target.Info->AddItem(*target.Object);
        for (const TPropAssignment& a : item)
            ApplyPropValue(ResolvePropPath(*added, a.Path), a.Value, context, a.Path);
    }
}

} // namespace

const char* PropKindName(TPropKind kind) {
    switch (kind) {
    case TPropKind::Integer:
        return "integer";
    case TPropKind::Float:
        return "float";
    case TPropKind::Boolean:
        return "boolean";
    case TPropKind::String:
        return "string";
    case TPropKind::Enum:
        return "enumeration";
    case TPropKind::Set:
        return "set";
    case TPropKind::StringList:
        return "string list";
    case TPropKind::Component:
        return "component reference";
    case TPropKind::Event:
        return "event";
    case TPropKind::Object:
        return "object";
    case TPropKind::Binary:
        return "binary";
    case TPropKind::Collection:
        return "collection";
    }
    return "property";
}

TClassInfo::TClassInfo(std::string name, const TClassInfo* parent, std::vector<TPropInfo> properties)
    : m_Name(std::move(name)), m_Parent(parent), m_Properties(std::move(properties)) {
    for (size_t i = 0; i < m_Properties.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (SameText(m_Properties[i].Name, m_Properties[j].Name))
                throw EPropertyError(
                    Format("%s publishes %s twice", m_Name.c_str(), m_Properties[i].Name.c_str()));
        }
    }
}

bool TClassInfo::InheritsFrom(std::string_view className) const {
    for (const TClassInfo* c = this; c; c = c->m_Parent) {
        if (SameText(c->m_Name, className))
            return true;
    }
    return false;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
    // The most derived declaration wins, so a class can republish a property with other accessors.
    for (const TClassInfo* c = this; c; c = c->m_Parent) {
        for (const TPropInfo& p : c->m_Properties) {
            if (SameText(p.Name, name))
                return &p;
        }
    }
    return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
    std::vector<const TPropInfo*> all = m_Parent ? m_Parent->Properties() : std::vector<const TPropInfo*>{};
    for (const TPropInfo& p : m_Properties) {
        auto same = [&p](const TPropInfo* q) { return SameText(q->Name, p.Name); };
        auto it = std::find_if(all.begin(), all.end(), same);
        if (it != all.end())
            *it = &p;
        else
            all.push_back(&p);
    }
    return all;
}

TPropTarget ResolvePropPath(TObject& object, std::string_view path) {
    TObject* current = &object;
    std::string_view rest = path;
    for (;;) {
        const size_t dot = rest.find('.');
        const std::string_view segment = rest.substr(0, dot);
        const TPropInfo* info = current->ClassInfo().FindProperty(segment);
        if (!info) {
            Fail(path, Format("%s has no published property %.*s", current->ClassName().c_str(),
                              static_cast<int>(segment.size()), segment.data()));
        }
        if (dot == std::string_view::npos)
            return {current, info};
        rest = rest.substr(dot + 1);
        // A string list may be written with its lines under "Name.Strings".
        if (info->Kind == TPropKind::StringList && SameText(rest, "Strings"))
            return {current, info};
        if (info->Kind != TPropKind::Object)
            Fail(path, Format("%s is not an object", info->Name.c_str()));
        current = info->SubObject(*current);
        if (!current)
            Fail(path, Format("%s is not assigned", info->Name.c_str()));
    }
}

const TPropInfo* FindPropInfo(const TObject& object, std::string_view path) {
    try {
        return ResolvePropPath(const_cast<TObject&>(object), path).Info;
    } catch (const EPropertyError&) {
        return nullptr;
    }
}

TPropValue GetPropValue(const TObject& object, std::string_view path) {
    const TPropTarget target = ResolvePropPath(const_cast<TObject&>(object), path);
    const TPropInfo& info = *target.Info;
    if (info.Kind == TPropKind::Event) {
        if (!info.Assigned(*target.Object))
            return TPropValue::Nil();
        const auto* component = dynamic_cast<const TComponent*>(&object);
        return TPropValue::Ident(component ? component->BoundHandlerName(path) : std::string());
    }
    if (!info.Read)
        Fail(path, Format("cannot be read as a value (%s)", PropKindName(info.Kind)));
    return info.Read(*target.Object);
}

TPropValue CoercePropValue(const TPropInfo& info, const TPropValue& value, std::string_view path) {
    using K = TPropValue::TKind;
    switch (info.Kind) {
    case TPropKind::Integer:
        return CoerceInteger(info, value, path);
    case TPropKind::Float:
        if (value.Kind() == K::Integer)
            return TPropValue::Float(static_cast<double>(value.AsInteger()));
        if (value.Kind() != K::Float)
            Fail(path, "expects a number, not " + value.Describe());
        return value;
    case TPropKind::Boolean:
        if (value.Kind() != K::Boolean)
            Fail(path, "expects True or False, not " + value.Describe());
        return value;
    case TPropKind::String:
        if (value.Kind() != K::String)
            Fail(path, "expects a string, not " + value.Describe());
        return value;
    case TPropKind::Enum: {
        const std::string* id =
            value.Kind() == K::Ident ? FindIdentifier(info.Identifiers, value.AsIdent()) : nullptr;
        if (!id)
            Fail(path, "invalid value " + value.Describe());
        return TPropValue::Ident(*id);
    }
    case TPropKind::Set:
        return CoerceSet(info, value, path);
    case TPropKind::StringList:
        return CoerceStringList(value, path);
    case TPropKind::Component:
        return CoerceComponent(info, value, path);
    case TPropKind::Binary:
        if (value.Kind() != K::Binary)
            Fail(path, "expects binary data, not " + value.Describe());
        return value;
    case TPropKind::Event:
    case TPropKind::Collection:
        return value;
    case TPropKind::Object:
        Fail(path, "is an object: set its own properties");
    }
    return value;
}

void ApplyPropValue(const TPropTarget& target, const TPropValue& value, TComponent* context,
                    std::string_view path) {
    const TPropInfo& info = *target.Info;
    if (info.Kind == TPropKind::Event) {
        BindEvent(target, value, context, path);
        return;
    }
    if (info.Kind == TPropKind::Collection) {
        AssignCollection(target, value, context, path);
        return;
    }
    TPropValue v = CoercePropValue(info, value, path);
    if (info.Kind == TPropKind::Component && v.Kind() == TPropValue::TKind::Ident) {
        TComponent* found = TComponentRoots::Instance().FindByPath(context, v.AsIdent());
        if (!found)
            Fail(path, "component " + v.AsIdent() + " not found");
        v = CoerceComponent(info, TPropValue::Component(found), path);
    }
    if (!info.Write)
        Fail(path, "is read-only");
    info.Write(*target.Object, v);
}

void SetPropValue(TObject& object, std::string_view path, const TPropValue& value) {
    ApplyPropValue(ResolvePropPath(object, path), value, dynamic_cast<TComponent*>(&object), path);
}

} // namespace ws
