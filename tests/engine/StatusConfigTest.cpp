#include "EngineTestSupport.h"
#include "engine/AliasConfig.h"

#include <fstream>

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
    EXPECT_EQ(ErrorText(dbiBOF), "At beginning of table");
    EXPECT_EQ(ErrorText(dbiEOF), "At end of table");
    EXPECT_EQ(ErrorText(dbiAlreadyStarted), "Engine already started");
    EXPECT_EQ(ErrorText(dbiTableReadOnly), "Table is read-only");
    EXPECT_EQ(StatusName(dbiRecordLocked), "dbiRecordLocked");
    EXPECT_EQ(ErrorText(0x7777), "Engine error $7777");
    // The codes the table access layer relies on keep their values.
    EXPECT_EQ(dbiLibraryNotFound, 0x2108);
    EXPECT_EQ(dbiBindingLockFailed, 0x2A06);
    EXPECT_EQ(dbiEntryPointMissing, 0x274F);
    EXPECT_EQ(dbiContext, 0x2EC4);
}

TEST(EngineStart, CountsStartsAndRefusesWorkWhenStopped) {
    FaultInjector::Reset();
    ASSERT_EQ(EngineStartCount(), 0);
    hDBIDb db = 0;
    EXPECT_EQ(OpenDatabase("/tmp", OpenMode::ReadOnly, ShareMode::Shared, db), dbiNotStarted);
    EXPECT_EQ(EngineInit(), dbiOk);
    EXPECT_EQ(EngineInit(), dbiAlreadyStarted);
    EXPECT_EQ(EngineStartCount(), 2);
    EXPECT_EQ(EngineExit(), dbiOk);
    EXPECT_EQ(OpenDatabase("/tmp", OpenMode::ReadOnly, ShareMode::Shared, db), dbiOk);
    EXPECT_EQ(EngineExit(), dbiOk);
    EXPECT_EQ(EngineExit(), dbiNotStarted);
    EXPECT_EQ(EngineInit(499), dbiLibraryStartFailed);
}

TEST(EngineStart, ForcedStartFailureLeavesEngineStopped) {
    FaultInjector::Reset();
    FaultInjector::FailOperation("EngineInit", dbiLibraryStartFailed);
    EXPECT_EQ(EngineInit(), dbiLibraryStartFailed);
    EXPECT_EQ(EngineStartCount(), 0);
    ASSERT_FALSE(LastErrorEntries().empty());
    EXPECT_EQ(LastErrorEntries().front().code, dbiLibraryStartFailed);
    FaultInjector::Reset();
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
    ASSERT_EQ(GetAliasInfo("yarddata", info), dbiOk);
    EXPECT_EQ(info.driver, "DESKTOP");
    hDBIDb db = 0;
    ASSERT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), dbiOk);
    std::string directory;
    ASSERT_EQ(DatabaseDirectory(db, directory), dbiOk);
    EXPECT_EQ(directory, m_Dir);
    hDBICur cursor = 0;
    EXPECT_EQ(OpenTable(db, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor), dbiOk);
}

TEST_F(AliasTest, UnknownAliasNamesTheAliasAndEveryPathTried) {
    ScopedEnv env("YARD_ENGINE_CONFIG", m_Dir + "/missing.ini");
    ScopedEnv xdg("XDG_CONFIG_HOME", m_Dir + "/xdg");
    hDBIDb db = 0;
    EXPECT_EQ(OpenDatabase("NoSuchAlias", OpenMode::ReadWrite, ShareMode::Shared, db), dbiUnknownAlias);
    const auto entries = LastErrorEntries();
    ASSERT_EQ(entries.size(), 2u) << Joined(entries);
    EXPECT_EQ(entries[0].code, dbiUnknownAlias);
    EXPECT_EQ(entries[1].code, dbiContext);
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
    hDBIDb db = 0;
    EXPECT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), dbiUnknownAlias);
    EXPECT_NE(LastErrorEntries().back().context.find(ini + " (no such alias)"), std::string::npos);
}

TEST_F(AliasTest, SessionAliasOverridesFileAndChecksItsDirectory) {
    const std::string ini = m_Dir + "/engine.ini";
    std::ofstream(ini) << "[YardData]\nPATH=/nonexistent/dir\n";
    ScopedEnv env("YARD_ENGINE_CONFIG", ini);
    hDBIDb db = 0;
    EXPECT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), dbiUnknownDatabase);
    EXPECT_NE(LastErrorEntries().back().context.find("/nonexistent/dir"), std::string::npos);
    ASSERT_EQ(AddSessionAlias("YardData", "DESKTOP", {{"path", m_Dir}}), dbiOk);
    EXPECT_EQ(OpenDatabase("YardData", OpenMode::ReadWrite, ShareMode::Shared, db), dbiOk);
    ASSERT_EQ(AddSessionAlias("Remote", "SERVER", {}), dbiOk);
    EXPECT_EQ(OpenDatabase("Remote", OpenMode::ReadWrite, ShareMode::Shared, db), dbiUnknownDriver);
}

TEST_F(AliasTest, HandlesThatDoNotExistAreRefused) {
    hDBICur cursor = 0;
    EXPECT_EQ(OpenTable(m_Db + 1000, "Jobs", "", "", OpenMode::ReadWrite, ShareMode::Shared, cursor),
              dbiInvalidHandle);
    std::uint32_t count = 0;
    EXPECT_EQ(GetRecordCount(12345, count), dbiInvalidHandle);
    const hDBICur open = Open();
    ASSERT_EQ(CloseCursor(open), dbiOk);
    EXPECT_EQ(GetRecordCount(open, count), dbiInvalidHandle);
    EXPECT_EQ(CloseDatabase(m_Db), dbiOk);
    EXPECT_EQ(CloseDatabase(m_Db), dbiInvalidHandle);
}

} // namespace ws::engine::test
