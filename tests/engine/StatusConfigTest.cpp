#include "EngineTestSupport.h"
#include "engine/AliasConfig.h"

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ws::engine::test {

namespace {

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_Name(name) {
        if (const char* old = std::getenv(name))
            m_Old = old;
        m_Had = std::getenv(name) != nullptr;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_Had)
            ::setenv(m_Name, m_Old.c_str(), 1);
        else
            ::unsetenv(m_Name);
    }

private:
    const char* m_Name;
    std::string m_Old;
    bool m_Had = false;
};

std::string Joined(const std::vector<ErrorEntry>& entries) {
    std::string text;
    for (const ErrorEntry& e : entries)
        text += StatusName(e.code) + ": " + e.context + "\n";
    return text;
}

} // namespace

TEST(EngineStatus, TextsAndNamesComeFromOneTable) {
    EXPECT_EQ(ErrorText(esBOF), "At beginning of table");
    EXPECT_EQ(ErrorText(esEOF), "At end of table");
    EXPECT_EQ(ErrorText(esAlreadyStarted), "Engine already started");
    EXPECT_EQ(ErrorText(esTableReadOnly), "Table is read-only");
    EXPECT_EQ(StatusName(esRecordLocked), "esRecordLocked");
    EXPECT_EQ(ErrorText(0x7777), "Engine error $7777");
    // The codes the table access layer relies on keep their values.
    EXPECT_EQ(esLibraryNotFound, 0x2108);
    EXPECT_EQ(esBindingLockFailed, 0x2A06);
    EXPECT_EQ(esEntryPointMissing, 0x274F);
    EXPECT_EQ(esContext, 0x2EC4);
}

TEST(EngineStart, CountsStartsAndRefusesWorkWhenStopped) {
    ASSERT_EQ(EngineStartCount(), 0);
    hDatabase db = 0;
    EXPECT_EQ(OpenDatabase("/tmp", OpenMode::ReadOnly, ShareMode::Shared, db), esNotStarted);
    EXPECT_EQ(EngineInit(), esOk);
    EXPECT_EQ(EngineInit(), esAlreadyStarted);
    EXPECT_EQ(EngineStartCount(), 2);
    EXPECT_EQ(EngineExit(), esOk);
    EXPECT_EQ(OpenDatabase("/tmp", OpenMode::ReadOnly, ShareMode::Shared, db), esOk);
    EXPECT_EQ(EngineExit(), esOk);
    EXPECT_EQ(EngineExit(), esNotStarted);
    EXPECT_EQ(EngineInit(499), esLibraryStartFailed);
}

TEST(EngineStart, ForcedStartFailureLeavesEngineStopped) {
    FaultInjector::Scope faults;
    faults.FailOperation("EngineInit", esLibraryStartFailed);
    EXPECT_EQ(EngineInit(), esLibraryStartFailed);
    EXPECT_EQ(EngineStartCount(), 0);
    ASSERT_FALSE(LastErrorEntries().empty());
    EXPECT_EQ(LastErrorEntries().front().code, esLibraryStartFailed);
    faults.Clear();
}

TEST(AliasConfigParse, ReadsSectionsAndSkipsWhatDoesNotParse) {
    const auto aliases = AliasConfig::Parse("; comment\n"
                                            "stray=before any section\n"
                                            "[YardData]\r\n"
                                            "  DRIVER = desktop \n"
                                            "PATH=/srv/yard/jobs\n"
                                            "no equals sign\n"
                                            "=no key\n"
                                            "[Broken\n"
                                            "PATH=/ignored\n"
                                            "[]\n"
                                            "# other\n"
                                            "[Other]\n"
                                            "path=/x=y\n");
    ASSERT_EQ(aliases.size(), 2u);
    const AliasInfo& yard = aliases.at("YARDDATA");
    EXPECT_EQ(yard.name, "YardData");
    EXPECT_EQ(yard.driver, "DESKTOP");
    EXPECT_EQ(yard.params.at("PATH"), "/srv/yard/jobs");
    EXPECT_EQ(aliases.at("OTHER").params.at("PATH"), "/x=y");
    EXPECT_EQ(aliases.at("OTHER").driver, "DESKTOP");
}

