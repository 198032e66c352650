#include "data/DataSet.h"

#include "base/Strings.h"
#include "data/DBError.h"
#include "data/DataLink.h"
#include "data/DataSource.h"
#include "data/Field.h"
#include "ui/PropertiesBuilder.h"

#include <algorithm>
#include <exception>

namespace ws {

const TClassInfo& TDataSet::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDataSet>("TDataSet", TComponent::StaticClassInfo())
            .Boolean(
                "Active", [](const TDataSet& d) { return d.IsLoading() ? d.m_StreamedActive : d.Active(); },
                &TDataSet::SetActive)
            .Boolean("AutoCalcFields", &TDataSet::AutoCalcFields, &TDataSet::SetAutoCalcFields)
            .String("Filter", &TDataSet::Filter, &TDataSet::SetFilter)
            .Boolean("Filtered", &TDataSet::Filtered, &TDataSet::SetFiltered)
            .Set<TFilterOption>("FilterOptions", {"foCaseInsensitive", "foNoPartialCompare"},
                                &TDataSet::FilterOptions, &TDataSet::SetFilterOptions)
            .Event<TDataSetNotifyEvent>("BeforeOpen", &TDataSet::BeforeOpen)
            .Event<TDataSetNotifyEvent>("AfterOpen", &TDataSet::AfterOpen)
            .Event<TDataSetNotifyEvent>("BeforeClose", &TDataSet::BeforeClose)
            .Event<TDataSetNotifyEvent>("AfterClose", &TDataSet::AfterClose)
            .Event<TDataSetNotifyEvent>("BeforeRefresh", &TDataSet::BeforeRefresh)
            .Event<TDataSetNotifyEvent>("AfterRefresh", &TDataSet::AfterRefresh)
            .Event<TDataSetNotifyEvent>("BeforeScroll", &TDataSet::BeforeScroll)
            .Event<TDataSetNotifyEvent>("AfterScroll", &TDataSet::AfterScroll)
            .Event<TDataSetNotifyEvent>("BeforeEdit", &TDataSet::BeforeEdit)
            .Event<TDataSetNotifyEvent>("AfterEdit", &TDataSet::AfterEdit)
            .Event<TDataSetNotifyEvent>("BeforeInsert", &TDataSet::BeforeInsert)
            .Event<TDataSetNotifyEvent>("AfterInsert", &TDataSet::AfterInsert)
            .Event<TDataSetNotifyEvent>("BeforePost", &TDataSet::BeforePost)
            .Event<TDataSetNotifyEvent>("AfterPost", &TDataSet::AfterPost)
            .Event<TDataSetNotifyEvent>("BeforeCancel", &TDataSet::BeforeCancel)
            .Event<TDataSetNotifyEvent>("AfterCancel", &TDataSet::AfterCancel)
            .Event<TDataSetNotifyEvent>("BeforeDelete", &TDataSet::BeforeDelete)
            .Event<TDataSetNotifyEvent>("AfterDelete", &TDataSet::AfterDelete)
            .Event<TDataSetNotifyEvent>("OnNewRecord", &TDataSet::OnNewRecord)
            .Event<TDataSetNotifyEvent>("OnCalcFields", &TDataSet::OnCalcFields)
            .Event<TFilterRecordEvent>("OnFilterRecord", &TDataSet::OnFilterRecord)
            .Event<TDataSetErrorEvent>("OnEditError", &TDataSet::OnEditError)
            .Event<TDataSetErrorEvent>("OnPostError", &TDataSet::OnPostError)
            .Event<TDataSetErrorEvent>("OnDeleteError", &TDataSet::OnDeleteError)
            .Build();
    return info;
}

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {
    m_Buffers.push_back(std::make_unique<TRecordBuffer>());
}

