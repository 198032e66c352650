#include "engine/CursorBase.h"

#include "base/Strings.h"
#include "base/Utf8.h"
#include "engine/Errors.h"
#include "engine/RecordCodec.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace ws::engine {

using codec::Load;
using codec::RowIdOf;
using codec::Store;

namespace {

constexpr std::size_t kBookmarkHeader = 11; // row id, index tag, where

} // namespace

hCursor RecordBuffer::CursorHandle() const {
    return m_Cursor.Handle();
}
const std::uint8_t* RecordBuffer::Data() const {
    return m_Cursor.TestRowData();
}
std::size_t RecordBuffer::Size() const {
    return m_Cursor.Schema().RecordSize();
}
EngineStatus RecordBuffer::Get(std::uint16_t fieldNo, Value& value) const {
    return m_Cursor.TestRowValue(fieldNo, value);
}

CursorProps CursorBase::Props() const {
    CursorProps props;
    props.recordSize = m_Schema.RecordSize();
    props.bookmarkSize = BookmarkSize();
    props.fieldCount = static_cast<std::uint16_t>(m_Schema.Fields().size());
    props.canModify = !m_ReadOnly;
    props.tableName = m_Schema.Name();
    props.indexName = m_Index ? m_Index->name : std::string();
    return props;
}

std::uint16_t CursorBase::BookmarkSize() const {
    return static_cast<std::uint16_t>(kBookmarkHeader + m_Schema.MaxKeySize());
}

std::uint16_t CursorBase::IndexTag() const {
    return m_Index ? static_cast<std::uint16_t>(m_Index - m_Schema.Indexes().data() + 1) : 0;
}

EngineStatus CursorBase::FetchLive(std::int64_t rowId, FetchedRow& row) {
    if (EngineStatus s = Live())
        return s;
    return FetchRow(rowId, row);
}

EngineStatus CursorBase::SwitchToIndex(const std::string& indexName) {
    const IndexDesc* index = nullptr;
    if (!indexName.empty()) {
        index = m_Schema.FindIndex(indexName);
        if (!index)
            return Errors::Fail(esUnknownIndex, "Index '" + indexName + "' of table " + TablePath());
    }
    m_Index = index;
    IndexChanged();
    if (m_Position.where != Where::Row)
        return esOk;
    // Stay on the same row; its key is now the new index's key.
    FetchedRow row;
    if (EngineStatus s = FetchLive(m_Position.rowId, row))
        return s;
    if (row.found)
        m_Position = {Where::Row, row.key, m_Position.rowId, m_Position.onRow && row.passes};
    else
        SetToBegin();
    return esOk;
}

// ---- filters ------------------------------------------------------------------------------------

bool CursorBase::HasActiveFilters() const {
    return std::any_of(m_Filters.begin(), m_Filters.end(), [](const Filter& f) { return f.active; });
}

bool CursorBase::HasCallbackFilters() const {
    return std::any_of(m_Filters.begin(), m_Filters.end(),
                       [](const Filter& f) { return f.active && f.callback; });
}

bool CursorBase::PassesFilters() {
    for (const Filter& filter : m_Filters) {
        if (!filter.active || filter.pushDown)
            continue;
        RecordBuffer row(*this);
        const bool pass = filter.expression ? filter.expression->Matches(row) : filter.callback(row);
        if (!pass)
            return false;
    }
    return true;
}

EngineStatus CursorBase::AddFilter(std::uint16_t priority, std::unique_ptr<CompiledFilter> expression,
                                   RowCallback callback, hFilter& filter) {
    Filter entry;
    entry.handle = m_NextFilter++;
    entry.priority = priority;
    if (expression)
        entry.pushDown = PushDownOf(*expression);
    entry.expression = std::move(expression);
    entry.callback = std::move(callback);
    auto at = std::upper_bound(m_Filters.begin(), m_Filters.end(), priority,
                               [](std::uint16_t p, const Filter& f) { return p < f.priority; });
    filter = entry.handle;
    m_Filters.insert(at, std::move(entry));
    ++m_FilterChanges;
    return esOk;
}

EngineStatus CursorBase::ActivateFilter(hFilter filter, bool active) {
    for (Filter& entry : m_Filters) {
        if (entry.handle == filter) {
            entry.active = active;
            ++m_FilterChanges;
            return esOk;
        }
    }
    return Errors::Fail(esUnknownFilter);
}

