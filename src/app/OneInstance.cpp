#include "app/OneInstance.h"

#include "platform/WindowRegistry.h"
#include "ui/Application.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

namespace {

// The longest mutex name the guard hands on.
constexpr std::size_t kMaxMutexName = 255;

} // namespace

const TClassInfo& TOneInstance::StaticClassInfo() {
    using C = TOneInstance;
    static const TClassInfo info =
        TClassBuilder<C>("TOneInstance", TComponent::StaticClassInfo())
            .Boolean("SwitchToPrevious", &C::SwitchToPrevious, &C::SetSwitchToPrevious)
            .Event<TNotifyEvent>("AlreadyExist", &C::AlreadyExist)
            .Build();
    return info;
}

TOneInstance::TOneInstance(TComponent* owner) : TComponent(owner) {}

TOneInstance::~TOneInstance() {
    if (m_HandleOwned)
        m_Mutex.reset();
    // A handle the guard never finished with is closed by its holder all the same: the mutex
    // must not outlive this copy.
}

void TOneInstance::Loaded() {
    TComponent::Loaded();
    if (Application == nullptr)
        return;
    const std::string name = Application->Title().substr(0, kMaxMutexName);
    m_HandleOwned = false;
    // The mutex lives where the window system's copies meet: one per X display.
    const std::string& scope = Application->Platform().InstanceScope();
    platform::NamedMutex::Creation creation =
        platform::NamedMutex::Create(name, scope.empty() ? std::string() : scope + "/mutex");
    m_Mutex = std::move(creation.handle);
    if (creation.alreadyExists || !m_Mutex) {
        if (AlreadyExist)
            AlreadyExist(this);
        if (m_SwitchToPrevious)
            ActivatePrevious();
        Application->SetShowMainForm(false);
        Application->Terminate();
    }
    m_HandleOwned = true;
}

void TOneInstance::ActivatePrevious() {
    platform::WindowSystem& system = Application->Platform();
    // Our own application window carries the same text; blank it so the search finds the other.
    system.SetText(Application->Handle(), "");
    const platform::WindowRegistry* registry = system.Registry();
    if (registry == nullptr)
        return;
    const auto previous = registry->Find(Application->Title());
    if (!previous)
        return;
    if (registry->IsIconic(*previous))
        registry->Restore(*previous);
    else
        registry->BringToTop(*previous);
    registry->SetForeground(*previous);
}

} // namespace ws
