#pragma once

#include "base/EnumSet.h"
#include "ui/Persistent.h"

#include <any>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace ws {

class TComponentRefBase;

// Wrong names, duplicate names, and other misuse of the component tree.
WS_DECLARE_EXCEPTION(EComponentError, Exception)

enum class TOperation { opInsert, opRemove };

enum class TComponentStateFlag { csLoading, csDestroying, csDesigning };
using TComponentState = TEnumSet<TComponentStateFlag>;

// A named object in an ownership tree. An owner keeps its components in insertion order and frees
// them, last first, when it is freed. Components are told when a component joins or leaves their
// owner and when a component they asked to watch (FreeNotification) goes away, so that no
// reference outlives its target.
//
// Free components with TComponent::Free (or TComponentPtr): it runs the removal notifications
// while the object is still whole, so overrides of Notification and of destructors see every
// component they hold still alive.
class TComponent : public TPersistent {
public:
    WS_CLASS_INFO()

    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    static void Free(TComponent* component);

    TComponent* Owner() const { return m_Owner; }
    const std::string& Name() const { return m_Name; }
    // A valid identifier or empty, unique among the owner's components (any letter case).
    void SetName(const std::string& name);

    int ComponentCount() const { return static_cast<int>(m_Components.size()); }
    TComponent* Components(int index) const;
    // Position among the owner's components; -1 without owner.
    int ComponentIndex() const;
    void SetComponentIndex(int index);
    // Among the owned components, by name without regard to letter case; null when none.
    TComponent* FindComponent(std::string_view name) const;

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Frees every owned component, last first.
    void DestroyComponents();

    TComponentState ComponentState() const { return m_State; }
    bool IsLoading() const { return m_State.Contains(TComponentStateFlag::csLoading); }
    bool IsDestroying() const { return m_State.Contains(TComponentStateFlag::csDestroying); }
    // Marks the start of loading from a stored description; Loaded() ends it.
    void SetLoading() { m_State.Include(TComponentStateFlag::csLoading); }

    // Asks to be told (Notification opRemove) when `component` is freed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Called once the whole stored description of the owning root has been read and every
    // reference inside it resolved. Overrides call the base first; it ends the loading state.
    virtual void Loaded();
    // Called by a root's creation once its description is loaded; forms raise OnCreate here.
    virtual void AfterConstruction() {}
    // The stored description a root is built from; empty for components built in code.
    virtual std::string_view StoredDescription() const { return {}; }
    // The object that contains this one in a stored description (a control's parent window, a
    // field's table view). The base ignores it.
    virtual void SetParentComponent(TComponent* parent);

    // Methods a root offers to event properties by name. E is the event's std::function type:
    // PublishMethod<TNotifyEvent>("FormCreate", [this](TObject* s) { FormCreate(s); }).
    template <class E>
    void PublishMethod(const std::string& name, E handler) {
        static_assert(!std::is_same_v<E, std::any>, "publish a handler of the event's own type");
        m_Methods[name] = std::any(std::move(handler));
    }
    const std::any* FindMethod(std::string_view name) const;

    // The handler name an event property was bound to by name ("" when none or set in code).
    std::string BoundHandlerName(std::string_view eventPath) const;
    void RecordBoundHandler(std::string_view eventPath, const std::string& handlerName);

protected:
    virtual void Notification(TComponent* component, TOperation operation);

private:
    friend class TComponentRefBase;
    struct TNoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };

    void BeforeDestruction();
    void MarkDestroying();
    void NotifyAll(TComponent* component, TOperation operation);

    TComponent* m_Owner = nullptr;
    std::string m_Name;
    std::vector<TComponent*> m_Components;
    std::vector<TComponent*> m_FreeNotifies;
    std::vector<TComponentRefBase*> m_Refs;
    std::map<std::string, std::any, TNoCase> m_Methods;
    std::map<std::string, std::string, TNoCase> m_BoundHandlers;
    TComponentState m_State;
    bool m_DestructionStarted = false;
};

// Owns a component through TComponent::Free.
struct TComponentDeleter {
    void operator()(TComponent* component) const { TComponent::Free(component); }
};
template <class T>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

bool IsValidIdent(std::string_view name);

} // namespace ws