TDataSet::~TDataSet() {
    // The storage classes close the data set in their own destructors, while their parts exist.
    m_DisableCount = 1;
    while (!m_DataSources.empty())
        m_DataSources.back()->SetDataSet(nullptr);
    DestroyDefaultFields();
    for (TField* field : m_Fields)
        field->m_DataSet = nullptr;
}

// ---- opening and closing -------------------------------------------------------------------------

void TDataSet::SetActive(bool value) {
    if (IsLoading()) {
        m_StreamedActive = value;
        return;
    }
    if (value == Active())
        return;
    if (value)
        OpenDataSet();
    else
        CloseDataSet();
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (m_StreamedActive)
        SetActive(true);
}

void TDataSet::OpenDataSet() {
    Notify(BeforeOpen);
    try {
        InternalOpen();
    } catch (...) {
        try {
            InternalClose();
        } catch (...) {
        }
        throw;
    }
    m_StorageOpen = true;
    std::exception_ptr fillError;
    try {
        SetBufferCount(WantedBufferCount());
        ClearBuffers();
        InternalFirst();
        if (GetNextRecord())
            GetNextRecords();
        m_BOF = true;
    } catch (...) {
        fillError = std::current_exception();
    }
    // A failed fill still leaves the view open with the rows fetched so far.
    SetState(dsBrowse);
    if (fillError)
        std::rethrow_exception(fillError);
    Notify(AfterOpen);
}

void TDataSet::CloseDataSet() {
    Notify(BeforeClose);
    if (m_State == dsEdit || m_State == dsInsert) {
        try {
            InternalCancel();
        } catch (...) {
        }
    }
    SetState(dsInactive);
    ClearBuffers();
    m_StorageOpen = false;
    m_BufferCount = 0;
    m_Buffers.clear();
    m_Buffers.push_back(std::make_unique<TRecordBuffer>());
    InternalClose();
    for (TField* field : m_Fields)
        SetFieldNumber(*field, 0);
    DestroyDefaultFields();
    m_CalcFieldCount = 0;
    m_CalcAreaSize = 0;
    m_BlobFieldCount = 0;
    Notify(AfterClose);
}

void TDataSet::CheckActive() const {
    if (!Active())
        DatabaseError(messages::DataSetClosed, this);
}

void TDataSet::CheckInactive() const {
    if (Active())
        DatabaseError(messages::DataSetOpen, this);
}

// ---- fields --------------------------------------------------------------------------------------

TField* TDataSet::FindFieldNamed(std::string_view name) const {
    for (TField* field : m_Fields) {
        if (SameText(field->FieldName(), name))
            return field;
    }
    return nullptr;
}

TField* TDataSet::FieldNamed(std::string_view name) const {
    TField* field = FindFieldNamed(name);
    if (!field)
        DatabaseError(Format(messages::FieldNotFound, std::string(name).c_str()), this);
    return field;
}

void TDataSet::AddField(TField* field) {
    if (std::find(m_Fields.begin(), m_Fields.end(), field) == m_Fields.end())
        m_Fields.push_back(field);
}

void TDataSet::CheckInactiveFor(const TField&) const {
    CheckInactive();
}

void TDataSet::RemoveField(TField* field) {
    std::erase(m_Fields, field);
}

void TDataSet::SetFieldNumber(TField& field, int fieldNo) {
    field.m_FieldNo = fieldNo;
}

void TDataSet::MarkDefaultField(TField& field) {
    field.m_Default = true;
}

void TDataSet::DestroyDefaultFields() {
    std::vector<TField*> defaults;
    for (TField* field : m_Fields) {
        if (field->m_Default)
            defaults.push_back(field);
    }
    for (TField* field : defaults)
        TComponent::Free(field);
}

void TDataSet::BindFieldLayout() {
    m_CalcFieldCount = 0;
    m_CalcAreaSize = 0;
    m_BlobFieldCount = 0;
    for (TField* field : m_Fields) {
        if (!field->IsStored()) {
            field->m_Offset = m_CalcAreaSize;
            m_CalcAreaSize += field->DataSize() + 1;
            ++m_CalcFieldCount;
        } else if (field->IsBlob()) {
            field->m_BlobSlot = m_BlobFieldCount++;
        }
    }
}

