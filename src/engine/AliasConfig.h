#pragma once

#include "engine/Types.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws::engine {

// The engine's alias configuration: an INI file with one section per alias,
//   [YardData]
//   DRIVER=DESKTOP
//   PATH=/srv/yard/jobs
// taken from the first of these files that exists: $YARD_ENGINE_CONFIG,
// $XDG_CONFIG_HOME/yard-engine/engine.ini (default ~/.config/...), /etc/yard-engine/engine.ini.
class AliasConfig {
public:
    // Aliases by upper-cased name. Lines that do not parse are skipped; nothing in the text is
    // trusted (the file is edited by hand).
    static std::map<std::string, AliasInfo> Parse(std::string_view text);

    // The files looked for, in order of preference.
    static std::vector<std::string> CandidatePaths();

    struct Lookup {
        std::optional<AliasInfo> alias;
        std::string file;               // the configuration file that was read, if any
        std::vector<std::string> tried; // every path looked at, with what was found there
    };
    static Lookup Find(const std::string& aliasName);
};

} // namespace ws::engine
