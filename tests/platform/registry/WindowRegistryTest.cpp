#include "platform/WindowRegistry.h"

#include "ChildProcess.h"
#include "RuntimeDirectoryFixture.h"
#include "platform/NamedMutex.h"

#include <fstream>
#include <future>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;
using ws::platform::RegisteredWindow;
using ws::platform::WindowRegistry;
using ws::platform::WindowRequest;
using ws::platform::WindowRequestKind;
using ws::test::ChildProcess;

namespace {

const std::string kTitle = "Brellow Database Wall Screen";

class WindowRegistryTest : public ws::test::RuntimeDirectoryFixture {
protected:
    std::filesystem::path RegistryDirectory() const { return m_Root / "wallscreen" / "windows"; }

    // Entries of owners, leaving out leftovers that are still being set up or removed.
    std::vector<std::string> OwnerEntries() const {
        std::vector<std::string> owners;
        for (const std::string& name : Entries(RegistryDirectory()))
            if (!name.starts_with("."))
                owners.push_back(name);
        return owners;
    }

    static std::unique_ptr<ChildProcess> StartOwner(const std::string& text, bool minimised = false) {
        std::vector<std::string> arguments = {"serve", text};
        if (minimised)
            arguments.emplace_back("--minimised");
        auto owner = std::make_unique<ChildProcess>(REGISTRY_HELPER, arguments);
        EXPECT_EQ(owner->ReadLine(), "registered 1");
        return owner;
    }

    static std::vector<std::string> Activate(const std::string& text) {
        ChildProcess second(REGISTRY_HELPER, {"activate", text});
        std::vector<std::string> lines;
        while (auto line = second.ReadLine())
            lines.push_back(*line);
        EXPECT_EQ(second.Wait(), 0);
        return lines;
    }

    // Serves 'owner' on this thread until 'count' requests were handled or a few seconds passed.
    static void Serve(WindowRegistry& owner, std::size_t count, const WindowRegistry::RequestHandler& apply) {
        auto deadline = std::chrono::steady_clock::now() + 5s;
        std::size_t handled = 0;
        while (handled < count && std::chrono::steady_clock::now() < deadline) {
            pollfd item{owner.RequestFd(), POLLIN, 0};
            if (::poll(&item, 1, 100) > 0)
                handled += owner.Poll(apply);
        }
        EXPECT_EQ(handled, count);
    }
};

TEST_F(WindowRegistryTest, FindsExactlyTheNonEmptyTextOfALiveWindow) {
    auto registry = std::make_unique<WindowRegistry>();
    auto application = registry->Register(kTitle, false);
    auto main = registry->Register("Active Jobs", true);
    WindowRegistry requester;

    auto found = requester.Find(kTitle);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->pid, ::getpid());
    EXPECT_EQ(found->window, application);
    EXPECT_EQ(found->text, kTitle);
    EXPECT_FALSE(requester.IsIconic(*found));
    ASSERT_TRUE(requester.Find("Active Jobs").has_value());
    EXPECT_TRUE(requester.IsIconic(*requester.Find("Active Jobs")));

    for (const char* near : {"Brellow Database Wall Screen ", "brellow database wall screen", "Brellow", ""})
        EXPECT_FALSE(requester.Find(near).has_value()) << near;

    // Any text survives the trip through the registry's files.
    registry->SetText(main, "two\nlines and  spaces\t%x 00");
    EXPECT_TRUE(requester.Find("two\nlines and  spaces\t%x 00").has_value());
    EXPECT_FALSE(requester.Find("two").has_value());

    // A copy that blanks its text can no longer be found, not even by an empty text.
    registry->SetText(application, "");
    EXPECT_FALSE(requester.Find(kTitle).has_value());
    EXPECT_FALSE(requester.Find("").has_value());
    registry->SetText(application, kTitle);
    EXPECT_TRUE(requester.Find(kTitle).has_value());

    registry->Unregister(application);
    EXPECT_FALSE(requester.Find(kTitle).has_value());
    EXPECT_FALSE(requester.IsIconic(*found));

    // Destroying the owner withdraws everything it registered.
    registry.reset();
    EXPECT_FALSE(requester.Find("two\nlines and  spaces\t%x 00").has_value());
    EXPECT_TRUE(OwnerEntries().empty());
}

