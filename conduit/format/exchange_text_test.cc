#include "conduit/format/exchange_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string k60(60, 'a');

TEST(FoldTextTest, FoldsLineBreaksSemicolonsAndLongLines) {
  struct Case {
    const char* what;
    std::string source;
    std::string folded;
  } const kCases[] = {
      {"empty", "", ""},
      {"line break", "Staff meeting\r\nRoom 4", "Staff meeting;Room 4"},
      {"semicolon", "a;b", "a:b"},
      {"lone CR and LF", "a\rb\nc", "a;bc"},
      {"exactly 60 bytes", k60, k60},
      {"61 bytes", k60 + "b", k60 + ";b"},
      {"121 bytes", k60 + k60 + "c", k60 + ";" + k60 + ";c"},
      {"60 bytes then a break", k60 + "\r\nx", k60 + ";;x"},
      {"60 bytes then LF only", k60 + "\n", k60 + ";"},
      {"break resets the count", std::string(50, 'a') + "\r\n" + std::string(60, 'b') + "c",
       std::string(50, 'a') + ";" + std::string(60, 'b') + ";c"},
      {"semicolon counts", std::string(59, 'a') + ";z", std::string(59, 'a') + ":;z"},
  };
  for (const Case& c : kCases) {
    std::string folded = "junk";
    EXPECT_TRUE(FoldText(c.source, 9999, &folded)) << c.what;
    EXPECT_EQ(c.folded, folded) << c.what;
  }
}

TEST(FoldTextTest, StopsBeforeTheLimit) {
  std::string folded;
  // A fold mark is never left at the end without the byte it stands before.
  EXPECT_FALSE(FoldText(k60 + "bc", 61, &folded));
  EXPECT_EQ(k60, folded);

  const std::string long_text(20000, 'x');
  EXPECT_FALSE(FoldText(long_text, 9999, &folded));
  EXPECT_EQ(9999u, folded.size());
  EXPECT_EQ(';', folded[60]);
  EXPECT_TRUE(FoldText(std::string(10, 'x'), 10, &folded));
}

TEST(UnfoldTextTest, TurnsEverySemicolonIntoCrLf) {
  std::string unfolded = "junk";
  UnfoldText("a;;b:c;", &unfolded);
  EXPECT_EQ("a\r\n\r\nb:c\r\n", unfolded);
  UnfoldText("", &unfolded);
  EXPECT_EQ("", unfolded);
}

}  // namespace
