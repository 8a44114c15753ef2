#include "host/Value.h"

#include <charconv>
#include <cmath>

#include "host/ArrayValues.h"
#include "host/Format.h"
#include "host/Util.h"

namespace strand {

namespace {

int rankOf(Value::Kind kind) {
    switch (kind) {
        case Value::Kind::Null:
            return 0;
        case Value::Kind::Boolean:
        case Value::Kind::Integer:
        case Value::Kind::Double:
            return 1;
        case Value::Kind::String:
            return 2;
        case Value::Kind::DateTime:
            return 3;
        case Value::Kind::ByteArray:
            return 4;
        case Value::Kind::Bitset:
            return 5;
        case Value::Kind::Array:
            return 6;
    }
    return 7;
}

int sign(long double a, long double b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Numbers compare by value; an integer is exact in a long double, so the order is total.
int compareNumbers(const Value& a, const Value& b) {
    auto key = [](const Value& v, bool& nan) -> long double {
        nan = false;
        if (v.kind() == Value::Kind::Integer)
            return (long double)v.getInteger();
        double d = v.getDouble();
        nan = std::isnan(d);
        return d;
    };
    bool nanA, nanB;
    long double x = key(a, nanA), y = key(b, nanB);
    if (nanA || nanB)
        return int(nanA) - int(nanB);
    return sign(x, y);
}

int compareNames(const char16_t* a, const char16_t* b) {
    int c = std::u16string_view(a).compare(std::u16string_view(b));
    return (c > 0) - (c < 0);
}

}  // namespace

void Value::getText(String& out) const {
    out.clear();
    appendText(out);
}

String Value::toString() const {
    String s;
    getText(s);
    return s;
}

int Value::compare(const Value& other) const {
    if (this == &other)
        return 0;
    int ra = rankOf(kind()), rb = rankOf(other.kind());
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (int c = compareSameRank(other))
        return c;
    return compareNames(getClassName(), other.getClassName());
}

int Value::compareSameRank(const Value& other) const {
    if (isNumeric() && other.isNumeric())
        return compareNumbers(*this, other);
    return 0;
}

const ArrayValue* Value::asArray() const noexcept {
    const Kind k = kind();
    return k == Kind::Array || k == Kind::ByteArray ? static_cast<const ArrayValue*>(this) : nullptr;
}
ArrayValue* Value::asArray() noexcept {
    const Kind k = kind();
    return k == Kind::Array || k == Kind::ByteArray ? static_cast<ArrayValue*>(this) : nullptr;
}

const NullValue& NullValue::instance() {
    static const NullValue* shared = [] {
        auto* v = new NullValue();
        v->addRef();  // never released
        return v;
    }();
    return *shared;
}

double StringValue::textToDouble(const String& text) {
    return util::stringToDouble(text.view());
}

int64_t StringValue::textToInteger(const String& text) {
    if (auto exact = util::parseInteger(text.view()))
        return *exact;
    return truncToInt64(util::stringToDouble(text.view()));
}

bool StringValue::textToBool(const String& text) {
    const String::View t = text.view();
    return String::equalFolded(t, u"true") || t == u"1" || t == u"1.";
}

double StringValue::getDouble() const {
    return textToDouble(m_value);
}
int64_t StringValue::getInteger() const {
    return textToInteger(m_value);
}
bool StringValue::getBool() const {
    return textToBool(m_value);
}

void StringValue::assignFrom(const Value& source) {
    if (&source == this)
        return;
    source.getText(m_value);
}

int StringValue::compareSameRank(const Value& other) const {
    const auto& o = static_cast<const StringValue&>(other);
    if (int c = m_value.compareIgnoreCase(o.m_value))
        return c;
    return m_value.compare(o.m_value);
}

void DoubleValue::appendText(String& out) const {
    appendDouble(out, m_value);
}
int64_t DoubleValue::getInteger() const {
    return truncToInt64(m_value);
}

void IntegerValue::appendText(String& out) const {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, m_value);
    const size_t length = size_t(r.ptr - buf);
    const size_t at = out.length();
    out.resize(at + length);
    char16_t* wide = out.data() + at;
    for (size_t i = 0; i < length; ++i)
        wide[i] = char16_t(buf[i]);
}

}  // namespace strand
