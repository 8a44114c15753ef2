#pragma once
// The text forms the parameter classes share: a value as its list of strings, and the test for a macro
// token still waiting to be replaced.

#include "host/Array.h"
#include "host/ArrayValues.h"

namespace strand::params {

// The strings of a value: each element of an array, the text of a single value, none for no value.
inline Array<String> valueStrings(const Value& value) {
    Array<String> strings;
    if (const auto* texts = dynamic_cast<const StringArrayValue*>(&value)) {
        strings.vector() = texts->items();
        return strings;
    }
    if (const ArrayValue* array = value.asArray()) {
        for (int32_t i = 0; i < array->getSize(); ++i)
            array->getElementText(i, strings.emplace());
        return strings;
    }
    if (value.getNumValues() > 0)
        value.getText(strings.emplace());
    return strings;
}

// A "$(" with a ")" somewhere after it: a macro token the component could not replace (yet).
inline bool holdsToken(const String& s) {
    const size_t open = s.find(u"$(");
    return open != String::npos && s.find(u')', open + 2) != String::npos;
}

}  // namespace strand::params
