#include "ui/ComponentCreate.h"
#include "ui/ComponentRoots.h"
#include "ui/FakeComponents.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace ws::test {
namespace {

TFakeMainForm* ActiveJobsForm = nullptr;
TFakeDataModule* JobsDM = nullptr;

// A main window built from a description given by the test.
class TTextForm : public TFakeMainForm {
public:
    using TFakeMainForm::TFakeMainForm;
    static inline std::string Text;
    std::string_view StoredDescription() const override { return Text; }
};
TTextForm* TextForm = nullptr;

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterFakeClasses();
        Journal().clear();
    }
    void TearDown() override {
        // Nothing may stay registered or waiting once the roots are gone.
        EXPECT_TRUE(TComponentRoots::Instance().Roots().empty());
        EXPECT_TRUE(TComponentRoots::Instance().Pending().empty());
    }

    static std::vector<std::string> Only(const std::string& prefix) {
        std::vector<std::string> r;
        std::copy_if(Journal().begin(), Journal().end(), std::back_inserter(r),
                     [&prefix](const std::string& s) { return s.rfind(prefix, 0) == 0; });
        return r;
    }
    static size_t Pos(const std::string& entry) {
        return static_cast<size_t>(std::find(Journal().begin(), Journal().end(), entry) - Journal().begin());
    }
    template <class T>
    static T* Child(TComponent* root, const char* name) {
        auto* c = dynamic_cast<T*>(root->FindComponent(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    // The message of the error creating a text form must raise; the global stays clear.
    static std::string LoadError(const std::string& text) {
        TTextForm::Text = text;
        try {
            CreateRoot(TextForm, nullptr);
        } catch (const EReadError& e) {
            EXPECT_EQ(TextForm, nullptr);
            return e.Message();
        }
        ADD_FAILURE() << "loaded: " << text;
        TComponent::Free(TextForm);
        TextForm = nullptr;
        return {};
    }
};

TEST_F(ReaderTest, MainWindowIsBuiltInStoredOrderThenLoadedThenCreated) {
    TComponentPtr<TFakeMainForm> form(CreateRoot(ActiveJobsForm, nullptr));
    ASSERT_EQ(ActiveJobsForm, form.get());

    std::vector<std::string> names;
    for (int i = 0; i < form->ComponentCount(); ++i)
        names.push_back(form->Components(i)->Name());
    EXPECT_EQ(names,
              (std::vector<std::string>{"HeaderLbl", "JobsGrid", "wsCheckBox1", "wsCheckBox2", "RnRGrid",
                                        "SpecialDateGrid", "LEDImages", "Timer1", "OneInstance1"}));
    EXPECT_EQ(Only("Loaded"),
              (std::vector<std::string>{"Loaded ActiveJobsForm", "Loaded HeaderLbl", "Loaded JobsGrid",
                                        "Loaded wsCheckBox1", "Loaded wsCheckBox2", "Loaded RnRGrid",
                                        "Loaded SpecialDateGrid", "Loaded OneInstance1"}));
    // Properties are all applied before the first load notification, and OnCreate comes last.
    EXPECT_LT(Pos("Caption HeaderLbl"), Pos("Loaded ActiveJobsForm"));
    EXPECT_EQ(Journal().back(), "FormCreate");
    // A reference to a component stored later is assigned before the load notifications.
    EXPECT_EQ(Only("Images of"), (std::vector<std::string>{"Images of wsCheckBox1 at load: LEDImages",
                                                           "Images of wsCheckBox2 at load: LEDImages"}));

    for (int i = 0; i < form->ComponentCount(); ++i) {
        EXPECT_FALSE(form->Components(i)->IsLoading());
        EXPECT_EQ(form->Components(i)->Owner(), form.get());
    }
    EXPECT_FALSE(form->IsLoading());
    EXPECT_EQ(Child<TFakeLabel>(form.get(), "HeaderLbl")->Parent(), form.get());

    // Stored values, including the nested font ones, colour and charset identifiers.
    EXPECT_EQ(form->Caption, "Active Jobs");
    EXPECT_EQ(form->BorderStyle, TBorderStyle::bsNone);
    EXPECT_TRUE(form->BorderIcons.Empty());
    EXPECT_FALSE(form->HorzScrollBar.Visible);
    EXPECT_EQ(form->Font.Height, -16);
    auto* header = Child<TFakeLabel>(form.get(), "HeaderLbl");
    EXPECT_EQ(header->Alignment, TAlignment::taCenter);
    EXPECT_EQ(header->Color, clSkyBlue);
    EXPECT_EQ(header->Font.Charset, 0);
    EXPECT_TRUE(header->Font.Style.Contains(TFontStyle::fsBold));
    auto* grid = Child<TFakeGrid>(form.get(), "RnRGrid");
    EXPECT_EQ(grid->Font.Color, clRed);
    ASSERT_EQ(grid->Selected.size(), 6u);
    EXPECT_EQ(grid->Selected[5], "CurentLocation\t19\tCurrent Location\tF");
    EXPECT_EQ(Child<TFakeImageList>(form.get(), "LEDImages")->Bitmap.size(), 6u);
    EXPECT_EQ(Child<TFakeTimer>(form.get(), "Timer1")->Interval, 5000);

    // Events are bound to the form's handlers; one handler serves two grids.
    Child<TFakeGrid>(form.get(), "SpecialDateGrid")->OnDblClick(grid);
    Child<TFakeGrid>(form.get(), "RnRGrid")->OnDblClick(grid);
    form->OnClick(form.get());
    EXPECT_EQ(Only("RnRGridDblClick"),
              (std::vector<std::string>{"RnRGridDblClick from RnRGrid", "RnRGridDblClick from RnRGrid"}));
    EXPECT_EQ(Only("FormClick"), std::vector<std::string>{"FormClick from ActiveJobsForm"});
    EXPECT_EQ(GetPropValue(*Child<TFakeGrid>(form.get(), "SpecialDateGrid"), "OnDblClick"),
              TPropValue::Ident("RnRGridDblClick"));
    EXPECT_FALSE(Child<TFakeGrid>(form.get(), "RnRGrid")->OnCalcCellColors);

    // The data module does not exist yet: the three data sources wait by name.
    EXPECT_EQ(TComponentRoots::Instance().Pending().size(), 3u);
    EXPECT_EQ(grid->DataSource(), nullptr);
    form.reset();
    ActiveJobsForm = nullptr;
}

// FormCreate looks at the global, as the program's handlers do.
struct TProbedForm : TFakeMainForm {
    explicit TProbedForm(TComponent* owner) : TFakeMainForm(owner) {
        CreateProbe = [this] { SeenByFormCreate = Global == this; };
    }
    static inline TProbedForm* Global = nullptr;
    bool SeenByFormCreate = false;
};

TEST_F(ReaderTest, GlobalIsAssignedBeforeTheStoredHandlersRun) {
    TComponentPtr<TProbedForm> form(CreateRoot(TProbedForm::Global, nullptr));
    EXPECT_TRUE(form->SeenByFormCreate);
    form.reset();
}

TEST_F(ReaderTest, PendingReferencesResolveWhenTheDataModuleHasLoaded) {
    TComponentPtr<TFakeMainForm> form(CreateRoot(ActiveJobsForm, nullptr));
    Journal().clear();
    TComponentPtr<TFakeDataModule> dm(CreateRoot(JobsDM, nullptr));
    ASSERT_EQ(JobsDM, dm.get());

    auto* jobsGrid = Child<TFakeGrid>(form.get(), "JobsGrid");
    EXPECT_EQ(jobsGrid->DataSource(), dm->FindComponent("JobsDS"));
    EXPECT_EQ(Child<TFakeGrid>(form.get(), "RnRGrid")->DataSource(), dm->FindComponent("Jobs2DS"));
    EXPECT_EQ(Child<TFakeGrid>(form.get(), "SpecialDateGrid")->DataSource(),
              dm->FindComponent("SpecialDateDS"));
    EXPECT_TRUE(TComponentRoots::Instance().Pending().empty());

    // The module connects and opens its views in stored order, and only then are the grids bound.
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Connect JobsData", "Open JobsTable", "Open Jobs2Table",
                                                   "Open SpecialDateTable", "DataSource JobsGrid = JobsDS",
                                                   "DataSource RnRGrid = Jobs2DS",
                                                   "DataSource SpecialDateGrid = SpecialDateDS"}));
    // Local references inside the module, fields nested in their view.
    auto* table = Child<TFakeTable>(dm.get(), "JobsTable");
    EXPECT_EQ(Child<TFakeDataSource>(dm.get(), "JobsDS")->DataSet.Get(), table);
    auto* memorial = Child<TFakeField>(dm.get(), "JobsTableMemorial");
    EXPECT_EQ(memorial->DataSet, table);
    EXPECT_EQ(memorial->Size, 80);
    EXPECT_EQ(memorial->FieldKind, "fkCalculated");
    EXPECT_EQ(table->ControlType.size(), 3u);
    EXPECT_TRUE(table->OnCalcFields);

    // Freeing the module clears the grids' references through free notification.
    dm.reset();
    JobsDM = nullptr;
    EXPECT_EQ(jobsGrid->DataSource(), nullptr);
    EXPECT_EQ(Child<TFakeGrid>(form.get(), "SpecialDateGrid")->DataSource(), nullptr);
    form.reset();
    ActiveJobsForm = nullptr;
}

