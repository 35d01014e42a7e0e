#include <gtest/gtest.h>
#include "effect/ParamTable.h"
TEST(ParamTable, Placeholder) { EXPECT_EQ(kDefaultBlock[0], 5000); }
