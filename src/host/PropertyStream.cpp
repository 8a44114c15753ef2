// The byte-stream records of CProperty and CPropertyCollection (docs/streams.md).

#include "host/ByteStream.h"
#include "host/Nesting.h"
#include "host/PropertyCollection.h"
#include "host/ValueStream.h"

namespace strand {

namespace {

void checkVersion(int32_t found, int32_t expected) {
    if (found != expected)
        throw Exception(u"Deserialization version mismatch (%ld , %ld)", long(found), long(expected));
}

bool named(const Array<String>& names, const String& name) {
    for (const String& candidate : names) {
        if (candidate.equalsIgnoreCase(name))
            return true;
    }
    return false;
}

}  // namespace

void CProperty::serialize(iByteOutputStream& out) const {
    stream::writeInt(out, PROPERTY_VERSION);
    stream::writeString(out, m_name);
    stream::writeInt(out, int32_t(m_flags));
    stream::writeValue(out, m_value.get());
}

void CProperty::deserialize(iByteInputStream& in) {
    checkVersion(stream::readInt(in), PROPERTY_VERSION);
    String name = stream::readString(in);
    if (m_parent && !name.isEmpty())
        SetName(name);
    else
        setNameRaw(std::move(name));
    m_flags = uint32_t(stream::readInt(in));
    Ptr<Value> value = stream::readValue(in);
    if (!value)
        return setNoValue();
    // Stored as this class's own: a derived property's reactions to a new value are its own to add.
    CProperty::adoptValue(std::move(value));
}

void CPropertyCollection::internalSerialize(iByteOutputStream& out, const Array<String>* names) const {
    NestingGuard guard(u"A property collection record");
    stream::writeInt(out, PROPERTY_COLLECTION_VERSION);
    int32_t count = 0;
    for (const Ptr<CProperty>& property : m_properties)
        count += !names || named(*names, property->getName());
    stream::writeInt(out, count);
    for (const Ptr<CProperty>& property : m_properties) {
        if (!names || named(*names, property->getName()))
            property->serialize(out);
    }
}

void CPropertyCollection::deserialize(iByteInputStream& in) {
    NestingGuard guard(u"A property collection record");
    checkVersion(stream::readInt(in), PROPERTY_COLLECTION_VERSION);
    const int32_t count = stream::readCount(in, u"property");
    removeAll();
    for (int32_t i = 0; i < count; ++i) {
        Ptr<CProperty> property = createProperty(String());
        property->deserialize(in);
        const String& name = property->getName();
        if (name.isEmpty())
            throw Exception(u"Property %d of the collection in the stream has no name", i + 1);
        if (findIndex(name) >= 0)
            throw Exception(u"The property name '%ls' is given twice in the stream", name);
        append(std::move(property));
    }
}

}  // namespace strand
