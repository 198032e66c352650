#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ws::jobsdb {

// The alias the wall screen reaches its job database through; --dir defines it for one run.
inline constexpr const char* kAlias = "YardData";

// Each command raises on failure; the caller prints the message and exits with 1.
void InitDatabase();
void PutRow(const std::string& table, const std::vector<std::string>& assignments);
void UpdateRow(const std::string& table, const std::string& key, const std::vector<std::string>& assignments);
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
