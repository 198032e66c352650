// Which columns a grid shows, what each reads from its line, and which control-type strings and
// controls a column gets.

#include "grid/ColumnStrings.h"
#include "grid/GridErrors.h"
#include "grid/GridFixture.h"
#include "ui/Properties.h"

namespace ws::test {
namespace {

class GridColumnModelTest : public GridFixture {
protected:
    static std::vector<std::string> FieldNames(TwsCustomDBGrid& grid) {
        std::vector<std::string> names;
        for (int i = 0; i < grid.ColumnCount(); ++i)
            names.push_back(grid.ColumnByIndex(i).FieldName());
        return names;
    }
};

TEST_F(GridColumnModelTest, LinesNamingMissingFieldsAreDroppedAndNamesTakeTheViewsSpelling) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223,
                               Lines({"name|26|Name|F", "NoSuchField|5|Gone|F", "Invoiced|3|Inv|T|Money",
                                      "AlsoMissing|4|x|F", "DueDate|11|Due~Date|F"}));
    EXPECT_EQ(FieldNames(grid), (std::vector<std::string>{"Name", "Invoiced", "DueDate"}));
    EXPECT_EQ(grid.ColCount(), 3);
    ASSERT_EQ(grid.Selected().size(), 3u);
    EXPECT_EQ(grid.Selected()[0].substr(0, 5), "name\t");

    TwsColumn& inv = grid.ColumnByName("INVOICED");
    EXPECT_EQ(inv.DisplayLabel(), "Inv");
    EXPECT_TRUE(inv.ReadOnly());
    EXPECT_EQ(inv.GroupName(), "Money");
    EXPECT_FALSE(grid.ColumnByName("Name").ReadOnly());
    EXPECT_EQ(grid.DataColumnField(2)->FieldName(), "DueDate");
    EXPECT_EQ(grid.DataColumnField(3), nullptr);

    // The empty column answers for anything that does not match and ignores writes.
    TwsColumn& none = grid.ColumnByIndex(3);
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(&none, &grid.ColumnByName("NoSuchField"));
    none.SetFooterValue("x");
    none.SetDisplayWidth(9);
    EXPECT_EQ(none.FooterValue(), "");
    EXPECT_EQ(none.DisplayWidth(), 0);
}

TEST_F(GridColumnModelTest, FooterValuesSurviveARebuildOfTheColumns) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    grid.ColumnByName("Section").SetFooterValue("total");
    grid.LayoutPass();
    EXPECT_EQ(grid.ColumnByName("section").FooterValue(), "total");
}

TEST_F(GridColumnModelTest, ColumnAttributesReadTheLinesAsTheyAreNow) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    TwsColumn& name = grid.ColumnByName("Name");
    std::vector<std::string> lines = grid.Selected();
    lines[0] = "Name\t23\tWho\tT\tPeople\tIgnored";
    grid.SetSelected(lines);
    EXPECT_EQ(name.DisplayLabel(), "Who");
    EXPECT_TRUE(name.ReadOnly());
    EXPECT_EQ(name.GroupName(), "People");
    // Setting the width rewrites the line (dropping the sixth token) and lays the widths out
    // again, which scales the column back into the client width.
    name.SetDisplayWidth(30);
    EXPECT_EQ(grid.Selected()[0], "Name\t23\tWho\tT\tPeople");
}

TEST_F(GridColumnModelTest, AnEmptySelectedGivesOneEmptyColumn) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223, {});
    EXPECT_EQ(grid.ColCount(), 1);
    EXPECT_EQ(grid.ColumnCount(), 0);
    EXPECT_TRUE(grid.ColumnByIndex(0).IsEmpty());
    EXPECT_EQ(grid.ColumnCache().size(), 1u);
}

TEST_F(GridColumnModelTest, TwoTokenLinesHaveNoTitleAndGainAFlagOnWriteBack) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223, Lines({"Name|26", "Section|15|Section|F|Place"}));
    ASSERT_EQ(grid.Selected().size(), 2u);
    EXPECT_EQ(LineTokenCount(grid.Selected()[0]), 4);
    EXPECT_EQ(LineToken(grid.Selected()[0], 3), "");
    EXPECT_EQ(LineToken(grid.Selected()[0], 4), "F");
    EXPECT_EQ(LineTokenCount(grid.Selected()[1]), 5);
    EXPECT_EQ(LineToken(grid.Selected()[1], 5), "Place");
    EXPECT_EQ(grid.ColumnByName("Name").DisplayLabel(), "");
}

