// The byte-stream records of parameters and their collections: the known layout, round trips in both
// stream versions, the failure texts, and hostile or damaged records.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "Component.h"
#include "host/ByteStream.h"
#include "host/HvnConstants.h"

using namespace strand;
using namespace strand::test;
using Bytes = std::vector<uint8_t>;

namespace {

// The record of a parameter or a collection.
template <typename Record>
Bytes bytesOf(const Record& record, int32_t version = 2) {
    MemoryOutputStream out(version);
    record.serialize(out);
    return out.bytes();
}

Ptr<CParameterCollection> collectionFrom(const Bytes& bytes, int32_t version = 2) {
    auto parameters = CParameterCollection::newInstance();
    MemoryInputStream in(bytes, version);
    parameters->deserialize(in);
    EXPECT_EQ(in.remaining(), 0u);
    return parameters;
}

// The failure block of reading `bytes` into a new parameter, or a new collection.
std::string readFailure(const Bytes& bytes, bool collection) {
    MemoryInputStream in(bytes);
    if (collection)
        return failure([&] { CParameterCollection::newInstance()->deserialize(in); }, true);
    return failure([&] { CParameter::newInstance()->deserialize(in); }, true);
}

Bytes plus(Bytes bytes, std::initializer_list<uint8_t> more) {
    bytes.insert(bytes.end(), more);
    return bytes;
}

// A component with something in every field: a group, legal values, rule scripts and states, texts
// outside ASCII, lists and the component GUID.
void fill(Component& c) {
    CParameter& name = c.add(u"Name", u"caf\u00E9 \u20AC");
    name.setHelp(u"The name");
    name.setGuid(u"{0F1E}");
    name.setFlags(iParameter::kRequired);
    name.setValidationScript(u"parameter() <> ''");
    CParameter& level = c.add(u"Level", {u"low", u"high"});
    level.setLegalValues(texts({u"low", u"mid", u"high"}));
    level.setLegalValuesAreEnforced(false);
    level.setType(u"StringType");
    level.setEnablingScript(u"true");
    auto state = CPropertyCollection::newInstance();
    state->define(u"seen", IntegerValue(3), 0);
    level.setValidationState(state.get());
    CParameter& script = c.add(u"Script", u"1 + 2");
    script.setType(HVN_ExpressionType);
    script.setLegalValuesScript(u"setlegalvalues(['a'])");
    script.setUserImpl(1);
    CParameter& group = c.add(u"Settings");
    group.setType(HVN_GroupType);
    group.addMember(u"Level");
    group.addMember(u"Name");
    group.setExpanded(true);
    // A group lists only the members of its own implementation: Script belongs to the user's.
    CParameter& other = c.add(u"Other");
    other.addMember(u"Script");
    other.addMember(u"Level");
}

TEST(ParameterStream, RecordStartsWithItsVersionAndEndsWithThePropertyRecord) {
    Component c;
    const Bytes bytes = bytesOf(c.add(u"P", u"v"));
    ASSERT_GE(bytes.size(), 4u);
    // The version, then data-param true (then null help, type and GUID).
    EXPECT_EQ((Bytes(bytes.begin(), bytes.begin() + 4)), (Bytes{0x02, 0x5B, 0x47, 0x01}));
    // ... the property record: version 1, "P", flags 0, a string value "v".
    EXPECT_EQ((Bytes(bytes.end() - 7, bytes.end())), (Bytes{0x04, 0x08, 0x50, 0x00, 0x08, 0x08, 0x76}));
}

TEST(ParameterStream, ParameterReadBackEqualsTheWrittenOneFieldByField) {
    Component c;
    fill(c);
    for (const char16_t* name : {u"Name", u"Level", u"Script", u"Settings", u"Other"}) {
        CParameter& source = c[name];
        const Bytes bytes = bytesOf(source);
        Ptr<CParameter> copy = CParameter::newInstance();
        MemoryInputStream in(bytes);
        copy->deserialize(in);
        EXPECT_EQ(in.remaining(), 0u);
        EXPECT_EQ(fields(*copy), fields(source));
        // The members travel in the collection's group section only.
        EXPECT_EQ(copy->getMembersSize(), 0);
        EXPECT_EQ(bytesOf(*copy), bytes) << String(name).toUtf8();
    }
}

TEST(ParameterStream, ReadingLeavesNoOldVerdictOrStateStanding) {
    // The writer's valid flag says yes; the reader runs the rule again.
    Ptr<CParameter> source = CParameter::newInstance(u"P");
    source->setValidationScript(u"setinvaliddetails('no'); false");
    Component c;
    CParameter& target = c.add(u"P", u"x");
    EXPECT_TRUE(target.getValid());
    MemoryInputStream in(bytesOf(*source));
    target.deserialize(in);
    EXPECT_EQ(verdict(target), "invalid: no");
    // A record cut inside field 7, the validation script, after making the parameter required.
    source->setFlags(iParameter::kRequired);
    source->setValidationScript(u"true");
    Bytes bytes = bytesOf(*source);
    bytes.resize(3 + 1 + 3 + 1 + 2);
    CParameter& cut = c.add(u"Q", u"");
    EXPECT_TRUE(cut.getValid());
    MemoryInputStream cutIn(bytes);
    EXPECT_EQ(failure([&] { cut.deserialize(cutIn); }), "EOF reading byte 2 in string of length 4");
    EXPECT_EQ(verdict(cut), "invalid: This parameter is required.");
    // A state the record lacks is dropped.
    auto state = CPropertyCollection::newInstance();
    target.setEnablingState(state.get());
    MemoryInputStream again(bytesOf(*CParameter::newInstance(u"P")));
    target.deserialize(again);
    EXPECT_EQ(target.getEnablingState(), nullptr);
}

TEST(ParameterStream, CollectionsRoundTripWithTheirGroups) {
    Component c;
    fill(c);
    c.parameters->_setContext(nullptr);
    const Bytes bytes = bytesOf(*c.parameters);
    EXPECT_EQ((Bytes(bytes.begin(), bytes.begin() + 3)), (Bytes{0x02, 0xC9, 0x00}));
    Ptr<CParameterCollection> back = collectionFrom(bytes);
    EXPECT_EQ(dynamic_cast<CParameter&>(*back->get(u"Settings")).members(), texts({u"Level", u"Name"}));
    EXPECT_EQ(bytesOf(*back), bytes);
    // Version 1 streams carry the same record with UTF-16 texts.
    const Bytes v1 = bytesOf(*c.parameters, 1);
    EXPECT_NE(v1, bytes);
    EXPECT_EQ(bytesOf(*collectionFrom(v1, 1)), bytes);
}

TEST(ParameterStream, ASubsetLeavesOutTheGroupsItOmits) {
    Component c;
    fill(c);
    MemoryOutputStream out;
    c.parameters->serializeSubset(out, texts({u"name", u"LEVEL", u"other", u"Script"}));
    Ptr<CParameterCollection> back = collectionFrom(out.bytes());
    ASSERT_EQ(back->getSize(), 4);
    EXPECT_EQ(back->find(u"Settings"), nullptr);
    Array<iGroupParameter*> groups;
    back->getGroups(groups);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(dynamic_cast<CParameter*>(groups[0])->getName(), u"Other");
    // The group section: one group, "Other", with its one member.
    const Bytes& bytes = out.bytes();
    const Bytes section{0x04, 0x18, 'O', 't', 'h', 'e', 'r', 0x04, 0x18, 'L', 'e', 'v', 'e', 'l'};
    EXPECT_EQ((Bytes(bytes.end() - Bytes::difference_type(section.size()), bytes.end())), section);
}

TEST(ParameterStream, FailureTexts) {
    // Field 18 of a parameter record: 19 bytes of version, data-param, help, type, GUID, flags,
    // scripts, enforced, enabled, details, valid, details, affects, expanded and user-impl before it.
    Bytes head = bytesOf(*CParameter::newInstance(u"P"));
    head.resize(19);
    const struct {
        Bytes bytes;
        bool collection;
        const char* message;
    } cases[] = {
        {{0x04},
         false,
         "Deserialization version mismatch (1 , 18267)\nCParameter::deserialize: Strandline exception "
         "caught"},
        {{0x02, 0xCA, 0x00},
         true,
         "Deserialization version mismatch (202 , 201)\n"
         "CParameterCollection::deserialize: Strandline exception caught"},
        {{0x02, 0x5B, 0x47}, false, "EOF reading bool\nCParameter::deserialize: Strandline exception caught"},
        // A group section that names a parameter the record does not hold.
        {{0x02, 0xC9, 0x00, 0x04, 0x00, 0x04, 0x1C, 'n', 'o', 's', 'u', 'c', 'h', 0x00},
         true,
         "The group 'nosuch' of the stream is no parameter of the collection\n"
         "CParameterCollection::serializeGroups: Strandline exception caught\n"
         "CParameterCollection::deserialize: Strandline exception caught"},
        // Hostile counts fail without reserving: 2^31 - 1 legal values or parameters with none following.
        {plus(head, {0x03, 0xFF, 0xFF, 0xFF, 0x7F}), false,
         "EOF reading int header\nCParameter::deserialize: Strandline exception caught"},
        {plus(head, {0xFC}), false,
         "Negative legal value count -1 in the stream\nCParameter::deserialize: Strandline exception caught"},
        {{0x02, 0xC9, 0x00, 0x04, 0x03, 0xFF, 0xFF, 0xFF, 0x7F},
         true,
         "EOF reading int header\nCParameter::deserialize: Strandline exception caught\n"
         "CParameterCollection::deserialize: Strandline exception caught"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(readFailure(k.bytes, k.collection), k.message);
    // Writing a group name to a stream of no known version.
    Component c;
    fill(c);
    MemoryOutputStream out(0);
    EXPECT_EQ(failure([&] { c[u"Name"].serialize(out); }, true),
              "iByteOutputStream::String: Unknown serialization version 0\n\n"
              "CParameter::serialize: Strandline exception caught");
    EXPECT_EQ(failure([&] { c.parameters->serializeSubset(out, texts({u"Settings"})); }, true),
              "iByteOutputStream::String: Unknown serialization version 0\n\n"
              "CParameter::serialize: Strandline exception caught\n"
              "CParameterCollection::serializeImplementation: Strandline exception caught");
}

TEST(ParameterStream, DeepValuesEndWithAClearError) {
    // The value record of the property record is last: 0x00 (no value). Value arrays 100,000 deep
    // take its place.
    Bytes bytes = bytesOf(*CParameter::newInstance(u"P"));
    bytes.pop_back();
    for (int i = 0; i < 100000; ++i)
        bytes.insert(bytes.end(), {0x30, 0x04});
    EXPECT_EQ(readFailure(bytes, false),
              "A value record nested too deeply: more than 64 levels\n"
              "CParameter::deserialize: Strandline exception caught");
}

TEST(ParameterStream, EveryCutOfARealRecordFailsCleanly) {
    Component c;
    fill(c);
    const Bytes bytes = bytesOf(*c.parameters);
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_NE(readFailure(Bytes(bytes.begin(), bytes.begin() + Bytes::difference_type(cut)), true),
                  "no failure")
            << cut;
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
    const Bytes once = bytesOf(*first, version);
    const Bytes twice = bytesOf(*collectionFrom(once, version), version);
    if (once != twice)
        ADD_FAILURE() << "rewrites differ at byte "
                      << std::mismatch(once.begin(), once.end(), twice.begin()).first - once.begin() << " of "
                      << once.size();
}

TEST(ParameterStream, MutatedAndRandomRecordsReadOrFailAndRewriteStably) {
    Component c;
    fill(c);
    std::mt19937 random(20261207);
    for (int32_t version : {1, 2}) {
        const Bytes real = bytesOf(*c.parameters, version);
        expectStableRewrite(real, version);
        for (int round = 0; round < 3000; ++round) {
            Bytes mutated = real;
            const int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) {
                const size_t at = random() % mutated.size();
                const uint32_t edit = random() % 3;
                if (edit == 0)
                    mutated[at] = uint8_t(random());
                else if (edit == 1)
                    mutated.erase(mutated.begin() + Bytes::difference_type(at));
                else
                    mutated.insert(mutated.begin() + Bytes::difference_type(at), uint8_t(random()));
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
