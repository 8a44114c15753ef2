// CExpressionCache: parsed scripts for a set of texts, parsed again only when the texts change.

#include <gtest/gtest.h>

#include "Component.h"
#include "params/ExpressionCache.h"

using namespace strand;
using namespace strand::test;

TEST(ExpressionCache, ReparsesOnlyChangedTextsAndFailsEveryTime) {
    CExpressionCache cache;
    cache.SetValues(nullptr, texts({u"1 + 1", u"'a'"}));
    ASSERT_EQ(cache.GetNumberOfExpressions(), 2u);
    const xrExpressionListImp* first = cache.GetExpressionAt(0).get();
    cache.SetValues(nullptr, texts({u"1 + 1", u"'a'"}));
    EXPECT_EQ(cache.GetExpressionAt(0).get(), first);
    cache.SetValues(nullptr, texts({u"1 + 1", u"'b'"}));
    EXPECT_NE(cache.GetExpressionAt(0).get(), first);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(failure([&] { cache.SetValues(nullptr, texts({u"1 +"})); }),
                  "line 1:4: unexpected end of file\n");
        EXPECT_EQ(cache.GetNumberOfExpressions(), 0u);
    }
    EXPECT_EQ(failure([&] { cache.SetValues(nullptr, texts({u"3; 4"})); }),
              "line 1, Statement doesn't appear to do anything.");
    EXPECT_THROW(cache.GetExpressionAt(0), InvalidIndexException);
}