TEST_F(GridColumnModelTest, TheFieldMapHasALimit) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    TField* field = JobsDM->JobsTable()->FieldNamed("Name");
    TwsGridDataLink& link = grid.DataLink();
    link.ClearMapping();
    for (int i = 0; i < TwsGridDataLink::MaxMappedFields; ++i)
        link.AddMapping(field);
    try {
        link.AddMapping(field);
        ADD_FAILURE() << "the field map grew past its limit";
    } catch (const EInvalidGridOperation& e) {
        EXPECT_STREQ(e.what(), "Grid requested to display more than 256 columns");
    }
    EXPECT_EQ(link.MappedCount(), TwsGridDataLink::MaxMappedFields);
}

TEST_F(GridColumnModelTest, ControlTypeLinesNameTheirFieldExactly) {
    TwsTable& view = *JobsDM->JobsTable();
    view.SetControlType({"invoiced;CustomEdit;wsCheckBox2;F", "NoSuchField;CustomEdit;wsCheckBox2;F",
                         "Name;CheckBox;Yes;No", "Name;ImageIndex;Shrink To Fit"});
    form = new TForm(nullptr);
    form->HandleNeeded();
    auto* box = new TwsCheckBox(form);
    box->SetName("wsCheckBox2");
    box->SetParent(form);
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);

    // Pruning ignores letter case: only the line of the missing field goes.
    EXPECT_EQ(view.ControlType(),
              (std::vector<std::string>{"invoiced;CustomEdit;wsCheckBox2;F", "Name;CheckBox;Yes;No",
                                        "Name;ImageIndex;Shrink To Fit"}));
    // Control types match exactly; the last matching line wins.
    EXPECT_EQ(grid.ControlTypeOf("Invoiced").Kind, "");
    EXPECT_EQ(grid.ControlTypeOf("Name").Kind, "ImageIndex");
    EXPECT_EQ(grid.ControlTypeOf("Name").Params, "Shrink To Fit");
    EXPECT_EQ(grid.FindEditControl(1, 1), nullptr);
    EXPECT_EQ(grid.ColumnCache()[1].ControlKind, "");
    EXPECT_EQ(grid.ColumnCache()[0].ControlKind, "ImageIndex");
    // The binding walks every custom-control line, so the box is taken over all the same, bound
    // to the field as the line spells it.
    EXPECT_EQ(box->Parent(), &grid);
    EXPECT_EQ(box->DataField(), "invoiced");
}

TEST_F(GridColumnModelTest, TheViewsEmptyListIsUsedRatherThanTheGridsOwn) {
    TwsDBGrid& grid = MakeGrid(JobsDM->Jobs2DS(), 223, Lines({"Name|20|Ordered By|F"}));
    grid.SetControlType({"Name;CheckBox;True;False"});
    ASSERT_TRUE(JobsDM->Jobs2Table()->ControlType().empty());
    EXPECT_TRUE(grid.ChosenControlTypeList().empty());
    EXPECT_EQ(grid.ControlTypeOf("Name").Kind, "");
    // Without the data set's list the grid's own is used.
    grid.SetControlInfoInDataset(false);
    EXPECT_EQ(grid.ControlTypeOf("Name").Kind, "CheckBox");
    EXPECT_EQ(grid.ControlTypeOf("Name").Params, "True;False");
}

TEST_F(GridColumnModelTest, ControlsAreLookedUpOnTheOwningFormOnly) {
    TwsDBGrid& grid = MakeGrid(JobsDM->JobsDS(), 223);
    auto* box = new TwsCheckBox(form);
    box->SetName("Box");
    EXPECT_EQ(grid.FindControlByName("box"), box);
    EXPECT_EQ(grid.FindControlByName("IncyCB"), nullptr);
    // Not windowed controls do not count; nor does a dotted name with nothing after the dot.
    EXPECT_EQ(grid.FindControlByName("JobsDS"), nullptr);
    EXPECT_EQ(grid.FindControlByName("Box."), nullptr);
    // A dotted name whose first part is no frame is looked up beside the grid's data set.
    EXPECT_EQ(grid.FindControlByName("Anything.JobsDS"), nullptr);
    grid.SetEditControlOptions({TwsEditControlOption::ecoDisableCustomControls});
    EXPECT_EQ(grid.FindEditControl(1, 1), nullptr);
}

} // namespace
} // namespace ws::test
