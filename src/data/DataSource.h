#pragma once

#include "data/DataSet.h"
#include "ui/Component.h"

#include <functional>
#include <vector>

namespace ws {

class TDataLink;
class TField;

// What a data set's consumers attach to: it passes the data set's notifications on to its links
// and tells the data set how many rows its links want to see.
class TDataSource : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TDataSource(TComponent* owner);
    ~TDataSource() override;

    TDataSet* DataSet() const { return m_DataSet; }
    void SetDataSet(TDataSet* dataSet);
    bool Enabled() const { return m_Enabled; }
    void SetEnabled(bool value);
    bool AutoEdit() const { return m_AutoEdit; }
    void SetAutoEdit(bool value) { m_AutoEdit = value; }
    // The data set's state while enabled and attached, else dsInactive.
    TDataSetState State() const { return m_State; }
    const std::vector<TDataLink*>& Links() const { return m_Links; }

    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link);
    // Called by the data set for every notification it sends.
    void DataEvent(TDataEvent event, const TDataEventInfo& info);
    // Starts an edit of the data set's current row when AutoEdit allows it.
    void Edit();

    std::function<void(TObject* Sender, TField* Field)> OnDataChange;
    TNotifyEvent OnStateChange;
    TNotifyEvent OnUpdateData;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void UpdateState();

    TDataSet* m_DataSet = nullptr;
    std::vector<TDataLink*> m_Links;
    TDataSetState m_State = dsInactive;
    bool m_Enabled = true;
    bool m_AutoEdit = true;
};

// The data source the grids of this system use; it behaves exactly like its parent.
class TwsDataSource : public TDataSource {
public:
    WS_CLASS_INFO()
    using TDataSource::TDataSource;
};

} // namespace ws
