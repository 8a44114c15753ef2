#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "Component.h"
#include "host/ByteStream.h"
#include "host/HvnConstants.h"

using namespace strand;
using strand::test::failure;
using strand::test::texts;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes parameterBytes(const CParameter& parameter, int32_t version = 2) {
    MemoryOutputStream out(version);
    parameter.serialize(out);
    return out.bytes();
}

Bytes collectionBytes(const CParameterCollection& parameters, int32_t version = 2) {
    MemoryOutputStream out(version);
    parameters.serialize(out);
    return out.bytes();
}

Ptr<CParameterCollection> collectionFrom(const Bytes& bytes, int32_t version = 2) {
    auto parameters = CParameterCollection::newInstance();
    MemoryInputStream in(bytes, version);
    parameters->deserialize(in);
    EXPECT_EQ(in.remaining(), 0u);
    return parameters;
}

// A component with something in every field: a group, legal values, rule scripts and states, texts
// outside ASCII, lists and the component GUID.
void fill(strand::test::Component& c) {
    CParameter& name = c.add(u"Name", u"caf\u00E9 \u20AC");
    name.setHelp(String(u"The name"));
    name.setGuid(String(u"{0F1E}"));
    name.setFlags(iParameter::kRequired);
    name.setValidationScript(String(u"parameter() <> ''"));
    CParameter& level = c.add(u"Level", {u"low", u"high"});
    level.setLegalValues(texts({u"low", u"mid", u"high"}));
    level.setLegalValuesAreEnforced(false);
    level.setType(String(u"StringType"));
    level.setEnablingScript(String(u"true"));
    auto state = CPropertyCollection::newInstance();
    state->define(String(u"seen"), IntegerValue(3), 0);
    level.setValidationState(state.get());
    CParameter& script = c.add(u"Script", u"1 + 2");
    script.setType(String(HVN_ExpressionType));
    script.setLegalValuesScript(String(u"setlegalvalues(['a'])"));
    script.setUserImpl(1);
    CParameter& group = c.add(u"Settings");
    group.setType(String(HVN_GroupType));
    group.addMember(String(u"Level"));
    group.addMember(String(u"Name"));
    group.setExpanded(true);
    // A group lists only the members of its own implementation: Script belongs to the user's.
    CParameter& other = c.add(u"Other");
    other.addMember(String(u"Script"));
    other.addMember(String(u"Level"));
}

TEST(ParameterStream, RecordStartsWithItsVersionAndEndsWithThePropertyRecord) {
    strand::test::Component c;
    CParameter& p = c.add(u"P", u"v");
    const Bytes bytes = parameterBytes(p);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ((Bytes(bytes.begin(), bytes.begin() + 3)), (Bytes{0x02, 0x5B, 0x47}));
    // data-param true, then null help, type and GUID.
    EXPECT_EQ(bytes[3], 0x01);
    // ... the property record: version 1, "P", flags 0, a string value "v".
    const Bytes tail{0x04, 0x08, 0x50, 0x00, 0x08, 0x08, 0x76};
    EXPECT_EQ((Bytes(bytes.end() - 7, bytes.end())), tail);
}

