#pragma once

#include "data/Field.h"

namespace ws {

class TNumericField : public TField {
public:
    WS_CLASS_INFO()

    const std::string& DisplayFormat() const { return m_DisplayFormat; }
    void SetDisplayFormat(const std::string& format) { m_DisplayFormat = format; }

protected:
    TNumericField(TComponent* owner, TFieldType dataType);

private:
    std::string m_DisplayFormat;
};

// A 32-bit signed integer.
class TIntegerField : public TNumericField {
public:
    WS_CLASS_INFO()

    explicit TIntegerField(TComponent* owner);

    int DataSize() const override { return 4; }
    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
    std::int32_t AsInteger() const override;
    void SetAsInteger(std::int32_t value) override;
    double AsFloat() const override { return AsInteger(); }
    void SetAsFloat(double value) override;

protected:
    TIntegerField(TComponent* owner, TFieldType dataType);
};

// A 16-bit signed integer; a value outside -32768 .. 32767 is refused, never cut.
class TSmallintField : public TIntegerField {
public:
    WS_CLASS_INFO()

    explicit TSmallintField(TComponent* owner);

    int DataSize() const override { return 2; }
    void SetAsInteger(std::int32_t value) override;
};

// An integer the engine assigns to each new row.
class TAutoIncField : public TIntegerField {
public:
    WS_CLASS_INFO()

    explicit TAutoIncField(TComponent* owner);
};

// A double, shown in the shortest general form with up to 15 significant digits.
class TFloatField : public TNumericField {
public:
    WS_CLASS_INFO()

    explicit TFloatField(TComponent* owner);

    int DataSize() const override { return 8; }
    int Precision() const { return m_Precision; }
    void SetPrecision(int precision) { m_Precision = precision; }
    bool Currency() const { return m_Currency; }
    void SetCurrency(bool value) { m_Currency = value; }

    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
    double AsFloat() const override;
    void SetAsFloat(double value) override;
    std::int32_t AsInteger() const override;
    void SetAsInteger(std::int32_t value) override { SetAsFloat(value); }

protected:
    TFloatField(TComponent* owner, TFieldType dataType);
    // A money field without a display format shows the locale's currency text.
    std::string GetDisplayText() const override;

private:
    int m_Precision = 15;
    bool m_Currency = false;
};

// An amount of money: a float with the money flag.
class TCurrencyField : public TFloatField {
public:
    WS_CLASS_INFO()

    explicit TCurrencyField(TComponent* owner);
};

} // namespace ws