class AliasTest : public EngineTest {};

TEST_F(AliasTest, AliasFromConfigurationFileOpensItsDirectory) {
    const std::string ini = m_Dir + "/engine.ini";
    std::ofstream(ini) << "[YardData]\nDRIVER=DESKTOP\nPATH=" << m_Dir << "/\n";
    ScopedEnv env("YARD_ENGINE_CONFIG", ini);
    AliasInfo info;
    ASSERT_EQ(GetAliasInfo("yarddata", info), esOk);
    EXPECT_EQ(info.driver, "DESKTOP");
    hDatabase db = 0;
    ASSERT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), esOk);
    std::string directory;
    ASSERT_EQ(DatabaseDirectory(db, directory), esOk);
    EXPECT_EQ(directory, m_Dir);
    hCursor cursor = 0;
    EXPECT_EQ(OpenTable(db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor), esOk);
}

TEST_F(AliasTest, UnknownAliasNamesTheAliasAndEveryPathTried) {
    ScopedEnv env("YARD_ENGINE_CONFIG", m_Dir + "/missing.ini");
    ScopedEnv xdg("XDG_CONFIG_HOME", m_Dir + "/xdg");
    hDatabase db = 0;
    EXPECT_EQ(OpenDatabase("NoSuchAlias", OpenMode::ReadWrite, ShareMode::Shared, db), esUnknownAlias);
    const auto entries = LastErrorEntries();
    ASSERT_EQ(entries.size(), 2u) << Joined(entries);
    EXPECT_EQ(entries[0].code, esUnknownAlias);
    EXPECT_EQ(entries[1].code, esContext);
    const std::string& context = entries[1].context;
    EXPECT_NE(context.find("NoSuchAlias"), std::string::npos) << context;
    EXPECT_NE(context.find(m_Dir + "/missing.ini (not found)"), std::string::npos) << context;
    EXPECT_NE(context.find(m_Dir + "/xdg/yard-engine/engine.ini"), std::string::npos) << context;
    EXPECT_NE(context.find("/etc/yard-engine/engine.ini"), std::string::npos) << context;
}

TEST_F(AliasTest, AliasMissingFromAnExistingFileSaysSo) {
    const std::string ini = m_Dir + "/engine.ini";
    std::ofstream(ini) << "[Other]\nPATH=/tmp\n";
    ScopedEnv env("YARD_ENGINE_CONFIG", ini);
    hDatabase db = 0;
    EXPECT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), esUnknownAlias);
    EXPECT_NE(LastErrorEntries().back().context.find(ini + " (no such alias)"), std::string::npos);
}

TEST_F(AliasTest, SessionAliasOverridesFileAndChecksItsDirectory) {
    const std::string ini = m_Dir + "/engine.ini";
    std::ofstream(ini) << "[YardData]\nPATH=/nonexistent/dir\n";
    ScopedEnv env("YARD_ENGINE_CONFIG", ini);
    hDatabase db = 0;
    EXPECT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), esUnknownDatabase);
    EXPECT_NE(LastErrorEntries().back().context.find("/nonexistent/dir"), std::string::npos);
    ASSERT_EQ(AddSessionAlias("YardData", "DESKTOP", {{"path", m_Dir}}), esOk);
    EXPECT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), esOk);
    ASSERT_EQ(AddSessionAlias("Remote", "SERVER", {}), esOk);
    EXPECT_EQ(OpenDatabase("Remote", OpenMode::ReadWrite, ShareMode::Shared, db), esUnknownDriver);
}

