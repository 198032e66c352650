#pragma once

#include "data/FieldType.h"

#include <string>
#include <string_view>
#include <vector>

namespace ws {

// One physical field of an open table, as the engine describes it.
struct TFieldDef {
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    int Precision = 0;
    int FieldNo = 0; // position in the table, from 1
    bool Required = false;
    bool ReadOnly = false;
    bool Fixed = false;
};

// The physical fields of a table in table order; names are unique (a taken name gets "_1", ...).
class TFieldDefs {
public:
    void Clear() { m_Items.clear(); }
    // Adds a definition, renaming it when its name is already taken.
    TFieldDef& Add(TFieldDef def);
    int Count() const { return static_cast<int>(m_Items.size()); }
    const TFieldDef& operator[](int index) const { return m_Items[static_cast<std::size_t>(index)]; }
    // By name without regard to case; null when absent.
    const TFieldDef* Find(std::string_view name) const;

private:
    std::vector<TFieldDef> m_Items;
};

} // namespace ws
