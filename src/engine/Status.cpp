#include "engine/Status.h"

#include "base/Strings.h"
#include "engine/Errors.h"

namespace ws::engine {

namespace {

struct StatusRow {
    EngineStatus code;
    const char* name;
    const char* text;
};

#define WS_ENGINE_STATUS_ROW(name, code, text) {code, #name, text},
constexpr StatusRow kStatuses[] = {WS_ENGINE_STATUSES(WS_ENGINE_STATUS_ROW)};
#undef WS_ENGINE_STATUS_ROW

const StatusRow* FindStatus(EngineStatus status) {
    for (const StatusRow& row : kStatuses) {
        if (row.code == status)
            return &row;
    }
    return nullptr;
}

thread_local std::vector<ErrorEntry> t_Entries;

} // namespace

std::string ErrorText(EngineStatus status) {
    const StatusRow* row = FindStatus(status);
    return row ? row->text : Format("Engine error $%.4x", static_cast<unsigned>(status));
}

std::string StatusName(EngineStatus status) {
    const StatusRow* row = FindStatus(status);
    return row ? row->name : Format("$%.4x", static_cast<unsigned>(status));
}

std::vector<ErrorEntry> LastErrorEntries() {
    return t_Entries;
}

void Errors::Clear() {
    t_Entries.clear();
}

EngineStatus Errors::Fail(EngineStatus code, const std::string& context, int nativeCode) {
    t_Entries.push_back({code, nativeCode, {}});
    if (!context.empty())
        t_Entries.push_back({esContext, 0, context});
    return code;
}

void Errors::AddContext(const std::string& context) {
    t_Entries.push_back({esContext, 0, context});
}

std::vector<ErrorEntry> Errors::Entries() {
    return t_Entries;
}

} // namespace ws::engine
