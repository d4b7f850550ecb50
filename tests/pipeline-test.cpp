#include <gtest/gtest.h>
#include "engine/pipeline.h"
TEST(Smoke, Runs) { EXPECT_EQ(tessaly::ApplySeparators("313233", tessaly::SeparatorStyle::SeparatorSpace), "31 32 33 "); }
