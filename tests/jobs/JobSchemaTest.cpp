#include "jobs/JobSchema.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace ws;

TEST(JobSchema, StoredFieldOrderGivesTheEngineFieldNumbers) {
    const SchemaTable& t = OrderHeadTable();
    ASSERT_EQ(t.fields.size(), 124u);
    EXPECT_EQ(t.FieldNo("DateOffSet"), 10);
    EXPECT_EQ(t.FieldNo("Invoiced"), 44);
    EXPECT_EQ(t.FieldNo("isJewish"), 122);
    EXPECT_EQ(t.FieldNo("IsInterment"), 123);
    EXPECT_EQ(t.FieldNo("IsActive"), 124);
    EXPECT_EQ(t.FieldNo("NoSuchField"), 0);
    ASSERT_EQ(t.indexes.size(), 1u);
    EXPECT_EQ(t.indexes[0].name, "iDueDateA");
    EXPECT_EQ(t.indexes[0].field, "DueDate");
}

TEST(JobSchema, TypesAndSizesAsDeclared) {
    const SchemaTable& t = OrderHeadTable();
    auto field = [&](std::string_view name) { return t.fields[static_cast<size_t>(t.FieldNo(name) - 1)]; };
    EXPECT_EQ(field("Index").type, ftAutoInc);
    EXPECT_EQ(field("OrderNo").size, 13);
    EXPECT_EQ(field("Address").type, ftMemo);
    EXPECT_EQ(field("Address").size, 80);
    EXPECT_EQ(field("TotalExcVat").type, ftCurrency);
    EXPECT_EQ(field("LocationABV").size, 8);
    EXPECT_EQ(RnrTable().fields[3].name, "CurrentLocation");
    EXPECT_EQ(RnrTable().fields[3].size, 40);
    EXPECT_EQ(JewishTable().fields[4].type, ftInteger);
    EXPECT_EQ(OptionsTable().fields[1].size, 20);
}

TEST(JobSchema, NamesAreUniqueWithinEachTable) {
    for (const SchemaTable* t : JobTables()) {
        std::set<std::string> seen;
        for (const SchemaField& f : t->fields)
            EXPECT_TRUE(seen.insert(std::string(f.name)).second) << t->name << ": " << f.name;
    }
    EXPECT_EQ(FindJobTable("rnr.db"), &RnrTable());
    EXPECT_EQ(FindJobTable("Missing.DB"), nullptr);
}
