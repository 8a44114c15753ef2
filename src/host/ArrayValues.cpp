#include "host/ArrayValues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "host/BitsetValue.h"
#include "host/Codecs.h"
#include "host/Format.h"
#include "host/Util.h"

namespace strand {

void ArrayValue::checkSize(int64_t size) {
    if (size < 0 || size > kMaxSize) {
        throw Exception(u"Array size %lld is outside the range 0 to %d", size, kMaxSize);
    }
}

void ArrayValue::checkIndex(int32_t i) const {
    if (i < 0 || i >= getSize())
        throw InvalidIndexException(i, int64_t(getSize()) - 1);
}

void ArrayValue::checkInsert(int32_t i) const {
    if (i < 0 || i > getSize())
        throw InvalidIndexException(i, getSize());
    checkSize(int64_t(getSize()) + 1);
}

void ArrayValue::appendText(String& out) const {
    String element;
    for (int32_t i = 0; i < getSize(); ++i) {
        if (i)
            out.append(kSeparator);
        getElementText(i, element);
        out.append(element.view());
    }
}

int ArrayValue::compareSameRank(const Value& other) const {
    const auto& o = static_cast<const ArrayValue&>(other);
    int32_t n = std::min(getSize(), o.getSize());
    for (int32_t i = 0; i < n; ++i) {
        if (int c = getElement(i)->compare(*o.getElement(i)))
            return c;
    }
    return (getSize() > o.getSize()) - (getSize() < o.getSize());
}

Ptr<ArrayValue> ArrayValue::newFor(const Value& sample) {
    switch (sample.kind()) {
        case Kind::String:
            return makePtr<StringArrayValue>();
        case Kind::Double:
            return makePtr<DoubleArrayValue>();
        case Kind::Integer:
            return makePtr<IntegerArrayValue>();
        case Kind::Boolean:
            return makePtr<BooleanArrayValue>();
        default:
            return makePtr<ValueArrayValue>();
    }
}

Ptr<ArrayValue> ArrayValue::storeExactly(Store how, int32_t i, const Value& value) {
    if (how == Store::Set)
        checkIndex(i);
    else
        checkInsert(i);
    if (holdsExactly(value)) {
        if (how == Store::Set)
            setElement(i, value);
        else
            insertElement(i, value);
        return nullptr;
    }
    const ClassTag& tag = getClassTag();
    const bool plain = &tag == &IntegerArrayValue::Tag || &tag == &DoubleArrayValue::Tag ||
                       &tag == &StringArrayValue::Tag || &tag == &BooleanArrayValue::Tag;
    if (!plain) {
        String text;
        value.getText(text);
        throw Exception(u"The value '%ls' cannot be stored in a %ls without changing it", text,
                        getClassName());
    }
    // Integers and a number: doubles, when every integer that stays is a double exactly.
    Ptr<ArrayValue> wider = makePtr<ValueArrayValue>();
    if (&tag == &IntegerArrayValue::Tag && value.kind() == Kind::Double) {
        const auto& integers = static_cast<const IntegerArrayValue&>(*this).items();
        bool exact = true;
        for (size_t k = 0; exact && k < integers.size(); ++k)
            exact = (how == Store::Set && k == size_t(i)) || isExactDouble(integers[k]);
        if (exact)
            wider = makePtr<DoubleArrayValue>();
    }
    wider->resize(getSize());
    for (int32_t k = 0; k < getSize(); ++k) {
        if (how != Store::Set || k != i)
            wider->setElement(k, *getElement(k));
    }
    if (how == Store::Set)
        wider->setElement(i, value);
    else
        wider->insertElement(i, value);
    return wider;
}

bool DoubleElement::holds(const Value& v) {
    if (v.kind() == Value::Kind::Double)
        return true;
    return v.kind() == Value::Kind::Integer && isExactDouble(v.getInteger());
}

bool IntegerElement::holds(const Value& v) {
    if (v.kind() == Value::Kind::Integer)
        return true;
    return v.kind() == Value::Kind::Double && exactInteger(v.getDouble()).has_value();
}

bool ByteElement::holds(const Value& v) {
    std::optional<int64_t> integer;
    if (v.kind() == Value::Kind::Integer)
        integer = v.getInteger();
    else if (v.kind() == Value::Kind::Double)
        integer = exactInteger(v.getDouble());
    return integer && *integer >= 0 && *integer <= 255;
}

String StringElement::fromValue(const Value& v) {
    String s;
    v.getText(s);
    return s;
}

String StringElement::fromArray(const ArrayValue& a, int32_t i) {
    String s;
    a.getElementText(i, s);
    return s;
}

Ptr<Value> StringElement::toValue(const String& e) {
    return makePtr<StringValue>(e);
}
double StringElement::toDouble(const String& e) {
    return StringValue::textToDouble(e);
}
int64_t StringElement::toInteger(const String& e) {
    return StringValue::textToInteger(e);
}
bool StringElement::toBool(const String& e) {
    return StringValue::textToBool(e);
}

Ptr<Value> DoubleElement::toValue(double e) {
    return makePtr<DoubleValue>(e);
}
void DoubleElement::appendText(double e, String& out) {
    appendDouble(out, e);
}
int64_t DoubleElement::toInteger(double e) {
    return truncToInt64(e);
}

Ptr<Value> IntegerElement::toValue(int64_t e) {
    return makePtr<IntegerValue>(e);
}
void IntegerElement::appendText(int64_t e, String& out) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, e);
    for (char* p = buf; p < r.ptr; ++p)
        out.append(char16_t(*p));
}

