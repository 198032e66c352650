#pragma once

#include "base/EnumSet.h"
#include "data/FieldDefs.h"
#include "data/RecordBuffer.h"
#include "ui/Component.h"

#include <cassert>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ws {

class TField;
class TDataSource;
class TDataSet;
class EDatabaseError;

// The order of the values is part of the contract: handlers compare states.
enum TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening,
};

// What a data set tells its data sources, in the order of their values.
enum TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deFinishPendingEdit,
    dePropertyChange,
    deFieldListChange,
    deFocusControl,
    deParentScroll,
    deConnectChange,
    deReconcileError,
    deDisabledStateChange,
};

// What travels with a notification. Only these carry anything: deFieldChange and deFocusControl
// the field, deDataSetScroll the rows the window moved, deDisabledStateChange whether the data
// set is open.
struct TDataEventInfo {
    TField* field = nullptr;
    int distance = 0;
    bool active = false;
};

enum class TFilterOption { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TEnumSet<TFilterOption>;

enum class TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = TEnumSet<TLocateOption>;

enum class TDataAction { daFail, daAbort, daRetry };

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;

// The state machine, the row window, the field objects and the notifications of a table view.
//
// The row window holds BufferCount + 1 buffers: the first WindowRowCount() hold consecutive rows
// in cursor order, the one after them receives the next fetch. Rows move through the window by
// rotating the list of buffer pointers. ActiveRecord is the current row's buffer, CurrentRecord
// the buffer the cursor is known to sit on (-1 when unknown).
//
// The storage behind the rows comes from a subclass through the protected Internal... hooks.
class TDataSet : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TDataSet(TComponent* owner);
    ~TDataSet() override;

    // ---- opening --------------------------------------------------------------------------------
    bool Active() const { return m_State != dsInactive && m_State != dsOpening; }
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return m_State; }
    void Loaded() override;

    // ---- fields ---------------------------------------------------------------------------------
    int FieldCount() const { return static_cast<int>(m_Fields.size()); }
    TField* Fields(int index) const {
        assert(index >= 0 && static_cast<std::size_t>(index) < m_Fields.size());
        return m_Fields[static_cast<std::size_t>(index)];
    }
    // By name without regard to case; FieldNamed raises "Field '%s' not found".
    TField* FindFieldNamed(std::string_view name) const;
    TField* FieldNamed(std::string_view name) const;
    const TFieldDefs& FieldDefs() const { return m_FieldDefs; }
    bool AutoCalcFields() const { return m_AutoCalcFields; }
    void SetAutoCalcFields(bool value) { m_AutoCalcFields = value; }
    bool Modified() const { return m_Modified; }

    // ---- moving ---------------------------------------------------------------------------------
    void First();
    void Last();
    int MoveBy(int distance);
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    bool Bof() const { return m_BOF; }
    bool Eof() const { return m_EOF; }
    bool IsEmpty() const { return m_ActiveRecord >= m_RecordCount; }
    void Refresh();
    // Rows the cursor yields through its filters, asked of the storage on every call.
    int RecordCount();
    // Key fields separated by ";", one value per field, exact and case-sensitive by default.
    virtual bool Locate(const std::string& keyFields, const std::vector<std::string>& keyValues,
                        TLocateOptions options = {});
    bool Locate(const std::string& keyField, const std::string& keyValue, TLocateOptions options = {}) {
        return Locate(keyField, std::vector<std::string>{keyValue}, options);
    }

    // ---- editing --------------------------------------------------------------------------------
    void Edit();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    // Ends an edit in progress: posts when modified, else cancels.
    void FinishPendingEdit();
    virtual bool CanModify() const { return true; }

    // ---- filters --------------------------------------------------------------------------------
    const std::string& Filter() const { return m_FilterText; }
    void SetFilter(const std::string& text);
    bool Filtered() const { return m_Filtered; }
    void SetFiltered(bool value);
    // Whether the storage applies exactly the filters that Filter and Filtered say; false after
    // an exchange or activation of them failed part-way, until setting them again succeeds.
    virtual bool FiltersInForce() const { return true; }
    TFilterOptions FilterOptions() const { return m_FilterOptions; }
    void SetFilterOptions(TFilterOptions options);

    // ---- data sources and the window ------------------------------------------------------------
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    // The source this data set follows as a detail of another view; none here.
    virtual TDataSource* MasterSource() const { return nullptr; }
    // Whether `source` feeds this data set, directly or further up a chain of master links.
    bool IsLinkedTo(const TDataSource* source) const;
    int DataSourceCount() const { return static_cast<int>(m_DataSources.size()); }
    // Re-sizes the window to the largest request of the links of the attached sources.
    void UpdateBufferCount();
    int BufferCount() const { return m_BufferCount; }
    int WindowRowCount() const { return m_RecordCount; }
    int ActiveRecord() const { return m_ActiveRecord; }
    // Makes another window row current without notifying or touching the cursor (grids paint so).
    void SetActiveRecord(int index);
    int CurrentRecord() const { return m_CurrentRecord; }
    // The buffer of window row i (0 .. WindowRowCount()-1); the scratch buffer at WindowRowCount().
    const TRecordBuffer& Buffer(int index) const { return *m_Buffers[BufferIndex(index)]; }
    void DisableControls() { ++m_DisableCount; }
    void EnableControls();
    bool ControlsDisabled() const { return m_DisableCount != 0; }

    // ---- field access (for TField) --------------------------------------------------------------
    bool GetFieldData(const TField& field, std::vector<std::uint8_t>& data) const;
    void SetFieldData(TField& field, const void* data);
    bool GetBlobText(const TField& field, std::string& text) const;
    void SetBlobText(TField& field, const std::string* text);
    void NotifyFocusControl(TField& field);
    void AddField(TField* field);
    // A field's name, kind and size are fixed while its data set is open.
    void CheckInactiveFor(const TField& field) const;
    void RemoveField(TField* field);

    // ---- events ---------------------------------------------------------------------------------
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeEdit, AfterEdit, BeforeInsert, AfterInsert, BeforePost, AfterPost;
    TDataSetNotifyEvent BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, OnNewRecord;
    TDataSetNotifyEvent OnCalcFields;
    TFilterRecordEvent OnFilterRecord;
    TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;

