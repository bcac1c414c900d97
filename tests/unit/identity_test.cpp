#include <gtest/gtest.h>

#include "app/identity.h"
#include "i18n/placeholders.h"

namespace rastello {
namespace {

TEST(VersionText, InsertsPointsAndDropsATrailingZero) {
  EXPECT_EQ(VersionText(330), "3.3");
  EXPECT_EQ(VersionText(331), "3.3.1");
  EXPECT_EQ(VersionText(301), "3.0.1");
  EXPECT_EQ(VersionText(300), "3.0");
  EXPECT_EQ(ProgramTitle(), "Tessaly PNG to JPG 3.3");
  EXPECT_EQ(ProgramTitle("X", 331), "X 3.3.1");
}

TEST(FillPlaceholders, ReplacesInOrderOnTheGrowingText) {
  EXPECT_EQ(FillPlaceholders("Files converted: %s1% of %s2%", "1", "2"), "Files converted: 1 of 2");
  EXPECT_EQ(FillPlaceholders("%S1% and %s1%", "x"), "x and x");
  // A placeholder brought in by an earlier text is filled too.
  EXPECT_EQ(FillPlaceholders("%s1%", "<%s2%>", "y"), "<y>");
  // An empty text leaves its placeholder alone.
  EXPECT_EQ(FillPlaceholders("%s1%-%s2%", "", "b"), "%s1%-b");
  EXPECT_EQ(FillPlaceholders("", "a"), "");
  EXPECT_EQ(FillPlaceholders("%s4%%s3%", "", "", "c", "d"), "dc");
}

}  // namespace
}  // namespace rastello
