#include "base/Convert.h"
#include "base/Strings.h"
#include "base/Utf8.h"
#include "data/BlobField.h"
#include "data/BooleanField.h"
#include "data/DBError.h"
#include "data/DataSet.h"
#include "data/DateTimeField.h"
#include "data/NumericField.h"
#include "data/StringField.h"
#include "ui/PropertiesBuilder.h"

#include <cmath>
#include <cstring>

namespace ws {

namespace {

template <class T>
T Load(const std::vector<std::uint8_t>& data) {
    T value{};
    if (data.size() >= sizeof(T))
        std::memcpy(&value, data.data(), sizeof(T));
    return value;
}

// The engine's timestamp counts milliseconds from day 1 (1 January of year 1).
double DateTimeToTimeStamp(TDateTime value) {
    return std::round((value + DateDelta) * MSecsPerDay);
}

TDateTime TimeStampToDateTime(double msecs) {
    return msecs / MSecsPerDay - DateDelta;
}

} // namespace

// ---- TStringField --------------------------------------------------------------------------------

const TClassInfo& TStringField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TStringField>("TStringField", TField::StaticClassInfo()).Build();
    return info;
}

TStringField::TStringField(TComponent* owner) : TField(owner, ftString, 20) {}

std::string TStringField::AsString() const {
    std::vector<std::uint8_t> data;
    if (!GetData(data))
        return {};
    const auto* text = reinterpret_cast<const char*>(data.data());
    return std::string(text, strnlen(text, data.size()));
}

void TStringField::SetAsString(const std::string& text) {
    // The text ends at its first zero byte, as it would in the record.
    const std::string_view kept =
        Utf8Left(std::string_view(text.c_str()), static_cast<std::size_t>(DataSize() - 1) / 4);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(DataSize()), 0);
    std::memcpy(data.data(), kept.data(), kept.size());
    SetData(data.data());
}

bool TStringField::AsBoolean() const {
    const std::string text = AsString();
    return !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
}

std::int32_t TStringField::AsInteger() const {
    const std::string text = AsString();
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        ConvertError(messages::InvalidIntegerValue, text);
    return value;
}

double TStringField::AsFloat() const {
    const std::string text = AsString();
    double value = 0;
    if (!TryStrToFloat(text, value))
        ConvertError(messages::InvalidFloatValue, text);
    return value;
}

TDateTime TStringField::AsDateTime() const {
    return StrToDateTime(AsString());
}

// ---- TBooleanField -------------------------------------------------------------------------------

const TClassInfo& TBooleanField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TBooleanField>("TBooleanField", TField::StaticClassInfo())
            .String("DisplayValues", &TBooleanField::DisplayValues, &TBooleanField::SetDisplayValues)
            .Build();
    return info;
}

TBooleanField::TBooleanField(TComponent* owner) : TField(owner, ftBoolean, 0) {}

void TBooleanField::SetDisplayValues(const std::string& values) {
    m_DisplayValues = values;
    const auto separator = values.find(';');
    if (values.empty() || separator == std::string::npos) {
        m_TrueText = "True";
        m_FalseText = "False";
        return;
    }
    m_TrueText = values.substr(0, separator);
    m_FalseText = values.substr(separator + 1);
}

bool TBooleanField::AsBoolean() const {
    std::vector<std::uint8_t> data;
    return GetData(data) && Load<std::uint16_t>(data) != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
    const std::uint16_t word = value ? 1 : 0;
    SetData(&word);
}

std::string TBooleanField::AsString() const {
    std::vector<std::uint8_t> data;
    if (!GetData(data))
        return {};
    return Load<std::uint16_t>(data) != 0 ? m_TrueText : m_FalseText;
}

void TBooleanField::SetAsString(const std::string& text) {
    if (text.empty()) {
        if (m_FalseText.empty())
            SetAsBoolean(false);
        else if (!m_TrueText.empty())
            Clear();
        else
            SetAsBoolean(true);
        return;
    }
    const auto prefixOf = [&text](const std::string& candidate) {
        return SameText(text, std::string_view(candidate).substr(0, text.size()));
    };
    if (prefixOf(m_FalseText))
        SetAsBoolean(false);
    else if (prefixOf(m_TrueText))
        SetAsBoolean(true);
    else
        ConvertError(messages::InvalidBoolValue, text);
}

