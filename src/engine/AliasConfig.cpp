#include "engine/AliasConfig.h"

#include "base/Strings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace ws::engine {

namespace {

// A configuration file larger than this is not one we wrote or a person edited.
constexpr std::size_t kMaxConfigBytes = 1 << 20;

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(kMaxConfigBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text.size() <= kMaxConfigBytes;
}

} // namespace

std::map<std::string, AliasInfo> AliasConfig::Parse(std::string_view text) {
    std::map<std::string, AliasInfo> aliases;
    AliasInfo* section = nullptr;
    for (const std::string& raw : Split(text, '\n')) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            section = nullptr;
            if (line.back() != ']')
                continue;
            const std::string name = Trim(std::string_view(line).substr(1, line.size() - 2));
            if (name.empty())
                continue;
            section = &aliases[UpperCase(name)];
            section->name = name;
            section->driver = "DESKTOP";
            continue;
        }
        const auto eq = line.find('=');
        if (!section || eq == std::string::npos)
            continue;
        const std::string key = UpperCase(Trim(std::string_view(line).substr(0, eq)));
        const std::string value = Trim(std::string_view(line).substr(eq + 1));
        if (key.empty())
            continue;
        if (key == "DRIVER")
            section->driver = UpperCase(value);
        else
            section->params[key] = value;
    }
    return aliases;
}

std::vector<std::string> AliasConfig::CandidatePaths() {
    std::vector<std::string> paths;
    if (std::string env = EnvValue("YARD_ENGINE_CONFIG"); !env.empty())
        paths.push_back(env);
    std::string configHome = EnvValue("XDG_CONFIG_HOME");
    if (configHome.empty() || configHome[0] != '/') {
        const std::string home = EnvValue("HOME");
        configHome = home.empty() ? std::string() : home + "/.config";
    }
    if (!configHome.empty())
        paths.push_back(configHome + "/yard-engine/engine.ini");
    paths.push_back("/etc/yard-engine/engine.ini");
    return paths;
}

AliasConfig::Lookup AliasConfig::Find(const std::string& aliasName) {
    Lookup result;
    for (const std::string& path : CandidatePaths()) {
        if (!IsRegularFile(path)) {
            result.tried.push_back(path + " (not found)");
            continue;
        }
        std::string text;
        if (!ReadFile(path, text)) {
            result.tried.push_back(path + " (unreadable)");
            continue;
        }
        result.file = path;
        const auto aliases = Parse(text);
        if (auto it = aliases.find(UpperCase(aliasName)); it != aliases.end())
            result.alias = it->second;
        else
            result.tried.push_back(path + " (no such alias)");
        return result;
    }
    return result;
}

} // namespace ws::engine
