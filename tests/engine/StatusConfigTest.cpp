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
    FaultInjector::Reset();
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
    FaultInjector::Reset();
    FaultInjector::FailOperation("EngineInit", esLibraryStartFailed);
    EXPECT_EQ(EngineInit(), esLibraryStartFailed);
    EXPECT_EQ(EngineStartCount(), 0);
    ASSERT_FALSE(LastErrorEntries().empty());
    EXPECT_EQ(LastErrorEntries().front().code, esLibraryStartFailed);
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