TEST_F(ReaderTest, ReferencesToAnAlreadyLoadedRootResolveAtOnce) {
    TComponentPtr<TFakeDataModule> dm(CreateRoot(JobsDM, nullptr));
    TComponentPtr<TFakeMainForm> form(CreateRoot(ActiveJobsForm, nullptr));
    EXPECT_EQ(Child<TFakeGrid>(form.get(), "JobsGrid")->DataSource(), dm->FindComponent("JobsDS"));
    EXPECT_TRUE(TComponentRoots::Instance().Pending().empty());
    // Freeing the form first leaves the module intact.
    form.reset();
    EXPECT_EQ(dm->ComponentCount(), 9);
    dm.reset();
    ActiveJobsForm = nullptr;
    JobsDM = nullptr;
}

TEST_F(ReaderTest, AFreedFormsWaitingReferencesAreDropped) {
    TComponentPtr<TFakeMainForm> form(CreateRoot(ActiveJobsForm, nullptr));
    ASSERT_EQ(TComponentRoots::Instance().Pending().size(), 3u);
    form.reset();
    ActiveJobsForm = nullptr;
    EXPECT_TRUE(TComponentRoots::Instance().Pending().empty());
    // Loading the module now must not reach the grids that are gone.
    TComponentPtr<TFakeDataModule> dm(CreateRoot(JobsDM, nullptr));
    dm.reset();
    JobsDM = nullptr;
}

