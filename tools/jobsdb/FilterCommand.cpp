#include "FilterCommand.h"

#include "base/Exception.h"
#include "base/Strings.h"
#include "data/ExprParser.h"
#include "engine/Engine.h"

namespace ws::jobsdb {

namespace {

constexpr std::size_t kBytesPerLine = 16;

} // namespace

std::string HexLines(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += Format("%02x", static_cast<unsigned>(bytes[i]));
        out += (i + 1) % kBytesPerLine == 0 || i + 1 == bytes.size() ? "\n" : " ";
    }
    return out;
}

FilterCommandResult FilterCommand(const TExprFields& fields, const std::string& text) {
    try {
        return {HexLines(TExprParser::Build(fields, text, {})), 0};
    } catch (const Exception& e) {
        return {e.Message() + "\n", 1};
    }
}

FilterCommandResult FilterCommandForTable(const std::string& dir, const std::string& table,
                                          const std::string& text) {
    using namespace engine;
    const EngineStatus started = EngineInit();
    if (started != esOk && started != esAlreadyStarted)
        return {ErrorText(started) + "\n", 1};
    hDatabase db = 0;
    hCursor cursor = 0;
    std::vector<FieldDesc> fields;
    EngineStatus status = OpenDatabase(dir, OpenMode::ReadOnly, ShareMode::Shared, db);
    if (status == esOk)
        status = OpenTable(db, table, "", "", OpenMode::ReadOnly, ShareMode::Shared, cursor);
    if (status == esOk)
        status = GetFieldDescs(cursor, fields);
    // The engine's own message, with what it was about, before closing clears it.
    std::string message = ErrorText(status);
    for (const ErrorEntry& entry : LastErrorEntries()) {
        if (!entry.context.empty())
            message += "\n" + entry.context;
    }
    if (cursor)
        CloseCursor(cursor);
    if (db)
        CloseDatabase(db);
    EngineExit();
    if (status != esOk)
        return {message + "\n", 1};
    return FilterCommand(TExprFields::FromEngine(fields, table), text);
}

} // namespace ws::jobsdb