// A connection under a name of its own copies the configured alias; what goes wrong with the
// database is told by the alias the user wrote in the configuration.
TEST_F(AliasTest, MessagesNameTheConfiguredAliasNotTheConnectionsNameForIt) {
    const std::string ini = m_Dir + "/engine.ini";
    std::ofstream(ini) << "[YardData]\nPATH=/nonexistent/yard\n[Remote]\nDRIVER=SERVER\n";
    ScopedEnv env("YARD_ENGINE_CONFIG", ini);
    hDatabase db = 0;
    for (const char* configured : {"yarddata", "REMOTE"}) {
        SCOPED_TRACE(configured);
        AliasInfo alias;
        ASSERT_EQ(GetAliasInfo(configured, alias), esOk);
        ASSERT_EQ(AddSessionAlias("JobsDB", alias.driver, alias.params, alias.name), esOk);
        EXPECT_NE(OpenDatabase("JobsDB", OpenMode::ReadWrite, ShareMode::Shared, db), esOk);
        const std::string context = LastErrorEntries().back().context;
        EXPECT_NE(context.find("Alias '" + alias.name + "'"), std::string::npos) << context;
        EXPECT_EQ(context.find("JobsDB"), std::string::npos) << context;
    }
    EXPECT_EQ(LastErrorEntries().front().code, esUnknownDriver);
}

// A NUL byte cuts a path short for the system: a configured directory that holds one is refused,
// not taken as the directory before it.
TEST_F(AliasTest, APathWithANulByteIsRefused) {
    const std::string ini = m_Dir + "/engine.ini";
    std::ofstream(ini) << "[YardData]\nPATH=" << m_Dir << std::string(1, '\0') << "/elsewhere\n";
    ScopedEnv env("YARD_ENGINE_CONFIG", ini);
    hDatabase db = 0;
    ASSERT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), esInvalidParameter);
    EXPECT_NE(Joined(LastErrorEntries()).find("NUL byte"), std::string::npos) << Joined(LastErrorEntries());
    ASSERT_EQ(AddSessionAlias("Yard2", "DESKTOP", {{"PATH", m_Dir + std::string(1, '\0') + "x"}}), esOk);
    EXPECT_EQ(OpenDatabase("Yard2", OpenMode::ReadWrite, ShareMode::Shared, db), esInvalidParameter);
    EXPECT_EQ(OpenDatabase(m_Dir + std::string(1, '\0'), OpenMode::ReadWrite, ShareMode::Shared, db),
              esInvalidParameter);
}

// What stops a table from opening is told as it is: only a missing file is "does not exist".
TEST_F(AliasTest, ATableThatCannotBeReachedSaysWhyRatherThanThatItDoesNotExist) {
    hCursor cursor = 0;
    EXPECT_EQ(OpenTable(m_Db, std::string(300, 'J'), "", "", OpenMode::ReadOnly, ShareMode::Shared, cursor),
              esPathTooLong);
    EXPECT_EQ(OpenTable(m_Db, "Missing", "", "", OpenMode::ReadOnly, ShareMode::Shared, cursor),
              esTableNotFound);
    // A directory this process may not enter: a child without privileges (as root) or with the
    // directory shut (otherwise) opens the table; it reports the status it got.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::geteuid() == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
        } else if (::chmod(m_Dir.c_str(), 0) != 0) {
            ::_exit(2);
        }
        hCursor c = 0;
        EngineStatus got[2] = {OpenTable(m_Db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, c),
                               OpenTable(m_Db, "Jobs", "", "", OpenMode::ReadOnly, ShareMode::Shared, c)};
        (void)!::write(pipeFds[1], got, sizeof got);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    EngineStatus got[2] = {0, 0};
    const bool read = ::read(pipeFds[0], got, sizeof got) == static_cast<ssize_t>(sizeof got);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(m_Dir.c_str(), 0700);
    ASSERT_TRUE(read && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(got[0], esAccessDenied) << StatusName(got[0]);
    EXPECT_EQ(got[1], esAccessDenied) << StatusName(got[1]);
}

TEST_F(AliasTest, HandlesThatDoNotExistAreRefused) {
    hCursor cursor = 0;
    EXPECT_EQ(OpenTable(m_Db + 1000, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor),
              esInvalidHandle);
    std::uint32_t count = 0;
    EXPECT_EQ(GetRecordCount(12345, count), esInvalidHandle);
    const hCursor open = Open();
    ASSERT_EQ(CloseCursor(open), esOk);
    EXPECT_EQ(GetRecordCount(open, count), esInvalidHandle);
    EXPECT_EQ(CloseDatabase(m_Db), esOk);
    EXPECT_EQ(CloseDatabase(m_Db), esInvalidHandle);
}

} // namespace ws::engine::test
