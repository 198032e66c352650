#pragma once

#include "base/EnumSet.h"
#include "ui/Component.h"
#include "ui/Object.h"

#include <cstddef>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace ws {

// Builds a class's published-property table. Accessors are member function pointers, data member
// pointers or callables taking the object, so a table reads like the class's list of properties:
//
//   const TClassInfo& TLabel::StaticClassInfo() {
//       static const TClassInfo info = TClassBuilder<TLabel>("TLabel", TControl::StaticClassInfo())
//           .String("Caption", &TLabel::Caption, &TLabel::SetCaption)
//           .Object("Font", [](TLabel& l) -> TObject& { return l.Font(); })
//           .Build();
//       return info;
//   }
template <class T>
class TClassBuilder {
public:
    TClassBuilder(std::string name, const TClassInfo& parent) : m_Name(std::move(name)), m_Parent(&parent) {}

    // 32-bit integers; `idents` maps identifiers that stand for values (clRed, DEFAULT_CHARSET).
    template <class G, class S>
    TClassBuilder& Integer(std::string name, G get, S set,
                           std::function<std::optional<std::int64_t>(std::string_view)> idents = {}) {
        TPropInfo& p = Add(std::move(name), TPropKind::Integer);
        p.Read = [get](const TObject& o) { return TPropValue::Integer(std::invoke(get, Self(o))); };
        p.Write = [set](TObject& o, const TPropValue& v) { Store(set, Self(o), v.AsInteger()); };
        p.IdentToInt = std::move(idents);
        return *this;
    }

