#pragma once

#include "ui/Component.h"

namespace ws {

// A root that holds non-visual components (connections, views, data sources) built from its
// stored description. Once the description is loaded and every component has run its load
// notification, OnCreate runs; OnDestroy runs when the module is destroyed.
class TDataModule : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TDataModule(TComponent* owner);
    ~TDataModule() override;

    void AfterConstruction() override;

    // The design surface's position and size; stored, never used at run time.
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool OldCreateOrder = false;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
};

} // namespace ws
