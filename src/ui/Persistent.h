#pragma once

#include "ui/Object.h"

namespace ws {

// An object whose state can be copied from another and that can hold published properties
// without being a component: fonts, brushes, collection items.
class TPersistent : public TObject {
public:
    WS_CLASS_INFO()

    // Copies the state of `source`. The base refuses, so each class says what it can take over.
    virtual void Assign(const TPersistent& source);
};

} // namespace ws
