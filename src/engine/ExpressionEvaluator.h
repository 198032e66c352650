#pragma once

#include "engine/RecordBuffer.h"
#include "engine/Sqlite.h"
#include "engine/Types.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ws::engine {

// A condition the storage layer can apply itself: SQL over the data table's quoted column
// names, with "?" parameters bound in order.
struct SqlCondition {
    std::string sql;
    std::vector<SqlValue> params;
};

// An expression buffer turned into something that can test rows.
class CompiledFilter {
public:
    virtual ~CompiledFilter() = default;
    virtual bool Matches(const RecordBuffer& row) const = 0;
    // When the filter can say exactly the same thing in SQL, the cursor lets the storage layer
    // select the rows (using its indexes and skipping the decoding of rejected rows) instead of
    // calling Matches(). Only offer a condition whose result is provably identical, including
    // for blank fields.
    virtual std::optional<SqlCondition> PushDown() const { return std::nullopt; }
};

// Turns expression buffers into compiled filters. EngineInit installs FilterEvaluator, the one
// reader of the buffers the data layer writes, unless another is in place.
class ExpressionEvaluator {
public:
    virtual ~ExpressionEvaluator() = default;
    // esInvalidFilter for a buffer that does not decode.
    virtual EngineStatus Compile(std::span<const std::uint8_t> buffer, const std::vector<FieldDesc>& fields,
                                 std::unique_ptr<CompiledFilter>& compiled) = 0;
};

// The evaluator AddFilter compiles with. Tests and benchmarks put one of their own in its place (or
// none: expression filters are then refused with esFilterNotSupported) and restore the one they
// found.
void SetExpressionEvaluator(std::shared_ptr<ExpressionEvaluator> evaluator);
std::shared_ptr<ExpressionEvaluator> GetExpressionEvaluator();

} // namespace ws::engine