// ---- the row window ------------------------------------------------------------------------------

void TDataSet::AllocateBuffers(int count) {
    m_Buffers.resize(static_cast<std::size_t>(count) + 1);
    const auto recordSize = static_cast<std::size_t>(m_StorageOpen ? RecordSize() : 0);
    const auto bookmarkSize = static_cast<std::size_t>(m_StorageOpen ? BookmarkSize() : 0);
    for (auto& buffer : m_Buffers) {
        if (!buffer)
            buffer = std::make_unique<TRecordBuffer>();
        buffer->Record.resize(recordSize);
        buffer->CalcArea.resize(static_cast<std::size_t>(m_CalcAreaSize));
        buffer->BlobCache.resize(static_cast<std::size_t>(m_BlobFieldCount));
        buffer->Bookmark.resize(bookmarkSize);
    }
}

void TDataSet::ClearBuffers() {
    m_RecordCount = 0;
    m_ActiveRecord = 0;
    m_CurrentRecord = -1;
    m_BOF = true;
    m_EOF = true;
}

void TDataSet::ActivateBuffers() {
    m_RecordCount = 1;
    m_ActiveRecord = 0;
    m_CurrentRecord = 0;
    m_BOF = false;
    m_EOF = false;
}

void TDataSet::MoveBuffer(int from, int to) {
    if (from == to)
        return;
    auto begin = m_Buffers.begin();
    if (from < to)
        std::rotate(begin + from, begin + from + 1, begin + to + 1);
    else
        std::rotate(begin + to, begin + from, begin + from + 1);
}

void TDataSet::SetCurrentRecord(int index) {
    if (m_CurrentRecord == index)
        return;
    InternalSetToRecord(*m_Buffers[BufferIndex(index)]);
    m_CurrentRecord = index;
}

void TDataSet::UpdateCursorPos() {
    if (m_RecordCount > 0)
        SetCurrentRecord(m_ActiveRecord);
}

bool TDataSet::GetNextRecord() {
    if (m_RecordCount > 0)
        SetCurrentRecord(m_RecordCount - 1);
    const bool found = InternalGetRecord(ScratchBuffer(), TGetMode::Next, true) == TGetResult::OK;
    if (!found) {
        CursorPosChanged();
        return false;
    }
    if (m_RecordCount == 0)
        ActivateBuffers();
    else if (m_RecordCount < m_BufferCount)
        ++m_RecordCount;
    else
        MoveBuffer(0, m_RecordCount);
    m_CurrentRecord = m_RecordCount - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    if (m_RecordCount > 0)
        SetCurrentRecord(0);
    const bool found = InternalGetRecord(ScratchBuffer(), TGetMode::Prior, true) == TGetResult::OK;
    if (!found) {
        CursorPosChanged();
        return false;
    }
    if (m_RecordCount == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(m_RecordCount, 0);
        if (m_RecordCount < m_BufferCount) {
            ++m_RecordCount;
            ++m_ActiveRecord;
        }
    }
    m_CurrentRecord = 0;
    return true;
}

int TDataSet::GetNextRecords() {
    int added = 0;
    while (m_RecordCount < m_BufferCount && GetNextRecord())
        ++added;
    return added;
}

int TDataSet::GetPriorRecords() {
    int added = 0;
    while (m_RecordCount < m_BufferCount && GetPriorRecord())
        ++added;
    return added;
}

void TDataSet::SetActiveRecord(int index) {
    if (index >= 0 && index < std::max(m_RecordCount, 1))
        m_ActiveRecord = index;
}

int TDataSet::WantedBufferCount() const {
    int wanted = 1;
    for (TDataSource* source : m_DataSources) {
        for (TDataLink* link : source->Links())
            wanted = std::max(wanted, link->BufferCount());
    }
    return wanted;
}