EngineStatus CursorBase::DropFilter(hFilter filter) {
    auto it =
        std::find_if(m_Filters.begin(), m_Filters.end(), [&](const Filter& f) { return f.handle == filter; });
    if (it == m_Filters.end())
        return Errors::Fail(esUnknownFilter);
    m_Filters.erase(it);
    ++m_FilterChanges;
    return esOk;
}

// ---- moving -------------------------------------------------------------------------------------

void CursorBase::SetToBegin() {
    m_Position = {};
}

void CursorBase::SetToEnd() {
    m_Position = {Where::End, {}, 0, false};
}

EngineStatus CursorBase::FinishRead(LockType lock, std::uint8_t* record) {
    if (lock == LockType::Write) {
        const std::int64_t rowId = m_Position.rowId;
        const bool wasLocked = IsLocked(rowId);
        if (EngineStatus s = TakeLock(rowId))
            return s;
        // Read again once the lock is ours: a writer that held it may have committed meanwhile.
        FetchedRow row;
        EngineStatus s = FetchRow(rowId, row);
        if (s || !row.found || !row.passes) {
            if (!wasLocked || !s)
                Unlock(rowId, wasLocked);
            if (!s)
                m_Position.onRow = false;
            return s ? s : Errors::Fail(esRecordDeleted);
        }
        m_Position.key = row.key;
        m_LockImages[rowId] = m_Scratch;
    } else {
        m_LastRead = m_Scratch;
    }
    if (record)
        std::memcpy(record, m_Scratch.data(), m_Scratch.size());
    return esOk;
}

EngineStatus CursorBase::Read(Direction direction, LockType lock, std::uint8_t* record) {
    if (EngineStatus s = Live())
        return s;
    if (direction == Direction::Current) {
        if (m_Position.where == Where::Begin)
            return Errors::Fail(esBOF);
        if (m_Position.where == Where::End)
            return Errors::Fail(esEOF);
        if (!m_Position.onRow)
            return Errors::Fail(esRecordDeleted);
        FetchedRow row;
        if (EngineStatus s = FetchRow(m_Position.rowId, row))
            return s;
        if (!row.found || !row.passes) {
            m_Position.onRow = false;
            return Errors::Fail(esRecordDeleted);
        }
        m_Position.key = row.key;
        return FinishRead(lock, record);
    }
    const bool next = direction == Direction::Next;
    if (m_Position.where == (next ? Where::End : Where::Begin))
        return Errors::Fail(next ? esEOF : esBOF);
    const EngineStatus s = ReadAdjacent(direction);
    if (s == esRecordNotFound) {
        next ? SetToEnd() : SetToBegin();
        return Errors::Fail(next ? esEOF : esBOF);
    }
    return s ? s : FinishRead(lock, record);
}

EngineStatus CursorBase::FollowPosition(const Position& source) {
    if (source.where != Where::Row) {
        m_Position = source;
        return esOk;
    }
    FetchedRow row;
    if (EngineStatus s = FetchLive(source.rowId, row))
        return s;
    if (!row.found || !row.passes)
        return Errors::Fail(esRecordDeleted);
    m_Position = {Where::Row, row.key, source.rowId, true};
    return esOk;
}

// ---- bookmarks ----------------------------------------------------------------------------------

void CursorBase::EncodeKey(const std::vector<SqlValue>& key, std::uint8_t* out) const {
    if (m_Index)
        codec::EncodeKey(m_Schema, *m_Index, key, out);
}

std::vector<SqlValue> CursorBase::DecodeKey(const std::uint8_t* in) const {
    return m_Index ? codec::DecodeKey(m_Schema, *m_Index, in) : std::vector<SqlValue>();
}

int CursorBase::CompareKeys(const std::vector<SqlValue>& a, const std::vector<SqlValue>& b) const {
    return codec::CompareKeys(a, b, m_Index && m_Index->caseInsensitive);
}

