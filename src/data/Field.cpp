#include "data/Field.h"

#include "base/Strings.h"
#include "data/DBError.h"
#include "data/DataSet.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TField::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TField>("TField", TComponent::StaticClassInfo())
            .String("FieldName", &TField::FieldName, &TField::SetFieldName)
            .Enum<TFieldKind>("FieldKind", {"fkData", "fkCalculated", "fkLookup", "fkInternalCalc"},
                              &TField::FieldKind, &TField::SetFieldKind)
            .Integer("Size", &TField::Size, &TField::SetSize)
            .Boolean("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly)
            .Boolean("Calculated", &TField::Calculated, &TField::SetCalculated)
            .Boolean("Required", &TField::Required, &TField::SetRequired)
            .Boolean("Visible", &TField::Visible, &TField::SetVisible)
            .String(
                "DisplayLabel", [](const TField& f) { return f.m_DisplayLabel; }, &TField::SetDisplayLabel)
            .String("EditMask", &TField::EditMask, &TField::SetEditMask)
            .Build();
    return info;
}

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::TField(TComponent* owner, TFieldType dataType, int size)
    : TComponent(owner), m_DataType(dataType), m_Size(size) {}

TField::~TField() {
    SetDataSet(nullptr);
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == m_DataSet)
        return;
    if (m_DataSet)
        m_DataSet->RemoveField(this);
    m_DataSet = dataSet;
    if (m_DataSet)
        m_DataSet->AddField(this);
}

void TField::SetParentComponent(TComponent* parent) {
    if (auto* dataSet = dynamic_cast<TDataSet*>(parent))
        SetDataSet(dataSet);
}

void TField::SetFieldName(const std::string& name) {
    if (m_DataSet)
        m_DataSet->CheckInactiveFor(*this);
    m_FieldName = name;
}

void TField::SetFieldKind(TFieldKind kind) {
    if (m_DataSet)
        m_DataSet->CheckInactiveFor(*this);
    m_FieldKind = kind;
}

void TField::SetSize(int size) {
    if (m_DataSet)
        m_DataSet->CheckInactiveFor(*this);
    m_Size = size;
}

bool TField::IsBlob() const {
    return IsBlobFieldType(m_DataType);
}

void TField::CheckDataSet() const {
    if (!m_DataSet)
        DatabaseError(Format(messages::NoDataSet, DisplayName().c_str()));
}

bool TField::GetData(std::vector<std::uint8_t>& data) const {
    CheckDataSet();
    return m_DataSet->GetFieldData(*this, data);
}

void TField::SetData(const void* data) {
    CheckDataSet();
    m_DataSet->SetFieldData(*this, data);
}

bool TField::IsNull() const {
    if (IsBlob()) {
        std::string text;
        CheckDataSet();
        return !m_DataSet->GetBlobText(*this, text);
    }
    std::vector<std::uint8_t> data;
    return !GetData(data);
}

void TField::Clear() {
    if (IsBlob()) {
        CheckDataSet();
        m_DataSet->SetBlobText(*this, nullptr);
        return;
    }
    SetData(nullptr);
}

void TField::FocusControl() {
    if (m_DataSet)
        m_DataSet->NotifyFocusControl(*this);
}

void TField::ConvertError(const char* message, const std::string& text) const {
    DatabaseError(Format(message, text.c_str(), DisplayName().c_str()));
}

void TField::AccessError(const char* typeName) const {
    DatabaseError(Format("Field '%s' cannot be read or written as %s", DisplayName().c_str(), typeName));
}

std::string TField::AsString() const {
    AccessError("String");
}
void TField::SetAsString(const std::string&) {
    AccessError("String");
}
TDateTime TField::AsDateTime() const {
    AccessError("DateTime");
}
void TField::SetAsDateTime(TDateTime) {
    AccessError("DateTime");
}
bool TField::AsBoolean() const {
    AccessError("Boolean");
}
void TField::SetAsBoolean(bool) {
    AccessError("Boolean");
}
std::int32_t TField::AsInteger() const {
    AccessError("Integer");
}
void TField::SetAsInteger(std::int32_t) {
    AccessError("Integer");
}
double TField::AsFloat() const {
    AccessError("Float");
}
void TField::SetAsFloat(double) {
    AccessError("Float");
}

} // namespace ws