void TDataSet::UpdateBufferCount() {
    if (Active())
        SetBufferCount(WantedBufferCount());
}

void TDataSet::SetBufferCount(int value) {
    if (value == m_BufferCount && static_cast<int>(m_Buffers.size()) == value + 1)
        return;
    std::vector<TDataLink*> links;
    for (TDataSource* source : m_DataSources) {
        for (TDataLink* link : source->Links()) {
            if (link->Active())
                links.push_back(link);
        }
    }
    if (value < m_BufferCount && m_RecordCount > 0) {
        // Keep the rows from the first one any link shows (or the current row), moved back so
        // that the smaller window is filled; the current row always stays.
        int start = m_ActiveRecord;
        for (TDataLink* link : links)
            start = std::min(start, link->FirstRecord());
        start = std::min(start, std::max(0, m_RecordCount - value));
        start = std::max({start, m_ActiveRecord - value + 1, 0});
        std::rotate(m_Buffers.begin(), m_Buffers.begin() + start, m_Buffers.end());
        m_ActiveRecord -= start;
        for (TDataLink* link : links)
            link->ShiftFirstRecord({}, -start);
        m_RecordCount = std::min(m_RecordCount - start, value);
        m_CurrentRecord -= start;
        if (m_CurrentRecord < 0 || m_CurrentRecord >= m_RecordCount)
            CursorPosChanged();
    }
    m_BufferCount = value;
    AllocateBuffers(value);
    if (m_RecordCount == 0 || m_State == dsInsert)
        return;
    GetNextRecords();
    const int addedInFront = GetPriorRecords();
    for (TDataLink* link : links)
        link->ShiftFirstRecord({}, addedInFront);
}

// ---- moving --------------------------------------------------------------------------------------

void TDataSet::DoBeforeScroll() {
    Notify(BeforeScroll);
}

void TDataSet::DoAfterScroll() {
    Notify(AfterScroll);
}

void TDataSet::First() {
    FinishPendingEdit();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        if (GetNextRecord())
            GetNextRecords();
    } catch (...) {
        m_BOF = true;
        DataEvent(deDataSetChange);
        throw;
    }
    m_BOF = true;
    DataEvent(deDataSetChange);
    DoAfterScroll();
}

void TDataSet::Last() {
    FinishPendingEdit();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        if (GetPriorRecord())
            GetPriorRecords();
    } catch (...) {
        m_EOF = true;
        DataEvent(deDataSetChange);
        throw;
    }
    m_EOF = true;
    DataEvent(deDataSetChange);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    FinishPendingEdit();
    DoBeforeScroll();
    if ((distance > 0 && m_EOF) || (distance < 0 && m_BOF) || distance == 0)
        return 0;
    m_BOF = false;
    m_EOF = false;
    const int oldRecordCount = m_RecordCount;
    int moved = 0;
    int shifts = 0;
    const auto notify = [&] {
        if (m_RecordCount != oldRecordCount)
            DataEvent(deDataSetChange);
        else
            DataEvent(deDataSetScroll, {.distance = shifts});
    };
    try {
        for (; distance > 0; --distance, ++moved) {
            if (m_ActiveRecord < m_RecordCount - 1) {
                ++m_ActiveRecord;
                continue;
            }
            const bool full = m_RecordCount >= m_BufferCount;
            if (!GetNextRecord()) {
                m_EOF = true;
                break;
            }
            if (full)
                --shifts;
            else
                m_ActiveRecord = m_RecordCount - 1;
        }
        for (; distance < 0; ++distance, --moved) {
            if (m_ActiveRecord > 0) {
                --m_ActiveRecord;
                continue;
            }
            const bool full = m_RecordCount >= m_BufferCount;
            if (!GetPriorRecord()) {
                m_BOF = true;
                break;
            }
            if (full)
                ++shifts;
            else
                m_ActiveRecord = 0;
        }
    } catch (...) {
        notify();
        throw;
    }
    notify();
    DoAfterScroll();
    return moved;
}