protected:
    enum class TGetMode { Current, Next, Prior };
    enum class TGetResult { OK, BOF, EOF_, Error };

    // ---- storage hooks --------------------------------------------------------------------------
    // Opens the storage, loads the field definitions and binds the fields (steps before the fill).
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual int RecordSize() const = 0;
    virtual int BookmarkSize() const = 0;
    // Reads a row into the buffer; other failures than the ends raise when `check` is set.
    virtual TGetResult InternalGetRecord(TRecordBuffer& buffer, TGetMode mode, bool check) = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalSetToRecord(const TRecordBuffer& buffer) = 0;
    virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;
    // Reads the current row again into the buffer with a write lock.
    virtual void InternalEdit(TRecordBuffer& buffer) = 0;
    virtual void InternalPost(TRecordBuffer& buffer, bool inserting) = 0;
    virtual void InternalCancel() = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalRefresh() = 0;
    virtual int InternalRecordCount() = 0;
    virtual bool GetStoredFieldData(const TField& field, const TRecordBuffer* buffer,
                                    std::vector<std::uint8_t>& data) const = 0;
    virtual void SetStoredFieldData(TField& field, TRecordBuffer& buffer, const void* data) = 0;
    virtual bool ReadBlob(const TField& field, const TRecordBuffer& buffer, std::string& text) const = 0;
    virtual void WriteBlob(TField& field, TRecordBuffer& buffer, const std::string* text) = 0;
    // Called before the filter state changes; the subclass exchanges its storage filters.
    virtual void ApplyFilter(const std::string& text, TFilterOptions options, bool filtered,
                             bool textChanged) = 0;

    // ---- events and notifications ---------------------------------------------------------------
    virtual void DataEvent(TDataEvent event, const TDataEventInfo& info = {});
    virtual void DoBeforePost();
    virtual void DoOnCalcFields();

    // ---- for subclasses -------------------------------------------------------------------------
    void CheckActive() const;
    void CheckInactive() const;
    void SetState(TDataSetState state);
    // A state entered around one computation and restored afterwards, without notification.
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state);
    // Computes the calculated fields of a buffer that was just filled.
    void GetCalcFields(TRecordBuffer& buffer);
    TRecordBuffer& ScratchBuffer() { return *m_Buffers[BufferIndex(m_RecordCount)]; }
    // A place in the row window (the scratch buffer after the rows included), checked.
    std::size_t BufferIndex(int index) const {
        assert(index >= 0 && static_cast<std::size_t>(index) < m_Buffers.size() &&
               m_Buffers[static_cast<std::size_t>(index)]);
        return static_cast<std::size_t>(index);
    }
    TRecordBuffer* ActiveBuffer() const;
    void SetFilterBuffer(TRecordBuffer* buffer) { m_FilterBuffer = buffer; }
    void CursorPosChanged() { m_CurrentRecord = -1; }
    void UpdateCursorPos();
    // Rebuilds the window around the storage's current row; Exact raises "Record not found"
    // when that row cannot be read, Center puts it in the middle of the window.
    void RebuildWindow(bool exact, bool center);
    // The rest of RebuildWindow once the scratch buffer holds the row that becomes current.
    void FillWindowAround(bool center);
    void DoAfterScroll();
    void DoBeforeScroll();
    const std::vector<TField*>& FieldList() const { return m_Fields; }
    TFieldDefs& MutableFieldDefs() { return m_FieldDefs; }
    // Lays out the calculated-field area and the blob cache over the bound fields.
    void BindFieldLayout();
    void SetFieldNumber(TField& field, int fieldNo);
    int CalcFieldCount() const { return m_CalcFieldCount; }
    void DestroyDefaultFields();
    void MarkDefaultField(TField& field);

private:
    void OpenDataSet();
    void CloseDataSet();
    void AllocateBuffers(int count);
    void ClearBuffers();
    void ActivateBuffers();
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void SetCurrentRecord(int index);
    void MoveBuffer(int from, int to);
    void SetBufferCount(int value);
    int WantedBufferCount() const;
    void UpdateRecord();
    void CheckRequiredFields();
    void FreeFieldBuffers();
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& onError);
    void Notify(const TDataSetNotifyEvent& event) {
        if (event)
            event(this);
    }

    TDataSetState m_State = dsInactive;
    std::vector<TField*> m_Fields;
    TFieldDefs m_FieldDefs;
    std::vector<TDataSource*> m_DataSources;
    std::vector<std::unique_ptr<TRecordBuffer>> m_Buffers;
    int m_BufferCount = 0;
    int m_RecordCount = 0;
    int m_ActiveRecord = 0;
    int m_CurrentRecord = -1;
    bool m_BOF = true;
    bool m_EOF = true;
    bool m_Modified = false;
    bool m_AutoCalcFields = true;
    bool m_StreamedActive = false;
    bool m_StorageOpen = false;
    int m_DisableCount = 0;
    int m_CalcFieldCount = 0;
    int m_CalcAreaSize = 0;
    int m_BlobFieldCount = 0;
    TRecordBuffer* m_CalcBuffer = nullptr;
    TRecordBuffer* m_FilterBuffer = nullptr;
    std::string m_FilterText;
    bool m_Filtered = false;
    TFilterOptions m_FilterOptions;
};

} // namespace ws
