#pragma once

#include "ui/Component.h"

#include <string>
#include <string_view>
#include <vector>

namespace ws {

// The roots that have finished loading (forms, data modules) and the references that wait for a
// root not loaded yet. A stored reference "JobsDM.JobsDS" read before JobsDM exists is kept here
// by name and assigned the moment a root named JobsDM finishes loading. Everything runs on the
// user-interface thread.
class TComponentRoots {
public:
    // A reference property waiting for its component.
    struct TPending {
        TComponent* Holder = nullptr; // the component the property belongs to (or is nested in)
        TObject* Object = nullptr;    // the object that has the property: Holder or one nested in it
        const TPropInfo* Info = nullptr;
        std::string PropPath;  // as written in the description, for messages
        std::string Reference; // "Root.Name", "Root" or "Name"
    };

    static TComponentRoots& Instance();

    // A root finished loading: it becomes findable by name, and the references waiting for it are
    // assigned. When an assignment fails the others are still made and the first error is raised.
    void RootLoaded(TComponent* root);
    // A component is being freed: it stops being a root and its waiting references are dropped.
    void Forget(const TComponent* component);

    void AddPending(TPending pending);
    const std::vector<TPending>& Pending() const { return m_Pending; }
    const std::vector<TComponent*>& Roots() const { return m_Roots; }
    TComponent* FindRoot(std::string_view name) const;

    // Finds "Name", "Root.Name" or "Root" from `context` outwards: among the components owned along
    // its owner chain, the chain's own names, then the loaded roots. Null when not found (yet).
    TComponent* FindByPath(TComponent* context, std::string_view path) const;

private:
    TComponentRoots() = default;
    static TComponent* FindInRoot(TComponent* root, std::string_view path);

    std::vector<TComponent*> m_Roots;
    std::vector<TPending> m_Pending;
};

} // namespace ws