    template <class G, class S>
    TClassBuilder& Float(std::string name, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::Float);
        p.Read = [get](const TObject& o) { return TPropValue::Float(std::invoke(get, Self(o))); };
        p.Write = [set](TObject& o, const TPropValue& v) { Store(set, Self(o), v.AsFloat()); };
        return *this;
    }

    template <class G, class S>
    TClassBuilder& Boolean(std::string name, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::Boolean);
        p.Read = [get](const TObject& o) { return TPropValue::Boolean(std::invoke(get, Self(o))); };
        p.Write = [set](TObject& o, const TPropValue& v) { Store(set, Self(o), v.AsBoolean()); };
        return *this;
    }

    template <class G, class S>
    TClassBuilder& String(std::string name, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::String);
        p.Read = [get](const TObject& o) {
            return TPropValue::String(std::string(std::invoke(get, Self(o))));
        };
        p.Write = [set](TObject& o, const TPropValue& v) { Store(set, Self(o), v.AsString()); };
        return *this;
    }

    // An enumeration whose values are 0, 1, ... in the order of `identifiers`.
    template <class E, class G, class S>
    TClassBuilder& Enum(std::string name, std::vector<std::string> identifiers, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::Enum);
        p.Identifiers = std::move(identifiers);
        p.Read = [get, ids = p.Identifiers](const TObject& o) {
            const auto index = static_cast<std::size_t>(static_cast<E>(std::invoke(get, Self(o))));
            return index < ids.size() ? TPropValue::Ident(ids[index])
                                      : TPropValue::Integer(static_cast<std::int64_t>(index));
        };
        p.Write = [set, ids = p.Identifiers](TObject& o, const TPropValue& v) {
            Store(set, Self(o), static_cast<E>(IndexOf(ids, v.AsIdent())));
        };
        return *this;
    }

    // A set of an enumeration laid out as for Enum, held as TEnumSet<E>.
    template <class E, class G, class S>
    TClassBuilder& Set(std::string name, std::vector<std::string> identifiers, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::Set);
        p.Identifiers = std::move(identifiers);
        p.Read = [get, ids = p.Identifiers](const TObject& o) {
            const TEnumSet<E> s = std::invoke(get, Self(o));
            std::vector<std::string> members;
            for (std::size_t i = 0; i < ids.size(); ++i) {
                if (s.Contains(static_cast<E>(i)))
                    members.push_back(ids[i]);
            }
            return TPropValue::Set(std::move(members));
        };
        p.Write = [set, ids = p.Identifiers](TObject& o, const TPropValue& v) {
            TEnumSet<E> s;
            for (const std::string& member : v.AsSet())
                s.Include(static_cast<E>(IndexOf(ids, member)));
            Store(set, Self(o), s);
        };
        return *this;
    }

    template <class G, class S>
    TClassBuilder& StringList(std::string name, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::StringList);
        p.Read = [get](const TObject& o) { return TPropValue::StringList(std::invoke(get, Self(o))); };
        p.Write = [set](TObject& o, const TPropValue& v) { Store(set, Self(o), v.AsStringList()); };
        return *this;
    }

    template <class G, class S>
    TClassBuilder& Binary(std::string name, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::Binary);
        p.Read = [get](const TObject& o) { return TPropValue::Binary(std::invoke(get, Self(o))); };
        p.Write = [set](TObject& o, const TPropValue& v) { Store(set, Self(o), v.AsBinary()); };
        return *this;
    }

    // A reference to a component of class R (or a descendant); the getter returns R*, the setter takes R*.
    template <class R, class G, class S>
    TClassBuilder& Reference(std::string name, G get, S set) {
        TPropInfo& p = Add(std::move(name), TPropKind::Component);
        p.ComponentClass = &R::StaticClassInfo;
        p.Read = [get](const TObject& o) {
            return TPropValue::Component(static_cast<TComponent*>(std::invoke(get, Self(o))));
        };
        p.Write = [set](TObject& o, const TPropValue& v) {
            Store(set, Self(o), static_cast<R*>(v.AsComponent()));
        };
        return *this;
    }

    // An event: `access` returns a reference to the object's std::function member of type E.
    template <class E, class A>
    TClassBuilder& Event(std::string name, A access) {
        TPropInfo& p = Add(std::move(name), TPropKind::Event);
        p.Bind = [access](TObject& o, const std::any* handler) {
            E& event = std::invoke(access, Self(o));
            if (!handler) {
                event = nullptr;
                return true;
            }
            const E* typed = std::any_cast<E>(handler);
            if (!typed)
                return false;
            event = *typed;
            return true;
        };
        p.Assigned = [access](const TObject& o) {
            return static_cast<bool>(std::invoke(access, const_cast<T&>(Self(o))));
        };
        return *this;
    }

    // A nested persistent object: `access` returns a reference to it.
    template <class A>
    TClassBuilder& Object(std::string name, A access) {
        TPropInfo& p = Add(std::move(name), TPropKind::Object);
        p.SubObject = [access](TObject& o) -> TObject* {
            return &static_cast<TObject&>(std::invoke(access, Self(o)));
        };
        return *this;
    }

    // A collection: `clear` empties it, `add` appends an item and returns a reference to it.
    template <class C, class A>
    TClassBuilder& Collection(std::string name, C clear, A add) {
        TPropInfo& p = Add(std::move(name), TPropKind::Collection);
        p.ClearItems = [clear](TObject& o) { std::invoke(clear, Self(o)); };
        p.AddItem = [add](TObject& o) -> TObject* {
            return &static_cast<TObject&>(std::invoke(add, Self(o)));
        };
        return *this;
    }

    TClassInfo Build() { return TClassInfo(std::move(m_Name), m_Parent, std::move(m_Properties)); }

private:
    static T& Self(TObject& o) { return static_cast<T&>(o); }
    // Setters are member functions, callables, or the data member itself.
    template <class S, class V>
    static void Store(S set, T& object, V&& value) {
        if constexpr (std::is_member_object_pointer_v<S>)
            object.*set = std::forward<V>(value);
        else
            std::invoke(set, object, std::forward<V>(value));
    }
    static const T& Self(const TObject& o) { return static_cast<const T&>(o); }

    static std::size_t IndexOf(const std::vector<std::string>& ids, const std::string& id) {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] == id)
                return i;
        }
        throw EPropertyError("Invalid property value " + id);
    }

    TPropInfo& Add(std::string name, TPropKind kind) {
        TPropInfo& p = m_Properties.emplace_back();
        p.Name = std::move(name);
        p.Kind = kind;
        return p;
    }

    std::string m_Name;
    const TClassInfo* m_Parent;
    std::vector<TPropInfo> m_Properties;
};

} // namespace ws
