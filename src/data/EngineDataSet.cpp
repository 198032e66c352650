#include "data/EngineDataSet.h"

#include "base/Strings.h"
#include "base/Utf8.h"
#include "data/BlobField.h"
#include "data/BooleanField.h"
#include "data/DBError.h"
#include "data/DateTimeField.h"
#include "data/ExprParser.h"
#include "data/FilterExpr.h"
#include "data/NumericField.h"
#include "data/StringField.h"
#include "ui/PropertiesBuilder.h"

#include <cstdint>
#include <cstring>
#include <mutex>

namespace ws {

using namespace engine;

namespace {

enum class TTypeFamily { String, Integer, Float, DateTime, Blob, Alone };

TTypeFamily FamilyOf(TFieldType type) {
    if (IsBlobFieldType(type))
        return TTypeFamily::Blob;
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
        return TTypeFamily::String;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return TTypeFamily::Integer;
    case ftFloat:
    case ftCurrency:
        return TTypeFamily::Float;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return TTypeFamily::DateTime;
    default:
        return TTypeFamily::Alone;
    }
}

bool SameFamily(TFieldType a, TFieldType b) {
    const TTypeFamily family = FamilyOf(a);
    return family == TTypeFamily::Alone ? a == b : family == FamilyOf(b);
}

bool CanBeCalculated(TFieldType type) {
    switch (type) {
    case ftString:
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftBoolean:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftWideString:
    case ftLargeint:
    case ftVariant:
    case ftTimeStamp:
    case ftFMTBcd:
        return true;
    default:
        return false;
    }
}

bool SizeMatters(TFieldType type) {
    return type == ftBCD || type == ftBytes || type == ftVarBytes || type == ftReference;
}

} // namespace

const TClassInfo& TEngineDataSet::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TEngineDataSet>("TEngineDataSet", TDataSet::StaticClassInfo()).Build();
    return info;
}

TEngineDataSet::TEngineDataSet(TComponent* owner) : TDataSet(owner) {}

TEngineDataSet::~TEngineDataSet() {
    // The cursor must go before the parts of this object its filter callbacks use.
    if (m_Cursor) {
        CloseCursor(m_Cursor);
        m_Cursor = 0;
    }
}

bool TEngineDataSet::IsSequenced() const {
    return m_Props.numbering == RowNumbering::Sequence && !Filtered();
}

// ---- opening -------------------------------------------------------------------------------------

void TEngineDataSet::InternalOpen() {
    m_Cursor = CreateHandle();
    if (m_Cursor == 0)
        DatabaseError(messages::HandleError, this);
    Check(GetCursorProps(m_Cursor, m_Props));
    LoadFieldDefs();
    RereadIndexDesc();
    if (FieldCount() == 0)
        CreateDefaultFields();
    BindFields();
    BindFieldLayout();
    Check(SetToBegin(m_Cursor));
    InstallFilters();
    InstallExtraFilters();
}

void TEngineDataSet::InternalClose() {
    CloseLookupCursor();
    m_ExpressionFilter = 0;
    m_FunctionFilter = 0;
    m_StaleFilters.clear();
    m_FiltersInDoubt = false;
    m_FilterError = nullptr;
    if (m_Cursor) {
        CloseCursor(m_Cursor);
        m_Cursor = 0;
    }
    m_Props = {};
    m_FieldDescs.clear();
    m_Index.reset();
    MutableFieldDefs().Clear();
}

void TEngineDataSet::RereadIndexDesc() {
    IndexDesc index;
    if (GetIndexDesc(m_Cursor, index) == esOk)
        m_Index = index;
    else
        m_Index.reset();
}

void TEngineDataSet::LoadFieldDefs() {
    Check(GetFieldDescs(m_Cursor, m_FieldDescs));
    TFieldDefs& defs = MutableFieldDefs();
    defs.Clear();
    for (const FieldDesc& desc : m_FieldDescs) {
        TFieldDef def;
        def.Name = desc.name;
        def.DataType = FieldTypeOf(desc);
        def.Size = desc.size;
        def.FieldNo = desc.number;
        def.Required = desc.required && def.DataType != ftAutoInc;
        def.ReadOnly = desc.readOnly;
        def.Fixed = false;
        defs.Add(def);
    }
}

