// The validation context the rules run under, and what the rules see through it.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Component.h"
#include "host/HvnConstants.h"
#include "params/ValidationContext.h"

using namespace strand;
using strand::test::Component;
using strand::test::failure;
using strand::test::texts;

TEST(ValidationContext, RefusesWhatNeedsARunningComponent) {
    Component c;
    CValidationContext context(c.parameters.get());
    EXPECT_EQ(failure([&] { context.sendMessageToClient(String(u"hi")); }, true),
              "This method is not supported for validation\n"
              "CValidationContext::sendMessageToClient: Strandline exception caught");
    EXPECT_EQ(
        failure([&] { context.getLocalData(); }, true),
        "This method is not supported for validation\nCValidationContext::getLocalData: Strandline exception "
        "caught");
    EXPECT_EQ(failure([&] { context.clone(); }), "Cannot clone CValidationContext");
    EXPECT_FALSE(context.isDebugging());
    context.debugMessage(String(u"ignored"));
    String path;
    EXPECT_TRUE(context.locateAbsolutePath(String(u"relative/file.csv"), path));
    EXPECT_EQ(path, u"relative/file.csv");
    EXPECT_TRUE(context.constructAbsolutePath(String(u"x"), path));
    EXPECT_EQ(path, u"x");
    EXPECT_EQ(context.getComponentParameters(), c.parameters.get());
    EXPECT_EQ(context.getGlobalProperties(), nullptr);
    CValidationContext alone(nullptr);
    EXPECT_EQ(failure([&] { alone.getComponentParameters(); }, true),
              "Context component parameters are not defined\n"
              "CValidationContext::getComponentParameters: Strandline exception caught");
}

TEST(ValidationContext, EachHasItsOwnIdentifierAndRandomSource) {
    CValidationContext first(nullptr), second(nullptr);
    EXPECT_EQ(first.getIdentifier().length(), 38u);
    EXPECT_NE(first.getIdentifier(), second.getIdentifier());
    EXPECT_NE(CValidationContext::seedOf(first.getIdentifier()),
              CValidationContext::seedOf(second.getIdentifier()));
    // h * 31 + the low byte of each code unit, in 32 bits.
    EXPECT_EQ(CValidationContext::seedOf(String(u"ab")), 97u * 31u + 98u);
    EXPECT_EQ(CValidationContext::seedOf(String(u"\u0161")), 0x61u);
    uint32_t h = 0;
    for (int i = 0; i < 38; ++i)
        h = h * 31u + 'F';
    EXPECT_EQ(CValidationContext::seedOf(String(38, u'F')), h);
    xrRandom expected(CValidationContext::seedOf(first.getIdentifier()));
    EXPECT_EQ(first.getRandom(1000), expected.GetRandom(1000));
}

TEST(ValidationContext, RulesSeeTheirParameterAndKeepTheirGlobals) {
    Component c;
    c.add(u"Limit", u"10");
    CParameter& secret = c.add(u"Secret", u"hunter2");
    secret.setType(String(u"passwordtype"));
    CParameter& p = c.add(u"P", u"7");
    p.setValidationScript(
        String(u"IF @seen IS DEFINED THEN @seen .= ','; END IF; @seen .= parameter(); "
               u"setinvaliddetails(parametername() . ':' . @seen . ':' . parameter('Secret')); "
               u"parameter() > parameter('Limit')"));
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"P:7:********");
    p.setValue(u"8");
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"P:7,8:********");
    EXPECT_EQ(p.getValidationState()->find(String(u"seen"))->getRawValue().toString(), u"7,8");
    // The rule's state can be given, and travels with copies.
    auto state = CPropertyCollection::newInstance();
    state->define(String(u"seen"), StringValue(String(u"x")), 0);
    p.setValidationState(state.get());
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"P:x,8:********");
    p.setValidationScript(String(u"parameter() := 1"));
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(),
              u"Validation script failed:line 1, Cannot assign a value to a parameter.");
}

TEST(ValidationContext, WithoutACollectionRulesCannotReadParameters) {
    Ptr<CParameter> p = CParameter::newInstance(String(u"P"));
    p->setValue(u"v");
    p->setValidationScript(String(u"parameter() = 'v'"));
    EXPECT_FALSE(p->getValid());
    EXPECT_EQ(p->getInvalidDetails(),
              u"Validation script failed:Context component parameters are not defined\n"
              u"CValidationContext::getComponentParameters: Strandline exception caught");
    // A parameter moved into a collection reads through it from then on.
    Component c;
    c.parameters->define(String(u"P"), StringValue(String(u"v")), 0);
    auto& inside = dynamic_cast<CParameter&>(*c.parameters->find(String(u"P")));
    inside.setValidationScript(String(u"parameter() = 'v'"));
    EXPECT_TRUE(inside.getValid());
}

// Rules parse while they run; parameters of separate components may be judged on separate threads.
TEST(ValidationContext, RulesRunOnManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &wrong] {
            Component c;
            CParameter& p = c.add(u"P");
            for (int i = 0; i < 200; ++i) {
                p.setValue(formatString(u"%d", i).c_str());
                p.setValidationScript(formatString(u"parameter() = '%d' AND %d = %d", i, t, t));
                if (!p.getValid())
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
