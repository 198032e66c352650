#include "data/PictureValidator.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

using namespace ws;

namespace {

TMatchResult ResultOf(const char* picture, const char* value) {
    return TwsPictureValidator(picture).Check(value).Result;
}

std::string TextOf(const char* picture, const char* value) {
    return TwsPictureValidator(picture).Check(value).Text;
}

} // namespace

TEST(PictureSyntax, MalformedPicturesFailEveryNonEmptyValue) {
    for (const char* picture : {"", ";", "abc;", "*", "#*", "[#", "#]", "{#", "#}", "[#}", "{[}]", "{#]",
                                "]#[", "{;}", "[;]", "{#,{#}"}) {
        const TwsPictureValidator v(picture);
        EXPECT_FALSE(v.SyntaxCheck()) << picture;
        EXPECT_FALSE(v.IsValid("1")) << picture;
        EXPECT_FALSE(v.IsValid("#")) << picture;
        EXPECT_EQ(v.Check("1").Result, mrSyntax) << picture;
        EXPECT_TRUE(v.IsValid("")) << "an empty value always passes: " << picture;
    }
}

TEST(PictureSyntax, EscapedSpecialCharactersAreWellFormed) {
    // The final ";" or "*" is taken literally after a ";", and so are brackets.
    for (const char* picture :
         {";;", ";*", "a;*", ";[", "#;]", ";{#", "*3", "{,}", "[]", "{}", "#*{;,###}"}) {
        EXPECT_TRUE(TwsPictureValidator(picture).SyntaxCheck()) << picture;
    }
    EXPECT_TRUE(TwsPictureValidator(";;").IsValid(";"));
    EXPECT_TRUE(TwsPictureValidator("a;*").IsValid("a*"));
    EXPECT_TRUE(TwsPictureValidator(";[#;]").IsValid("[1]"));
    EXPECT_EQ(ResultOf(";#", "#"), mrComplete);
    EXPECT_EQ(ResultOf(";#", "1"), mrError);
}

TEST(PictureSyntax, AbsurdNestingIsRefusedRatherThanRecursedInto) {
    const std::string deep = std::string(5000, '{') + "#" + std::string(5000, '}');
    EXPECT_FALSE(TwsPictureValidator(deep).SyntaxCheck());
    EXPECT_FALSE(TwsPictureValidator(std::string(5000, '*') + "#").IsValid("1"));
    const std::string modest = std::string(20, '{') + "#" + std::string(20, '}');
    EXPECT_TRUE(TwsPictureValidator(modest).IsValid("7"));
}

TEST(PictureMatch, PhoneNumbers) {
    const TwsPictureValidator phone("(###) ###-####");
    EXPECT_EQ(phone.Check("(555) 123-4567").Result, mrComplete);
    EXPECT_EQ(phone.Check("(555) 123-456").Result, mrIncomplete);
    EXPECT_EQ(phone.Check("(555) 123-45678").Result, mrError);
    EXPECT_EQ(phone.Check("(555) 12a-4567").Result, mrError);
    EXPECT_FALSE(phone.IsValid("(555) 123-456"));

    const TwsPictureValidator area("[(###) ]###-####");
    EXPECT_TRUE(area.IsValid("(555) 123-4567"));
    EXPECT_TRUE(area.IsValid("123-4567"));
    EXPECT_FALSE(area.IsValid("(55) 123-4567"));
    EXPECT_EQ(area.Check("(555").Result, mrIncomplete);
}

TEST(PictureMatch, TheValueMayEndWhereTheRestIsOptional) {
    EXPECT_EQ(ResultOf("#[#]", "1"), mrComplete);
    EXPECT_EQ(ResultOf("#*#", "1"), mrComplete);
    EXPECT_EQ(ResultOf("#{#,}", "1"), mrComplete);    // a group with an empty alternative
    EXPECT_EQ(ResultOf("#{[#],#}", "1"), mrComplete); // ... or one made of optional parts
    EXPECT_EQ(ResultOf("#{#,##}", "1"), mrIncomplete);
    EXPECT_EQ(ResultOf("#*2[#]", "1"), mrComplete);
    EXPECT_EQ(ResultOf("#*2#", "1"), mrIncomplete);
    EXPECT_EQ(ResultOf("#*0#", "1"), mrComplete);
    EXPECT_EQ(ResultOf("{#[#]}[-##]", "1"), mrComplete);
}

