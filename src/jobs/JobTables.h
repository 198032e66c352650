#pragma once

#include "engine/Types.h"
#include "jobs/JobSchema.h"

namespace ws {

// The engine's description of a job table, for creating it: field types by the field classes the
// views declare (memos as text blobs, currency as money floats, autoincrement integers).
engine::TableSpec MakeTableSpec(const SchemaTable& table);

} // namespace ws
