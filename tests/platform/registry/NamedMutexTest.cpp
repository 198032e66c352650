#include "platform/NamedMutex.h"

#include "ChildProcess.h"
#include "RuntimeDirectoryFixture.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using ws::platform::DisplayScopeDirectory;
using ws::platform::NamedMutex;
using ws::test::ChildProcess;
using ws::test::ScopedEnvironment;

namespace {

const std::string kTitle = "Brellow Database Wall Screen";

class NamedMutexTest : public ws::test::RuntimeDirectoryFixture {
protected:
    std::filesystem::path MutexDirectory() const { return m_Root / "wallscreen" / "mutex"; }

    // True when creating 'name' now makes a new mutex; the handle is dropped again.
    static bool IsFree(const std::string& name) {
        auto creation = NamedMutex::Create(name);
        EXPECT_NE(creation.handle, nullptr);
        return !creation.alreadyExists;
    }

    static std::unique_ptr<ChildProcess> StartHolder(const std::string& name, bool waitGo = false) {
        std::vector<std::string> arguments = {"mutex", name};
        if (waitGo)
            arguments.emplace_back("--wait-go");
        return std::make_unique<ChildProcess>(REGISTRY_HELPER, arguments);
    }
};

TEST_F(NamedMutexTest, HandlesOfOneProcessShareTheNameUntilTheLastCloses) {
    auto first = NamedMutex::Create(kTitle);
    ASSERT_NE(first.handle, nullptr);
    EXPECT_FALSE(first.alreadyExists);
    EXPECT_EQ(first.handle->Name(), kTitle);

    auto second = NamedMutex::Create(kTitle);
    ASSERT_NE(second.handle, nullptr);
    EXPECT_TRUE(second.alreadyExists);

    // Closing the creator's handle does not end the mutex while another handle lives.
    first.handle.reset();
    EXPECT_FALSE(IsFree(kTitle));
    second.handle.reset();
    EXPECT_TRUE(IsFree(kTitle));
    // The last holder tidies up: no lock files pile up over the years.
    for (const std::string& name : Entries(MutexDirectory()))
        EXPECT_EQ(name, ".guard");
}

TEST_F(NamedMutexTest, DistinctNamesNeverShareAMutexAndStayInsideTheDirectory) {
    const std::string longName(300, 'x');
    const std::vector<std::string> names = {"a b",     "a_b",          "a%20b",
                                            "a%2520b", "a/b",          "../a",
                                            "..",      ".guard",       "a",
                                            "A",       "a\nb",         "\xc3\xa9t\xc3\xa9",
                                            longName,  longName + "y", std::string(255, '%')};
    std::vector<std::unique_ptr<NamedMutex>> held;
    for (const std::string& name : names) {
        auto creation = NamedMutex::Create(name);
        ASSERT_NE(creation.handle, nullptr) << name;
        EXPECT_FALSE(creation.alreadyExists) << name;
        held.push_back(std::move(creation.handle));
    }
    for (const std::string& name : names)
        EXPECT_FALSE(IsFree(name)) << name;

    EXPECT_EQ(Entries(m_Root), std::vector<std::string>{"wallscreen"});
    EXPECT_EQ(Entries(m_Root / "wallscreen"), std::vector<std::string>{"mutex"});
    for (const auto& item : std::filesystem::directory_iterator(MutexDirectory()))
        EXPECT_TRUE(item.is_regular_file()) << item.path();
    EXPECT_EQ(Entries(MutexDirectory()).size(), names.size() + 1);

    // An unnamed mutex is never shared.
    auto unnamed = NamedMutex::Create("");
    ASSERT_NE(unnamed.handle, nullptr);
    EXPECT_FALSE(NamedMutex::Create("").alreadyExists);
}

TEST_F(NamedMutexTest, UnsafeRuntimeDirectoryGivesANullHandle) {
    // Someone else's planted link must not lead our lock files elsewhere.
    std::filesystem::path elsewhere = m_Root / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::create_directory_symlink(elsewhere, m_Root / "wallscreen");
    auto creation = NamedMutex::Create(kTitle);
    EXPECT_EQ(creation.handle, nullptr);
    EXPECT_TRUE(Entries(elsewhere).empty());

    std::filesystem::remove(m_Root / "wallscreen");
    std::ofstream(m_Root / "wallscreen") << "not a directory";
    EXPECT_EQ(NamedMutex::Create(kTitle).handle, nullptr);
}

TEST_F(NamedMutexTest, AnotherProcessSeesTheNameUntilItsHolderCloses) {
    auto holder = StartHolder(kTitle);
    ASSERT_EQ(holder->ReadLine(), "created");
    EXPECT_FALSE(IsFree(kTitle));

    // A handle of ours keeps it alive after the other process lets go, and the other way round.
    auto ours = NamedMutex::Create(kTitle);
    EXPECT_TRUE(ours.alreadyExists);
    ASSERT_EQ(holder->Ask("close"), "closed");
    auto second = StartHolder(kTitle);
    EXPECT_EQ(second->ReadLine(), "exists");
    second.reset();
    ours.handle.reset();

    EXPECT_TRUE(IsFree(kTitle));
}

TEST_F(NamedMutexTest, KilledHolderFreesTheName) {
    auto holder = StartHolder(kTitle);
    ASSERT_EQ(holder->ReadLine(), "created");
    auto second = StartHolder(kTitle);
    EXPECT_EQ(second->ReadLine(), "exists");
    second.reset();

    holder->Kill();
    EXPECT_TRUE(IsFree(kTitle));
}

TEST_F(NamedMutexTest, SimultaneousCreationHasExactlyOneCreator) {
    std::vector<std::unique_ptr<ChildProcess>> copies;
    for (int i = 0; i < 6; ++i)
        copies.push_back(StartHolder(kTitle, true));
    for (auto& copy : copies)
        copy->WriteLine("go");
    int created = 0;
    int existed = 0;
    for (auto& copy : copies) {
        auto answer = copy->ReadLine();
        created += answer == "created";
        existed += answer == "exists";
    }
    EXPECT_EQ(created, 1);
    EXPECT_EQ(existed, 5);
}

} // namespace

