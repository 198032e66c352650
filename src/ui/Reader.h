#pragma once

#include "ui/Component.h"
#include "ui/Description.h"

#include <string>
#include <string_view>
#include <vector>

namespace ws {

// A stored description that parses but does not fit the classes it names: unknown class or
// property, a value of the wrong kind, an unknown handler, a duplicate name. The message names
// the component, the property and the line.
WS_DECLARE_EXCEPTION(EReadError, Exception)

// Builds an existing root (form, data module) from its stored description:
//   1. the root takes the stored name and its own properties, in stored order;
//   2. each nested object, depth first in stored order, is created (owner: the root; parent
//      component: the object that contains it), named, and given its properties;
//   3. references to components are assigned once everything exists, so a component may name one
//      stored after it; names that are not found stay pending (TComponentRoots);
//   4. Loaded() runs for the root and then for every created component, in creation order;
//   5. the root becomes a loaded root, which assigns the references that were waiting for it.
// Every component is in the loading state from its creation until its Loaded().
class TReader {
public:
    explicit TReader(TComponent& root) : m_Root(root) {}

    void ReadRoot(const TDescObject& description);

private:
    struct TFixup {
        TComponent* Holder;
        TPropTarget Target;
        std::string Path;
        std::string Reference;
        int Line;
        int Column;
    };

    void ReadChild(const TDescObject& description, TComponent& container);
    void ReadProperties(TComponent& component, const std::vector<TPropAssignment>& properties);
    void ReadProperty(TComponent& component, const TPropAssignment& assignment);
    void ResolveFixups();
    [[noreturn]] void Fail(const TComponent* component, const std::string& path, int line, int column,
                           const std::string& message) const;

    TComponent& m_Root;
    std::vector<TComponent*> m_Created;
    std::vector<TFixup> m_Fixups;
};

// Parses `text` and reads it into `root` (EParserError or EReadError when it does not fit).
void ReadComponentResource(TComponent& root, std::string_view text);

} // namespace ws
