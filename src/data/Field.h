#pragma once

#include "base/DateTime.h"
#include "data/FieldType.h"
#include "ui/Component.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ws {

class TDataSet;

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

// One column of a data set's current row (or, while the data set computes calculated fields, of
// the row being calculated). A field reads and writes through its data set, which knows which
// row buffer the current state stands for; the subclasses turn the value bytes into text, dates
// and numbers.
class TField : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TField(TComponent* owner);
    ~TField() override;

    TDataSet* DataSet() const { return m_DataSet; }
    void SetDataSet(TDataSet* dataSet);
    void SetParentComponent(TComponent* parent) override;

    const std::string& FieldName() const { return m_FieldName; }
    void SetFieldName(const std::string& name);
    TFieldKind FieldKind() const { return m_FieldKind; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return m_FieldKind == fkCalculated; }
    void SetCalculated(bool value) { SetFieldKind(value ? fkCalculated : fkData); }
    int Size() const { return m_Size; }
    void SetSize(int size);
    TFieldType DataType() const { return m_DataType; }
    bool ReadOnly() const { return m_ReadOnly; }
    void SetReadOnly(bool value) { m_ReadOnly = value; }
    bool Required() const { return m_Required; }
    void SetRequired(bool value) { m_Required = value; }
    bool Visible() const { return m_Visible; }
    void SetVisible(bool value) { m_Visible = value; }
    const std::string& DisplayLabel() const { return m_DisplayLabel.empty() ? m_FieldName : m_DisplayLabel; }
    void SetDisplayLabel(const std::string& label) { m_DisplayLabel = label; }
    const std::string& EditMask() const { return m_EditMask; }
    void SetEditMask(const std::string& mask) { m_EditMask = mask; }
    // DisplayLabel when set, else FieldName: the name every field message uses.
    const std::string& DisplayName() const { return DisplayLabel(); }

    // Position in the table from 1; -1 for calculated and lookup fields; 0 while unbound.
    int FieldNo() const { return m_FieldNo; }
    bool IsStored() const { return m_FieldKind == fkData || m_FieldKind == fkInternalCalc; }
    // Bytes of the value in a calculated-field area.
    virtual int DataSize() const { return 0; }
    bool IsBlob() const;

    bool IsNull() const;
    virtual std::string AsString() const;
    virtual void SetAsString(const std::string& text);
    virtual TDateTime AsDateTime() const;
    virtual void SetAsDateTime(TDateTime value);
    virtual bool AsBoolean() const;
    virtual void SetAsBoolean(bool value);
    virtual std::int32_t AsInteger() const;
    virtual void SetAsInteger(std::int32_t value);
    virtual double AsFloat() const;
    virtual void SetAsFloat(double value);
    std::string DisplayText() const { return GetDisplayText(); }
    // Empties the field.
    void Clear();
    // Asks the data set to move the focus to this field's control.
    void FocusControl();

    std::function<void(TField* Sender)> OnChange;

protected:
    TField(TComponent* owner, TFieldType dataType, int size);

    // What grids show; differs from AsString only where a class says so.
    virtual std::string GetDisplayText() const { return AsString(); }
    // The value bytes of the active row; false when the field is empty.
    bool GetData(std::vector<std::uint8_t>& data) const;
    // Writes value bytes (null empties the field).
    void SetData(const void* data);
    void SetDataType(TFieldType type) { m_DataType = type; }
    [[noreturn]] void ConvertError(const char* message, const std::string& text) const;
    [[noreturn]] void AccessError(const char* typeName) const;

private:
    friend class TDataSet;
    void CheckDataSet() const;

    TDataSet* m_DataSet = nullptr;
    std::string m_FieldName;
    TFieldKind m_FieldKind = fkData;
    TFieldType m_DataType = ftUnknown;
    int m_Size = 0;
    bool m_ReadOnly = false;
    bool m_Required = false;
    bool m_Visible = true;
    std::string m_DisplayLabel;
    std::string m_EditMask;
    // Set by the data set while it is open.
    int m_FieldNo = 0;
    int m_Offset = 0; // calculated-field area
    int m_BlobSlot = -1;
    bool m_Default = false; // created by the data set for a table without declared fields
};

} // namespace ws