TEST(ParameterStream, ParameterReadBackEqualsTheWrittenOneFieldByField) {
    strand::test::Component c;
    fill(c);
    for (const char16_t* name : {u"Name", u"Level", u"Script", u"Settings", u"Other"}) {
        CParameter& source = c[name];
        const Bytes bytes = parameterBytes(source);
        Ptr<CParameter> copy = CParameter::newInstance();
        MemoryInputStream in(bytes);
        copy->deserialize(in);
        EXPECT_EQ(in.remaining(), 0u);
        EXPECT_EQ(copy->getName(), source.getName());
        EXPECT_EQ(copy->isDataParam(), source.isDataParam());
        EXPECT_EQ(copy->getHelp(), source.getHelp());
        EXPECT_EQ(copy->getType(), source.getType());
        EXPECT_EQ(copy->getGuid(), source.getGuid());
        EXPECT_EQ(copy->getFlags(), source.getFlags());
        EXPECT_EQ(copy->getValidationScript(), source.getValidationScript());
        EXPECT_EQ(copy->getEnablingScript(), source.getEnablingScript());
        EXPECT_EQ(copy->getLegalValuesScript(), source.getLegalValuesScript());
        EXPECT_EQ(copy->getLegalValuesAreEnforced(), source.getLegalValuesAreEnforced());
        EXPECT_EQ(copy->isExpanded(), source.isExpanded());
        EXPECT_EQ(copy->getUserImpl(), source.getUserImpl());
        EXPECT_EQ(copy->getStaticLegalValues().vector(), source.getStaticLegalValues().vector());
        EXPECT_EQ(copy->getRawValue().compare(source.getRawValue()), 0);
        EXPECT_EQ(copy->getInfo()->getMetaDataFlags(), source.getInfo()->getMetaDataFlags());
        EXPECT_EQ(copy->getValidationState() != nullptr, source.getValidationState() != nullptr);
        EXPECT_EQ(copy->getEnablingState() != nullptr, source.getEnablingState() != nullptr);
        EXPECT_EQ(copy->getLegalValuesState() != nullptr, source.getLegalValuesState() != nullptr);
        // The members travel in the collection's group section only.
        EXPECT_EQ(copy->getMembersSize(), 0);
        EXPECT_EQ(parameterBytes(*copy), bytes) << String(name).toUtf8();
    }
    Ptr<CParameter> copy = CParameter::newInstance();
    MemoryInputStream in(parameterBytes(c[u"Level"]));
    copy->deserialize(in);
    EXPECT_EQ(copy->getValidationState()->get(String(u"seen"))->getValue().getInteger(), 3);
}

TEST(ParameterStream, VerdictsAreStaleAfterReading) {
    // The writer's valid flag says yes; the reader runs the rule again.
    Ptr<CParameter> source = CParameter::newInstance(String(u"P"));
    source->setValidationScript(String(u"setinvaliddetails('no'); false"));
    const Bytes bytes = parameterBytes(*source);
    strand::test::Component c;
    CParameter& target = c.add(u"P", u"x");
    EXPECT_TRUE(target.getValid());
    MemoryInputStream in(bytes);
    target.deserialize(in);
    EXPECT_FALSE(target.getValid());
    EXPECT_EQ(target.getInvalidDetails(), String(u"no"));
}

TEST(ParameterStream, ARecordCutShortLeavesNoOldVerdictStanding) {
    // The record makes the parameter required and is cut inside field 7, the validation script.
    Ptr<CParameter> source = CParameter::newInstance(String(u"P"));
    source->setFlags(iParameter::kRequired);
    source->setValidationScript(String(u"true"));
    Bytes bytes = parameterBytes(*source);
    bytes.resize(3 + 1 + 3 + 1 + 2);
    strand::test::Component c;
    CParameter& target = c.add(u"P", u"");
    EXPECT_TRUE(target.getValid());
    MemoryInputStream in(bytes);
    EXPECT_EQ(failure([&] { target.deserialize(in); }), "EOF reading byte 2 in string of length 4");
    EXPECT_FALSE(target.getValid());
    EXPECT_EQ(target.getInvalidDetails(), String(u"This parameter is required."));
}

TEST(ParameterStream, StatesEndWhereTheWriterHadThem) {
    Ptr<CParameter> plain = CParameter::newInstance(String(u"P"));
    Ptr<CParameter> target = CParameter::newInstance(String(u"P"));
    auto state = CPropertyCollection::newInstance();
    state->define(String(u"x"), StringValue(String(u"1")), 0);
    target->setEnablingState(state.get());
    MemoryInputStream in(parameterBytes(*plain));
    target->deserialize(in);
    EXPECT_EQ(target->getEnablingState(), nullptr);
}

TEST(ParameterStream, CollectionsRoundTripWithTheirGroups) {
    strand::test::Component c;
    fill(c);
    c.parameters->_setContext(nullptr);
    const Bytes bytes = collectionBytes(*c.parameters);
    EXPECT_EQ((Bytes(bytes.begin(), bytes.begin() + 3)), (Bytes{0x02, 0xC9, 0x00}));
    Ptr<CParameterCollection> back = collectionFrom(bytes);
    ASSERT_EQ(back->getSize(), 5);
    Array<String> members;
    dynamic_cast<CParameter&>(*back->get(String(u"Settings"))).getMembers(members);
    EXPECT_EQ(members.vector(), texts({u"Level", u"Name"}).vector());
    dynamic_cast<CParameter&>(*back->get(String(u"Other"))).getMembers(members);
    EXPECT_EQ(members.vector(), texts({u"Level"}).vector());
    EXPECT_EQ(collectionBytes(*back), bytes);
    // Version 1 streams carry the same record with UTF-16 texts.
    const Bytes v1 = collectionBytes(*c.parameters, 1);
    EXPECT_NE(v1, bytes);
    EXPECT_EQ(collectionBytes(*collectionFrom(v1, 1)), bytes);
}

