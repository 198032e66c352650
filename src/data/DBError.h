#pragma once

#include "base/Exception.h"
#include "engine/Status.h"

#include <string>
#include <vector>

namespace ws {

class TComponent;

// Failures of the data sets, fields, connections and sessions.
WS_DECLARE_EXCEPTION(EDatabaseError, Exception)

// A failure the database engine reported. Keeps the engine's error entries so that a caller can
// look at the code (a record lock, a missing table) rather than at the text.
class EDBEngineError : public EDatabaseError {
public:
    EDBEngineError(engine::EngineStatus code, std::vector<engine::ErrorEntry> entries);
    // The engine could not be started, so its texts cannot be trusted: a fixed message.
    static EDBEngineError StartFailure(engine::EngineStatus code);

    const char* ClassName() const noexcept override { return "EDBEngineError"; }
    engine::EngineStatus ErrorCode() const { return m_Code; }
    const std::vector<engine::ErrorEntry>& Entries() const { return m_Entries; }

    // Distinct lines: the text of the code (not for the bare context code), then for each entry
    // the text of its code when the storage layer gave no native code, and its context.
    static std::string BuildMessage(engine::EngineStatus code,
                                    const std::vector<engine::ErrorEntry>& entries);

private:
    EDBEngineError(std::string message, engine::EngineStatus code, std::vector<engine::ErrorEntry> entries);

    engine::EngineStatus m_Code;
    std::vector<engine::ErrorEntry> m_Entries;
};

// Raises EDatabaseError; a named component puts its name in front ("JobsTable: ...").
[[noreturn]] void DatabaseError(const std::string& message, const TComponent* component = nullptr);

// Raises EDBEngineError for a failed engine status, with the entries the engine left behind.
void Check(engine::EngineStatus status);

namespace messages {
inline constexpr const char* DataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* DataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* FieldNotFound = "Field '%s' not found";
inline constexpr const char* NotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* FieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* DataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* FieldRequired = "Field '%s' must have a value";
inline constexpr const char* RecordNotFound = "Record not found";
inline constexpr const char* PictureValidateError = "Invalid characters. Field : ";
inline constexpr const char* NoTableName = "Missing TableName property";
inline constexpr const char* HandleError = "Error creating cursor handle";
inline constexpr const char* FieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* FieldSizeMismatch = "Size mismatch for field '%s', expecting: %d actual: %d";
inline constexpr const char* InvalidCalcType = "Field '%s' cannot be a calculated or lookup field";
inline constexpr const char* NoDataSet = "Field '%s' has no dataset";
inline constexpr const char* InvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* InvalidIntegerValue = "'%s' is not a valid integer value for field '%s'";
inline constexpr const char* InvalidFloatValue = "'%s' is not a valid floating point value for field '%s'";
inline constexpr const char* EmptyDataSet = "Cannot perform this operation on an empty dataset";
inline constexpr const char* InitEngineError =
    "An error occurred while attempting to initialize the database engine (error $%.4x)";
inline constexpr const char* EngineErrorCode = "Engine error $%.4x";
inline constexpr const char* ValueOutOfRange = "%lld is out of range for field '%s': it holds %d to %d";
inline constexpr const char* LookupFieldNotStored = "Field '%s' cannot be used to locate a row";
} // namespace messages

} // namespace ws