void TEngineDataSet::CreateDefaultFields() {
    const TFieldDefs& defs = FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef& def = defs[i];
        TField* field = nullptr;
        switch (def.DataType) {
        case ftString:
            field = new TStringField(this);
            field->SetSize(def.Size);
            break;
        case ftSmallint:
            field = new TSmallintField(this);
            break;
        case ftInteger:
            field = new TIntegerField(this);
            break;
        case ftAutoInc:
            field = new TAutoIncField(this);
            break;
        case ftFloat:
            field = new TFloatField(this);
            break;
        case ftCurrency:
            field = new TCurrencyField(this);
            break;
        case ftBoolean:
            field = new TBooleanField(this);
            break;
        case ftDate:
            field = new TDateField(this);
            break;
        case ftMemo:
            field = new TMemoField(this);
            field->SetSize(def.Size);
            break;
        default:
            continue; // a type this system has no field class for
        }
        field->SetFieldName(def.Name);
        field->SetRequired(def.Required);
        MarkDefaultField(*field);
        field->SetDataSet(this);
    }
}

void TEngineDataSet::BindFields() {
    for (TField* field : FieldList()) {
        if (!field->IsStored()) {
            if (!CanBeCalculated(field->DataType()))
                DatabaseError(Format(messages::InvalidCalcType, field->DisplayName().c_str()));
            SetFieldNumber(*field, -1);
            continue;
        }
        const TFieldDef* def = FieldDefs().Find(field->FieldName());
        if (!def)
            DatabaseError(Format(messages::FieldNotFound, field->DisplayName().c_str()), this);
        if (!SameFamily(field->DataType(), def->DataType))
            DatabaseError(Format(messages::FieldTypeMismatch, field->DisplayName().c_str(),
                                 std::string(FieldTypeName(field->DataType())).c_str(),
                                 std::string(FieldTypeName(def->DataType)).c_str()));
        if (SizeMatters(field->DataType()) && field->Size() != def->Size)
            DatabaseError(
                Format(messages::FieldSizeMismatch, field->DisplayName().c_str(), field->Size(), def->Size));
        if (field->IsBlob())
            field->SetSize(def->Size);
        SetFieldNumber(*field, def->FieldNo);
    }
}

const FieldDesc& TEngineDataSet::Desc(const TField& field) const {
    return m_FieldDescs[static_cast<std::size_t>(field.FieldNo() - 1)];
}

// ---- filters -------------------------------------------------------------------------------------

engine::hFilter TEngineDataSet::BuildExpressionFilter(const std::string& text, TFilterOptions options) {
    if (text.empty())
        return 0;
    TFilterExprOptions exprOptions;
    exprOptions.CaseInsensitive = options.Contains(TFilterOption::foCaseInsensitive);
    exprOptions.NoPartialCompare = options.Contains(TFilterOption::foNoPartialCompare);
    const std::vector<std::uint8_t> expression = TExprParser::Build(ExprFields(), text, exprOptions);
    hFilter filter = 0;
    const EngineStatus status = AddFilter(m_Cursor, 0, expression, filter);
    if (status != esOk) {
        // The engine may have added it before it failed: added filters are inactive, and this
        // one is dropped so as not to pile up.
        const std::vector<ErrorEntry> entries = LastErrorEntries();
        if (filter)
            DiscardFilter(filter);
        throw EDBEngineError(status, entries);
    }
    return filter;
}

TExprFields TEngineDataSet::ExprFields() const {
    TExprFields fields;
    fields.ViewName = Name();
    for (int i = 0; i < FieldCount(); ++i) {
        const TField* field = Fields(i);
        TExprField f;
        f.FieldName = field->FieldName();
        f.DataType = field->DataType();
        f.FieldNo = field->FieldNo();
        f.Size = field->Size();
        f.Filterable = field->IsStored() && field->FieldNo() > 0;
        fields.Fields.push_back(std::move(f));
    }
    return fields;
}

void TEngineDataSet::InstallFilters() {
    m_ExpressionFilter = BuildExpressionFilter(Filter(), FilterOptions());
    if (OnFilterRecord)
        Check(AddFilterCallback(
            m_Cursor, 1, [this](const RecordBuffer& row) { return FilterCallback(row); }, m_FunctionFilter));
    if (Filtered())
        ActivateFilters(true);
}