Ptr<Value> BooleanElement::toValue(uint8_t e) {
    return makePtr<BooleanValue>(e != 0);
}

Ptr<Value> ByteElement::toValue(uint8_t e) {
    return makePtr<IntegerValue>(e);
}
void ByteElement::appendText(uint8_t e, String& out) {
    char buf[4];
    auto r = std::to_chars(buf, buf + sizeof buf, unsigned(e));
    for (char* p = buf; p < r.ptr; ++p)
        out.append(char16_t(*p));
}

void ByteArrayValue::appendText(String& out) const {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    for (uint8_t b : m_items) {
        out.append(kDigits[b >> 4]);
        out.append(kDigits[b & 0xF]);
    }
}

void ByteArrayValue::assignFrom(const Value& source) {
    if (&source == this)
        return;
    if (source.kind() == Kind::String) {
        String text;
        source.getText(text);
        Array<uint8_t> bytes;
        util::ConvertStringtoUTF8(text, bytes);
        setBytes(bytes);
        return;
    }
    if (const auto* bits = dynamic_cast<const BitsetValue*>(&source)) {
        std::vector<uint8_t> bytes(size_t(bits->getSize() + 7) / 8, 0);
        checkSize(int64_t(bytes.size()));
        for (int32_t i = bits->getNext(-1); i >= 0; i = bits->getNext(i))
            bytes[size_t(i) / 8] |= uint8_t(1u << (i % 8));
        m_items = std::move(bytes);
        return;
    }
    TypedArrayValue::assignFrom(source);
}

int ByteArrayValue::compareSameRank(const Value& other) const {
    const auto& o = static_cast<const ByteArrayValue&>(other);
    if (std::lexicographical_compare(m_items.begin(), m_items.end(), o.m_items.begin(), o.m_items.end()))
        return -1;
    return o.m_items == m_items ? 0 : 1;
}

void ValueArrayValue::resize(int32_t size) {
    checkSize(size);
    size_t old = m_items.size();
    m_items.resize(size_t(size));
    for (size_t i = old; i < m_items.size(); ++i)
        m_items[i] = makePtr<NullValue>();
}

const Value& ValueArrayValue::elementRef(int32_t i) const {
    checkIndex(i);
    return *m_items[size_t(i)];
}

void ValueArrayValue::getElementText(int32_t i, String& out) const {
    elementRef(i).getText(out);
}
double ValueArrayValue::getElementDouble(int32_t i) const {
    return elementRef(i).getDouble();
}
int64_t ValueArrayValue::getElementInteger(int32_t i) const {
    return elementRef(i).getInteger();
}
bool ValueArrayValue::getElementBool(int32_t i) const {
    return elementRef(i).getBool();
}
Ptr<Value> ValueArrayValue::getElement(int32_t i) const {
    return elementRef(i).cloneValue();
}

void ValueArrayValue::setElement(int32_t i, const Value& value) {
    checkIndex(i);
    m_items[size_t(i)] = value.cloneValue();
}

void ValueArrayValue::insertElement(int32_t i, const Value& value) {
    checkInsert(i);
    m_items.insert(m_items.begin() + i, value.cloneValue());
}

void ValueArrayValue::removeElement(int32_t i) {
    checkIndex(i);
    m_items.erase(m_items.begin() + i);
}

Ptr<Value> ValueArrayValue::newElement() const {
    return makePtr<NullValue>();
}

void ValueArrayValue::assignFrom(const Value& source) {
    if (&source == this)
        return;
    std::vector<Ptr<Value>> items;
    if (const ArrayValue* array = source.asArray()) {
        items.reserve(size_t(array->getSize()));
        for (int32_t i = 0; i < array->getSize(); ++i)
            items.push_back(array->getElement(i));
    } else if (source.getNumValues() > 0) {
        items.push_back(source.cloneValue());
    }
    m_items = std::move(items);
}

Ptr<Value> ValueArrayValue::cloneValue() const {
    Ptr<ValueArrayValue> copy = makePtr<ValueArrayValue>();
    copy->m_items.reserve(m_items.size());
    for (const auto& item : m_items)
        copy->m_items.push_back(item->cloneValue());
    return copy;
}

}  // namespace strand