void TDataSet::RebuildWindow(bool exact, bool center) {
    if (exact) {
        CursorPosChanged();
        if (InternalGetRecord(ScratchBuffer(), TGetMode::Current, true) != TGetResult::OK)
            DatabaseError(messages::RecordNotFound, this);
    } else if (InternalGetRecord(ScratchBuffer(), TGetMode::Current, false) != TGetResult::OK &&
               InternalGetRecord(ScratchBuffer(), TGetMode::Next, false) != TGetResult::OK &&
               InternalGetRecord(ScratchBuffer(), TGetMode::Prior, false) != TGetResult::OK) {
        ClearBuffers();
        DataEvent(deDataSetChange);
        return;
    }
    FillWindowAround(center);
}

void TDataSet::FillWindowAround(bool center) {
    int before = center ? (m_BufferCount - 1) / 2 : std::min(m_ActiveRecord, m_BufferCount - 1);
    MoveBuffer(m_RecordCount, 0);
    ActivateBuffers();
    try {
        while (before > 0 && GetPriorRecord())
            --before;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange);
        throw;
    }
    DataEvent(deDataSetChange);
}

void TDataSet::Refresh() {
    Notify(BeforeRefresh);
    FinishPendingEdit();
    UpdateCursorPos();
    std::exception_ptr rereadError;
    try {
        InternalRefresh();
    } catch (...) {
        rereadError = std::current_exception();
    }
    RebuildWindow(false, false);
    if (rereadError)
        std::rethrow_exception(rereadError);
    Notify(AfterRefresh);
}

int TDataSet::RecordCount() {
    CheckActive();
    return InternalRecordCount();
}

bool TDataSet::Locate(const std::string&, const std::vector<std::string>&, TLocateOptions) {
    CheckActive();
    return false;
}

// ---- editing -------------------------------------------------------------------------------------

void TDataSet::CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& onError) {
    for (;;) {
        try {
            operation();
            return;
        } catch (EDatabaseError& e) {
            TDataAction action = TDataAction::daFail;
            if (onError)
                onError(this, e, action);
            if (action == TDataAction::daFail)
                throw;
            if (action == TDataAction::daAbort)
                throw Exception("Operation aborted");
        }
    }
}

void TDataSet::Edit() {
    if (m_State == dsEdit || m_State == dsInsert)
        return;
    CheckActive();
    if (IsEmpty()) {
        Insert();
        return;
    }
    FinishPendingEdit();
    if (!CanModify())
        DatabaseError(messages::DataSetReadOnly, this);
    Notify(BeforeEdit);
    CheckOperation(
        [this] {
            UpdateCursorPos();
            TRecordBuffer& buffer = *m_Buffers[BufferIndex(m_ActiveRecord)];
            const TRecordBuffer shown = buffer;
            InternalEdit(buffer);
            try {
                buffer.ClearBlobCache();
                GetCalcFields(buffer);
            } catch (...) {
                // The view stays in Browse: it must not keep the row locked, and it shows the
                // row as it did before.
                buffer = shown;
                try {
                    InternalCancel();
                } catch (...) {
                }
                throw;
            }
        },
        OnEditError);
    SetState(dsEdit);
    DataEvent(deRecordChange);
    Notify(AfterEdit);
}

