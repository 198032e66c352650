#pragma once

// Raises OnTimer every Interval milliseconds on the user-interface thread while it is enabled
// and the application runs. A stored timer starts once its properties are loaded.

#include "platform/TimerQueue.h"
#include "ui/Component.h"

namespace ws {

class TTimer : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    unsigned Interval() const { return m_Interval; }
    void SetInterval(unsigned interval);
    bool Enabled() const { return m_Enabled; }
    void SetEnabled(bool enabled);
    // Whether a platform timer is counting for it now.
    bool Running() const { return m_Timer != 0; }

    void Loaded() override;

    TNotifyEvent OnTimer;

private:
    void UpdateTimer();
    void Stop();

    unsigned m_Interval = 1000;
    bool m_Enabled = true;
    platform::TimerId m_Timer = 0;
};

} // namespace ws
