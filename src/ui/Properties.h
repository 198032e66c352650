#pragma once

#include "base/Exception.h"
#include "ui/PropValue.h"

#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws {

class TObject;
class TComponent;
class TClassInfo;

// A published property that does not exist, cannot take the value given, or cannot be read.
WS_DECLARE_EXCEPTION(EPropertyError, Exception)

enum class TPropKind {
    Integer,
    Float,
    Boolean,
    String,
    Enum,
    Set,
    StringList,
    Component,
    Event,
    Object,
    Binary,
    Collection
};

const char* PropKindName(TPropKind kind);

// One entry of a class's published-property table. The accessors work on the object the property
// belongs to; values handed to Write are already checked and normalised for the kind:
// Integer, Float, Boolean, String and Binary as such, Enum an identifier spelled as declared,
// Set the declared spellings of its members, StringList a list of strings, Component a
// component (or nil) of ComponentClass.
struct TPropInfo {
    std::string Name;
    TPropKind Kind = TPropKind::Integer;
    std::vector<std::string> Identifiers; // Enum and Set: the values, in declaration order
    // Component: the class the referenced component must be or descend from. A function, so that a
    // class may publish a reference to its own kind while its table is being built.
    const TClassInfo& (*ComponentClass)() = nullptr;
    std::function<TPropValue(const TObject&)> Read;
    std::function<void(TObject&, const TPropValue&)> Write;
    // Integer: identifiers that also name values (colour names, character sets).
    std::function<std::optional<std::int64_t>(std::string_view)> IdentToInt;
    // Object: the nested object whose own properties follow the dot (Font in Font.Height).
    std::function<TObject*(TObject&)> SubObject;
    // Event: assigns the handler held in the std::any (nullptr clears); false when its type does not fit.
    std::function<bool(TObject&, const std::any*)> Bind;
    std::function<bool(const TObject&)> Assigned;
    // Collection: empties the collection, and appends one item to receive a stored item's properties.
    std::function<void(TObject&)> ClearItems;
    std::function<TObject*(TObject&)> AddItem;
};

// A class's name, its parent and its own published properties. Property look-up walks up to the
// ancestors; names compare without regard to letter case.
class TClassInfo {
public:
    TClassInfo(std::string name, const TClassInfo* parent, std::vector<TPropInfo> properties);

    const std::string& Name() const { return m_Name; }
    const TClassInfo* Parent() const { return m_Parent; }
    bool InheritsFrom(std::string_view className) const;
    const TPropInfo* FindProperty(std::string_view name) const;
    // Every published property, the root class's first.
    std::vector<const TPropInfo*> Properties() const;

private:
    std::string m_Name;
    const TClassInfo* m_Parent;
    std::vector<TPropInfo> m_Properties;
};

// Where a property path ("Font.Height") ends: the object that holds the last property, and that property.
struct TPropTarget {
    TObject* Object = nullptr;
    const TPropInfo* Info = nullptr;
};

TPropTarget ResolvePropPath(TObject& object, std::string_view path);
// Null when the path does not name a published property.
const TPropInfo* FindPropInfo(const TObject& object, std::string_view path);

// Reads a property by path. Event properties read as the bound handler's name (nil when none).
TPropValue GetPropValue(const TObject& object, std::string_view path);
// Sets a property by path. Component references may be given as a component or by name (looked
// up from the object outwards through its owners, then among the loaded roots as "Root.Name");
// event handlers by name, found among the methods the object's owners publish.
void SetPropValue(TObject& object, std::string_view path, const TPropValue& value);

// Checks a value against a property's kind and brings it into the form TPropInfo::Write expects.
// Component names (identifiers) are left as they are for the caller to resolve.
TPropValue CoercePropValue(const TPropInfo& info, const TPropValue& value, std::string_view path);
// Assigns an already-resolved target. `context` is the component on whose behalf the value is
// set: where event handler names and component names are looked up.
void ApplyPropValue(const TPropTarget& target, const TPropValue& value, TComponent* context,
                    std::string_view path);

} // namespace ws
