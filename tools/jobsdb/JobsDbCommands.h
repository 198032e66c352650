#pragma once

#include "base/DateTime.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace ws::jobsdb {

// The alias the wall screen reaches its job database through; --dir defines it for one run.
inline constexpr const char* kAlias = "YardData";

// How values are written. A text longer than its field is refused (naming the field and its
// size) unless truncate is set; then it is cut to the field's size as the field itself would.
struct WriteOptions {
    bool truncate = false;
};

// A date as an administrator types it: YYYY-MM-DD (optionally with a time, as ParseIso reads it)
// or the locale form dd/mm/yyyy. Throws EConvertError naming both forms.
TDateTime ParseDateValue(const std::string& text);

// Each command raises on failure; the caller prints the message and exits with 1. Key values of
// date fields are read like any date value (ParseDateValue).
void InitDatabase();
void PutRow(const std::string& table, const std::vector<std::string>& assignments, WriteOptions options = {});
void UpdateRow(const std::string& table, const std::string& key, const std::vector<std::string>& assignments,
               WriteOptions options = {});
void DeleteRow(const std::string& table, const std::string& key);
// With a filter text, only the rows that pass it (and their count).
void DumpTable(const std::string& table, const std::string& indexName, const std::string& filter,
               std::ostream& out);
void LocateRow(const std::string& table, const std::string& field, const std::string& value,
               std::ostream& out);
// Locates and edits the row, says "locked" and keeps the lock until `in` ends.
void LockRow(const std::string& table, const std::string& field, const std::string& value, std::istream& in,
             std::ostream& out);

// A demo database for the day `today` ("YYYY-MM-DD"; empty: the current date).
void CreateDemoDatabase(const std::string& today);

} // namespace ws::jobsdb