EngineStatus CursorBase::GetBookmark(std::uint8_t* bookmark) const {
    std::memset(bookmark, 0, BookmarkSize());
    Store(bookmark, m_Position.rowId);
    Store(bookmark + 8, IndexTag());
    bookmark[10] = static_cast<std::uint8_t>(m_Position.where);
    EncodeKey(m_Position.key, bookmark + kBookmarkHeader);
    return esOk;
}

EngineStatus CursorBase::SetToBookmark(const std::uint8_t* bookmark) {
    const auto where = bookmark[10];
    if (where == static_cast<std::uint8_t>(Where::Begin)) {
        SetToBegin();
        return esOk;
    }
    if (where == static_cast<std::uint8_t>(Where::End)) {
        SetToEnd();
        return esOk;
    }
    if (where != static_cast<std::uint8_t>(Where::Row))
        return Errors::Fail(esInvalidParameter, "not a bookmark of this cursor");
    const std::int64_t rowId = Load<std::int64_t>(bookmark);
    FetchedRow row;
    if (EngineStatus s = FetchLive(rowId, row))
        return s;
    if (row.found && row.passes) {
        m_Position = {Where::Row, row.key, rowId, true};
        return esOk;
    }
    // Gone, or no longer passing the filters: the cursor rests where the row was in this order.
    if (Load<std::uint16_t>(bookmark + 8) != IndexTag())
        return Errors::Fail(esRecordNotFound);
    m_Position = {Where::Row, DecodeKey(bookmark + kBookmarkHeader), rowId, false};
    return Errors::Fail(esNeighbourPositioned);
}

EngineStatus CursorBase::CompareBookmarks(const std::uint8_t* a, const std::uint8_t* b, int& result) const {
    const auto rank = [](std::uint8_t where) {
        return where == static_cast<std::uint8_t>(Where::Begin) ? 0
               : where == static_cast<std::uint8_t>(Where::Row) ? 1
                                                                : 2;
    };
    result = rank(a[10]) - rank(b[10]);
    if (result != 0 || rank(a[10]) != 1)
        return esOk;
    if (Load<std::uint16_t>(a + 8) == IndexTag() && Load<std::uint16_t>(b + 8) == IndexTag())
        result = CompareKeys(DecodeKey(a + kBookmarkHeader), DecodeKey(b + kBookmarkHeader));
    if (result == 0) {
        const auto x = Load<std::int64_t>(a);
        const auto y = Load<std::int64_t>(b);
        result = x < y ? -1 : x > y ? 1 : 0;
    }
    return esOk;
}

// ---- keyed reads --------------------------------------------------------------------------------

EngineStatus CursorBase::GetRecordForKey(std::uint16_t fieldCount, std::uint16_t partialLength,
                                         const std::uint8_t* key, std::uint8_t* record) {
    if (!m_Index)
        return Errors::Fail(esUnknownIndex, "a keyed read needs an active index");
    const std::size_t n = m_Index->fields.size();
    const std::size_t count = fieldCount == 0 ? n : fieldCount;
    if (count > n)
        return Errors::Fail(esInvalidParameter, "more key fields than the index has");
    std::vector<KeyTerm> terms;
    for (std::size_t i = 0; i < count; ++i) {
        SqlValue value = codec::SqlOf(*m_Schema.Field(m_Index->fields[i]), key);
        const bool last = i + 1 == count;
        if (last && partialLength > 0 && std::holds_alternative<std::string>(value))
            terms.push_back({std::string(Utf8Left(std::get<std::string>(value), partialLength)), true});
        else
            terms.push_back({std::move(value), false});
    }
    if (EngineStatus s = Live())
        return s;
    const EngineStatus s = SeekKey(terms);
    if (s == esRecordNotFound)
        return Errors::Fail(esRecordNotFound);
    return s ? s : FinishRead(LockType::None, record);
}

EngineStatus CursorBase::ReadFirstEqual(std::uint16_t fieldNo, const std::string&, std::uint8_t*,
                                        bool& answered, bool& found) {
    answered = false;
    found = false;
    const FieldDesc* field = nullptr;
    return CheckField(fieldNo, field);
}

// ---- values -------------------------------------------------------------------------------------

EngineStatus CursorBase::CheckField(std::uint16_t fieldNo, const FieldDesc*& field) const {
    field = m_Schema.Field(fieldNo);
    if (!field)
        return Errors::Fail(esInvalidField, Format("Field number %u of table %s",
                                                   static_cast<unsigned>(fieldNo), TablePath().c_str()));
    assert(field->offset + 1u + field->length <= m_Schema.RecordSize());
    return esOk;
}