void TDataSet::Insert() {
    FinishPendingEdit();
    if (!CanModify())
        DatabaseError(messages::DataSetReadOnly, this);
    Notify(BeforeInsert);
    DoBeforeScroll();
    // The new row stands in front of the current one; it keeps that row's position so that a
    // cancel can find its way back.
    TRecordBuffer& fresh = ScratchBuffer();
    const bool empty = IsEmpty();
    if (!empty)
        fresh.Bookmark = m_Buffers[BufferIndex(m_ActiveRecord)]->Bookmark;
    InternalInitRecord(fresh);
    fresh.ClearCalcFields();
    fresh.ClearBlobCache();
    fresh.RecordNumber = -1;
    fresh.BookmarkFlag = empty ? TBookmarkFlag::bfEOF : TBookmarkFlag::bfInserted;
    MoveBuffer(m_RecordCount, m_ActiveRecord);
    if (m_RecordCount < m_BufferCount)
        ++m_RecordCount;
    m_BOF = false;
    m_EOF = false;
    CursorPosChanged();
    SetState(dsInsert);
    Notify(OnNewRecord);
    m_Modified = false;
    DataEvent(deDataSetChange);
    Notify(AfterInsert);
    DoAfterScroll();
}

void TDataSet::UpdateRecord() {
    if (m_State != dsEdit && m_State != dsInsert && m_State != dsSetKey)
        DatabaseError(messages::NotEditing, this);
    DataEvent(deUpdateRecord);
}

void TDataSet::CheckRequiredFields() {
    for (TField* field : m_Fields) {
        if (field->FieldKind() == fkData && field->Required() && !field->ReadOnly() && field->IsNull()) {
            field->FocusControl();
            DatabaseError(Format(messages::FieldRequired, field->DisplayName().c_str()));
        }
    }
}

void TDataSet::DoBeforePost() {
    Notify(BeforePost);
}