TEST(PictureMatch, Repetitions) {
    EXPECT_EQ(ResultOf("*3#", "123"), mrComplete);
    EXPECT_EQ(ResultOf("*3#", "12"), mrIncomplete);
    EXPECT_EQ(ResultOf("*3#", "1234"), mrError);
    EXPECT_EQ(ResultOf("*#", "1"), mrComplete);
    EXPECT_EQ(ResultOf("*#", "1234567890"), mrComplete);
    EXPECT_EQ(ResultOf("*#", "12a"), mrError);
    EXPECT_EQ(ResultOf("*12#", "123456789012"), mrComplete);
    // Thousands groups: the "," inside the group is escaped, else it would separate alternatives.
    const TwsPictureValidator thousands("#*{;,###}");
    EXPECT_TRUE(thousands.IsValid("1,234,567"));
    EXPECT_TRUE(thousands.IsValid("1"));
    EXPECT_EQ(thousands.Check("1,23").Result, mrIncomplete);
    EXPECT_EQ(thousands.Check("1,2345").Result, mrError);
    // A repetition that can match nothing does not spin.
    EXPECT_EQ(ResultOf("*[x]#", "1"), mrComplete);
    EXPECT_EQ(ResultOf("*999999999[x]#", "1"), mrComplete);
    EXPECT_EQ(ResultOf("**#", "123"), mrComplete);
}

TEST(PictureMatch, GroupsWithAlternatives) {
    const TwsPictureValidator day("{Mon,Tue,Wed}");
    EXPECT_EQ(day.Check("Tue").Result, mrComplete);
    EXPECT_EQ(day.Check("Thu").Result, mrError);
    EXPECT_EQ(day.Check("Tu").Result, mrIncomplete);
    EXPECT_EQ(day.Check("Tuesday").Result, mrError); // characters left over
    // Literals match either case; the copy takes the picture's.
    EXPECT_EQ(day.Check("wED").Result, mrComplete);
    EXPECT_EQ(day.Check("wED").Text, "Wed");
    EXPECT_TRUE(TwsPictureValidator("Mon,Tue").IsValid("tue"));
    const TwsPictureValidator code("{A,B}-{##,#}");
    EXPECT_TRUE(code.IsValid("b-12"));
    EXPECT_TRUE(code.IsValid("A-1"));
    EXPECT_FALSE(code.IsValid("C-1"));
    EXPECT_TRUE(TwsPictureValidator("\xC2\xA3*#")
                    .IsValid("\xC2\xA3"
                             "120"));
}

TEST(PictureMatch, CompleteAfterIncompleteIsAmbiguousOnlyWhenItTakesAsMuch) {
    // "Mon" ran out of value inside "Monday", then matched "Mon" whole: ambiguous, which passes.
    const TwsPictureValidator day("{Monday,Mon}");
    EXPECT_EQ(day.Check("Mon").Result, mrAmbiguous);
    EXPECT_TRUE(day.IsValid("Mon"));
    EXPECT_EQ(day.Check("Monday").Result, mrComplete);
    // "a" is complete but shorter than the attempt at "abc": incomplete, not "a" plus a leftover.
    EXPECT_EQ(ResultOf("{abc,a}", "ab"), mrIncomplete);
    EXPECT_EQ(ResultOf("##,#", "1"), mrAmbiguous);
    EXPECT_EQ(ResultOf("##,#", "12"), mrComplete);
    // The flag survives the rest of the picture.
    EXPECT_EQ(ResultOf("{##,#}[-]", "1"), mrAmbiguous);
    EXPECT_EQ(ResultOf("{##,#}-#", "1-2"), mrComplete);
}