void TEngineDataSet::ActivateFilters(bool active) {
    if (active && !m_ExpressionFilter)
        m_ExpressionFilter = BuildExpressionFilter(Filter(), FilterOptions());
    if (m_ExpressionFilter) {
        if (!active) {
            Check(DeactivateFilter(m_Cursor, m_ExpressionFilter));
        } else if (ActivateFilter(m_Cursor, m_ExpressionFilter) != esOk) {
            // The engine lost the filter: build it again from the text.
            DiscardFilter(m_ExpressionFilter);
            m_ExpressionFilter = 0;
            m_ExpressionFilter = BuildExpressionFilter(Filter(), FilterOptions());
            if (m_ExpressionFilter)
                Check(ActivateFilter(m_Cursor, m_ExpressionFilter));
        }
    }
    if (m_FunctionFilter)
        Check(active ? ActivateFilter(m_Cursor, m_FunctionFilter)
                     : DeactivateFilter(m_Cursor, m_FunctionFilter));
}

void TEngineDataSet::DiscardFilter(hFilter filter) {
    const EngineStatus dropped = DropFilter(m_Cursor, filter);
    if (dropped == esOk || dropped == esUnknownFilter)
        return;
    DeactivateFilter(m_Cursor, filter);
    m_StaleFilters.push_back(filter);
}

void TEngineDataSet::ApplyFilter(const std::string& text, TFilterOptions options, bool filtered,
                                 bool textChanged) {
    // Until the change is through, the cursor's filters are in doubt: a failure part-way leaves
    // the view to put them in force again the next time Filter or Filtered is set, even to the
    // same value, rather than show rows the filter would hide as though they passed it.
    DropStaleFilters();
    if (!textChanged) {
        CloseLookupCursor();
        Check(SetToBegin(m_Cursor));
        CursorPosChanged();
        m_FiltersInDoubt = true;
        ActivateFilters(filtered);
        m_FiltersInDoubt = false;
        return;
    }
    const bool wasInDoubt = m_FiltersInDoubt;
    const hFilter replacement = BuildExpressionFilter(text, options);
    if (filtered) {
        CursorPosChanged();
        CloseLookupCursor();
        // The new filter is in force before the old one goes; when it cannot be, the old one
        // stays as it was.
        const EngineStatus status = SetToBegin(m_Cursor);
        const EngineStatus activated =
            status != esOk || !replacement ? status : ActivateFilter(m_Cursor, replacement);
        if (activated != esOk) {
            const std::vector<ErrorEntry> entries = LastErrorEntries();
            if (replacement)
                DiscardFilter(replacement);
            throw EDBEngineError(activated, entries);
        }
    }
    m_FiltersInDoubt = true;
    if (m_ExpressionFilter)
        DiscardFilter(m_ExpressionFilter);
    m_ExpressionFilter = replacement;
    if (wasInDoubt && m_FunctionFilter)
        Check(filtered ? ActivateFilter(m_Cursor, m_FunctionFilter)
                       : DeactivateFilter(m_Cursor, m_FunctionFilter));
    // The old filter is gone, or at least switched off; one the engine kept active is dropped
    // before the next change, and until then the filters are in doubt.
    m_FiltersInDoubt = !m_StaleFilters.empty();
}

bool TEngineDataSet::FilterCallback(const RecordBuffer& row) {
    if (m_FilterError || !OnFilterRecord)
        return false;
    m_FilterRecord.Record.assign(row.Data(), row.Data() + row.Size());
    m_FilterRecord.BlobCache.assign(FieldCount(), TBlobCacheEntry{});
    const TDataSetState previous = SetTempState(dsFilter);
    SetFilterBuffer(&m_FilterRecord);
    bool accept = true;
    try {
        OnFilterRecord(this, accept);
    } catch (...) {
        // Never let an exception unwind through the engine; it is raised once the read returns.
        m_FilterError = std::current_exception();
        accept = false;
    }
    RestoreState(previous);
    return accept;
}

void TEngineDataSet::RethrowFilterError() {
    if (!m_FilterError)
        return;
    std::exception_ptr error = m_FilterError;
    m_FilterError = nullptr;
    std::rethrow_exception(error);
}

// ---- rows ----------------------------------------------------------------------------------------

