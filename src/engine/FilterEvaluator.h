#pragma once

#include "engine/ExpressionEvaluator.h"

#include <functional>

namespace ws::engine {

// Decodes the expression buffers that the data layer's filter builder writes and tests rows
// against them. The buffer comes from outside the engine, so every offset, length and node class
// is checked before anything is evaluated: a damaged buffer is refused with esInvalidFilter.
//
// A comparison with a field that has no value is false, whatever the operator; IS NULL and
// IS NOT NULL are the only tests that look at blankness. So NOT (Invoiced <> False) holds for a
// row whose Invoiced was never set.
class FilterEvaluator : public ExpressionEvaluator {
public:
    // Gives a field's value by its number; monostate for a blank field.
    using FieldReader = std::function<EngineStatus(std::uint16_t fieldNo, Value& value)>;

    // A decoded buffer. Test() is Matches() for a row given by its field values.
    class Program : public CompiledFilter {
    public:
        virtual bool Test(const FieldReader& read) const = 0;
    };

    // esInvalidFilter, with the reason as context, for a buffer that does not decode against
    // the fields.
    static EngineStatus Decode(std::span<const std::uint8_t> buffer, const std::vector<FieldDesc>& fields,
                               std::unique_ptr<Program>& program);

    EngineStatus Compile(std::span<const std::uint8_t> buffer, const std::vector<FieldDesc>& fields,
                         std::unique_ptr<CompiledFilter>& compiled) override;
};

} // namespace ws::engine
