#pragma once

#include "data/Field.h"

namespace ws {

// True, false or empty, held as a 16-bit word (0 false).
class TBooleanField : public TField {
public:
    WS_CLASS_INFO()

    explicit TBooleanField(TComponent* owner);

    int DataSize() const override { return 2; }
    // "True;False" by default; the part before ";" is the true text.
    const std::string& DisplayValues() const { return m_DisplayValues; }
    void SetDisplayValues(const std::string& values);

    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
    bool AsBoolean() const override;
    void SetAsBoolean(bool value) override;

private:
    std::string m_DisplayValues;
    std::string m_TrueText = "True";
    std::string m_FalseText = "False";
};

} // namespace ws
