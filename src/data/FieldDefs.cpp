#include "data/FieldDefs.h"

#include "base/Strings.h"

namespace ws {

TFieldDef& TFieldDefs::Add(TFieldDef def) {
    if (Find(def.Name)) {
        const std::string base = def.Name;
        for (int suffix = 1; Find(def.Name); ++suffix)
            def.Name = base + "_" + std::to_string(suffix);
    }
    return m_Items.emplace_back(std::move(def));
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
    for (const TFieldDef& def : m_Items) {
        if (SameText(def.Name, name))
            return &def;
    }
    return nullptr;
}

} // namespace ws
