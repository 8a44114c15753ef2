#include "host/String.h"

#include <gtest/gtest.h>

using strand::String;

TEST(String, NullIsDistinctFromEmpty) {
    String null;
    String empty(u"");
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(null.isEmpty());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_NE(null, empty);
    EXPECT_EQ(null, String());
    EXPECT_EQ(String(static_cast<const char16_t*>(nullptr)), null);
    EXPECT_LT(null.compare(empty), 0);
    EXPECT_FALSE(null.equalsIgnoreCase(empty));
    EXPECT_EQ(null.ptr(), nullptr);
    EXPECT_NE(empty.ptr(), nullptr);
    EXPECT_EQ(null.c_str()[0], u'\0');
}
