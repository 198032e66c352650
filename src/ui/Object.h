#pragma once

#include "ui/Properties.h"

#include <functional>
#include <string>
#include <string_view>

// Declares a class's published-property table. Place in the public part of every class that
// publishes properties or is created by name; define StaticClassInfo() with TClassBuilder.
#define WS_CLASS_INFO()                                                                                      \
    static const ::ws::TClassInfo& StaticClassInfo();                                                        \
    const ::ws::TClassInfo& ClassInfo() const override {                                                     \
        return StaticClassInfo();                                                                            \
    }

namespace ws {

// Root of every class that has a run-time class name: components, and the persistent objects
// nested in them (fonts, brushes).
class TObject {
public:
    virtual ~TObject() = default;

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }

    const std::string& ClassName() const { return ClassInfo().Name(); }
    // True when the class or one of its ancestors has this name (any letter case).
    bool InheritsFrom(std::string_view className) const { return ClassInfo().InheritsFrom(className); }
};

// The common event: the sender is the object that raises it.
using TNotifyEvent = std::function<void(TObject* Sender)>;

} // namespace ws
