#include "ui/ClassRegistry.h"
#include "ui/ComponentRef.h"
#include "ui/FakeComponents.h"
#include "ui/PropertiesBuilder.h"

#include <gtest/gtest.h>

namespace ws::test {
namespace {

// Records the notifications it receives and holds one self-clearing reference.
class TWatcher : public TComponent {
public:
    WS_CLASS_INFO()
    TWatcher(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
    ~TWatcher() override { Journal().push_back("~" + Name()); }

    TComponentRef<TComponent> Ref{this};

protected:
    void Notification(TComponent* component, TOperation operation) override {
        const bool held = Ref.Target() == component;
        TComponent::Notification(component, operation);
        Journal().push_back(Name() + (operation == TOperation::opInsert ? " +" : " -") + component->Name() +
                            (held ? (Ref.Target() ? " kept" : " cleared") : ""));
    }
};

const TClassInfo& TWatcher::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TWatcher>("TWatcher", TComponent::StaticClassInfo()).Build();
    return info;
}

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override { Journal().clear(); }
};

TEST_F(ComponentTest, OwnerKeepsComponentsInOrderAndFindsThemByNameInAnyCase) {
    TComponentPtr<TComponent> owner(new TComponent(nullptr));
    auto* a = new TComponent(owner.get());
    a->SetName("HeaderLbl");
    auto* b = new TComponent(owner.get());
    b->SetName("JobsGrid");
    auto* c = new TComponent(owner.get());
    c->SetName("Timer1");

    ASSERT_EQ(owner->ComponentCount(), 3);
    EXPECT_EQ(owner->Components(0), a);
    EXPECT_EQ(owner->Components(2), c);
    EXPECT_EQ(b->ComponentIndex(), 1);
    EXPECT_EQ(owner->FindComponent("jobsgrid"), b);
    EXPECT_EQ(owner->FindComponent("TIMER1"), c);
    EXPECT_EQ(owner->FindComponent("Timer"), nullptr);
    EXPECT_EQ(owner->FindComponent(""), nullptr);
    EXPECT_THROW(owner->Components(3), EComponentError);

    c->SetComponentIndex(0);
    EXPECT_EQ(owner->Components(0), c);
    EXPECT_EQ(a->ComponentIndex(), 1);
    c->SetComponentIndex(99);
    EXPECT_EQ(c->ComponentIndex(), 2);
}

TEST_F(ComponentTest, NamesMustBeIdentifiersAndUniqueWithinTheOwner) {
    TComponentPtr<TComponent> owner(new TComponent(nullptr));
    auto* a = new TComponent(owner.get());
    a->SetName("JobsDS");
    auto* b = new TComponent(owner.get());

    EXPECT_THROW(b->SetName("jobsds"), EComponentError);
    EXPECT_THROW(b->SetName("1st"), EComponentError);
    EXPECT_THROW(b->SetName("Jobs DS"), EComponentError);
    EXPECT_THROW(b->SetName("Jobs.DS"), EComponentError);
    EXPECT_NO_THROW(a->SetName("JOBSDS")); // itself, in another case
    EXPECT_EQ(a->Name(), "JOBSDS");
    EXPECT_NO_THROW(b->SetName("_Jobs2DS"));

    // Moving a component to an owner that already has its name is refused, and nothing moves.
    TComponentPtr<TComponent> other(new TComponent(nullptr));
    auto* clash = new TComponent(other.get());
    clash->SetName("jobsDS");
    EXPECT_THROW(owner->InsertComponent(clash), EComponentError);
    EXPECT_EQ(clash->Owner(), other.get());
    EXPECT_EQ(owner->ComponentCount(), 2);
}

TEST_F(ComponentTest, InsertAndRemoveAreAnnouncedToOwnerAndSiblings) {
    TComponentPtr<TWatcher> owner(new TWatcher(nullptr, "Form"));
    auto* first = new TWatcher(owner.get(), "First");
    Journal().clear();
    auto* second = new TWatcher(nullptr, "Second");
    owner->InsertComponent(second);
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Form +Second", "First +Second"}));

    Journal().clear();
    owner->RemoveComponent(first);
    EXPECT_EQ(first->Owner(), nullptr);
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Form -First", "Second -First"}));
    TComponent::Free(first);
}

TEST_F(ComponentTest, OwnerFreesItsComponentsLastFirstWithNotifications) {
    auto* owner = new TWatcher(nullptr, "Form");
    new TWatcher(owner, "A");
    new TWatcher(owner, "B");
    new TWatcher(owner, "C");
    Journal().clear();
    TComponent::Free(owner);

    // Each component is announced gone to the owner and to the siblings still alive, then destroyed.
    const std::vector<std::string> expected = {"Form -C", "A -C", "B -C",    "~C", "Form -B",
                                               "A -B",    "~B",   "Form -A", "~A", "~Form"};
    EXPECT_EQ(Journal(), expected);
}

TEST_F(ComponentTest, ComponentsBeingFreedAreMarkedDestroyingBeforeAnyoneHears) {
    struct TProbe : TComponent {
        using TComponent::TComponent;
        std::vector<bool> Seen;
        void Notification(TComponent* c, TOperation op) override {
            if (op == TOperation::opRemove)
                Seen.push_back(c->IsDestroying());
            TComponent::Notification(c, op);
        }
    };
    auto* owner = new TComponent(nullptr);
    auto* child = new TComponent(owner);
    TComponentPtr<TProbe> probe(new TProbe(nullptr));
    probe->FreeNotification(child);
    probe->FreeNotification(owner);
    TComponent::Free(owner);
    EXPECT_EQ(probe->Seen, (std::vector<bool>{true, true}));
}

TEST_F(ComponentTest, ReferencesClearWhenTheirTargetIsFreedAndNotAfterTheHolderIsGone) {
    TComponentPtr<TComponent> form(new TComponent(nullptr));
    auto* source = new TWatcher(form.get(), "JobsDS");
    auto* grid = new TWatcher(form.get(), "JobsGrid");
    TComponentPtr<TWatcher> outside(new TWatcher(nullptr, "Other"));
    grid->Ref.Set(source);
    outside->Ref.Set(source);

    TComponent::Free(source);
    EXPECT_EQ(grid->Ref.Target(), nullptr);
    EXPECT_EQ(outside->Ref.Target(), nullptr);
    EXPECT_NE(std::find(Journal().begin(), Journal().end(), "Other -JobsDS cleared"), Journal().end());

    // A holder freed first must leave nothing behind in its former target (the sanitizer build
    // catches a stale pointer when the target goes later).
    auto* target = new TWatcher(form.get(), "LEDImages");
    auto* holder = new TWatcher(form.get(), "wsCheckBox1");
    holder->Ref.Set(target);
    TComponent::Free(holder);
    TComponent::Free(target);

    // Re-pointing a reference leaves the old target free to go without touching it.
    auto* x = new TWatcher(form.get(), "X");
    auto* y = new TWatcher(form.get(), "Y");
    grid->Ref.Set(x);
    grid->Ref.Set(y);
    TComponent::Free(x);
    EXPECT_EQ(grid->Ref.Target(), y);
}

TEST_F(ComponentTest, ClassNamesAndAncestryAreCaseInsensitive) {
    TFakeGrid grid(nullptr);
    EXPECT_EQ(grid.ClassName(), "TwsDBGrid");
    EXPECT_TRUE(grid.InheritsFrom("twsdbgrid"));
    EXPECT_TRUE(grid.InheritsFrom("TControl"));
    EXPECT_TRUE(grid.InheritsFrom("TComponent"));
    EXPECT_TRUE(grid.InheritsFrom("TPersistent"));
    EXPECT_TRUE(grid.InheritsFrom("TObject"));
    EXPECT_FALSE(grid.InheritsFrom("TwsCheckbox"));
    TFakeCheckBox box(nullptr);
    EXPECT_TRUE(box.InheritsFrom("TwsCheckbox"));
}

TEST_F(ComponentTest, RegistryCreatesByNameAndRefusesUnknownOrConflictingNames) {
    RegisterFakeClasses();
    RegisterFakeClasses(); // again: harmless
    TComponentPtr<TComponent> owner(new TComponent(nullptr));
    TComponent* created = TClassRegistry::Instance().Create("ttimer", owner.get());
    ASSERT_NE(dynamic_cast<TFakeTimer*>(created), nullptr);
    EXPECT_EQ(created->Owner(), owner.get());
    EXPECT_THROW(TClassRegistry::Instance().Create("TNoSuchThing", owner.get()), EClassNotFound);

    // Another class under a registered name must not replace it.
    struct TImpostor : TComponent {
        using TComponent::TComponent;
        static const TClassInfo& StaticClassInfo() {
            static const TClassInfo info("TTimer", &TComponent::StaticClassInfo(), {});
            return info;
        }
    };
    EXPECT_THROW(RegisterClass<TImpostor>(), EClassNotFound);
    EXPECT_EQ(TClassRegistry::Instance().FindClass("TTimer"), &TFakeTimer::StaticClassInfo());
}

} // namespace
} // namespace ws::test
