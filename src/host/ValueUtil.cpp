#include "host/ValueUtil.h"

#include "host/Util.h"

namespace strand::util {

Ptr<StringArrayValue> expandTextValue(const String& text, std::u16string_view separator) {
    Array<String> parts = splitText(text, separator);
    ArrayValue::checkSize(int64_t(parts.size()));
    return makePtr<StringArrayValue>(std::move(parts.vector()));
}

iProperty* defineByteArrayValue(iPropertyCollection& collection, const String& name,
                                const Array<uint8_t>& bytes, uint32_t flags) {
    Ptr<ByteArrayValue> value = makePtr<ByteArrayValue>();
    value->setBytes(bytes);
    return collection.defineAdopting(name, value, flags);
}

}  // namespace strand::util
