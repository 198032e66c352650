#include "data/DataSource.h"

#include "data/DBError.h"
#include "data/DataLink.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>

namespace ws {

namespace {
constexpr const char* kCircularDataLink = "Circular datalinks are not allowed";
} // namespace

const TClassInfo& TDataSource::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDataSource>("TDataSource", TComponent::StaticClassInfo())
            .Reference<TDataSet>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
            .Boolean("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled)
            .Boolean("AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit)
            .Build();
    return info;
}

const TClassInfo& TwsDataSource::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TwsDataSource>("TwsDataSource", TDataSource::StaticClassInfo()).Build();
    return info;
}

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    for (TDataLink* link : m_Links)
        link->SourceDetached({});
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == m_DataSet)
        return;
    // A data set fed by this very source (through a master link) would notify itself forever.
    if (dataSet && dataSet->IsLinkedTo(this))
        DatabaseError(kCircularDataLink, this);
    if (m_DataSet) {
        m_DataSet->RemoveFreeNotification(this);
        m_DataSet->RemoveDataSource(this);
    }
    m_DataSet = dataSet;
    if (m_DataSet) {
        m_DataSet->FreeNotification(this);
        m_DataSet->AddDataSource(this);
    }
    UpdateState();
}

void TDataSource::SetEnabled(bool value) {
    m_Enabled = value;
    UpdateState();
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_DataSet)
        SetDataSet(nullptr);
}

void TDataSource::AddLink(TDataLink* link) {
    m_Links.push_back(link);
    if (m_DataSet)
        m_DataSet->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink* link) {
    std::erase(m_Links, link);
    if (m_DataSet)
        m_DataSet->UpdateBufferCount();
}

void TDataSource::UpdateState() {
    const TDataSetState state = m_Enabled && m_DataSet ? m_DataSet->State() : dsInactive;
    if (state == m_State)
        return;
    const bool wasInactive = m_State == dsInactive;
    m_State = state;
    for (TDataLink* link : std::vector<TDataLink*>(m_Links))
        link->DataEvent(deUpdateState, {});
    if (OnStateChange)
        OnStateChange(this);
    if (wasInactive && OnDataChange)
        OnDataChange(this, nullptr);
}

void TDataSource::DataEvent(TDataEvent event, const TDataEventInfo& info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (m_State == dsInactive)
        return;
    // Links of other consumers first, then those of visual controls; the latest attached first.
    const std::vector<TDataLink*> links(m_Links);
    for (bool visual : {false, true}) {
        for (auto it = links.rbegin(); it != links.rend(); ++it) {
            if ((*it)->VisualControl() == visual)
                (*it)->DataEvent(event, info);
        }
    }
    switch (event) {
    case deFieldChange:
        if (OnDataChange)
            OnDataChange(this, info.field);
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(this);
        break;
    default:
        break;
    }
}

void TDataSource::Edit() {
    if (m_AutoEdit && m_DataSet && m_State == dsBrowse)
        m_DataSet->Edit();
}

} // namespace ws
