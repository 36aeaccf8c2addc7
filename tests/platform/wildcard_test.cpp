#include <gtest/gtest.h>

#include "platform/platform.h"

TEST(Wildcard, MatchesAsWindowsDoes) {
  EXPECT_TRUE(platform::MatchWildcard("*.jpg", "4307.jpg"));
  EXPECT_TRUE(platform::MatchWildcard("*.jpg", "4307.JPG"));
  EXPECT_FALSE(platform::MatchWildcard("*.jpg", "4307.jpeg"));
  EXPECT_TRUE(platform::MatchWildcard("??", "7"));
  EXPECT_TRUE(platform::MatchWildcard("??", "07"));
  EXPECT_FALSE(platform::MatchWildcard("??", "007"));
}