TEST_F(WindowRegistryTest, OwnerAnswersEachRequestWithWhetherItCarriedItOut) {
    WindowRegistry owner;
    auto id = owner.Register(kTitle, true);
    std::vector<WindowRequest> applied;

    auto answers = std::async(std::launch::async, [&] {
        WindowRegistry requester;
        auto window = requester.Find(kTitle);
        if (!window)
            return std::vector<bool>{};
        RegisteredWindow gone = *window;
        gone.window = id + 100;
        return std::vector<bool>{requester.Restore(*window, 3s), requester.BringToTop(*window, 3s),
                                 requester.SetForeground(*window, 3s), requester.Restore(gone, 3s)};
    });
    Serve(owner, 4, [&](const WindowRequest& request) {
        applied.push_back(request);
        return request.kind != WindowRequestKind::BringToTop; // the owner may decline
    });

    EXPECT_EQ(answers.get(), (std::vector<bool>{true, false, true, false}));
    // A request for a window the owner does not have never reaches its window system.
    ASSERT_EQ(applied.size(), 3u);
    EXPECT_EQ(applied[0].window, id);
    EXPECT_EQ(applied[0].kind, WindowRequestKind::Restore);
    EXPECT_EQ(applied[1].kind, WindowRequestKind::BringToTop);
    EXPECT_EQ(applied[2].kind, WindowRequestKind::SetForeground);
}

TEST_F(WindowRegistryTest, RequestToAWindowOfTheSameObjectIsQueuedWithoutWaiting) {
    WindowRegistry registry;
    registry.Register(kTitle, false);
    auto window = registry.Find(kTitle);
    ASSERT_TRUE(window.has_value());
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(registry.BringToTop(*window));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);

    int seen = 0;
    EXPECT_EQ(registry.Poll([&](const WindowRequest& request) {
        seen += request.kind == WindowRequestKind::BringToTop;
        return true;
    }),
              1u);
    EXPECT_EQ(seen, 1);
}

TEST_F(WindowRegistryTest, OwnerSurvivesMalformedRequests) {
    WindowRegistry owner;
    auto id = owner.Register(kTitle, false);
    auto window = WindowRegistry().Find(kTitle);
    ASSERT_TRUE(window.has_value());
    std::string path = (RegistryDirectory() / window->owner / "sock").string();

    const std::vector<std::string> junk = {"",
                                           "ws-request",
                                           "ws-request 0 restore",
                                           "ws-request 1 jump",
                                           "ws-request 99999999999999999999 restore",
                                           "ws-request 1 restore extra",
                                           "ws-request -1 restore",
                                           std::string(1000, 'x'),
                                           "ws-request 1 restore" + std::string(300, ' ')};
    int sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    for (const std::string& message : junk)
        ASSERT_GE(::sendto(sender, message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&address),
                           sizeof address),
                  0);
    ::close(sender);
    EXPECT_TRUE(WindowRegistry().SetForeground(*window, 0ms));

    std::vector<WindowRequest> applied;
    EXPECT_EQ(owner.Poll([&](const WindowRequest& request) {
        applied.push_back(request);
        return true;
    }),
              junk.size() + 1);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].window, id);
    EXPECT_EQ(applied[0].kind, WindowRequestKind::SetForeground);
}

TEST_F(WindowRegistryTest, DamagedEntryFilesAreReadSafely) {
    WindowRegistry owner;
    owner.Register("Good", false);
    WindowRegistry reader;
    auto window = reader.Find("Good");
    ASSERT_TRUE(window.has_value());
    auto file = RegistryDirectory() / window->owner / "windows";
    auto overwrite = [&](const std::string& content) { std::ofstream(file, std::ios::trunc) << content; };

    const std::string good = "1 0 x476f6f64\n";
    const std::vector<std::string> damagedFiles = {good,
                                                   "wallscreen-windows 2\n" + good,
                                                   "wallscreen-windows 1\n1 0 x476f6f6\n",
                                                   "wallscreen-windows 1\n1 0 x476f6f6g\n",
                                                   "wallscreen-windows 1\n1 0 476f6f64\n",
                                                   "wallscreen-windows 1\n0 0 x476f6f64\n",
                                                   "wallscreen-windows 1\n1 2 x476f6f64\n",
                                                   "wallscreen-windows 1\n1 0 x476f6f64 1\n",
                                                   "wallscreen-windows 1\n1 0 x476F6F64\n",
                                                   "wallscreen-windows 1\n" + std::string(2 << 20, '1')};
    for (const std::string& damaged : damagedFiles) {
        overwrite(damaged);
        EXPECT_FALSE(reader.Find("Good").has_value()) << damaged.substr(0, 40);
    }
    // Good lines still count when others around them are damaged; the last line may lack its end.
    overwrite("wallscreen-windows 1\nrubbish\n\n7 1 x476f6f64");
    auto found = reader.Find("Good");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->window, 7u);
    EXPECT_TRUE(found->minimised);
}