TEST(ParameterStream, ASubsetLeavesOutTheGroupsItOmits) {
    strand::test::Component c;
    fill(c);
    MemoryOutputStream out;
    c.parameters->serializeSubset(out, texts({u"name", u"LEVEL", u"other", u"Script"}));
    Ptr<CParameterCollection> back = collectionFrom(out.bytes());
    ASSERT_EQ(back->getSize(), 4);
    EXPECT_EQ(back->find(String(u"Settings")), nullptr);
    Array<iGroupParameter*> groups;
    back->getGroups(groups);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(dynamic_cast<CParameter*>(groups[0])->getName(), String(u"Other"));
    // The group section: one group, "Other", with its one member.
    const Bytes& bytes = out.bytes();
    const Bytes section{0x04, 0x18, 'O', 't', 'h', 'e', 'r', 0x04, 0x18, 'L', 'e', 'v', 'e', 'l'};
    EXPECT_EQ((Bytes(bytes.end() - Bytes::difference_type(section.size()), bytes.end())), section);
}

TEST(ParameterStream, FailureTexts) {
    EXPECT_EQ(
        failure(
            [] {
                MemoryInputStream in(Bytes{0x04});
                CParameter::newInstance()->deserialize(in);
            },
            true),
        "Deserialization version mismatch (1 , 18267)\nCParameter::deserialize: Strandline exception caught");
    EXPECT_EQ(failure(
                  [] {
                      MemoryInputStream in(Bytes{0x02, 0xCA, 0x00});
                      CParameterCollection::newInstance()->deserialize(in);
                  },
                  true),
              "Deserialization version mismatch (202 , 201)\nCParameterCollection::deserialize: Strandline "
              "exception "
              "caught");
    EXPECT_EQ(failure([] {
                  MemoryInputStream in(Bytes{0x02, 0x5B, 0x47});
                  CParameter::newInstance()->deserialize(in);
              }),
              "EOF reading bool");
    // A group section that names a parameter the record does not hold.
    EXPECT_EQ(failure(
                  [] {
                      MemoryInputStream in(Bytes{0x02, 0xC9, 0x00, 0x04, 0x00, 0x04, 0x1C, 'n', 'o', 's', 'u',
                                                 'c', 'h', 0x00});
                      CParameterCollection::newInstance()->deserialize(in);
                  },
                  true),
              "The group 'nosuch' of the stream is no parameter of the collection\n"
              "CParameterCollection::serializeGroups: Strandline exception caught\n"
              "CParameterCollection::deserialize: Strandline exception caught");
    // Writing a group name to a stream of no known version.
    strand::test::Component c;
    fill(c);
    EXPECT_EQ(failure(
                  [&] {
                      MemoryOutputStream out(0);
                      c[u"Name"].serialize(out);
                  },
                  true),
              "iByteOutputStream::String: Unknown serialization version 0\n\n"
              "CParameter::serialize: Strandline exception caught");
    EXPECT_EQ(failure(
                  [&] {
                      MemoryOutputStream out(0);
                      c.parameters->serializeSubset(out, texts({u"Settings"}));
                  },
                  true),
              "iByteOutputStream::String: Unknown serialization version 0\n\n"
              "CParameter::serialize: Strandline exception caught\n"
              "CParameterCollection::serializeImplementation: Strandline exception caught");
}

