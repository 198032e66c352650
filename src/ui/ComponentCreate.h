#pragma once

#include "ui/Component.h"
#include "ui/Reader.h"

namespace ws {

// Creates one of the program's roots (main window, data module) and builds it from its stored
// description. `global` is assigned before anything of the description is applied, so stored
// handlers that run meanwhile (load notifications, OnCreate) can reach the root through it. When
// the build fails the root is freed, `global` is cleared again and the error propagates.
template <class T>
T* CreateRoot(T*& global, TComponent* owner) {
    T* root = new T(owner);
    global = root;
    try {
        const std::string_view description = root->StoredDescription();
        if (!description.empty())
            ReadComponentResource(*root, description);
        root->AfterConstruction();
    } catch (...) {
        global = nullptr;
        TComponent::Free(root);
        throw;
    }
    return root;
}

} // namespace ws
