#include "ui/ClassRegistry.h"

#include "base/Strings.h"

namespace ws {

bool TClassRegistry::TNoCase::operator()(const std::string& a, const std::string& b) const {
    return CompareText(a, b) < 0;
}

TClassRegistry& TClassRegistry::Instance() {
    static TClassRegistry registry;
    return registry;
}

void TClassRegistry::Register(const TClassInfo& info, TFactory factory) {
    const auto it = m_Classes.find(info.Name());
    if (it != m_Classes.end()) {
        if (it->second.Info == &info)
            return;
        throw EClassNotFound(Format("Class %s is already registered", info.Name().c_str()));
    }
    m_Classes.emplace(info.Name(), TEntry{&info, std::move(factory)});
}

bool TClassRegistry::IsRegistered(std::string_view className) const {
    return FindClass(className) != nullptr;
}

const TClassInfo* TClassRegistry::FindClass(std::string_view className) const {
    const auto it = m_Classes.find(std::string(className));
    return it == m_Classes.end() ? nullptr : it->second.Info;
}

TComponent* TClassRegistry::Create(std::string_view className, TComponent* owner) const {
    const auto it = m_Classes.find(std::string(className));
    if (it == m_Classes.end())
        throw EClassNotFound(
            Format("Class %.*s not found", static_cast<int>(className.size()), className.data()));
    return it->second.Factory(owner);
}

} // namespace ws
