#include "data/DBError.h"

#include "base/Strings.h"
#include "ui/Component.h"

#include <algorithm>

namespace ws {

// The message is built before the entries move into the object: the two arguments of a
// delegating call are evaluated in no fixed order.
EDBEngineError::EDBEngineError(engine::EngineStatus code, std::vector<engine::ErrorEntry> entries)
    : EDatabaseError(BuildMessage(code, entries)), m_Code(code), m_Entries(std::move(entries)) {}

EDBEngineError::EDBEngineError(std::string message, engine::EngineStatus code,
                               std::vector<engine::ErrorEntry> entries)
    : EDatabaseError(std::move(message)), m_Code(code), m_Entries(std::move(entries)) {}

EDBEngineError EDBEngineError::StartFailure(engine::EngineStatus code) {
    return EDBEngineError(Format(messages::InitEngineError, code), code, {{code, 0, {}}});
}

std::string EDBEngineError::BuildMessage(engine::EngineStatus code,
                                         const std::vector<engine::ErrorEntry>& entries) {
    std::vector<std::string> lines;
    const auto add = [&lines](const std::string& line) {
        if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(line);
    };
    // The context code only says "more follows"; its own text would be noise.
    if (code != engine::esContext)
        add(engine::ErrorText(code));
    for (const engine::ErrorEntry& entry : entries) {
        if (entry.nativeCode == 0 && entry.code != engine::esContext)
            add(engine::ErrorText(entry.code));
        add(entry.context);
    }
    if (lines.empty())
        return Format(messages::EngineErrorCode, code);
    std::string message = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i)
        message += "\n" + lines[i];
    return message;
}

void DatabaseError(const std::string& message, const TComponent* component) {
    if (component && !component->Name().empty())
        throw EDatabaseError(component->Name() + ": " + message);
    throw EDatabaseError(message);
}

void Check(engine::EngineStatus status) {
    if (status == engine::esOk)
        return;
    throw EDBEngineError(status, engine::LastErrorEntries());
}

} // namespace ws
