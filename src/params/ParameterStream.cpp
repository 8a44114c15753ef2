// The byte-stream records of CParameter (version 18267) and CParameterCollection (version 201). The
// layout of every field is in docs/streams.md.

#include "host/ByteStream.h"
#include "host/Nesting.h"
#include "params/MemberGuard.h"
#include "params/Parameter.h"
#include "params/ParameterCollection.h"

using strand::Array;
using strand::iByteInputStream;
using strand::iByteOutputStream;
using strand::Ptr;
using strand::String;
using strand::params::guardMember;
namespace stream = strand::stream;

namespace {

void checkVersion(int32_t found, int32_t expected) {
    if (found != expected)
        throw strand::Exception(u"Deserialization version mismatch (%ld , %ld)", long(found), long(expected));
}

void writeStrings(iByteOutputStream& out, const Array<String>& strings) {
    stream::writeInt(out, int32_t(strings.size()));
    for (const String& s : strings)
        stream::writeString(out, s);
}

// The strings arrive one by one: the count announced reserves nothing.
Array<String> readStrings(iByteInputStream& in, const char16_t* what) {
    Array<String> strings;
    for (int32_t i = 0, count = stream::readCount(in, what); i < count; ++i)
        strings.add(stream::readString(in));
    return strings;
}

void writeState(iByteOutputStream& out, const strand::iPropertyCollection* state) {
    stream::writeBool(out, state != nullptr);
    if (!state)
        return;
    const auto* collection = strand::findAs<const strand::CPropertyCollection>(state);
    if (!collection)
        throw strand::Exception(u"A rule state of class %s cannot be written to a stream",
                                state->getClassTag().getName());
    collection->serialize(out);
}

// A state the record holds is read into the parameter's own collection (made when it has none); a
// state the record lacks is dropped, so that the parameter ends as the writer had it.
void readState(iByteInputStream& in, Ptr<strand::iPropertyCollection>& state) {
    if (!stream::readBool(in)) {
        state = nullptr;
        return;
    }
    if (!strand::findAs<strand::CPropertyCollection>(state))
        state = strand::CPropertyCollection::newInstance();
    strand::findAs<strand::CPropertyCollection>(state.get())->deserialize(in);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// CParameter

void CParameter::serialize(iByteOutputStream& out) const {
    guardMember(u"CParameter", u"serialize", [&] { writeRecord(out); });
}

void CParameter::deserialize(iByteInputStream& in) {
    guardMember(u"CParameter", u"deserialize", [&] { readRecord(in); });
}

void CParameter::writeRecord(iByteOutputStream& out) const {
    strand::NestingGuard guard(u"A parameter record");
    stream::writeInt(out, PARAMETER_VERSION);
    stream::writeBool(out, m_dataParam);
    stream::writeString(out, m_help);
    stream::writeString(out, m_type);
    stream::writeString(out, m_guid);
    stream::writeInt(out, m_flagWord);
    stream::writeString(out, m_validationScript);
    stream::writeString(out, m_enablingScript);
    stream::writeString(out, m_legalValuesScript);
    stream::writeBool(out, m_legalValuesEnforced);
    stream::writeBool(out, m_enabled);
    stream::writeString(out, m_disabledDetails);
    stream::writeBool(out, m_valid);
    stream::writeString(out, m_invalidDetails);
    stream::writeInt(out, m_affectsValidation);
    stream::writeBool(out, m_expanded);
    stream::writeInt(out, m_userImpl);
    writeStrings(out, m_legalValues);
    writeStrings(out, m_staticLegalValues);
    writeState(out, m_validationState.get());
    writeState(out, m_enablingState.get());
    writeState(out, m_legalValuesState.get());
    CProperty::serialize(out);
}

void CParameter::readRecord(iByteInputStream& in) {
    strand::NestingGuard guard(u"A parameter record");
    // Stale from the first byte: a record cut short leaves no verdict of the old fields standing.
    revalidate();
    textInputsChanged();
    checkVersion(stream::readInt(in), PARAMETER_VERSION);
    m_dataParam = stream::readBool(in);
    stream::readString(in, m_help);
    stream::readString(in, m_type);
    stream::readString(in, m_guid);
    m_flagWord = stream::readInt(in);
    stream::readString(in, m_validationScript);
    stream::readString(in, m_enablingScript);
    stream::readString(in, m_legalValuesScript);
    revalidate();
    m_legalValuesEnforced = stream::readBool(in);
    m_enabled = stream::readBool(in);
    stream::readString(in, m_disabledDetails);
    m_valid = stream::readBool(in);
    stream::readString(in, m_invalidDetails);
    m_affectsValidation = stream::readInt(in);
    m_expanded = stream::readBool(in);
    m_userImpl = stream::readInt(in);
    m_legalValues = readStrings(in, u"legal value");
    m_staticLegalValues = readStrings(in, u"legal value");
    readState(in, m_validationState);
    readState(in, m_enablingState);
    readState(in, m_legalValuesState);
    // The value changes: what was parsed or evaluated from the old one goes.
    m_expressionCache.Clear();
    m_evaluatedText.clear();
    CProperty::deserialize(in);
    textInputsChanged();
}

// ---------------------------------------------------------------------------------------------------
// CParameterCollection

void CParameterCollection::serialize(iByteOutputStream& out) const {
    guardMember(u"CParameterCollection", u"serialize", [&] { internalSerialize(out, nullptr); });
}

void CParameterCollection::serializeSubset(iByteOutputStream& out, const Array<String>& names) const {
    guardMember(u"CParameterCollection", u"serializeImplementation", [&] { internalSerialize(out, &names); });
}

void CParameterCollection::internalSerialize(iByteOutputStream& out, const Array<String>* names) const {
    strand::NestingGuard guard(u"A parameter collection record");
    stream::writeInt(out, PARAMETER_COLLECTION_VERSION);
    CPropertyCollection::internalSerialize(out, names);
    serializeGroups(out, names);
}

void CParameterCollection::serializeGroups(iByteOutputStream& out, const Array<String>* names) const {
    guardMember(u"CParameterCollection", u"serializeGroups", [&] {
        Array<strand::iGroupParameter*> groups;
        const_cast<CParameterCollection*>(this)->getGroups(groups);
        std::vector<std::pair<CParameter*, Array<String>>> kept;
        for (strand::iGroupParameter* group : groups) {
            auto* parameter = dynamic_cast<CParameter*>(group);
            if (!parameter)
                continue;
            bool named = !names;
            for (size_t i = 0; !named && i < names->size(); ++i)
                named = (*names)[i].equalsIgnoreCase(parameter->getName());
            Array<String> members;
            parameter->getMembers(members);
            // A group with no member to list adds nothing to what a reader restores: it is left out,
            // so that a record read back writes the same bytes again.
            if (named && !members.isEmpty())
                kept.emplace_back(parameter, std::move(members));
        }
        stream::writeInt(out, int32_t(kept.size()));
        for (const auto& [group, members] : kept) {
            const String& name = group->getName();
            stream::writeText(out, name.ptr(), name.length());
            writeStrings(out, members);
        }
    });
}

void CParameterCollection::deserialize(iByteInputStream& in) {
    guardMember(u"CParameterCollection", u"deserialize", [&] {
        strand::NestingGuard guard(u"A parameter collection record");
        checkVersion(stream::readInt(in), PARAMETER_COLLECTION_VERSION);
        CPropertyCollection::deserialize(in);
        noteGroupsChanged();
        deserializeGroups(in);
    });
}

void CParameterCollection::deserializeGroups(iByteInputStream& in) {
    guardMember(u"CParameterCollection", u"serializeGroups", [&] {
        for (int32_t i = 0, count = stream::readCount(in, u"group"); i < count; ++i) {
            const String name = stream::readString(in);
            auto* group = dynamic_cast<strand::iGroupParameter*>(find(name));
            if (!group)
                throw strand::Exception(u"The group '%ls' of the stream is no parameter of the collection",
                                        name);
            for (int32_t m = 0, members = stream::readCount(in, u"member"); m < members; ++m)
                group->addMember(stream::readString(in));
        }
    });
}
