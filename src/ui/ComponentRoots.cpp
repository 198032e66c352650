#include "ui/ComponentRoots.h"

#include "base/Strings.h"

#include <algorithm>
#include <exception>

namespace ws {

TComponentRoots& TComponentRoots::Instance() {
    // Never destroyed: components that outlive static destruction still report their end here.
    static TComponentRoots* const roots = new TComponentRoots;
    return *roots;
}

TComponent* TComponentRoots::FindRoot(std::string_view name) const {
    for (TComponent* root : m_Roots) {
        if (!root->IsDestroying() && SameText(root->Name(), name))
            return root;
    }
    return nullptr;
}

// `path` relative to a root: "" is the root, "A" its component A, "A.B" component B of A.
TComponent* TComponentRoots::FindInRoot(TComponent* root, std::string_view path) {
    TComponent* current = root;
    while (current && !path.empty()) {
        const size_t dot = path.find('.');
        current = current->FindComponent(path.substr(0, dot));
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    return current;
}

TComponent* TComponentRoots::FindByPath(TComponent* context, std::string_view path) const {
    if (path.empty())
        return nullptr;
    const size_t dot = path.find('.');
    const std::string_view first = path.substr(0, dot);
    const std::string_view rest = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    if (dot != std::string_view::npos && rest.empty())
        return nullptr;
    for (TComponent* c = context; c; c = c->Owner()) {
        if (SameText(c->Name(), first))
            return FindInRoot(c, rest);
        if (TComponent* owned = c->FindComponent(first))
            return FindInRoot(owned, rest);
    }
    if (TComponent* root = FindRoot(first))
        return FindInRoot(root, rest);
    return nullptr;
}

void TComponentRoots::AddPending(TPending pending) {
    m_Pending.push_back(std::move(pending));
}

void TComponentRoots::RootLoaded(TComponent* root) {
    if (std::find(m_Roots.begin(), m_Roots.end(), root) == m_Roots.end())
        m_Roots.push_back(root);
    std::exception_ptr firstError;
    // Setters may free components or load further roots, which changes the list: take one entry
    // at a time and look again.
    for (size_t i = 0; i < m_Pending.size();) {
        const std::string& reference = m_Pending[i].Reference;
        const size_t dot = reference.find('.');
        if (!SameText(std::string_view(reference).substr(0, dot), root->Name())) {
            ++i;
            continue;
        }
        TComponent* target =
            dot == std::string::npos ? root : FindInRoot(root, std::string_view(reference).substr(dot + 1));
        if (!target) {
            ++i;
            continue;
        }
        const TPending pending = m_Pending[i];
        m_Pending.erase(m_Pending.begin() + static_cast<std::ptrdiff_t>(i));
        try {
            ApplyPropValue({pending.Object, pending.Info}, TPropValue::Component(target), pending.Holder,
                           pending.PropPath);
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

void TComponentRoots::Forget(const TComponent* component) {
    m_Roots.erase(std::remove(m_Roots.begin(), m_Roots.end(), component), m_Roots.end());
    m_Pending.erase(std::remove_if(m_Pending.begin(), m_Pending.end(),
                                   [component](const TPending& p) { return p.Holder == component; }),
                    m_Pending.end());
}

} // namespace ws