// ---- TDateTimeField, TDateField ------------------------------------------------------------------

const TClassInfo& TDateTimeField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDateTimeField>("TDateTimeField", TField::StaticClassInfo())
            .String("DisplayFormat", &TDateTimeField::DisplayFormat, &TDateTimeField::SetDisplayFormat)
            .Build();
    return info;
}

TDateTimeField::TDateTimeField(TComponent* owner) : TField(owner, ftDateTime, 0) {}

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType dataType) : TField(owner, dataType, 0) {}

TDateTime TDateTimeField::AsDateTime() const {
    std::vector<std::uint8_t> data;
    return GetData(data) ? TimeStampToDateTime(Load<double>(data)) : 0.0;
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
    const double stamp = DateTimeToTimeStamp(value);
    SetData(&stamp);
}

std::string TDateTimeField::FormatValue(TDateTime value) const {
    return DateTimeToStr(value);
}

std::string TDateTimeField::AsString() const {
    return IsNull() ? std::string() : FormatValue(AsDateTime());
}

std::string TDateTimeField::GetDisplayText() const {
    if (IsNull())
        return {};
    return m_DisplayFormat.empty() ? FormatValue(AsDateTime())
                                   : FormatDateTime(m_DisplayFormat, AsDateTime());
}

void TDateTimeField::SetAsString(const std::string& text) {
    if (text.empty()) {
        Clear();
        return;
    }
    SetAsDateTime(StrToDateTime(text));
}

const TClassInfo& TDateField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDateField>("TDateField", TDateTimeField::StaticClassInfo()).Build();
    return info;
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}

TDateTime TDateField::AsDateTime() const {
    std::vector<std::uint8_t> data;
    return GetData(data) ? DayNumberToDate(Load<std::int32_t>(data)) : 0.0;
}

void TDateField::SetAsDateTime(TDateTime value) {
    const std::int32_t days = DateToDayNumber(value);
    SetData(&days);
}

void TDateField::SetAsString(const std::string& text) {
    if (text.empty()) {
        Clear();
        return;
    }
    SetAsDateTime(StrToDate(text));
}

std::string TDateField::FormatValue(TDateTime value) const {
    return DateToStr(value);
}

// ---- TBlobField, TMemoField ----------------------------------------------------------------------

const TClassInfo& TBlobField::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TBlobField>("TBlobField", TField::StaticClassInfo())
                                       .Enum<TFieldType>("BlobType", FieldTypeIdentifiers(),
                                                         &TBlobField::BlobType, &TBlobField::SetBlobType)
                                       .Build();
    return info;
}

TBlobField::TBlobField(TComponent* owner) : TField(owner, ftBlob, 0) {}

TBlobField::TBlobField(TComponent* owner, TFieldType dataType) : TField(owner, dataType, 0) {}

std::string TBlobField::AsString() const {
    std::string text;
    if (!DataSet())
        DatabaseError(Format(messages::NoDataSet, DisplayName().c_str()));
    return DataSet()->GetBlobText(*this, text) ? text : std::string();
}

void TBlobField::SetAsString(const std::string& text) {
    if (!DataSet())
        DatabaseError(Format(messages::NoDataSet, DisplayName().c_str()));
    DataSet()->SetBlobText(*this, &text);
}

std::string TBlobField::GetDisplayText() const {
    const std::string name(FieldTypeName(DataType()));
    return "(" + (IsNull() ? name : UpperCase(name)) + ")";
}

const TClassInfo& TMemoField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TMemoField>("TMemoField", TBlobField::StaticClassInfo()).Build();
    return info;
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner, ftMemo) {}

// ---- numbers -------------------------------------------------------------------------------------

const TClassInfo& TNumericField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TNumericField>("TNumericField", TField::StaticClassInfo())
            .String("DisplayFormat", &TNumericField::DisplayFormat, &TNumericField::SetDisplayFormat)
            .Build();
    return info;
}

