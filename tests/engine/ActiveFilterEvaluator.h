#pragma once

#include "EngineTestSupport.h"
#include "engine/ExpressionEvaluator.h"

#include <memory>
#include <optional>

namespace ws::engine::test {

// An expression evaluator that knows one filter, IsActive = True, in a buffer of one byte: 1 says
// it in SQL, 0 leaves it to be tested row by row. Any other buffer is no filter it knows.
class ActiveFilterEvaluator : public ExpressionEvaluator {
public:
    class Filter : public CompiledFilter {
    public:
        explicit Filter(bool pushDown) : m_PushDown(pushDown) {}
        bool Matches(const RecordBuffer& row) const override {
            Value v;
            row.Get(fIsActive, v);
            return v == Value{true};
        }
        std::optional<SqlCondition> PushDown() const override {
            if (!m_PushDown)
                return std::nullopt;
            return SqlCondition{"\"IsActive\" = ?", {std::int64_t{1}}};
        }

    private:
        bool m_PushDown;
    };

    EngineStatus Compile(std::span<const std::uint8_t> buffer, const std::vector<FieldDesc>&,
                         std::unique_ptr<CompiledFilter>& compiled) override {
        if (buffer.size() != 1)
            return esInvalidFilter;
        compiled = std::make_unique<Filter>(buffer[0] == 1);
        return esOk;
    }
};

} // namespace ws::engine::test