TEST(PictureMatch, WhatMatchedIsNotTakenBack) {
    // The first alternative that fits is kept even when the rest of the picture then fails.
    EXPECT_EQ(ResultOf("{Mon,Monday}", "Monday"), mrError);
    // A repetition takes all it can.
    EXPECT_EQ(ResultOf("*#5", "1235"), mrIncomplete);
    // An option that does not fit is skipped, not half-taken.
    EXPECT_EQ(ResultOf("[abc]#", "ab1"), mrError);
    EXPECT_EQ(ResultOf("[abc]#", "1"), mrComplete);
}

TEST(PictureMatch, CharacterClassesAndCaseConversions) {
    EXPECT_EQ(TextOf("&&&", "abc"), "ABC");
    EXPECT_EQ(TextOf("~~~", "ABC"), "abc");
    EXPECT_EQ(TextOf("!!!!", "a1-z"), "A1-Z");
    EXPECT_EQ(TextOf("&*?", "mcDonald"), "McDonald");
    EXPECT_EQ(TextOf("@@@", "a1-"), "a1-");
    EXPECT_EQ(ResultOf("&", "1"), mrError);
    EXPECT_EQ(ResultOf("?", "-"), mrError);
    EXPECT_EQ(ResultOf("#", "a"), mrError);
    EXPECT_EQ(ResultOf("@", " "), mrComplete);
    // Characters above code 128 count as letters and are left as they are.
    EXPECT_EQ(ResultOf("?", "\xC3\xA9"), mrComplete);
    EXPECT_EQ(TextOf("&&&", "z\xC3\xA9z"), "Z\xC3\xA9Z");
    // Bytes that are not UTF-8 are characters of their own and survive unchanged.
    EXPECT_EQ(TextOf("!!", "a\xFF"), "A\xFF");
    // A conversion in an alternative that was abandoned is undone.
    EXPECT_EQ(TextOf("{&&#,@@@}", "ab-"), "ab-");
    // Only the copy changes: the validator never rewrites what it is given.
    const std::string value = "abc";
    EXPECT_TRUE(TwsPictureValidator("&&&").IsValid(value));
    EXPECT_EQ(value, "abc");
}

TEST(PictureMatch, TrailingSpaceStandsForALiteral) {
    EXPECT_EQ(ResultOf("##-", "12 "), mrComplete);
    EXPECT_EQ(TextOf("##-", "12 "), "12-");
    EXPECT_EQ(ResultOf("#-#", "1 2"), mrError); // only as the value's last character
    EXPECT_EQ(ResultOf("## ", "12 "), mrComplete);
    EXPECT_EQ(ResultOf("##", "12 "), mrError); // and only where the picture has a literal
    EXPECT_EQ(ResultOf("###", "12 "), mrError);
}

TEST(PictureMatch, EmptyValuesAlwaysPass) {
    EXPECT_EQ(ResultOf("###", ""), mrEmpty);
    EXPECT_TRUE(TwsPictureValidator("###").IsValid(""));
    EXPECT_TRUE(TwsPictureValidator("[").IsValid(""));
}

TEST(PictureMatch, PathologicalPicturesFinishQuickly) {
    const auto start = std::chrono::steady_clock::now();
    std::string nested = "*{*{*{*{*{*{*{*{*{*{#,?}}}}}}}}}}";
    EXPECT_TRUE(TwsPictureValidator(nested).IsValid(std::string(2000, '7')));
    EXPECT_FALSE(TwsPictureValidator(nested).IsValid(std::string(2000, '7') + "-"));
    std::string alternatives = "*{";
    for (int i = 0; i < 40; ++i)
        alternatives += "*{" + std::string(static_cast<size_t>(i % 7 + 1), '#') + "x,";
    alternatives += "#" + std::string(40, '}') + "}";
    ASSERT_TRUE(TwsPictureValidator(alternatives).SyntaxCheck());
    EXPECT_FALSE(TwsPictureValidator(alternatives).IsValid(std::string(3000, '1') + "y"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}
