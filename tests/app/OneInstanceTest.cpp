// The single-instance guard inside one process: the "running copy" is a held mutex and a window
// entered in the same private registry, which the test polls to see what the guard asked of it.

#include "app/OneInstance.h"

#include "app/AppFixture.h"
#include "platform/NamedMutex.h"
#include "platform/WindowRegistry.h"

namespace ws::test {
namespace {

using platform::WindowRequestKind;

class OneInstanceTest : public AppFixture {
protected:
    // Another copy: its mutex, and its application window registered under 'text'.
    void StartFirstCopy(const std::string& text, bool minimised) {
        m_FirstMutex = platform::NamedMutex::Create(WallScreenTitle).handle;
        m_FirstRegistry = std::make_unique<platform::WindowRegistry>(RegistryDir());
        m_FirstWindow = m_FirstRegistry->Register(text, minimised);
    }
    // What the guard asked of the first copy's window.
    std::vector<WindowRequestKind> Requests() {
        std::vector<WindowRequestKind> kinds;
        m_FirstRegistry->Poll([&](const platform::WindowRequest& r) {
            EXPECT_EQ(r.window, m_FirstWindow);
            kinds.push_back(r.kind);
            return true;
        });
        return kinds;
    }
    static bool MutexExists() { return platform::NamedMutex::Create(WallScreenTitle).alreadyExists; }

private:
    std::unique_ptr<platform::NamedMutex> m_FirstMutex;
    std::unique_ptr<platform::WindowRegistry> m_FirstRegistry;
    platform::RegistryWindowId m_FirstWindow = 0;
};

TEST_F(OneInstanceTest, TheFirstCopyHoldsTheMutexUntilItEnds) {
    StartWallScreen();
    EXPECT_TRUE(app->ShowMainForm());
    EXPECT_FALSE(app->Terminated());
    EXPECT_TRUE(MutexExists());
    app.reset();
    EXPECT_FALSE(MutexExists());
}

TEST_F(OneInstanceTest, ASecondCopyBringsTheFirstToTheTopAndEndsUnseen) {
    StartFirstCopy(WallScreenTitle, false);
    StartWallScreen();
    EXPECT_FALSE(app->ShowMainForm());
    EXPECT_TRUE(app->Terminated());
    // Start-up still completes: FormCreate ran and the hidden window exists.
    ASSERT_NE(ActiveJobsForm, nullptr);
    EXPECT_TRUE(ActiveJobsForm->FirstShow());
    EXPECT_TRUE(ActiveJobsForm->HandleAllocated());
    // Its own application window can no longer be found under the title.
    EXPECT_EQ(system->Text(app->Handle()), "");
    EXPECT_EQ(Requests(), (std::vector<WindowRequestKind>{WindowRequestKind::BringToTop,
                                                          WindowRequestKind::SetForeground}));
    app->Run(); // ends at once, showing nothing
    EXPECT_FALSE(system->IsShowing(ActiveJobsForm->Handle()));
    EXPECT_TRUE(ActiveJobsForm->FirstShow());
}

TEST_F(OneInstanceTest, AMinimisedFirstCopyIsRestored) {
    StartFirstCopy(WallScreenTitle, true);
    StartWallScreen();
    EXPECT_EQ(Requests(),
              (std::vector<WindowRequestKind>{WindowRequestKind::Restore, WindowRequestKind::SetForeground}));
    EXPECT_TRUE(app->Terminated());
}

TEST_F(OneInstanceTest, ARestoreAskedForWhileAMinimisedCopyStartsIsCarriedOutByItsLoop) {
    // This process is the first copy, started minimised; another copy runs its guard while this
    // one is still starting (its data module opening), before the loop has ever run.
    app.reset();
    system->SetStartupShowRequest(platform::StartupShow::MinimizedNoActivate);
    app = std::make_unique<TApplication>(*system);
    StartWallScreen();
    ASSERT_TRUE(app->ShowMainForm());

    platform::WindowRegistry second(RegistryDir());
    const auto first = second.Find(WallScreenTitle);
    ASSERT_TRUE(first.has_value());
    // What the guard does: restore a minimised copy, else only bring it to the top.
    EXPECT_TRUE(second.IsIconic(*first));
    if (second.IsIconic(*first))
        second.Restore(*first, std::chrono::milliseconds(0));
    else
        second.BringToTop(*first, std::chrono::milliseconds(0));
    second.SetForeground(*first, std::chrono::milliseconds(0));

    app->ShowMainFormAtStart();
    system->ProcessMessages();
    EXPECT_FALSE(app->IsMinimized());
    EXPECT_TRUE(system->IsShowing(ActiveJobsForm->Handle()));
    EXPECT_FALSE(ActiveJobsForm->FirstShow()); // FormShow ran
}

TEST_F(OneInstanceTest, WhenTheFirstCopyCannotBeFoundTheSecondStillEnds) {
    StartFirstCopy("Something else", false);
    StartWallScreen();
    EXPECT_TRUE(Requests().empty());
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(app->ShowMainForm());
}

TEST_F(OneInstanceTest, AlreadyExistIsCalledAndSwitchToPreviousCanBeOff) {
    StartFirstCopy(WallScreenTitle, false);
    app->SetTitle(WallScreenTitle);
    TComponentPtr<TOneInstance> guard(new TOneInstance(nullptr));
    TObject* sender = nullptr;
    guard->AlreadyExist = [&](TObject* s) { sender = s; };
    guard->SetSwitchToPrevious(false);
    guard->Loaded();
    EXPECT_EQ(sender, guard.get());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(system->Text(app->Handle()), WallScreenTitle);
    EXPECT_TRUE(app->Terminated());
}

} // namespace
} // namespace ws::test
