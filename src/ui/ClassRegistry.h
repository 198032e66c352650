#pragma once

#include "ui/Component.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ws {

// A class name that is not registered, or registered twice for different classes.
WS_DECLARE_EXCEPTION(EClassNotFound, Exception)

// Component classes that stored descriptions may name, by class name (any letter case).
class TClassRegistry {
public:
    using TFactory = std::function<TComponent*(TComponent* owner)>;

    static TClassRegistry& Instance();

    // Registering the same class again is harmless; another class under a taken name is refused.
    void Register(const TClassInfo& info, TFactory factory);
    bool IsRegistered(std::string_view className) const;
    const TClassInfo* FindClass(std::string_view className) const;
    // A new component of the class, owned by `owner`.
    TComponent* Create(std::string_view className, TComponent* owner) const;

private:
    struct TNoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    struct TEntry {
        const TClassInfo* Info;
        TFactory Factory;
    };

    TClassRegistry() = default;

    std::map<std::string, TEntry, TNoCase> m_Classes;
};

// Registers T under its published class name; T is built as T(owner).
template <class T>
void RegisterClass() {
    TClassRegistry::Instance().Register(T::StaticClassInfo(),
                                        [](TComponent* owner) -> TComponent* { return new T(owner); });
}

} // namespace ws
