#include <zotbase/ZotBase.h>

#include <gtest/gtest.h>

#include <cstring>

TEST(ZotLogger, NameIsCutTo32Characters) {
    ZotLogger logger("0123456789012345678901234567890123456789", ZotLogger::Level::Info);
    EXPECT_EQ(std::string(logger.GetName()), "01234567890123456789012345678901");
}