TEST(ParameterStream, HostileCountsFailWithoutReserving) {
    // Field 18 announcing 2^31 - 1 legal values, with none following.
    Ptr<CParameter> p = CParameter::newInstance(String(u"P"));
    Bytes bytes = parameterBytes(*p);
    // version 3, data-param 1, help/type/guid 3, flags 1, scripts 3, enforced, enabled, details,
    // valid, details, affects, expanded, user-impl: 19 bytes before field 18.
    bytes.resize(19);
    Bytes hostile = bytes;
    for (uint8_t b : {0x03, 0xFF, 0xFF, 0xFF, 0x7F})
        hostile.push_back(b);
    EXPECT_EQ(failure([&] {
                  MemoryInputStream in(hostile);
                  CParameter::newInstance()->deserialize(in);
              }),
              "EOF reading int header");
    hostile = bytes;
    hostile.push_back(0xFC);
    EXPECT_EQ(failure([&] {
                  MemoryInputStream in(hostile);
                  CParameter::newInstance()->deserialize(in);
              }),
              "Negative legal value count -1 in the stream");
    // A collection announcing 2^31 - 1 parameters.
    EXPECT_EQ(failure([] {
                  MemoryInputStream in(Bytes{0x02, 0xC9, 0x00, 0x04, 0x03, 0xFF, 0xFF, 0xFF, 0x7F});
                  CParameterCollection::newInstance()->deserialize(in);
              }),
              "EOF reading int header");
}

TEST(ParameterStream, DeepValuesEndWithAClearError) {
    Bytes bytes = parameterBytes(*CParameter::newInstance(String(u"P")));
    // The value record of the property record is last: 0x00 (no value). Replace it with value arrays
    // 100,000 deep.
    bytes.pop_back();
    for (int i = 0; i < 100000; ++i) {
        bytes.push_back(0x30);
        bytes.push_back(0x04);
    }
    EXPECT_EQ(failure([&] {
                  MemoryInputStream in(bytes);
                  CParameter::newInstance()->deserialize(in);
              }),
              "A value record nested too deeply: more than 64 levels");
}

// Whatever reads without error writes, reads and writes again to the same bytes.
void expectStableRewrite(const Bytes& input, int32_t version) {
    Ptr<CParameterCollection> first = CParameterCollection::newInstance();
    try {
        MemoryInputStream in(input, version);
        first->deserialize(in);
    } catch (const Exception&) {
        return;
    }
    const Bytes once = collectionBytes(*first, version);
    const Bytes twice = collectionBytes(*collectionFrom(once, version), version);
    if (once == twice)
        return;
    size_t at = 0;
    while (at < once.size() && at < twice.size() && once[at] == twice[at])
        ++at;
    std::string where;
    for (size_t i = at > 12 ? at - 12 : 0; i < at + 12 && i < once.size(); ++i)
        where += std::to_string(once[i]) + (i == at ? "* " : " ");
    where += "| ";
    for (size_t i = at > 12 ? at - 12 : 0; i < at + 12 && i < twice.size(); ++i)
        where += std::to_string(twice[i]) + (i == at ? "* " : " ");
    FAIL() << "rewrites differ at byte " << at << " of " << once.size() << ": " << where;
}

TEST(ParameterStream, EveryCutOfARealRecordFailsCleanly) {
    strand::test::Component c;
    fill(c);
    const Bytes bytes = collectionBytes(*c.parameters);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const Bytes head(bytes.begin(), bytes.begin() + Bytes::difference_type(cut));
        auto parameters = CParameterCollection::newInstance();
        MemoryInputStream in(head);
        EXPECT_NE(failure([&] { parameters->deserialize(in); }), "no failure") << cut;
    }
}

TEST(ParameterStream, MutatedAndRandomRecordsReadOrFailAndRewriteStably) {
    strand::test::Component c;
    fill(c);
    std::mt19937 random(20261207);
    for (int32_t version : {1, 2}) {
        const Bytes real = collectionBytes(*c.parameters, version);
        expectStableRewrite(real, version);
        for (int round = 0; round < 3000; ++round) {
            Bytes mutated = real;
            const int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) {
                const size_t at = random() % mutated.size();
                switch (random() % 3) {
                    case 0:
                        mutated[at] = uint8_t(random());
                        break;
                    case 1:
                        mutated.erase(mutated.begin() + Bytes::difference_type(at));
                        break;
                    default:
                        mutated.insert(mutated.begin() + Bytes::difference_type(at), uint8_t(random()));
                }
            }
            expectStableRewrite(mutated, version);
        }
        for (int round = 0; round < 2000; ++round) {
            Bytes noise{0x02, 0xC9, 0x00, 0x04};
            const size_t length = random() % 64;
            for (size_t i = 0; i < length; ++i)
                noise.push_back(uint8_t(random()));
            expectStableRewrite(noise, version);
        }
    }
}

}  // namespace
