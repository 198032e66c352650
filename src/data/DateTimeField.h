#pragma once

#include "data/Field.h"

namespace ws {

// A date and time, held as the engine's timestamp: milliseconds as a double.
class TDateTimeField : public TField {
public:
    WS_CLASS_INFO()

    explicit TDateTimeField(TComponent* owner);

    int DataSize() const override { return 8; }
    const std::string& DisplayFormat() const { return m_DisplayFormat; }
    void SetDisplayFormat(const std::string& format) { m_DisplayFormat = format; }

    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
    TDateTime AsDateTime() const override;
    void SetAsDateTime(TDateTime value) override;
    double AsFloat() const override { return AsDateTime(); }

protected:
    TDateTimeField(TComponent* owner, TFieldType dataType);
    std::string GetDisplayText() const override;
    virtual std::string FormatValue(TDateTime value) const;

private:
    std::string m_DisplayFormat;
};

// A calendar date, held as the engine's day number (1 = 1 January of year 1).
class TDateField : public TDateTimeField {
public:
    WS_CLASS_INFO()

    explicit TDateField(TComponent* owner);

    int DataSize() const override { return 4; }
    void SetAsString(const std::string& text) override;
    TDateTime AsDateTime() const override;
    void SetAsDateTime(TDateTime value) override;

protected:
    std::string FormatValue(TDateTime value) const override;
};

} // namespace ws
