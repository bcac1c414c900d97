#include <gtest/gtest.h>

#include "platform/font.h"

namespace rastello {
namespace {

TEST(Font, LoadsFamiliesAndTheirAliases) {
  for (const char* family : {"Arial", "arial", "DejaVu Sans", "Liberation Serif", "Times New Roman"}) {
    SCOPED_TRACE(family);
    FontRequest request;
    request.family = family;
    request.sizePoints = 14;
    auto font = Font::Load(request);
    ASSERT_TRUE(font);
    EXPECT_FALSE(font->file().empty());
  }
  FontRequest arial;
  arial.family = "Arial";
  arial.bold = true;
  auto font = Font::Load(arial);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->resolvedFamily(), "Liberation Sans");
}

TEST(Font, RefusesNamesThatOnlyFallBack) {
  for (const char* family : {"Made Up Family 123", "", "   "}) {
    SCOPED_TRACE(family);
    FontRequest request;
    request.family = family;
    EXPECT_FALSE(Font::Load(request));
  }
}

}  // namespace
}  // namespace rastello
