#include "app/ColorBands.h"

#include "base/Exception.h"

#include <gtest/gtest.h>

using namespace ws;

TEST(ColourFromText, IdentifiersInAnyCaseNumbersInDecimalOrHex) {
    EXPECT_EQ(ColourFromText("clRed"), clRed);
    EXPECT_EQ(ColourFromText("CLRED"), clRed);
    EXPECT_EQ(ColourFromText("clred"), clRed);
    EXPECT_EQ(ColourFromText("$000000FF"), clRed);
    EXPECT_EQ(ColourFromText("255"), clRed);
    EXPECT_EQ(ColourFromText("  255"), clRed);
    EXPECT_EQ(ColourFromText("0x00FF0000"), clBlue);
    EXPECT_EQ(ColourFromText("clNone"), clNone);
    EXPECT_EQ(ColourFromText("cl3ddkshadow"), cl3DDkShadow);
    EXPECT_EQ(ColourFromText("$FF000005"), clWindow);
    EXPECT_EQ(ColourFromText("-1"), ColorValue(0xFFFFFFFF));
}

TEST(ColourFromText, RejectedTextsNameThemselvesInTheMessage) {
    for (const char* text : {"Red", "", "clRed ", "   ", "clRedd", "2147483648", "$1FFFFFFFF", "12 "}) {
        try {
            ColourFromText(text);
            FAIL() << "accepted '" << text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid integer value");
        }
    }
}

TEST(BandWarning, FiveTextsWithLineFeedsAndTheLeadingSpace) {
    EXPECT_EQ(BandWarningText(4),
              "Only four colours have been configured\nPlease use the Custom Color utility\n"
              " in the program to correct this error");
    EXPECT_EQ(BandWarningText(1).substr(0, 32), "One Colour has been configured \n");
    EXPECT_EQ(BandWarningText(0).substr(0, 36), "No Colours have been configured yet\n");
    EXPECT_EQ(BandWarningText(2).substr(0, 38), "Only two colours have been configured\n");
    EXPECT_EQ(BandWarningText(3).substr(0, 40), "Only three colours have been configured\n");
}