TNumericField::TNumericField(TComponent* owner, TFieldType dataType) : TField(owner, dataType, 0) {}

const TClassInfo& TIntegerField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TIntegerField>("TIntegerField", TNumericField::StaticClassInfo()).Build();
    return info;
}

TIntegerField::TIntegerField(TComponent* owner) : TNumericField(owner, ftInteger) {}

TIntegerField::TIntegerField(TComponent* owner, TFieldType dataType) : TNumericField(owner, dataType) {}

std::int32_t TIntegerField::AsInteger() const {
    // The value comes in the width of where it is held: 16 bits for a small-integer table field
    // or field object, else 32.
    std::vector<std::uint8_t> data;
    if (!GetData(data))
        return 0;
    return data.size() == sizeof(std::int16_t) ? Load<std::int16_t>(data) : Load<std::int32_t>(data);
}

void TIntegerField::SetAsInteger(std::int32_t value) {
    SetData(&value);
}

void TIntegerField::SetAsFloat(double value) {
    if (!(value >= -2147483648.0 && value <= 2147483647.0))
        ConvertError(messages::InvalidIntegerValue, FloatToStr(value));
    SetAsInteger(static_cast<std::int32_t>(std::lround(value)));
}

std::string TIntegerField::AsString() const {
    return IsNull() ? std::string() : IntToStr(AsInteger());
}

void TIntegerField::SetAsString(const std::string& text) {
    if (text.empty()) {
        Clear();
        return;
    }
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        ConvertError(messages::InvalidIntegerValue, text);
    SetAsInteger(value);
}

const TClassInfo& TSmallintField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TSmallintField>("TSmallintField", TIntegerField::StaticClassInfo()).Build();
    return info;
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint) {}

void TSmallintField::SetAsInteger(std::int32_t value) {
    if (value < INT16_MIN || value > INT16_MAX)
        DatabaseError(Format(messages::ValueOutOfRange, static_cast<long long>(value), DisplayName().c_str(),
                             INT16_MIN, INT16_MAX));
    const auto word = static_cast<std::int16_t>(value);
    SetData(&word);
}

const TClassInfo& TAutoIncField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TAutoIncField>("TAutoIncField", TIntegerField::StaticClassInfo()).Build();
    return info;
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc) {}

const TClassInfo& TFloatField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TFloatField>("TFloatField", TNumericField::StaticClassInfo())
            .Integer("Precision", &TFloatField::Precision, &TFloatField::SetPrecision)
            .Boolean("Currency", &TFloatField::Currency, &TFloatField::SetCurrency)
            .Build();
    return info;
}

TFloatField::TFloatField(TComponent* owner) : TNumericField(owner, ftFloat) {}

TFloatField::TFloatField(TComponent* owner, TFieldType dataType) : TNumericField(owner, dataType) {}

double TFloatField::AsFloat() const {
    std::vector<std::uint8_t> data;
    return GetData(data) ? Load<double>(data) : 0.0;
}

void TFloatField::SetAsFloat(double value) {
    SetData(&value);
}

std::int32_t TFloatField::AsInteger() const {
    const double value = AsFloat();
    if (!(value >= -2147483648.0 && value <= 2147483647.0))
        ConvertError(messages::InvalidIntegerValue, FloatToStr(value));
    return static_cast<std::int32_t>(std::lround(value));
}

std::string TFloatField::AsString() const {
    return IsNull() ? std::string() : FloatToStr(AsFloat());
}

void TFloatField::SetAsString(const std::string& text) {
    if (text.empty()) {
        Clear();
        return;
    }
    double value = 0;
    if (!TryStrToFloat(text, value))
        ConvertError(messages::InvalidFloatValue, text);
    SetAsFloat(value);
}

std::string TFloatField::GetDisplayText() const {
    if (IsNull())
        return {};
    if (m_Currency && DisplayFormat().empty())
        return FormatCurrency(AsFloat());
    return AsString();
}

const TClassInfo& TCurrencyField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCurrencyField>("TCurrencyField", TFloatField::StaticClassInfo()).Build();
    return info;
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {
    SetCurrency(true);
}

} // namespace ws
