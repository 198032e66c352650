#include "ui/Component.h"

#include "base/Strings.h"
#include "ui/ComponentRef.h"
#include "ui/ComponentRoots.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

namespace {
bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

template <class V, class T>
void EraseValue(V& values, T value) {
    values.erase(std::remove(values.begin(), values.end(), value), values.end());
}
} // namespace

bool IsValidIdent(std::string_view name) {
    if (name.empty() || !IsIdentStart(name[0]))
        return false;
    return std::all_of(name.begin(), name.end(), IsIdentChar);
}

const TClassInfo& TComponent::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TComponent>("TComponent", TPersistent::StaticClassInfo())
                                       .String("Name", &TComponent::Name, &TComponent::SetName)
                                       .Build();
    return info;
}

bool TComponent::TNoCase::operator()(const std::string& a, const std::string& b) const {
    return CompareText(a, b) < 0;
}

TComponent::TComponent(TComponent* owner) {
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent() {
    BeforeDestruction();
}

void TComponent::Free(TComponent* component) {
    if (!component)
        return;
    component->BeforeDestruction();
    delete component;
}

void TComponent::BeforeDestruction() {
    if (m_DestructionStarted)
        return;
    m_DestructionStarted = true;
    MarkDestroying();
    // Watchers first, so that every reference to us is gone before our components go.
    const std::vector<TComponent*> watchers = std::move(m_FreeNotifies);
    m_FreeNotifies.clear();
    for (TComponent* watcher : watchers) {
        EraseValue(watcher->m_FreeNotifies, this);
        watcher->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (m_Owner)
        m_Owner->RemoveComponent(this);
    TComponentRoots::Instance().Forget(this);
}

void TComponent::MarkDestroying() {
    m_State.Include(TComponentStateFlag::csDestroying);
    for (TComponent* c : m_Components)
        c->MarkDestroying();
}

void TComponent::SetName(const std::string& name) {
    if (name == m_Name)
        return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError(Format("'%s' is not a valid component name", name.c_str()));
    if (m_Owner && !name.empty()) {
        const TComponent* other = m_Owner->FindComponent(name);
        if (other && other != this)
            throw EComponentError(Format("A component named %s already exists", name.c_str()));
    }
    m_Name = name;
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EComponentError(Format("List index out of bounds (%d)", index));
    return m_Components[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (!m_Owner)
        return -1;
    const auto& list = m_Owner->m_Components;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TComponent::SetComponentIndex(int index) {
    if (!m_Owner)
        return;
    auto& list = m_Owner->m_Components;
    const int last = static_cast<int>(list.size()) - 1;
    index = std::clamp(index, 0, last);
    EraseValue(list, this);
    list.insert(list.begin() + index, this);
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty())
        return nullptr;
    for (TComponent* c : m_Components) {
        if (SameText(c->m_Name, name))
            return c;
    }
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->m_Owner == this)
        return;
    if (!component->m_Name.empty() && FindComponent(component->m_Name))
        throw EComponentError(Format("A component named %s already exists", component->m_Name.c_str()));
    if (component->m_Owner)
        component->m_Owner->RemoveComponent(component);
    m_Components.push_back(component);
    component->m_Owner = this;
    NotifyAll(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->m_Owner != this)
        return;
    EraseValue(m_Components, component);
    component->m_Owner = nullptr;
    NotifyAll(component, TOperation::opRemove);
}

void TComponent::NotifyAll(TComponent* component, TOperation operation) {
    Notification(component, operation);
    // A copy: a notified component may rearrange the list.
    const std::vector<TComponent*> others = m_Components;
    for (TComponent* c : others) {
        if (c != component)
            c->Notification(component, operation);
    }
}

void TComponent::DestroyComponents() {
    while (!m_Components.empty()) {
        TComponent* last = m_Components.back();
        Free(last);
        // Free removes it through RemoveComponent; a component that was already half-destroyed
        // is taken off here so the loop always ends.
        if (!m_Components.empty() && m_Components.back() == last)
            m_Components.pop_back();
    }
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this)
        return;
    if (std::find(m_FreeNotifies.begin(), m_FreeNotifies.end(), component) == m_FreeNotifies.end())
        m_FreeNotifies.push_back(component);
    auto& theirs = component->m_FreeNotifies;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end())
        theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component)
        return;
    EraseValue(m_FreeNotifies, component);
    EraseValue(component->m_FreeNotifies, this);
}

void TComponent::Loaded() {
    m_State.Exclude(TComponentStateFlag::csLoading);
}

void TComponent::SetParentComponent(TComponent*) {}

const std::any* TComponent::FindMethod(std::string_view name) const {
    const auto it = m_Methods.find(std::string(name));
    return it == m_Methods.end() ? nullptr : &it->second;
}

std::string TComponent::BoundHandlerName(std::string_view eventPath) const {
    const auto it = m_BoundHandlers.find(std::string(eventPath));
    return it == m_BoundHandlers.end() ? std::string() : it->second;
}

void TComponent::RecordBoundHandler(std::string_view eventPath, const std::string& handlerName) {
    m_BoundHandlers[std::string(eventPath)] = handlerName;
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation != TOperation::opRemove)
        return;
    for (TComponentRefBase* ref : m_Refs) {
        if (ref->m_Target == component)
            ref->Clear();
    }
}

TComponentRefBase::TComponentRefBase(TComponent* holder) : m_Holder(holder) {
    m_Holder->m_Refs.push_back(this);
}

TComponentRefBase::~TComponentRefBase() {
    EraseValue(m_Holder->m_Refs, this);
}

void TComponentRefBase::Assign(TComponent* target) {
    m_Target = target;
    if (target)
        m_Holder->FreeNotification(target);
}

} // namespace ws
