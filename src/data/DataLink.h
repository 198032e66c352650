#pragma once

#include "base/Passkey.h"
#include "data/DataSet.h"

namespace ws {

class TDataSource;
class TField;

// A consumer's view into a data set's row window: how many consecutive rows it shows
// (BufferCount) and where they start in the window (FirstRecord). The notification callbacks
// do nothing here; consumers override the ones they need. Each is named after the notification
// it answers: deDataSetChange DataSetChanged, deDataSetScroll DataSetScrolled, deLayoutChange
// LayoutChanged, deRecordChange and deFieldChange RecordChanged, deUpdateRecord UpdateRecord;
// deUpdateState calls ActiveChanged and EditingChanged when those change.
//
// A link sees nothing but state changes while its source is inactive. Otherwise it follows the
// current row: after every change of rows, scroll or layout change FirstRecord moves just enough
// to keep the current row among the link's BufferCount rows.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return m_DataSource; }
    // Detaches from the old source and attaches to the new one; "DataSource cannot be changed"
    // while the source is fixed.
    void SetDataSource(TDataSource* source);
    bool DataSourceFixed() const { return m_DataSourceFixed; }
    void SetDataSourceFixed(bool value) { m_DataSourceFixed = value; }
    TDataSet* DataSet() const;
    bool Active() const { return m_Active; }
    bool Editing() const { return m_Editing; }
    bool ReadOnly() const { return m_ReadOnly; }
    void SetReadOnly(bool value);
    // Links of visual controls (grids) hear every notification after the other links.
    bool VisualControl() const { return m_VisualControl; }
    void SetVisualControl(bool value) { m_VisualControl = value; }
    // True while the link writes its consumer's pending values into the row.
    bool Updating() const { return m_Updating; }

    int FirstRecord() const { return m_FirstRecord; }
    // Rows wanted (at least 1). On an active link the data set re-sizes its window to the
    // largest request of all its links, and FirstRecord is kept around the current row.
    virtual int BufferCount() const { return m_BufferCount; }
    virtual void SetBufferCount(int value);
    // Index of the current row within this link's rows; 0 while a key is being entered.
    virtual int ActiveRecord() const;
    // Makes row i of this link the data set's current buffer, with no notification and no
    // storage access: a consumer paints row i by setting it, reading fields and setting it back.
    virtual void SetActiveRecord(int value);
    // Rows this link can show: its buffer count or the rows in the window, the fewer.
    virtual int RecordCount() const;
    virtual bool Bof() const;
    virtual bool Eof() const;
    virtual int MoveBy(int distance);
    // Asks the source to start an edit of the current row; true when the link is now editing.
    bool Edit();

    // For the data source: one notification of the data set.
    virtual void DataEvent(TDataEvent event, const TDataEventInfo& info);
    // For the data set re-sizing its window.
    void ShiftFirstRecord(TPasskey<TDataSet>, int delta) { m_FirstRecord += delta; }
    // For the data source as it goes.
    void SourceDetached(TPasskey<TDataSource>) { m_DataSource = nullptr; }

protected:
    virtual void ActiveChanged() {}
    virtual void FinishPendingEdit() {}
    virtual void DataSetChanged() {}
    virtual void DataSetScrolled(int /*distance*/) {}
    virtual void EditingChanged() {}
    virtual void FocusControl(TField* /*field*/) {}
    virtual void LayoutChanged() {}
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void UpdateRecord() {}

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
    bool m_DataSourceFixed = false;
};

} // namespace ws
