#include "JobsDbCommands.h"

#include "base/Convert.h"
#include "base/DateTime.h"
#include "base/Locale.h"
#include "base/Strings.h"
#include "base/Utf8.h"
#include "data/DBError.h"
#include "data/DateTimeField.h"
#include "data/Field.h"
#include "data/Session.h"
#include "data/wsTable.h"
#include "engine/Engine.h"
#include "jobs/JobSchema.h"
#include "jobs/JobTables.h"

#include <iostream>
#include <memory>

namespace ws::jobsdb {

namespace {

TComponentPtr<TwsTable> OpenView(const std::string& table, const std::string& indexName = {}) {
    TComponentPtr<TwsTable> view(new TwsTable(nullptr));
    view->SetDatabaseName(kAlias);
    view->SetTableName(table);
    view->SetIndexName(indexName);
    view->Open();
    return view;
}

std::pair<std::string, std::string> SplitAssignment(const std::string& assignment) {
    const auto equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0)
        throw EDatabaseError("Expected FIELD=VALUE, got '" + assignment + "'");
    return {assignment.substr(0, equals), assignment.substr(equals + 1)};
}

bool IsDateField(const TField& field) {
    return dynamic_cast<const TDateTimeField*>(&field) != nullptr;
}

TDateTime DateValueFor(const TField& field, const std::string& value) {
    try {
        return ParseDateValue(value);
    } catch (const EConvertError& e) {
        throw EConvertError(field.FieldName() + ": " + e.Message());
    }
}

// Dates in either form, an empty value as null, everything else through the field's own text. A
// text field's value must fit unless the caller allows cutting it.
void Assign(const TwsTable& view, TField& field, const std::string& value, WriteOptions options) {
    if (value.empty()) {
        field.Clear();
        return;
    }
    if (IsDateField(field)) {
        field.SetAsDateTime(DateValueFor(field, value));
        return;
    }
    const std::size_t length = Utf8Length(value);
    if (field.DataType() == ftString && field.Size() > 0 && length > static_cast<std::size_t>(field.Size()) &&
        !options.truncate)
        throw EDatabaseError(Format("%s: the value for %s is %zu characters long; the field holds at most %d "
                                    "(give --truncate to cut it)",
                                    view.TableName().c_str(), field.FieldName().c_str(), length,
                                    field.Size()));
    field.SetAsString(value);
}

void AssignAll(TwsTable& view, const std::vector<std::string>& assignments, WriteOptions options) {
    for (const std::string& assignment : assignments) {
        const auto [name, value] = SplitAssignment(assignment);
        Assign(view, *view.FieldNamed(name), value, options);
    }
}

// A key value as the view's Locate compares it: dates in the current locale's text.
std::string KeyText(const TwsTable& view, const std::string& field, const std::string& value) {
    const TField* target = view.FieldNamed(field);
    if (value.empty() || !IsDateField(*target))
        return value;
    const TDateTime date = DateValueFor(*target, value);
    return DateOf(date) == date ? DateToStr(date) : DateTimeToStr(date);
}

bool LocateKey(TwsTable& view, const std::string& field, const std::string& value) {
    return view.Locate(field, KeyText(view, field, value));
}

void LocateOrFail(TwsTable& view, const std::string& field, const std::string& value) {
    if (!LocateKey(view, field, value))
        throw EDatabaseError(
            Format("%s: no row with %s = '%s'", view.TableName().c_str(), field.c_str(), value.c_str()));
}

// One line per row: tabs and line breaks inside values would split it.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string RowText(const TwsTable& view) {
    std::string line;
    for (int i = 0; i < view.FieldCount(); ++i)
        line += (i ? "\t" : "") + Escape(view.Fields(i)->AsString());
    return line;
}

} // namespace

TDateTime ParseDateValue(const std::string& text) {
    try {
        return ParseIso(text);
    } catch (const EConvertError&) {
    }
    TDateTime value = 0;
    if (TryStrToDateTime(text, value, FormatSettings()))
        return value;
    throw EConvertError("'" + text + "' is not a date: write YYYY-MM-DD or " +
                        FormatSettings().ShortDateFormat);
}

void InitDatabase() {
    Session().Start();
    engine::hDatabase db = 0;
    Check(engine::OpenDatabase(kAlias, engine::OpenMode::ReadWrite, engine::ShareMode::Shared, db));
    for (const SchemaTable* table : JobTables()) {
        engine::EngineStatus status = engine::CreateTable(db, MakeTableSpec(*table));
        // A table made by an earlier init (one that was stopped midway, say) is kept as it is,
        // rows and all, once it opens as a table.
        if (status == engine::esTableExists) {
            engine::hCursor cursor = 0;
            status = engine::OpenTable(db, MakeTableSpec(*table).name, {}, {}, engine::OpenMode::ReadOnly,
                                       engine::ShareMode::Shared, cursor);
            if (status == engine::esOk)
                engine::CloseCursor(cursor);
        }
        if (status != engine::esOk) {
            const auto entries = engine::LastErrorEntries();
            engine::CloseDatabase(db);
            throw EDBEngineError(status, entries);
        }
    }
    engine::CloseDatabase(db);
}

void PutRow(const std::string& table, const std::vector<std::string>& assignments, WriteOptions options) {
    auto view = OpenView(table);
    view->Insert();
    AssignAll(*view, assignments, options);
    view->Post();
}

void UpdateRow(const std::string& table, const std::string& key, const std::vector<std::string>& assignments,
               WriteOptions options) {
    auto view = OpenView(table);
    const auto [field, value] = SplitAssignment(key);
    LocateOrFail(*view, field, value);
    view->Edit();
    AssignAll(*view, assignments, options);
    view->Post();
}

void DeleteRow(const std::string& table, const std::string& key) {
    auto view = OpenView(table);
    const auto [field, value] = SplitAssignment(key);
    LocateOrFail(*view, field, value);
    view->Delete();
}

void DumpTable(const std::string& table, const std::string& indexName, const std::string& filter,
               std::ostream& out) {
    auto view = OpenView(table, indexName);
    if (!filter.empty()) {
        view->SetFilter(filter);
        view->SetFiltered(true);
    }
    std::string header;
    for (int i = 0; i < view->FieldCount(); ++i)
        header += (i ? "\t" : "") + view->Fields(i)->FieldName();
    out << header << "\n";
    for (view->First(); !view->Eof(); view->Next())
        out << RowText(*view) << "\n";
    out << "RecordCount: " << view->RecordCount() << "\n";
}

void LocateRow(const std::string& table, const std::string& field, const std::string& value,
               std::ostream& out) {
    auto view = OpenView(table);
    out << (LocateKey(*view, field, value) ? RowText(*view) : std::string("not found")) << "\n";
}

void LockRow(const std::string& table, const std::string& field, const std::string& value, std::istream& in,
             std::ostream& out) {
    auto view = OpenView(table);
    LocateOrFail(*view, field, value);
    view->Edit();
    out << "locked" << std::endl;
    std::string line;
    while (std::getline(in, line)) {
    }
    view->Cancel();
}

} // namespace ws::jobsdb