void TDataSet::Post() {
    UpdateRecord();
    if (m_State == dsSetKey) {
        SetState(dsBrowse);
        return;
    }
    DataEvent(deFinishPendingEdit);
    DoBeforePost();
    const bool inserting = m_State == dsInsert;
    CheckOperation(
        [this, inserting] {
            CheckRequiredFields();
            if (!inserting)
                UpdateCursorPos();
            InternalPost(*m_Buffers[BufferIndex(m_ActiveRecord)], inserting);
        },
        OnPostError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    RebuildWindow(false, false);
    Notify(AfterPost);
}

void TDataSet::Cancel() {
    if (m_State != dsEdit && m_State != dsInsert)
        return;
    DataEvent(deFinishPendingEdit);
    const bool inserting = m_State == dsInsert;
    Notify(BeforeCancel);
    if (inserting)
        DoBeforeScroll();
    UpdateCursorPos();
    if (!inserting)
        InternalCancel();
    FreeFieldBuffers();
    SetState(dsBrowse);
    RebuildWindow(false, false);
    Notify(AfterCancel);
    if (inserting)
        DoAfterScroll();
}

void TDataSet::Delete() {
    CheckActive();
    if (m_State == dsInsert) {
        Cancel();
        return;
    }
    if (IsEmpty())
        DatabaseError(messages::EmptyDataSet, this);
    FinishPendingEdit();
    if (!CanModify())
        DatabaseError(messages::DataSetReadOnly, this);
    Notify(BeforeDelete);
    DoBeforeScroll();
    CheckOperation(
        [this] {
            UpdateCursorPos();
            InternalDelete();
        },
        OnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    RebuildWindow(false, false);
    Notify(AfterDelete);
    DoAfterScroll();
}

void TDataSet::FreeFieldBuffers() {
    for (auto& buffer : m_Buffers)
        buffer->ClearBlobCache();
}

void TDataSet::FinishPendingEdit() {
    CheckActive();
    DataEvent(deFinishPendingEdit);
    switch (m_State) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (m_Modified)
            Post();
        else
            Cancel();
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

// ---- filters -------------------------------------------------------------------------------------

void TDataSet::SetFilter(const std::string& text) {
    if (!Active()) {
        m_FilterText = text;
        return;
    }
    FinishPendingEdit();
    // Filters that a failed change left in doubt are built again even for the same text.
    if (text != m_FilterText || !FiltersInForce())
        ApplyFilter(text, m_FilterOptions, m_Filtered, true);
    m_FilterText = text;
    if (m_Filtered)
        First();
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
    if (!Active()) {
        m_FilterOptions = options;
        return;
    }
    FinishPendingEdit();
    if (options != m_FilterOptions || !FiltersInForce())
        ApplyFilter(m_FilterText, options, m_Filtered, true);
    m_FilterOptions = options;
    if (m_Filtered)
        First();
}

void TDataSet::SetFiltered(bool value) {
    if (!Active()) {
        m_Filtered = value;
        return;
    }
    FinishPendingEdit();
    if (value != m_Filtered || !FiltersInForce())
        ApplyFilter(m_FilterText, m_FilterOptions, value, false);
    m_Filtered = value;
    First();
}

// ---- states, calculated fields and notifications -------------------------------------------------

void TDataSet::SetState(TDataSetState state) {
    if (state == m_State)
        return;
    m_State = state;
    m_Modified = false;
    DataEvent(deUpdateState);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    const TDataSetState previous = m_State;
    m_State = state;
    if (state == dsFilter)
        ++m_DisableCount;
    return previous;
}

void TDataSet::RestoreState(TDataSetState state) {
    if (m_State == dsFilter)
        --m_DisableCount;
    m_State = state;
    if (state == dsInactive || state == dsBrowse)
        m_FilterBuffer = nullptr;
}

void TDataSet::GetCalcFields(TRecordBuffer& buffer) {
    if (m_CalcFieldCount == 0)
        return;
    const TDataSetState previous = SetTempState(dsCalcFields);
    TRecordBuffer* previousBuffer = m_CalcBuffer;
    m_CalcBuffer = &buffer;
    try {
        buffer.ClearCalcFields();
        DoOnCalcFields();
    } catch (...) {
        m_CalcBuffer = previousBuffer;
        RestoreState(previous);
        throw;
    }
    m_CalcBuffer = previousBuffer;
    RestoreState(previous);
}

void TDataSet::DoOnCalcFields() {
    if (OnCalcFields)
        OnCalcFields(this);
}

void TDataSet::EnableControls() {
    if (m_DisableCount == 0)
        return;
    if (--m_DisableCount == 0)
        DataEvent(deDataSetChange);
}

void TDataSet::AddDataSource(TDataSource* source) {
    if (std::find(m_DataSources.begin(), m_DataSources.end(), source) != m_DataSources.end())
        return;
    m_DataSources.push_back(source);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    std::erase(m_DataSources, source);
    UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(const TDataSource* source) const {
    // A chain longer than the number of views there can be is already a loop; stop there.
    const TDataSet* dataSet = this;
    for (int depth = 0; dataSet && source && depth < 1024; ++depth) {
        const TDataSource* master = dataSet->MasterSource();
        if (!master)
            return false;
        if (master == source)
            return true;
        dataSet = master->DataSet();
    }
    return false;
}

void TDataSet::NotifyFocusControl(TField& field) {
    DataEvent(deFocusControl, {.field = &field});
}

void TDataSet::DataEvent(TDataEvent event, const TDataEventInfo& info) {
    if (event == deFieldChange) {
        TField* field = info.field;
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc)
            m_Modified = true;
        if (m_State != dsSetKey) {
            if (field->FieldKind() == fkData && m_AutoCalcFields && ActiveBuffer())
                GetCalcFields(*ActiveBuffer());
            if (field->OnChange)
                field->OnChange(field);
        }
    }
    if (m_DisableCount == 0) {
        for (TDataSource* source : std::vector<TDataSource*>(m_DataSources))
            source->DataEvent(event, info);
    } else if (event == deUpdateState) {
        for (TDataSource* source : std::vector<TDataSource*>(m_DataSources))
            source->DataEvent(deDisabledStateChange, {.active = Active()});
    }
}

// ---- field values --------------------------------------------------------------------------------

TRecordBuffer* TDataSet::ActiveBuffer() const {
    switch (m_State) {
    case dsBrowse:
    case dsEdit:
    case dsInsert:
        return IsEmpty() ? nullptr : m_Buffers[BufferIndex(m_ActiveRecord)].get();
    case dsCalcFields:
        return m_CalcBuffer;
    case dsFilter:
        return m_FilterBuffer;
    case dsSetKey:
        return m_FilterBuffer;
    default:
        return nullptr;
    }
}

bool TDataSet::GetFieldData(const TField& field, std::vector<std::uint8_t>& data) const {
    const TRecordBuffer* buffer = ActiveBuffer();
    if (!buffer)
        return false;
    if (field.IsStored())
        return GetStoredFieldData(field, buffer, data);
    const auto offset = static_cast<std::size_t>(field.m_Offset);
    if (field.FieldNo() == 0 || offset >= buffer->CalcArea.size() || buffer->CalcArea[offset] == 0)
        return false;
    const auto begin = buffer->CalcArea.begin() + static_cast<std::ptrdiff_t>(offset) + 1;
    data.assign(begin, begin + field.DataSize());
    return true;
}

void TDataSet::SetFieldData(TField& field, const void* data) {
    const TDataSetState state = m_State;
    const bool writable = state == dsEdit || state == dsInsert || state == dsSetKey ||
                          state == dsCalcFields || state == dsFilter || state == dsNewValue;
    if (!writable || (state == dsCalcFields && field.IsStored()))
        DatabaseError(messages::NotEditing, this);
    if (field.ReadOnly() && field.IsStored() && state != dsSetKey && state != dsFilter)
        DatabaseError(Format(messages::FieldReadOnly, field.DisplayName().c_str()));
    TRecordBuffer* buffer = ActiveBuffer();
    if (!buffer)
        DatabaseError(messages::NotEditing, this);
    if (field.IsStored()) {
        SetStoredFieldData(field, *buffer, data);
    } else {
        const auto offset = static_cast<std::size_t>(field.m_Offset);
        if (field.FieldNo() == 0 || offset >= buffer->CalcArea.size())
            DatabaseError(messages::DataSetClosed, this);
        buffer->CalcArea[offset] = data ? 1 : 0;
        auto* value = buffer->CalcArea.data() + offset + 1;
        if (data)
            std::copy_n(static_cast<const std::uint8_t*>(data), field.DataSize(), value);
        else
            std::fill_n(value, field.DataSize(), std::uint8_t{0});
    }
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, {.field = &field});
}

bool TDataSet::GetBlobText(const TField& field, std::string& text) const {
    TRecordBuffer* buffer = ActiveBuffer();
    if (!buffer || field.m_BlobSlot < 0 || field.m_BlobSlot >= static_cast<int>(buffer->BlobCache.size()))
        return false;
    TBlobCacheEntry& entry = buffer->BlobCache[static_cast<std::size_t>(field.m_BlobSlot)];
    if (!entry.Cached) {
        std::string value;
        entry.IsNull = !ReadBlob(field, *buffer, value);
        entry.Text = std::move(value);
        entry.Cached = true;
    }
    text = entry.Text;
    return !entry.IsNull;
}

void TDataSet::SetBlobText(TField& field, const std::string* text) {
    const TDataSetState state = m_State;
    if (state != dsEdit && state != dsInsert)
        DatabaseError(messages::NotEditing, this);
    if (field.ReadOnly())
        DatabaseError(Format(messages::FieldReadOnly, field.DisplayName().c_str()));
    TRecordBuffer* buffer = ActiveBuffer();
    if (!buffer || field.m_BlobSlot < 0)
        DatabaseError(messages::NotEditing, this);
    WriteBlob(field, *buffer, text);
    TBlobCacheEntry& entry = buffer->BlobCache[static_cast<std::size_t>(field.m_BlobSlot)];
    entry = {true, text == nullptr, text ? *text : std::string()};
    DataEvent(deFieldChange, {.field = &field});
}

} // namespace ws