EngineStatus CursorBase::SetValidityChecks(const std::vector<ValidityCheck>& checks) {
    if (m_ReadOnly)
        return Errors::Fail(esTableReadOnly, "Table: " + TablePath());
    for (const ValidityCheck& check : checks) {
        if (!m_Schema.Field(check.fieldNo))
            return Errors::Fail(esInvalidField);
    }
    if (EngineStatus s = Live())
        return s;
    if (EngineStatus s = StoreChecks(checks))
        return s;
    m_Schema.SetChecks(checks);
    return esOk;
}

const std::uint8_t* CursorBase::TestRowData() {
    return m_Scratch.data();
}

EngineStatus CursorBase::TestRowValue(std::uint16_t fieldNo, Value& value) {
    return GetValue(fieldNo, m_Scratch.data(), value);
}

EngineStatus CursorBase::GetField(std::uint16_t fieldNo, const std::uint8_t* record, void* dest,
                                  bool& isBlank) const {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    isBlank = record[field->offset] == TableSchema::FieldBlank;
    if (dest) {
        if (isBlank)
            std::memset(dest, 0, field->length);
        else
            std::memcpy(dest, record + field->offset + 1, field->length);
    }
    return esOk;
}

EngineStatus CursorBase::PutField(std::uint16_t fieldNo, std::uint8_t* record, const void* source) {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    if (field->type == FieldType::Blob) {
        if (source)
            return WriteMemo(fieldNo, record, static_cast<const char*>(source));
        const std::uint64_t id = m_NextMemo++;
        record[field->offset] = TableSchema::FieldBlank;
        Store(record + field->offset + 1, id);
        return esOk;
    }
    std::uint8_t* value = record + field->offset + 1;
    if (!source) {
        record[field->offset] = TableSchema::FieldBlank;
        std::memset(value, 0, field->length);
        return esOk;
    }
    if (field->type == FieldType::ZString) {
        // The size counts characters; a text that fills the value area without its zero holds
        // more than 4 bytes per character, and so more characters than fit.
        const auto* text = static_cast<const char*>(source);
        const std::size_t length = strnlen(text, field->length);
        if (length == field->length || Utf8Length(std::string_view(text, length)) > field->size)
            return Errors::Fail(esValueTooLong,
                                Format("Field %s holds at most %u characters", field->name.c_str(),
                                       static_cast<unsigned>(field->size)));
        std::memset(value, 0, field->length);
        std::memcpy(value, text, length);
    } else {
        std::memcpy(value, source, field->length);
    }
    record[field->offset] = TableSchema::FieldValue;
    return esOk;
}

void CursorBase::BlankRecord(std::uint8_t* record) const {
    std::memset(record, 0, m_Schema.RecordSize());
}

EngineStatus CursorBase::ReadMemo(std::uint16_t fieldNo, const std::uint8_t* record, std::string& text,
                                  bool& isBlank) {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    if (field->type != FieldType::Blob)
        return Errors::Fail(esInvalidField, "Field " + field->name + " is not a memo");
    text.clear();
    isBlank = record[field->offset] == TableSchema::FieldBlank;
    const auto id = Load<std::uint64_t>(record + field->offset + 1);
    if (id != 0) {
        auto it = m_PendingMemos.find(id);
        if (!isBlank && it == m_PendingMemos.end())
            return Errors::Fail(esInvalidParameter, "the memo text of this record buffer is gone");
        if (!isBlank)
            text = it->second;
        return esOk;
    }
    if (isBlank || RowIdOf(record) == 0)
        return esOk;
    return ReadStoredMemo(fieldNo, RowIdOf(record), text, isBlank);
}

EngineStatus CursorBase::WriteMemo(std::uint16_t fieldNo, std::uint8_t* record, const std::string& text) {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    if (field->type != FieldType::Blob)
        return Errors::Fail(esInvalidField, "Field " + field->name + " is not a memo");
    const std::uint64_t id = m_NextMemo++;
    m_PendingMemos[id] = text;
    record[field->offset] = TableSchema::FieldValue;
    Store(record + field->offset + 1, id);
    return esOk;
}