TEST_F(ReaderTest, RootNamesAndLaterComponentsResolveInsideTheirOwnDescription) {
    TTextForm::Text = R"(object Board: TActiveJobsForm
  object Grid: TwsDBGrid
    DataSource = BOARD.Source
  end
  object Box: TwsCheckBox
    Images = board.Images
  end
  object Source: TwsDataSource
  end
  object Images: TImageList
  end
end)";
    TComponentPtr<TTextForm> form(CreateRoot(TextForm, nullptr));
    EXPECT_EQ(Child<TFakeGrid>(form.get(), "Grid")->DataSource(), form->FindComponent("Source"));
    EXPECT_EQ(Child<TFakeCheckBox>(form.get(), "Box")->Images.Get(), form->FindComponent("Images"));
    EXPECT_EQ(TComponentRoots::Instance().FindRoot("board"), form.get());
    form.reset();
    TextForm = nullptr;
}

TEST_F(ReaderTest, DescriptionsThatDoNotFitTheirClassesFailTheLoadWithTheirPlace) {
    EXPECT_EQ(
        LoadError("object F: TActiveJobsForm\n  object T: TTimer\n    OnTimer = Timer2Timer\n  end\nend"),
        "Error reading F.T.OnTimer (line 3, column 5): Property OnTimer: method Timer2Timer not found");
    EXPECT_EQ(
        LoadError("object F: TActiveJobsForm\n  OnCreate = JobsGridCalcCellColors\nend"),
        "Error reading F.OnCreate (line 2, column 3): Property OnCreate: method JobsGridCalcCellColors does "
        "not fit the event");
    EXPECT_EQ(LoadError("object F: TActiveJobsForm\n  object B: TButton\n  end\nend"),
              "Error reading F.B (line 2, column 3): Class TButton not found");
    EXPECT_EQ(
        LoadError("object F: TActiveJobsForm\n  object L: TLabel\n    Capton = 'x'\n  end\nend"),
        "Error reading F.L.Capton (line 3, column 5): Property Capton: TLabel has no published property "
        "Capton");
    EXPECT_EQ(LoadError("object F: TActiveJobsForm\n  object L: TLabel\n    Left = '1'\n  end\nend"),
              "Error reading F.L.Left (line 3, column 5): Property Left: expects an integer, not string '1'");
    EXPECT_EQ(
        LoadError("object F: TActiveJobsForm\n  object L: TLabel\n  end\n  object l: TTimer\n  end\nend"),
        "Error reading F.l (line 4, column 3): A component named l already exists");
    EXPECT_EQ(LoadError("object F: TActiveJobsForm\n  object G: TwsDBGrid\n    DataSource = T\n  end\n"
                        "  object T: TTimer\n  end\nend"),
              "Error reading F.G.DataSource (line 3, column 5): Property DataSource: expects a "
              "TwsDataSource, not a "
              "TTimer");
    EXPECT_EQ(LoadError("object JobsDM: TJobsDM\nend"),
              "Error reading TActiveJobsForm (line 1, column 1): the description is of class TJobsDM");
}

TEST_F(ReaderTest, AFailureOfALoadNotificationKeepsItsClassAndClearsTheGlobal) {
    TTextForm::Text = "object F: TActiveJobsForm\n  object T: TwsTable\n    TableName = 'Missing.DB'\n"
                      "    Active = True\n  end\nend";
    try {
        CreateRoot(TextForm, nullptr);
        ADD_FAILURE() << "loaded";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "T: Table does not exist");
    }
    EXPECT_EQ(TextForm, nullptr);
}

TEST_F(ReaderTest, ParseErrorsReachTheCaller) {
    TTextForm::Text = "object F: TActiveJobsForm\n  Caption = 'open\nend";
    EXPECT_THROW(CreateRoot(TextForm, nullptr), EParserError);
    EXPECT_EQ(TextForm, nullptr);
}

} // namespace
} // namespace ws::test
