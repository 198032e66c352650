#pragma once

namespace ws {

// Registers the data sets, fields, connections and data sources with the class registry, so
// that stored descriptions can create them by class name. Safe to call more than once.
void RegisterDataClasses();

} // namespace ws
