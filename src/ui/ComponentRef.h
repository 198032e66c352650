#pragma once

#include "ui/Component.h"

namespace ws {

// A reference from one component (the holder) to another that clears itself when the target is
// freed: the holder asks for the target's free notification, and the holder's base Notification
// empties every reference that points at the component going away.
class TComponentRefBase {
public:
    explicit TComponentRefBase(TComponent* holder);
    ~TComponentRefBase();
    TComponentRefBase(const TComponentRefBase&) = delete;
    TComponentRefBase& operator=(const TComponentRefBase&) = delete;

    TComponent* Target() const { return m_Target; }
    TComponent* Holder() const { return m_Holder; }

protected:
    void Assign(TComponent* target);

private:
    friend class TComponent;
    void Clear() { m_Target = nullptr; }

    TComponent* m_Holder;
    TComponent* m_Target = nullptr;
};

template <class T>
class TComponentRef : public TComponentRefBase {
public:
    using TComponentRefBase::TComponentRefBase;

    T* Get() const { return static_cast<T*>(Target()); }
    void Set(T* target) { Assign(target); }
    T* operator->() const { return Get(); }
    explicit operator bool() const { return Target() != nullptr; }
};

} // namespace ws
