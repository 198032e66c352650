#include "data/DataModule.h"

#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TDataModule::StaticClassInfo() {
    using C = TDataModule;
    static const TClassInfo info = TClassBuilder<C>("TDataModule", TComponent::StaticClassInfo())
                                       .Integer("Left", &C::Left, &C::Left)
                                       .Integer("Top", &C::Top, &C::Top)
                                       .Integer("Width", &C::Width, &C::Width)
                                       .Integer("Height", &C::Height, &C::Height)
                                       .Boolean("OldCreateOrder", &C::OldCreateOrder, &C::OldCreateOrder)
                                       .Event<TNotifyEvent>("OnCreate", &C::OnCreate)
                                       .Event<TNotifyEvent>("OnDestroy", &C::OnDestroy)
                                       .Build();
    return info;
}

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) {}

TDataModule::~TDataModule() {
    // A destructor must not throw; a failing OnDestroy cannot stop the destruction anyway.
    try {
        if (OnDestroy)
            OnDestroy(this);
    } catch (...) {
    }
}

void TDataModule::AfterConstruction() {
    TComponent::AfterConstruction();
    if (OnCreate)
        OnCreate(this);
}

} // namespace ws
