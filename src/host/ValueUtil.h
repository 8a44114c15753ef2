#pragma once
// Helpers of strand::util that build values and properties.

#include "host/ArrayValues.h"
#include "host/PropertyCollection.h"

namespace strand::util {

// The text split at every separator into a text array (see splitText).
Ptr<StringArrayValue> expandTextValue(const String& text, std::u16string_view separator);
// Defines (or overwrites) the named property with a byte-array value holding the bytes.
iProperty* defineByteArrayValue(iPropertyCollection& collection, const String& name,
                                const Array<uint8_t>& bytes, uint32_t flags = 0);

}  // namespace strand::util
