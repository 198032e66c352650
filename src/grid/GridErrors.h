#pragma once

#include "base/Exception.h"

namespace ws {

// A grid asked to do what it cannot (more columns than its field map holds).
WS_DECLARE_EXCEPTION(EInvalidGridOperation, Exception)
// An index outside a list of lines ("List index out of bounds (%d)").
WS_DECLARE_EXCEPTION(EStringListError, Exception)

} // namespace ws