TDataSet::TGetResult TEngineDataSet::InternalGetRecord(TRecordBuffer& buffer, TGetMode mode, bool check) {
    EngineStatus status = esOk;
    switch (mode) {
    case TGetMode::Current:
        status = GetRecord(m_Cursor, LockType::None, buffer.Record.data());
        break;
    case TGetMode::Next:
        status = engine::GetNextRecord(m_Cursor, LockType::None, buffer.Record.data());
        break;
    case TGetMode::Prior:
        status = engine::GetPriorRecord(m_Cursor, LockType::None, buffer.Record.data());
        break;
    }
    RethrowFilterError();
    if (status == esBOF)
        return TGetResult::BOF;
    if (status == esEOF)
        return TGetResult::EOF_;
    if (status != esOk) {
        if (check)
            Check(status);
        return TGetResult::Error;
    }
    buffer.RecordNumber = -1;
    buffer.UpdateStatus = 0;
    buffer.BookmarkFlag = TBookmarkFlag::bfCurrent;
    buffer.ClearBlobCache();
    GetCalcFields(buffer);
    Check(GetBookmark(m_Cursor, buffer.Bookmark.data()));
    return TGetResult::OK;
}

void TEngineDataSet::InternalFirst() {
    Check(SetToBegin(m_Cursor));
}

void TEngineDataSet::InternalLast() {
    Check(SetToEnd(m_Cursor));
}

void TEngineDataSet::InternalSetToRecord(const TRecordBuffer& buffer) {
    switch (buffer.BookmarkFlag) {
    case TBookmarkFlag::bfBOF:
        Check(SetToBegin(m_Cursor));
        return;
    case TBookmarkFlag::bfEOF:
        Check(SetToEnd(m_Cursor));
        return;
    default: {
        const EngineStatus status = SetToBookmark(m_Cursor, buffer.Bookmark.data());
        // A row deleted meanwhile leaves the cursor where it was, between its neighbours.
        if (status != esNeighbourPositioned)
            Check(status);
    }
    }
}

void TEngineDataSet::InternalInitRecord(TRecordBuffer& buffer) {
    Check(InitRecord(m_Cursor, buffer.Record.data()));
}

void TEngineDataSet::InternalEdit(TRecordBuffer& buffer) {
    // Read into a copy so that a refused lock leaves the row on show untouched.
    std::vector<std::uint8_t> record(buffer.Record.size());
    // Whatever fails, the edit does not start, and no lock of the row may outlast it: the engine
    // may have taken the lock before it failed.
    const EngineStatus status = GetRecord(m_Cursor, LockType::Write, record.data());
    if (status != esOk) {
        const std::vector<ErrorEntry> entries = LastErrorEntries();
        if (status != esRecordLocked)
            ReleaseLock(m_Cursor, false);
        throw EDBEngineError(status, entries);
    }
    try {
        RethrowFilterError();
    } catch (...) {
        ReleaseLock(m_Cursor, false);
        throw;
    }
    buffer.Record.swap(record);
}

void TEngineDataSet::InternalPost(TRecordBuffer& buffer, bool inserting) {
    if (inserting)
        Check(InsertRecord(m_Cursor, LockType::None, buffer.Record.data()));
    else
        Check(ModifyRecord(m_Cursor, buffer.Record.data(), true));
}

void TEngineDataSet::InternalCancel() {
    // The only lock a view's cursor takes is that of the row it edits. Releasing all of them
    // needs no cursor position, and finds nothing to do when the engine already let the lock go
    // (it does so when a write of the row fails).
    Check(ReleaseLock(m_Cursor, true));
}

void TEngineDataSet::InternalDelete() {
    Check(DeleteRecord(m_Cursor));
}

void TEngineDataSet::InternalRefresh() {
    Check(ForceReread(m_Cursor));
}

int TEngineDataSet::InternalRecordCount() {
    std::uint32_t count = 0;
    if (GetExactRecordCount(m_Cursor, count) == esOk || GetRecordCount(m_Cursor, count) == esOk) {
        RethrowFilterError();
        return static_cast<int>(count);
    }
    RethrowFilterError();
    return -1;
}

// ---- field values --------------------------------------------------------------------------------

