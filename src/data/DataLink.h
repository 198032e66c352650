#pragma once

#include "data/DataSet.h"

#include <cstdint>

namespace ws {

class TDataSource;
class TField;

// A consumer's view into a data set's row window: how many consecutive rows it shows
// (BufferCount) and where they start in the window (FirstRecord). The notification callbacks
// do nothing here; consumers override the ones they need.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return m_DataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    bool Active() const { return m_Active; }
    bool Editing() const { return m_Editing; }
    bool ReadOnly() const { return m_ReadOnly; }
    void SetReadOnly(bool value);
    bool VisualControl() const { return m_VisualControl; }
    void SetVisualControl(bool value) { m_VisualControl = value; }

    int BufferCount() const { return m_BufferCount; }
    void SetBufferCount(int value);
    int FirstRecord() const { return m_FirstRecord; }
    // Index of the current row within this link's rows.
    int ActiveRecord() const;
    void SetActiveRecord(int value);
    // Rows this link can show: its buffer count or the rows in the window, the fewer.
    int RecordCount() const;
    bool Bof() const;
    bool Eof() const;
    int MoveBy(int distance);
    bool Edit();

    // For the data source and the data set.
    void DataEvent(TDataEvent event, std::intptr_t info);
    void ShiftFirstRecord(int delta) { m_FirstRecord += delta; }
    void SourceDetached() { m_DataSource = nullptr; }

protected:
    virtual void ActiveStateChanged() {}
    virtual void FinishPendingEdit() {}
    virtual void RowsChanged() {}
    virtual void WindowScrolled(int /*distance*/) {}
    virtual void EditStateChanged() {}
    virtual void FocusControl(TField* /*field*/) {}
    virtual void FieldLayoutChanged() {}
    virtual void RowChanged(TField* /*field*/) {}
    virtual void WriteBackData() {}

private:
    void UpdateState();
    void AdjustRange();
    // Moves FirstRecord so that the current row is inside; returns the shift.
    int FollowCurrentRow(int distance);

    TDataSource* m_DataSource = nullptr;
    int m_BufferCount = 1;
    int m_FirstRecord = 0;
    bool m_Active = false;
    bool m_Editing = false;
    bool m_ReadOnly = false;
    bool m_Updating = false;
    bool m_VisualControl = false;
};

} // namespace ws
