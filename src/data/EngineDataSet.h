#pragma once

#include "data/DataSet.h"
#include "engine/Engine.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ws {

struct TExprFields;

// A data set over one engine cursor: reads rows into the window's buffers, binds the field
// objects to the table's fields, keeps the engine filters of Filter and OnFilterRecord, counts
// and locates rows.
class TEngineDataSet : public TDataSet {
public:
    WS_CLASS_INFO()

    explicit TEngineDataSet(TComponent* owner);
    ~TEngineDataSet() override;

    engine::hCursor Handle() const { return m_Cursor; }
    const engine::CursorProps& Props() const { return m_Props; }
    bool CanModify() const override { return m_Cursor != 0 && m_Props.canModify; }
    bool FiltersInForce() const override { return !m_FiltersInDoubt; }
    // Usable row numbers: the engine numbers rows by position and no filter applies.
    virtual bool IsSequenced() const;

    bool Locate(const std::string& keyFields, const std::vector<std::string>& keyValues,
                TLocateOptions options = {}) override;
    using TDataSet::Locate;

protected:
    // Opens the engine cursor; raises on failure.
    virtual engine::hCursor CreateHandle() = 0;
    // A cursor positioned by a keyed read on an index of exactly these fields, or 0.
    virtual engine::hCursor GetLookupCursor(const std::vector<TField*>& fields, bool caseInsensitive);
    virtual void CloseLookupCursor() {}
    // Installs the filters a subclass keeps of its own, after the expression and function filters.
    virtual void InstallExtraFilters() {}
    // Parses a filter text against the view's fields and adds it to the cursor, inactive;
    // 0 for an empty text. Raises for a text that does not parse.
    engine::hFilter BuildExpressionFilter(const std::string& text, TFilterOptions options);

    void InternalOpen() override;
    void InternalClose() override;
    int RecordSize() const override { return m_Props.recordSize; }
    int BookmarkSize() const override { return m_Props.bookmarkSize; }
    TGetResult InternalGetRecord(TRecordBuffer& buffer, TGetMode mode, bool check) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(const TRecordBuffer& buffer) override;
    void InternalInitRecord(TRecordBuffer& buffer) override;
    void InternalEdit(TRecordBuffer& buffer) override;
    void InternalPost(TRecordBuffer& buffer, bool inserting) override;
    void InternalCancel() override;
    void InternalDelete() override;
    void InternalRefresh() override;
    int InternalRecordCount() override;
    bool GetStoredFieldData(const TField& field, const TRecordBuffer* buffer,
                            std::vector<std::uint8_t>& data) const override;
    void SetStoredFieldData(TField& field, TRecordBuffer& buffer, const void* data) override;
    bool ReadBlob(const TField& field, const TRecordBuffer& buffer, std::string& text) const override;
    void WriteBlob(TField& field, TRecordBuffer& buffer, const std::string* text) override;
    void ApplyFilter(const std::string& text, TFilterOptions options, bool filtered,
                     bool textChanged) override;

    const std::optional<engine::IndexDesc>& ActiveIndex() const { return m_Index; }
    void RereadIndexDesc();

private:
    void LoadFieldDefs();
    void CreateDefaultFields();
    void BindFields();
    void InstallFilters();
    void ActivateFilters(bool active);
    bool FilterCallback(const engine::RecordBuffer& row);
    void RethrowFilterError();
    const engine::FieldDesc& Desc(const TField& field) const;
    bool UsesActiveIndex(const std::vector<TField*>& fields, bool caseInsensitive) const;
    void DropStaleFilters();
    // Drops a filter of the cursor; one the engine will not drop is switched off where it can be
    // and dropped before the next change of filters.
    void DiscardFilter(engine::hFilter filter);
    bool LocateByFilter(const std::vector<TField*>& fields, const std::vector<std::string>& values,
                        TLocateOptions options);
    // The view's fields as the filter parser sees them.
    TExprFields ExprFields() const;

    engine::hCursor m_Cursor = 0;
    engine::CursorProps m_Props;
    std::vector<engine::FieldDesc> m_FieldDescs;
    std::optional<engine::IndexDesc> m_Index;
    engine::hFilter m_ExpressionFilter = 0;
    engine::hFilter m_FunctionFilter = 0;
    // Filters the engine failed to drop (switched off where it could): lookup filters of Locate
    // and replaced expression filters.
    std::vector<engine::hFilter> m_StaleFilters;
    // An exchange or activation of the filters failed part-way: the cursor may apply other
    // filters than Filter and Filtered say, until they are set again.
    bool m_FiltersInDoubt = false;
    TRecordBuffer m_FilterRecord;
    std::exception_ptr m_FilterError;
};

} // namespace ws
