// Filling in a message's parts: a translation may reorder them, and a faulty one must not
// read beyond them.
#include <gtest/gtest.h>

#include "cli/Messages.h"

namespace {

TEST(MessageFill, TakesPartsInOrderOrByNumberAndNeverBeyondThem) {
  struct TCase {
    const char* Pattern;
    const char* Filled;
  };
  const TCase cases[] = {
      {"invalid %s input at %s (%s)", "invalid A input at B (C)"},
      {"%2$s に、%1$s として (%3$s)", "B に、A として (C)"},
      {"%3$s%3$s %1$s", "CC A"},
      {"100%% %s", "100% A"},
      {"%s %s %s %s %s", "A B C  "},  // a part beyond the three given is left empty
      {"%4$s|%0$s|%99999999999999999999$s|%12", "|%0$s|%99999999999999999999$s|%12"},
      {"%d %", "%d %"},  // not a conversion: kept as written
  };
  for (const TCase& c : cases) EXPECT_EQ(Messages::Fill(c.Pattern, {"A", "B", "C"}), c.Filled);
}

}  // namespace
