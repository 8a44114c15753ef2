// CExpressionCache: parsed scripts for a set of texts, parsed again only when the texts change.

#include <gtest/gtest.h>

#include "Component.h"
#include "params/ExpressionCache.h"

using namespace strand;
using strand::test::failure;

TEST(ExpressionCache, ReparsesOnlyChangedTextsAndFailsEveryTime) {
    CExpressionCache cache;
    cache.SetValues(nullptr, Array<String>{String(u"1 + 1"), String(u"'a'")});
    ASSERT_EQ(cache.GetNumberOfExpressions(), 2u);
    const xrExpressionListImp* first = cache.GetExpressionAt(0).get();
    cache.SetValues(nullptr, Array<String>{String(u"1 + 1"), String(u"'a'")});
    EXPECT_EQ(cache.GetExpressionAt(0).get(), first);
    cache.SetValues(nullptr, Array<String>{String(u"1 + 1"), String(u"'b'")});
    EXPECT_NE(cache.GetExpressionAt(0).get(), first);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(failure([&] { cache.SetValues(nullptr, Array<String>{String(u"1 +")}); }),
                  "line 1:4: unexpected end of file\n");
        EXPECT_EQ(cache.GetNumberOfExpressions(), 0u);
    }
    EXPECT_EQ(failure([&] { cache.SetValues(nullptr, Array<String>{String(u"3; 4")}); }),
              "line 1, Statement doesn't appear to do anything.");
    EXPECT_THROW(cache.GetExpressionAt(0), InvalidIndexException);
}
