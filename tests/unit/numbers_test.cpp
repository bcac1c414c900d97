#include <gtest/gtest.h>

#include <cmath>

#include "settings/numbers.h"

namespace rastello {
namespace {

TEST(ReadInteger, ReadsThePrefixThatFormsANumber) {
  struct Case {
    const char* text;
    int64_t expected;
  };
  const Case cases[] = {
      {"95", 95},         {"1e3", 1},      {"$FF", 255},   {"$ff", 255},   {"-12px", -12},
      {"abc", 0},         {"", 0},         {"  \t42", 42}, {"+7", 7},      {"%1011", 11},
      {"%102", 2},        {"$", 0},        {"-", 0},       {"-$10", -16},  {"12 34", 12},
      {"$1G", 1},         {"007", 7},      {" -0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadInteger64(c.text), c.expected);
    EXPECT_EQ(ReadInteger(c.text), static_cast<int32_t>(c.expected));
  }
}

TEST(ReadInteger, KeepsTheLowBitsOfLargeNumbers) {
  // 2^32 + 5 keeps 5; 2^31 wraps to the most negative 32-bit value.
  EXPECT_EQ(ReadInteger("4294967301"), 5);
  EXPECT_EQ(ReadInteger("2147483648"), INT32_MIN);
  EXPECT_EQ(ReadInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ReadInteger64("4294967301"), 4294967301LL);
  // Beyond 64 bits the value wraps instead of being undefined.
  EXPECT_EQ(ReadInteger64("$1FFFFFFFFFFFFFFFF"), -1);
}

TEST(ReadFloat, ReadsDecimalsAndTheSpecialWords) {
  EXPECT_FLOAT_EQ(ReadFloat("1.5"), 1.5f);
  EXPECT_FLOAT_EQ(ReadFloat("0.01"), 0.01f);
  EXPECT_FLOAT_EQ(ReadFloat("-2.25e1"), -22.5f);
  EXPECT_FLOAT_EQ(ReadFloat(".5x"), 0.5f);
  EXPECT_FLOAT_EQ(ReadFloat("  3"), 3.0f);
  EXPECT_FLOAT_EQ(ReadFloat("+4"), 4.0f);
  EXPECT_EQ(ReadFloat("abc"), 0.0f);
  EXPECT_EQ(ReadFloat(""), 0.0f);
  EXPECT_EQ(ReadFloat("0x10"), 0.0f);  // no hexadecimal floats
  EXPECT_EQ(ReadFloat("1,5"), 1.0f);   // "." is the only decimal point
  EXPECT_TRUE(std::isinf(ReadFloat("+Infinity")) && ReadFloat("+Infinity") > 0);
  EXPECT_TRUE(std::isinf(ReadFloat("-INFINITY")) && ReadFloat("-infinity") < 0);
  EXPECT_TRUE(std::isnan(ReadFloat("NaN")));
  EXPECT_TRUE(std::isnan(ReadFloat("nan")));
  EXPECT_TRUE(std::isinf(ReadFloat("1e60")));  // beyond a float
}

TEST(FormatFloat, WritesFixedDecimalsAndSpecialWords) {
  EXPECT_EQ(FormatFloat(1.5f, 6), "1.500000");
  EXPECT_EQ(FormatFloat(1.0f, 2), "1.00");
  EXPECT_EQ(FormatFloat(std::nanf(""), 2), "NaN");
  EXPECT_EQ(FormatFloat(INFINITY, 2), "+Infinity");
  EXPECT_EQ(FormatFloat(-INFINITY, 2), "-Infinity");
}

}  // namespace
}  // namespace rastello
