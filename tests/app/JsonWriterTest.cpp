#include "JsonWriter.h"

#include "base/Exception.h"

#include <gtest/gtest.h>

namespace ws::tools {
namespace {

TEST(JsonWriter, EscapesEverythingThatCannotStandInAString) {
    EXPECT_EQ(JsonWriter::Quote("plain"), "\"plain\"");
    EXPECT_EQ(JsonWriter::Quote("say \"hi\" \\ now"), "\"say \\\"hi\\\" \\\\ now\"");
    EXPECT_EQ(JsonWriter::Quote("a\tb\nc\rd"), "\"a\\tb\\nc\\rd\"");
    EXPECT_EQ(JsonWriter::Quote(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(JsonWriter::Quote(std::string("nul\0!", 5)), "\"nul\\u0000!\"");
    // Valid UTF-8 stays; stray bytes become the Latin-1 characters they stand for.
    EXPECT_EQ(JsonWriter::Quote("caf\xc3\xa9 \xe2\x82\xac"), "\"caf\xc3\xa9 \xe2\x82\xac\"");
    EXPECT_EQ(JsonWriter::Quote("caf\xe9"), "\"caf\\u00e9\"");
    EXPECT_EQ(JsonWriter::Quote("\xc3"), "\"\\u00c3\"");                       // cut short
    EXPECT_EQ(JsonWriter::Quote("\xc0\xaf"), "\"\\u00c0\\u00af\"");            // overlong
    EXPECT_EQ(JsonWriter::Quote("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\""); // surrogate
}

TEST(JsonWriter, WritesNestedDocumentsAndRefusesMalformedOnes) {
    JsonWriter json;
    json.BeginObject().Key("a").Int(-3).Key("list").BeginArray().Bool(true).Null().String("x").EndArray();
    json.Key("empty").BeginObject().EndObject().EndObject();
    EXPECT_EQ(json.Text(), "{\n  \"a\": -3,\n  \"list\": [\n    true,\n    null,\n    \"x\"\n  ],\n"
                           "  \"empty\": {}\n}\n");

    JsonWriter bad;
    bad.BeginObject();
    EXPECT_THROW(bad.Int(1), EInvalidOperation);     // a value without a key
    EXPECT_THROW(bad.EndArray(), EInvalidOperation); // wrong bracket
    bad.Key("k");
    EXPECT_THROW(bad.Key("again"), EInvalidOperation); // two keys in a row
    bad.Int(1).EndObject();
    EXPECT_THROW(bad.Int(2), EInvalidOperation); // a second document
}

} // namespace
} // namespace ws::tools