EngineStatus CursorBase::GetValue(std::uint16_t fieldNo, const std::uint8_t* record, Value& value) {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    value = std::monostate{};
    if (field->type == FieldType::Blob) {
        std::string text;
        bool blank = true;
        if (EngineStatus s = ReadMemo(fieldNo, record, text, blank))
            return s;
        if (!blank)
            value = text;
        return esOk;
    }
    value = codec::ValueOf(*field, record);
    return esOk;
}

EngineStatus CursorBase::PutValue(std::uint16_t fieldNo, std::uint8_t* record, const Value& value) {
    const FieldDesc* field = nullptr;
    if (EngineStatus s = CheckField(fieldNo, field))
        return s;
    if (std::holds_alternative<std::monostate>(value))
        return PutField(fieldNo, record, nullptr);
    const auto mismatch = [&] {
        return Errors::Fail(esInvalidParameter, "value of the wrong type for field " + field->name);
    };
    switch (field->type) {
    case FieldType::ZString:
    case FieldType::Blob: {
        const auto* text = std::get_if<std::string>(&value);
        if (!text || text->find('\0') != std::string::npos)
            return mismatch();
        return field->type == FieldType::Blob ? WriteMemo(fieldNo, record, *text)
                                              : PutField(fieldNo, record, text->c_str());
    }
    case FieldType::Date: {
        const auto* day = std::get_if<DayNumber>(&value);
        return day ? PutField(fieldNo, record, &day->days) : mismatch();
    }
    case FieldType::Bool: {
        const auto* flag = std::get_if<bool>(&value);
        const std::int16_t word = flag && *flag ? 1 : 0;
        return flag ? PutField(fieldNo, record, &word) : mismatch();
    }
    case FieldType::Int16: {
        const auto* number = std::get_if<std::int32_t>(&value);
        if (!number || *number < -32768 || *number > 32767)
            return mismatch();
        const auto word = static_cast<std::int16_t>(*number);
        return PutField(fieldNo, record, &word);
    }
    case FieldType::Int32: {
        const auto* number = std::get_if<std::int32_t>(&value);
        return number ? PutField(fieldNo, record, number) : mismatch();
    }
    case FieldType::Float: {
        const auto* number = std::get_if<double>(&value);
        return number ? PutField(fieldNo, record, number) : mismatch();
    }
    default:
        return mismatch();
    }
}

// ---- writing ------------------------------------------------------------------------------------

bool CursorBase::FieldChanged(const FieldDesc& field, const std::uint8_t* record,
                              const std::uint8_t* reference) const {
    if (field.type == FieldType::Blob)
        return Load<std::uint64_t>(record + field.offset + 1) != 0; // a text the caller wrote
    if (record[field.offset] == TableSchema::FieldClipped)
        return false; // the stored value did not fit the buffer and the caller left it alone
    return std::memcmp(record + field.offset, reference + field.offset, 1u + field.length) != 0;
}

EngineStatus CursorBase::CollectWrite(const std::uint8_t* record, bool insert, const std::uint8_t* reference,
                                      RowWrite& write) {
    for (const FieldDesc& field : m_Schema.Fields()) {
        if (field.subtype == FieldSubtype::AutoInc)
            continue;
        if (!insert && !FieldChanged(field, record, reference))
            continue;
        if (field.required && record[field.offset] == TableSchema::FieldBlank)
            return Errors::Fail(esInvalidParameter, "Field " + field.name + " must have a value");
        SqlValue value;
        if (field.type == FieldType::Blob) {
            const auto id = Load<std::uint64_t>(record + field.offset + 1);
            std::string text;
            bool blank = true;
            if (EngineStatus s = ReadMemo(field.number, record, text, blank))
                return s;
            if (id != 0)
                write.usedMemos.push_back(id);
            if (!blank)
                value = std::move(text);
        } else {
            value = codec::SqlOf(field, record);
        }
        write.fields.push_back(&field);
        write.values.push_back(std::move(value));
    }
    return esOk;
}

