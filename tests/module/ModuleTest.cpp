// The engine through its shared library: registration, class creation by tag, and the pools of the
// parameter classes.

#include "module/Module.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "host/Parameter.h"
#include "params/Parameter.h"
#include "params/ParameterCollection.h"

using namespace strand;

namespace {

std::string failure(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.getMessage().toUtf8();
    }
    return "no failure";
}

// Leaves the pools switched on and the host willing, whatever a test did.
struct Restore {
    ~Restore() {
        Object::m_dontUsePools = false;
        CStmLibraryUtils::setFailing(false);
    }
};

// Loading hands the host the library identifier; registering and unregistering give it the same
// three entries.
TEST(Module, RegisterThenUnregisterGiveTheSameThreeEntries) {
    EXPECT_EQ(module::libraryIdentifier().rfind("library-", 0), 0u) << module::libraryIdentifier();
    CStmLibraryUtils::clearRecord();
    EXPECT_EQ(strand_register_classes(), 0);
    EXPECT_EQ(strand_unregister_classes(), 0);
    const std::vector<CStmClassInfo> expected{
        {"Halvorn.data.ExpressionParser", String(u"Expression Parser"), 2},
        {"Halvorn.data.Parameter", String(u"Component Parameter"), 2},
        {"Halvorn.data.ParameterCollection", String(u"Component Parameter Collection"), 2},
    };
    const auto events = CStmLibraryUtils::events();
    ASSERT_EQ(events.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(events[i].call, i ? CStmLibraryUtils::Call::Unregister : CStmLibraryUtils::Call::Register);
        EXPECT_EQ(events[i].classes, expected);
    }
    EXPECT_EQ(events[0].libraryIdentifier, module::libraryIdentifier());
}

// Registered, the classes are created by tag; a failing host is answered with non-zero.
TEST(Module, TheClassesAreCreatedByTagAndAFailingHostIsAnsweredWithNonZero) {
    Restore restore;
    ASSERT_EQ(strand_register_classes(), 0);
    EXPECT_TRUE(newInstanceAs<iExpressionParser>(ClassTag("Halvorn.data.ExpressionParser")));
    Ptr<iParameter> parameter = newInstanceAs<iParameter>(ClassTag("Halvorn.data.Parameter"));
    ASSERT_TRUE(parameter);
    EXPECT_TRUE(parameter->isA(CParameter::Tag));
    EXPECT_TRUE(newInstanceAs<iParameterCollection>(ClassTag("Halvorn.data.ParameterCollection")));
    CStmLibraryUtils::setFailing(true);
    EXPECT_NE(strand_register_classes(), 0);
    EXPECT_NE(strand_unregister_classes(), 0);
}

// The library's pools follow the switch its host sets: with pools switched off, returned objects are
// destroyed.
TEST(Pools, SwitchedOffReturnedParametersAreDestroyed) {
    Restore restore;
    Object::m_dontUsePools = true;
    CParameter* unpooled = CParameter::allocate();
    const size_t free = CParameter::m_class.freeCount();
    unpooled->deleteInstance();
    EXPECT_EQ(CParameter::m_class.freeCount(), free);
}

TEST(Pools, PastTheLimitReturnedParametersAreDestroyed) {
    std::vector<CParameter*> out;
    // 1000 out: a returned one is destroyed.
    while (CParameter::m_class.outstanding() < 1000)
        out.push_back(CParameter::allocate());
    const size_t free = CParameter::m_class.freeCount();
    out.back()->deleteInstance();
    out.pop_back();
    EXPECT_EQ(CParameter::m_class.freeCount(), free);
    // 999 out: it is kept again.
    out.back()->deleteInstance();
    out.pop_back();
    EXPECT_EQ(CParameter::m_class.freeCount(), free + 1);
    for (CParameter* parameter : out)
        parameter->deleteInstance();
}

TEST(Pools, ASecondReturnIsALeakAndTheObjectIsHandedOutOnce) {
    CParameter* first = CParameter::allocate();
    CParameter* second = CParameter::allocate();
    first->deleteInstance();
    EXPECT_EQ(failure([&] { first->deleteInstance(); }),
              "Object leak, object being returned to pool when none were outstanding...");
    CParameter* a = CParameter::allocate();
    CParameter* b = CParameter::allocate();
    EXPECT_NE(a, b);
    for (CParameter* parameter : {second, a, b})
        parameter->deleteInstance();
}

TEST(Pools, CollectionsHaveNoLimit) {
    std::vector<CParameterCollection*> out;
    for (int i = 0; i < 1200; ++i)
        out.push_back(CParameterCollection::allocate());
    const size_t free = CParameterCollection::m_class.freeCount();
    for (CParameterCollection* collection : out)
        collection->deleteInstance();
    EXPECT_EQ(CParameterCollection::m_class.freeCount(), free + 1200);
}

}  // namespace
