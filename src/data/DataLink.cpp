#include "data/DataLink.h"

#include "data/DBError.h"
#include "data/DataSource.h"

#include <algorithm>

namespace ws {

namespace {
constexpr const char* kDataSourceFixed = "DataSource cannot be changed";
} // namespace

TDataLink::~TDataLink() {
    if (m_DataSource)
        m_DataSource->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == m_DataSource)
        return;
    if (m_DataSourceFixed)
        DatabaseError(kDataSourceFixed);
    if (m_DataSource)
        m_DataSource->RemoveLink(this);
    m_DataSource = source;
    if (m_DataSource)
        m_DataSource->AddLink(this);
    UpdateState();
}

TDataSet* TDataLink::DataSet() const {
    return m_DataSource ? m_DataSource->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool value) {
    m_ReadOnly = value;
    UpdateState();
}

void TDataLink::SetBufferCount(int value) {
    value = std::max(value, 1);
    if (value == m_BufferCount)
        return;
    m_BufferCount = value;
    if (!m_Active)
        return;
    AdjustRange();
    DataSet()->UpdateBufferCount();
    AdjustRange();
}

int TDataLink::ActiveRecord() const {
    if (!m_Active || DataSet()->State() == dsSetKey)
        return 0;
    return DataSet()->ActiveRecord() - m_FirstRecord;
}

void TDataLink::SetActiveRecord(int value) {
    if (m_Active && DataSet()->State() != dsSetKey)
        DataSet()->SetActiveRecord(m_FirstRecord + value);
}

int TDataLink::RecordCount() const {
    if (!m_Active)
        return 0;
    if (DataSet()->State() == dsSetKey)
        return 1;
    return std::min(m_BufferCount, DataSet()->WindowRowCount());
}

// Without a data set there are no rows, so both ends are reached.
bool TDataLink::Bof() const {
    return !DataSet() || DataSet()->Bof();
}

bool TDataLink::Eof() const {
    return !DataSet() || DataSet()->Eof();
}

int TDataLink::MoveBy(int distance) {
    return m_Active ? DataSet()->MoveBy(distance) : 0;
}

bool TDataLink::Edit() {
    if (!m_ReadOnly && m_DataSource)
        m_DataSource->Edit();
    return m_Editing;
}

void TDataLink::UpdateState() {
    const bool active = m_DataSource && m_DataSource->State() != dsInactive;
    if (active != m_Active) {
        m_Active = active;
        if (active)
            AdjustRange();
        else
            m_FirstRecord = 0;
        ActiveChanged();
    }
    const TDataSetState state = m_DataSource ? m_DataSource->State() : dsInactive;
    const bool editing = !m_ReadOnly && (state == dsEdit || state == dsInsert || state == dsSetKey);
    if (editing != m_Editing) {
        m_Editing = editing;
        EditingChanged();
    }
}

void TDataLink::AdjustRange() {
    const TDataSet* dataSet = DataSet();
    const int active = dataSet->ActiveRecord();
    const int lowest = std::max(active - m_BufferCount + 1, 0);
    const int highest = std::min(std::max(dataSet->WindowRowCount() - m_BufferCount, 0), active);
    m_FirstRecord = std::max(m_FirstRecord, lowest);
    m_FirstRecord = std::min(m_FirstRecord, highest);
    if (m_FirstRecord != 0 && active - m_FirstRecord < m_BufferCount - 1)
        --m_FirstRecord;
}

int TDataLink::FollowCurrentRow(int distance) {
    const int first = m_FirstRecord + distance;
    const int last = first + m_BufferCount - 1;
    const int active = DataSet()->ActiveRecord();
    int shift = 0;
    if (active > last)
        shift = active - last;
    else if (active < first)
        shift = active - first;
    m_FirstRecord = first + shift;
    return shift;
}

void TDataLink::DataEvent(TDataEvent event, const TDataEventInfo& info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!m_Active)
        return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!m_Updating)
            RecordChanged(event == deFieldChange ? info.field : nullptr);
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        if (DataSet()->State() == dsSetKey)
            break;
        const int shift = FollowCurrentRow(event == deDataSetScroll ? info.distance : 0);
        if (event == deDataSetChange)
            DataSetChanged();
        else if (event == deDataSetScroll)
            DataSetScrolled(shift);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord:
        m_Updating = true;
        try {
            UpdateRecord();
        } catch (...) {
            m_Updating = false;
            throw;
        }
        m_Updating = false;
        break;
    case deFinishPendingEdit:
        FinishPendingEdit();
        break;
    case deFocusControl:
        FocusControl(info.field);
        break;
    default:
        break;
    }
}

} // namespace ws