bool TEngineDataSet::GetStoredFieldData(const TField& field, const TRecordBuffer* buffer,
                                        std::vector<std::uint8_t>& data) const {
    if (field.FieldNo() <= 0 || !buffer || buffer->Record.empty())
        return false;
    const FieldDesc& desc = Desc(field);
    data.assign(desc.length, 0);
    bool blank = true;
    Check(GetField(m_Cursor, desc.number, buffer->Record.data(), data.data(), blank));
    return !blank;
}

void TEngineDataSet::SetStoredFieldData(TField& field, TRecordBuffer& buffer, const void* data) {
    if (field.FieldNo() <= 0)
        DatabaseError(messages::DataSetClosed, this);
    const FieldDesc& desc = Desc(field);
    const bool integers = FamilyOf(field.DataType()) == TTypeFamily::Integer &&
                          (desc.type == FieldType::Int16 || desc.type == FieldType::Int32);
    if (!data || !integers || field.DataSize() == desc.length) {
        Check(PutField(m_Cursor, desc.number, buffer.Record.data(), data));
        return;
    }
    // An integer field object over a table field of another width: the value is converted, and
    // one the table field cannot hold is refused rather than cut.
    std::int64_t value = 0;
    if (field.DataSize() == sizeof(std::int16_t)) {
        std::int16_t word = 0;
        std::memcpy(&word, data, sizeof word);
        value = word;
    } else {
        std::int32_t number = 0;
        std::memcpy(&number, data, sizeof number);
        value = number;
    }
    if (desc.type == FieldType::Int16) {
        if (value < INT16_MIN || value > INT16_MAX)
            DatabaseError(Format(messages::ValueOutOfRange, static_cast<long long>(value),
                                 field.DisplayName().c_str(), INT16_MIN, INT16_MAX));
        const auto word = static_cast<std::int16_t>(value);
        Check(PutField(m_Cursor, desc.number, buffer.Record.data(), &word));
    } else {
        const auto number = static_cast<std::int32_t>(value);
        Check(PutField(m_Cursor, desc.number, buffer.Record.data(), &number));
    }
}

bool TEngineDataSet::ReadBlob(const TField& field, const TRecordBuffer& buffer, std::string& text) const {
    if (field.FieldNo() <= 0 || buffer.Record.empty())
        return false;
    bool blank = true;
    Check(ReadMemo(m_Cursor, Desc(field).number, buffer.Record.data(), text, blank));
    return !blank;
}

void TEngineDataSet::WriteBlob(TField& field, TRecordBuffer& buffer, const std::string* text) {
    if (field.FieldNo() <= 0)
        DatabaseError(messages::DataSetClosed, this);
    if (text)
        Check(WriteMemo(m_Cursor, Desc(field).number, buffer.Record.data(), *text));
    else
        Check(PutField(m_Cursor, Desc(field).number, buffer.Record.data(), nullptr));
}

// ---- locate --------------------------------------------------------------------------------------

engine::hCursor TEngineDataSet::GetLookupCursor(const std::vector<TField*>&, bool) {
    return 0;
}

bool TEngineDataSet::UsesActiveIndex(const std::vector<TField*>& fields, bool caseInsensitive) const {
    if (!m_Index || fields.size() > m_Index->fields.size())
        return false;
    bool anyString = false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i]->FieldNo() != m_Index->fields[i])
            return false;
        anyString = anyString || fields[i]->DataType() == ftString;
    }
    return !anyString || m_Index->caseInsensitive == caseInsensitive;
}