namespace {

TEST(DisplayScope, EveryWayOfWritingADisplayMeetsInOneDirectoryAndOtherDisplaysDoNot) {
    using ws::platform::DisplayKey;
    using ws::platform::DisplayScopeDirectory;
    for (const char* same : {":7", ":7.0", ":7.1", "unix:7", "unix:07.2"})
        EXPECT_EQ(DisplayKey(same), ":7") << same;
    EXPECT_EQ(DisplayKey("office-pc:0.0"), "office-pc:0");
    EXPECT_EQ(DisplayKey("wayland-0"), "wayland-0"); // not an X display name: kept as it is

    const std::string seven = DisplayScopeDirectory(":7");
    ASSERT_FALSE(seven.empty());
    EXPECT_EQ(std::filesystem::path(seven).filename(), "display-7");
    EXPECT_EQ(DisplayScopeDirectory("unix:7.1"), seven);
    // Nor does the runtime directory of the session matter.
    {
        const ScopedEnvironment elsewhere("XDG_RUNTIME_DIR", "/tmp");
        EXPECT_EQ(DisplayScopeDirectory(":7"), seven);
    }

    std::set<std::string> distinct{seven};
    for (const char* other :
         {":70", ":8", "office-pc:7", "office-pc-7:0", "office-pc/..:7", "../..:7", "wayland-7", "7"}) {
        const std::string directory = DisplayScopeDirectory(other);
        ASSERT_FALSE(directory.empty()) << other;
        EXPECT_TRUE(distinct.insert(directory).second) << other << " shares " << directory;
        // Each one a private directory side by side with the others, never outside them.
        EXPECT_EQ(std::filesystem::path(directory).parent_path(), std::filesystem::path(seven).parent_path());
        struct stat st {};
        ASSERT_EQ(::lstat(directory.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u);
    }
}

TEST(DisplayScope, AMutexInADisplaysDirectoryIsSharedByEveryoneCreatingItThere) {
    // Display numbers of this process alone, so that runs side by side never meet.
    const std::string one = ":" + std::to_string(1'000'000 + ::getpid());
    const std::string two = ":" + std::to_string(2'000'000 + ::getpid());
    const std::string scope = DisplayScopeDirectory(one);
    {
        auto first = NamedMutex::Create(kTitle, scope + "/mutex");
        ASSERT_NE(first.handle, nullptr);
        EXPECT_FALSE(first.alreadyExists);
        // Another copy with another runtime directory, on the same display.
        auto second = NamedMutex::Create(kTitle, DisplayScopeDirectory("unix" + one + ".0") + "/mutex");
        ASSERT_NE(second.handle, nullptr);
        EXPECT_TRUE(second.alreadyExists);
        // A copy on another display makes its own.
        auto elsewhere = NamedMutex::Create(kTitle, DisplayScopeDirectory(two) + "/mutex");
        ASSERT_NE(elsewhere.handle, nullptr);
        EXPECT_FALSE(elsewhere.alreadyExists);
    }
    std::error_code ignored;
    std::filesystem::remove_all(scope, ignored);
    std::filesystem::remove_all(DisplayScopeDirectory(two), ignored);
}

} // namespace
