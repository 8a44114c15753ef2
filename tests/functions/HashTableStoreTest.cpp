// The process-wide hash-table store under scripts on many threads, and the order of a call's work,
// which the hash script cases cannot show. Every table a test creates is destroyed again, so the tests
// may share a process.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "Failure.h"
#include "host/DataRecord.h"
#include "parser/ExpressionParser.h"

using namespace strand;
using strand::test::failure;

namespace {

Ptr<xrExpressionListImp> parse(const char16_t* text) {
    return xrExpressionParser::ParseExpression(String(text), nullptr);
}

// 8 threads, each 10,000 times: create a table, add two keys, find them, destroy it. An identifier is
// never held by two live tables at once, and every value is found where it was put.
TEST(HashTableStore, ManyThreadsCreateAddFindDestroy) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 10000;
    std::mutex aliveMutex;
    std::unordered_set<int> alive;
    std::atomic<int> sharedIds{0}, wrongValues{0}, failures{0};

    auto worker = [&](int t) {
        // Parsed once per thread, evaluated every round over the thread's own record.
        auto create = parse(u"h := hashcreate(odd); hashadd(h, 'a', v); hashadd(h, key, v + 1); h");
        auto find = parse(
            u"hashfind(h, 'a') . ' ' . hashfind(h, key) . ' ' . hashnumvalues(h) . ' ' . "
            u"hashfindindex(h, key) . ' ' . hashcontains(h, 'A')");
        auto destroy = parse(u"hashdestroy(h)");
        DataRecord record;
        iPropertyCollection& list = *record.getPropertyList();
        list.define(String(u"odd"), BooleanValue(t % 2 == 1), 0);
        iProperty* v = list.define(String(u"v"), DoubleValue(0), 0);
        iProperty* key = list.define(String(u"key"), StringValue(String(u"")), 0);
        ExpressionContext ctx(nullptr, &record);
        for (int i = 0; i < kRounds; ++i) {
            const int value = t * 100000 + i;
            const std::string keyText = "k" + std::to_string(t) + "_" + std::to_string(i);
            v->setDouble(value);
            key->setValue(StringValue(String::fromUtf8(keyText)));
            try {
                const int id = int(create->getDouble(ctx));
                {
                    std::lock_guard<std::mutex> lock(aliveMutex);
                    if (!alive.insert(id).second)
                        ++sharedIds;
                }
                // A case-sensitive table (odd threads) does not know 'A' for 'a'.
                const std::string want = std::to_string(value) + " " + std::to_string(value + 1) + " 2 2 " +
                                         (t % 2 == 1 ? "false" : "true");
                if (find->getString(ctx).toUtf8() != want)
                    ++wrongValues;
                {
                    std::lock_guard<std::mutex> lock(aliveMutex);
                    alive.erase(id);
                }
                destroy->evaluate(ctx);
            } catch (const Exception&) {
                ++failures;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(worker, t);
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(sharedIds.load(), 0);
    EXPECT_EQ(wrongValues.load(), 0);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(alive.empty());
}

// A value argument that destroys the table runs before the table is looked up: the addition finds the
// table gone instead of writing into it.
TEST(HashTableStore, ArgumentsRunBeforeTheLookup) {
    ExpressionContext ctx;
    auto script = parse(u"#h := hashcreate(); hashadd(#h, 'k', eval('hashdestroy(' . #h . '); 5'))");
    EXPECT_EQ(failure([&] { script->evaluate(ctx); }), "Hash table already deleted");
    // Tables outlive the script that filled them.
    auto kept = parse(
        u"#h := hashcreate(); hashadd(#h, 'k', 'kept'); #r := eval('hashfind(' . #h . ', ''k'')'); "
        u"hashdestroy(#h); #r");
    EXPECT_EQ(kept->getString(ctx).toUtf8(), "kept");
}

}  // namespace