bool TEngineDataSet::Locate(const std::string& keyFields, const std::vector<std::string>& keyValues,
                            TLocateOptions options) {
    CheckActive();
    DoBeforeScroll();
    FinishPendingEdit();
    CursorPosChanged();
    std::vector<TField*> fields;
    for (const std::string& name : Split(keyFields, ';')) {
        TField* field = FieldNamed(Trim(name));
        if (!field->IsStored() || field->IsBlob())
            DatabaseError(Format(messages::LookupFieldNotStored, field->DisplayName().c_str()), this);
        fields.push_back(field);
    }
    if (fields.empty() || keyValues.size() != fields.size())
        DatabaseError(Format(messages::FieldNotFound, keyFields.c_str()), this);
    const bool caseInsensitive = options.Contains(TLocateOption::loCaseInsensitive);
    const bool partial =
        options.Contains(TLocateOption::loPartialKey) && fields.back()->DataType() == ftString;

    // The key is composed in the scratch buffer through the fields, as their own conversions say.
    TRecordBuffer& key = ScratchBuffer();
    const TDataSetState previous = SetTempState(dsFilter);
    SetFilterBuffer(&key);
    try {
        Check(InitRecord(m_Cursor, key.Record.data()));
        for (std::size_t i = 0; i < fields.size(); ++i)
            fields[i]->SetAsString(keyValues[i]);
    } catch (...) {
        RestoreState(previous);
        throw;
    }
    RestoreState(previous);

    const bool ownCursor = UsesActiveIndex(fields, caseInsensitive);
    const hCursor lookup = ownCursor ? m_Cursor : GetLookupCursor(fields, caseInsensitive);
    bool found = false;
    if (lookup) {
        // The engine compares the first so many characters of the last key field.
        const auto partialLength = static_cast<std::uint16_t>(partial ? Utf8Length(keyValues.back()) : 0);
        std::vector<std::uint8_t> row(key.Record.size());
        const EngineStatus status = GetRecordForKey(lookup, static_cast<std::uint16_t>(fields.size()),
                                                    partialLength, key.Record.data(), row.data());
        RethrowFilterError();
        found = status == esOk;
        if (found && !ownCursor)
            found = SetToCursor(m_Cursor, lookup) == esOk;
    } else {
        found = LocateByFilter(fields, keyValues, options);
    }
    if (!found)
        return false;
    // The window is rebuilt around the found row, read again. When another program deleted it
    // in the moment since, it is not found after all, and the window has not changed.
    CursorPosChanged();
    TGetResult fetched = TGetResult::Error;
    try {
        fetched = InternalGetRecord(ScratchBuffer(), TGetMode::Current, true);
    } catch (const EDBEngineError& e) {
        if (e.ErrorCode() != esRecordDeleted)
            throw;
        return false;
    }
    if (fetched != TGetResult::OK)
        DatabaseError(messages::RecordNotFound, this);
    FillWindowAround(true);
    DoAfterScroll();
    return true;
}

void TEngineDataSet::DropStaleFilters() {
    while (!m_StaleFilters.empty()) {
        // The engine may have dropped it after all and failed only in its answer.
        const EngineStatus dropped = DropFilter(m_Cursor, m_StaleFilters.back());
        if (dropped != esUnknownFilter)
            Check(dropped);
        m_StaleFilters.pop_back();
    }
}

bool TEngineDataSet::LocateByFilter(const std::vector<TField*>& fields,
                                    const std::vector<std::string>& values, TLocateOptions options) {
    // One exact, case-sensitive string key: the engine answers from the map it keeps of that
    // field's values, the same first row the scan below would find.
    if (fields.size() == 1 && fields[0]->DataType() == ftString &&
        !options.Contains(TLocateOption::loCaseInsensitive) &&
        !options.Contains(TLocateOption::loPartialKey)) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(RecordSize()));
        bool answered = false;
        bool found = false;
        Check(ReadFirstEqual(m_Cursor, Desc(*fields[0]).number, values[0], row.data(), answered, found));
        if (answered)
            return found;
    }
    // The lookup is an expression filter of its own, built like a filter text would be:
    // exact comparisons, never partial except for the last key when asked.
    const TExprFields exprFields = ExprFields();
    std::vector<const TExprField*> keys;
    for (TField* field : fields)
        keys.push_back(exprFields.Find(field->FieldName()));
    const std::vector<std::uint8_t> expression =
        TFilterExpr::BuildLookup(exprFields, keys, values, options.Contains(TLocateOption::loCaseInsensitive),
                                 options.Contains(TLocateOption::loPartialKey));
    DropStaleFilters();
    Check(SetToBegin(m_Cursor));
    hFilter filter = 0;
    Check(AddFilter(m_Cursor, 2, expression, filter));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(RecordSize()));
    EngineStatus status = ActivateFilter(m_Cursor, filter);
    if (status == esOk)
        status = engine::GetNextRecord(m_Cursor, LockType::None, row.data());
    // A lookup filter left in force would hide every other row from this view: it is switched
    // off at least, and dropped before the next lookup.
    DiscardFilter(filter);
    RethrowFilterError();
    if (status == esOk)
        return true;
    if (status != esEOF)
        Check(status);
    return false;
}

} // namespace ws
