#include "engine/RecordCodec.h"

#include <gtest/gtest.h>
#include <limits>

namespace ws::engine::test {

namespace {

FieldDesc FieldOf(const char* name, FieldType type, std::uint16_t size = 0) {
    FieldDesc field;
    field.name = name;
    field.type = type;
    field.size = size;
    return field;
}

// Name (3 characters), Count (Int16), Total (Int32), Done (Bool), Rate (Float); keyed on
// Name, Count, Rate.
TableSchema Layout() {
    TableSpec table;
    table.name = "Codec";
    table.fields = {FieldOf("Name", FieldType::ZString, 3), FieldOf("Count", FieldType::Int16),
                    FieldOf("Total", FieldType::Int32), FieldOf("Done", FieldType::Bool),
                    FieldOf("Rate", FieldType::Float)};
    table.indexes = {IndexDesc{"ByName", {1, 2, 5}, false, false, 0}};
    TableSchema schema;
    EXPECT_EQ(schema.FromSpec(table), esOk);
    return schema;
}

} // namespace

// What storage hands over is kept whole when it fits and flagged clipped when it does not: a
// clipped field is never written back, so a wrong flag would lose data on the next modify.
TEST(RecordCodec, ValuesThatDoNotFitAreCutOrClampedAndFlagged) {
    const TableSchema schema = Layout();
    std::vector<std::uint8_t> record(schema.RecordSize(), 0xAA);
    const FieldDesc& name = schema.Fields()[0];
    const FieldDesc& count = schema.Fields()[1];
    const FieldDesc& total = schema.Fields()[2];
    const FieldDesc& done = schema.Fields()[3];

    codec::PutText(name, "\xC3\xA9t\xC3\xA9s", record.data()); // four characters, six bytes
    EXPECT_EQ(record[name.offset], TableSchema::FieldClipped);
    EXPECT_EQ(std::get<std::string>(codec::ValueOf(name, record.data())), "\xC3\xA9t\xC3\xA9");
    codec::PutText(name, "ab", record.data());
    EXPECT_EQ(record[name.offset], TableSchema::FieldValue);
    EXPECT_EQ(std::get<std::string>(codec::SqlOf(name, record.data())),
              "ab"); // nothing left of the longer text

    codec::PutInteger(count, 40000, record.data());
    EXPECT_EQ(record[count.offset], TableSchema::FieldClipped);
    EXPECT_EQ(std::get<std::int32_t>(codec::ValueOf(count, record.data())), 32767);
    codec::PutInteger(count, -32768, record.data());
    EXPECT_EQ(record[count.offset], TableSchema::FieldValue);
    EXPECT_EQ(std::get<std::int64_t>(codec::SqlOf(count, record.data())), -32768);
    codec::PutInteger(total, std::numeric_limits<std::int64_t>::min(), record.data());
    EXPECT_EQ(record[total.offset], TableSchema::FieldClipped);
    EXPECT_EQ(std::get<std::int32_t>(codec::ValueOf(total, record.data())),
              std::numeric_limits<std::int32_t>::min());

    codec::PutInteger(done, 7, record.data());
    EXPECT_EQ(std::get<bool>(codec::ValueOf(done, record.data())), true);
    EXPECT_EQ(std::get<std::int64_t>(codec::SqlOf(done, record.data())), 1);

    codec::ClearField(total, record.data());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(codec::ValueOf(total, record.data())));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(codec::SqlOf(total, record.data())));
}

// A bookmark's key comes back as it went in, and keys order blank first, numbers by value (also
// past the precision of a double), then texts.
TEST(RecordCodec, KeysSurviveABookmarkAndCompareInIndexOrder) {
    const TableSchema schema = Layout();
    const IndexDesc& index = schema.Indexes()[0];
    std::vector<std::uint8_t> area(schema.MaxKeySize(), 0);
    const std::vector<SqlValue> key = {std::string("Abc"), std::monostate{}, 2.5};
    codec::EncodeKey(schema, index, key, area.data());
    EXPECT_EQ(codec::DecodeKey(schema, index, area.data()), key);

    const std::vector<SqlValue> other = {std::string("Abc"), std::int64_t{-3}, 0.0};
    std::fill(area.begin(), area.end(), 0);
    codec::EncodeKey(schema, index, other, area.data());
    EXPECT_EQ(codec::DecodeKey(schema, index, area.data()), other);

    EXPECT_LT(codec::CompareKeys(key, other, false), 0); // blank before -3
    EXPECT_LT(codec::CompareSql(std::int64_t{5}, std::string("a"), false), 0);
    EXPECT_EQ(codec::CompareSql(std::string("abc"), std::string("ABC"), true), 0);
    EXPECT_GT(codec::CompareSql(std::string("abc"), std::string("ABC"), false), 0);
    const std::int64_t big = (std::int64_t{1} << 53) + 1;
    EXPECT_GT(codec::CompareSql(big, big - 1, false), 0);
}

} // namespace ws::engine::test
