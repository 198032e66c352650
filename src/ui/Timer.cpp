#include "ui/Timer.h"

#include "ui/Control.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TTimer::StaticClassInfo() {
    using C = TTimer;
    static const TClassInfo info =
        TClassBuilder<C>("TTimer", TComponent::StaticClassInfo())
            .Boolean("Enabled", &C::Enabled, &C::SetEnabled)
            .Integer("Interval", &C::Interval,
                     [](C& t, std::int64_t v) {
                         if (v < 0)
                             throw EPropertyError("A timer's interval cannot be negative");
                         t.SetInterval(static_cast<unsigned>(v));
                     })
            .Event<TNotifyEvent>("OnTimer", &C::OnTimer)
            .Build();
    return info;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    UpdateTimer();
}

TTimer::~TTimer() {
    Stop();
}

void TTimer::SetInterval(unsigned interval) {
    if (interval == m_Interval)
        return;
    m_Interval = interval;
    UpdateTimer();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == m_Enabled)
        return;
    m_Enabled = enabled;
    UpdateTimer();
}

void TTimer::Loaded() {
    TComponent::Loaded();
    UpdateTimer();
}

void TTimer::Stop() {
    if (m_Timer == 0)
        return;
    if (platform::WindowSystem* system = TControl::Platform())
        system->KillTimer(m_Timer);
    m_Timer = 0;
}

void TTimer::UpdateTimer() {
    // A new interval counts from now, as a restart does.
    Stop();
    if (!m_Enabled || m_Interval == 0 || IsLoading() || IsDestroying())
        return;
    platform::WindowSystem* system = TControl::Platform();
    if (system == nullptr)
        return;
    m_Timer = system->SetTimer(m_Interval, [this] {
        if (OnTimer)
            OnTimer(this);
    });
}

} // namespace ws