EngineStatus CursorBase::ShowStoredRow(std::int64_t rowId, std::uint8_t* record) {
    FetchedRow row;
    if (EngineStatus s = FetchRow(rowId, row))
        return s;
    if (row.found) {
        m_Position = {Where::Row, row.key, rowId, row.passes};
        std::memcpy(record, m_Scratch.data(), m_Scratch.size());
    } else {
        m_Position.onRow = false;
    }
    return esOk;
}

EngineStatus CursorBase::Modify(std::uint8_t* record, bool freeLock) {
    if (m_ReadOnly)
        return Errors::Fail(esTableReadOnly, "Table: " + TablePath());
    if (m_Position.where != Where::Row || !m_Position.onRow)
        return Errors::Fail(esNoCurrentRecord);
    const std::int64_t rowId = m_Position.rowId;
    // A buffer read from another row must never be written over this one.
    if (RowIdOf(record) != 0 && RowIdOf(record) != rowId)
        return Errors::Fail(esInvalidParameter, "the record buffer holds another row than the current one");
    const bool wasLocked = IsLocked(rowId);
    const auto lockState = [&](EngineStatus s) {
        Errors::AddContext(wasLocked ? "The record lock is still held" : "No record lock is held");
        return s;
    };
    if (EngineStatus s = Live())
        return lockState(s);
    if (!wasLocked) {
        if (EngineStatus s = TakeLock(rowId))
            return s;
    }
    std::vector<std::uint8_t> reference;
    if (auto it = m_LockImages.find(rowId); wasLocked && it != m_LockImages.end())
        reference = it->second;
    else if (m_LastRead.size() == m_Scratch.size() && RowIdOf(m_LastRead.data()) == rowId)
        reference = m_LastRead;
    const EngineStatus s = WriteRow(record, false, reference.empty() ? nullptr : reference.data());
    if (s == esOk) {
        if (freeLock || !wasLocked)
            Unlock(rowId, wasLocked);
        else
            m_LockImages[rowId].assign(record, record + m_Scratch.size());
        return esOk;
    }
    if (s == esRecordDeleted) {
        m_Position.onRow = false;
        Unlock(rowId, wasLocked);
        Errors::AddContext("The record lock has been released");
        return s;
    }
    // Busy, an I/O error: nothing was written and the lock is as it was before the call.
    if (!wasLocked)
        Unlock(rowId, false);
    return lockState(s);
}

EngineStatus CursorBase::Insert(LockType lock, std::uint8_t* record) {
    if (m_ReadOnly)
        return Errors::Fail(esTableReadOnly, "Table: " + TablePath());
    if (EngineStatus s = Live())
        return s;
    if (EngineStatus s = WriteRow(record, true, nullptr))
        return s;
    if (lock != LockType::Write)
        return esOk;
    if (EngineStatus s = TakeLock(m_Position.rowId))
        return s;
    m_LockImages[m_Position.rowId].assign(record, record + m_Scratch.size());
    return esOk;
}

EngineStatus CursorBase::Delete() {
    if (m_ReadOnly)
        return Errors::Fail(esTableReadOnly, "Table: " + TablePath());
    if (m_Position.where != Where::Row || !m_Position.onRow)
        return Errors::Fail(esNoCurrentRecord);
    if (EngineStatus s = Live())
        return s;
    const std::int64_t rowId = m_Position.rowId;
    const bool wasLocked = IsLocked(rowId);
    if (EngineStatus s = TakeLock(rowId))
        return s;
    const EngineStatus s = DeleteRow(rowId);
    if (!s || s == esRecordDeleted || !wasLocked)
        Unlock(rowId, wasLocked);
    if (!s)
        m_Position.onRow = false;
    return s;
}

EngineStatus CursorBase::ReleaseLock(bool all) {
    if (all) {
        UnlockAll();
        m_LockImages.clear();
        m_DroppedLock.reset();
        return esOk;
    }
    if (m_Position.where == Where::Row && IsLocked(m_Position.rowId)) {
        Unlock(m_Position.rowId, false);
        return esOk;
    }
    if (m_Position.where == Where::Row && m_DroppedLock == m_Position.rowId) {
        m_DroppedLock.reset();
        return esOk; // the engine already let it go
    }
    return Errors::Fail(esNotLocked);
}

bool CursorBase::IsRecordLocked() const {
    return m_Position.where == Where::Row && IsLocked(m_Position.rowId);
}

} // namespace ws::engine