TEST_F(WindowRegistryTest, SecondProcessRestoresThenRaisesTheFirstProcessWindow) {
    auto first = StartOwner(kTitle, true);

    EXPECT_EQ(Activate(kTitle), (std::vector<std::string>{"found " + std::to_string(first->Pid()),
                                                          "restore ok", "foreground ok"}));
    EXPECT_EQ(first->ReadLine(), "restore 1");
    EXPECT_EQ(first->ReadLine(), "foreground 1");

    // Restored, the window is no longer iconic, so the next copy brings it to the top instead.
    EXPECT_EQ(Activate(kTitle), (std::vector<std::string>{"found " + std::to_string(first->Pid()), "raise ok",
                                                          "foreground ok"}));
    EXPECT_EQ(first->ReadLine(), "raise 1");
    EXPECT_EQ(first->ReadLine(), "foreground 1");

    ASSERT_EQ(first->Ask("minimise"), "ok");
    WindowRegistry requester;
    auto window = requester.Find(kTitle);
    ASSERT_TRUE(window.has_value());
    EXPECT_TRUE(requester.IsIconic(*window));
}

TEST_F(WindowRegistryTest, WindowWhoseTextWasBlankedIsNotFoundByAnotherProcess) {
    auto first = StartOwner(kTitle);
    ASSERT_EQ(first->Ask("text"), "ok");
    EXPECT_EQ(Activate(kTitle), std::vector<std::string>{"not found"});
    EXPECT_FALSE(WindowRegistry().Find(kTitle).has_value());
    EXPECT_FALSE(first->ReadLine(100ms).has_value()); // and it was asked nothing

    ASSERT_EQ(first->Ask("text " + kTitle), "ok");
    EXPECT_TRUE(WindowRegistry().Find(kTitle).has_value());
}

TEST_F(WindowRegistryTest, WindowsOfAKilledProcessAreNeverFound) {
    auto first = StartOwner(kTitle);
    WindowRegistry requester;
    auto window = requester.Find(kTitle);
    ASSERT_TRUE(window.has_value());
    ASSERT_EQ(OwnerEntries().size(), 1u);

    first->Kill();
    EXPECT_FALSE(requester.Find(kTitle).has_value());
    EXPECT_TRUE(OwnerEntries().empty()); // whoever notices a dead entry removes it
    EXPECT_FALSE(requester.IsIconic(*window));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(requester.Restore(*window));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(Activate(kTitle), std::vector<std::string>{"not found"});

    // A process killed while it set up its entry leaves a half-built one; it goes once it is old
    // enough that its owner cannot still be at work on it.
    for (const char* name : {".new-1-00000000000000aa", ".new-1-00000000000000bb"}) {
        std::filesystem::create_directory(RegistryDirectory() / name);
        std::ofstream(RegistryDirectory() / name / "lock") << "";
    }
    auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    std::filesystem::last_write_time(RegistryDirectory() / ".new-1-00000000000000aa", old);
    requester.Find(kTitle);
    EXPECT_EQ(Entries(RegistryDirectory()), std::vector<std::string>{".new-1-00000000000000bb"});
}

TEST_F(WindowRegistryTest, RequesterWaitsNoLongerThanAskedOrThanTheOwnerLives) {
    auto first = StartOwner(kTitle);
    ASSERT_EQ(first->Ask("pause"), "ok");
    WindowRegistry requester;
    auto window = requester.Find(kTitle);
    ASSERT_TRUE(window.has_value());

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(requester.Restore(*window, 200ms));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 800ms);

    // An owner that ends with the request still unread answers "no" at once, not after the wait.
    auto pending = std::async(std::launch::async, [&] {
        auto begin = std::chrono::steady_clock::now();
        bool done = requester.BringToTop(*window, 10s);
        return std::make_pair(done, std::chrono::steady_clock::now() - begin);
    });
    first->Kill();
    auto [done, took] = pending.get();
    EXPECT_FALSE(done);
    EXPECT_LT(took, 2s);
}

} // namespace
