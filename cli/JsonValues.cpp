#include "JsonValues.h"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "RecordFormats.h"
#include "host/ArrayValues.h"
#include "host/Exception.h"
#include "host/Format.h"
#include "host/Property.h"

namespace strand::cli {

namespace {

namespace ondemand = simdjson::ondemand;
using Kind = Value::Kind;

// ---------------------------------------------------------------------------------------------------
// Reading

[[noreturn]] void refuse(simdjson::error_code error) {
    throw Exception(u"%s", simdjson::error_message(error));
}

[[noreturn]] void refuse(simdjson::error_code error, const String& member) {
    throw Exception(u"In the member '%s': %s", member, simdjson::error_message(error));
}

void check(simdjson::error_code error) {
    if (error)
        refuse(error);
}

void check(simdjson::error_code error, const String& member) {
    if (error)
        refuse(error, member);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The four hexadecimal digits of a \u escape as one code unit; -1 when they are not four digits.
int32_t readCodeUnit(const char* p, const char* end) {
    if (end - p < 4)
        return -1;
    int32_t unit = 0;
    for (int i = 0; i < 4; ++i) {
        int digit = hexDigit(p[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// The characters with a short escape, and the letter that follows the backslash for each.
constexpr std::string_view kEscapedChars = "\"\\\b\f\n\r\t";
constexpr std::string_view kEscapeLetters = "\"\\bfnrt";

// Appends the character of the escape at `p` (a backslash) and moves past it; false for a bad escape.
bool appendEscape(const char*& p, const char* end, std::u16string& units) {
    if (end - p < 2)
        return false;
    const char letter = p[1];
    p += 2;
    if (letter == '/') {
        units.push_back(u'/');
        return true;
    }
    if (size_t i = kEscapeLetters.find(letter); i != std::string_view::npos) {
        units.push_back(char16_t(kEscapedChars[i]));
        return true;
    }
    // Each \u escape is one code unit: a pair of escapes makes a surrogate pair, and a lone surrogate
    // stays what it was.
    const int32_t unit = letter == 'u' ? readCodeUnit(p, end) : -1;
    if (unit < 0)
        return false;
    units.push_back(char16_t(unit));
    p += 4;
    return true;
}

// Decodes a JSON string from just after its opening quote to its closing quote. The parser has
// already checked the input as UTF-8 and refused control characters in strings; the escapes are
// checked here. False for a bad escape or a string that does not end.
bool decodeString(const char* p, const char* end, String& out) {
    out.clear();
    std::u16string& units = out.mutableStr();
    while (p < end) {
        const char* run = p;
        p = findEither(p, end, '"', '\\');
        appendUtf8ToUtf16(std::string_view(run, size_t(p - run)), units);
        if (p == end)
            return false;
        if (*p == '"')
            return true;
        if (!appendEscape(p, end, units))
            return false;
    }
    return false;
}

using Scalar = JsonScalar;

// The text of an array of scalars read without error, from its '[' to its ']'.
std::string_view arrayText(const char* open, const char* end) {
    const char* p = open + 1;
    while (p < end && *p != ']') {
        if (*p++ != '"')
            continue;
        // Inside a string: a quote ends it unless a backslash escapes it.
        while (p < end && *p != '"')
            p += *p == '\\' ? 2 : 1;
        ++p;
    }
    return std::string_view(open, size_t(std::min(p + 1, end) - open));
}

// The kinds of an array's elements decide its class.
Ptr<Value> makeArray(const std::vector<Scalar>& items) {
    ArrayValue::checkSize(int64_t(items.size()));
    bool integers = !items.empty(), numbers = !items.empty(), texts = !items.empty(),
         booleans = !items.empty();
    for (const Scalar& item : items) {
        integers = integers && item.kind == Kind::Integer;
        numbers = numbers && (item.kind == Kind::Integer || item.kind == Kind::Double);
        texts = texts && item.kind == Kind::String;
        booleans = booleans && item.kind == Kind::Boolean;
    }
    auto collect = [&items](auto element) {
        std::vector<decltype(element(items.front()))> out;
        out.reserve(items.size());
        for (const Scalar& item : items)
            out.push_back(element(item));
        return out;
    };
    // Doubles only when every integer among them is a double exactly; values of their own kinds else.
    for (const Scalar& item : items) {
        if (item.kind == Kind::Integer && !isExactDouble(item.integer))
            numbers = false;
    }
    if (integers)
        return makePtr<IntegerArrayValue>(collect([](const Scalar& s) { return s.integer; }));
    if (numbers)
        return makePtr<DoubleArrayValue>(collect([](const Scalar& s) { return s.toDouble(); }));
    if (texts)
        return makePtr<StringArrayValue>(collect([](const Scalar& s) { return s.text; }));
    if (booleans)
        return makePtr<BooleanArrayValue>(collect([](const Scalar& s) { return uint8_t(s.flag ? 1 : 0); }));
    auto values = makePtr<ValueArrayValue>();
    for (const Scalar& item : items)
        values->appendElement(*item.toValue());
    return values;
}

}  // namespace

Ptr<Value> JsonScalar::toValue() const {
    switch (kind) {
        case Kind::Integer:
            return makePtr<IntegerValue>(integer);
        case Kind::Double:
            return makePtr<DoubleValue>(number);
        case Kind::Boolean:
            return makePtr<BooleanValue>(flag);
        case Kind::String:
            return makePtr<StringValue>(text);
        default:
            return makePtr<NullValue>();
    }
}

Ptr<Value> JsonField::toValue() const {
    if (value.kind == Kind::Array)
        return array;
    if (value.kind == Kind::Null)
        return nullptr;
    return value.toValue();
}

struct JsonReader::Impl {
    using Member = JsonField;

    ondemand::parser parser;
    std::string buffer;  // the input, with the room after it that the parser reads ahead into
    const char* end = nullptr;
    // Entries stay allocated between objects, so that their texts keep their storage; the first
    // `used` are the current object's.
    std::vector<Member> members;
    size_t used = 0;
    std::vector<Scalar> elements;
    int depth = 0;   // of the value being read: objects and arrays around it
    String topName;  // the record's member the value being read belongs to

    void read(std::string_view json);
    void checkSingleObject(ondemand::document& document);
    bool flatten = false;

    size_t nextSlot();
    size_t nestedSlot(const String& prefix, std::u16string_view key);
    static void checkNameLength(const String& name);
    void checkNamesDiffer() const;
    void readMember(ondemand::field& field);
    void readValue(ondemand::value& value, size_t slot);
    void flattenObject(ondemand::value& value, size_t slot);
    Ptr<Value> readArray(ondemand::value& value, size_t slot);
    void readScalar(ondemand::value& value, ondemand::json_type type, const String& name, Scalar& out);
    void readNumber(ondemand::value& value, const String& name, Scalar& out);
};

void JsonReader::Impl::read(std::string_view json) {
    used = 0;
    depth = 0;
    buffer.clear();
    buffer.reserve(json.size() + simdjson::SIMDJSON_PADDING);
    buffer.append(json);
    end = buffer.data() + buffer.size();
    ondemand::document document;
    check(parser.iterate(buffer.data(), buffer.size(), buffer.capacity()).get(document));
    checkSingleObject(document);
    ondemand::object object;
    check(document.get_object().get(object));
    for (auto result : object) {
        ondemand::field field;
        check(std::move(result).get(field));
        readMember(field);
    }
    checkNamesDiffer();
}

// Refuses anything but one object, and anything after it but white space. The pass only skips over
// the structure; the members are checked as they are read.
void JsonReader::Impl::checkSingleObject(ondemand::document& document) {
    ondemand::json_type type;
    check(document.type().get(type));
    if (type != ondemand::json_type::object)
        refuse(simdjson::INCORRECT_TYPE);
    std::string_view whole;
    check(document.raw_json().get(whole));
    if (whole.data() + whole.size() < end)
        refuse(simdjson::TRAILING_CONTENT);
    document.rewind();
}

// The slot of the next member; entries stay allocated between objects.
size_t JsonReader::Impl::nextSlot() {
    if (used == members.size())
        members.emplace_back();
    return used++;
}

void JsonReader::Impl::readMember(ondemand::field& field) {
    const size_t slot = nextSlot();
    Member& member = members[slot];
    // Objects in a row usually name their members alike: the same bytes give the same name.
    const char* key = field.key().raw();
    const size_t known = member.rawName.size();
    const bool same = known > 0 && size_t(end - key) > known && key[known] == '"' &&
                      std::memcmp(key, member.rawName.data(), known) == 0;
    if (!same) {
        member.name.clear();
        member.rawName.clear();
        if (!decodeString(key, end, member.name))
            refuse(simdjson::STRING_ERROR);
        checkNameLength(member.name);
        member.nameHash = member.name.hashIgnoreCase();
        const char* quote = static_cast<const char*>(std::memchr(key, '"', size_t(end - key)));
        if (quote && std::memchr(key, '\\', size_t(quote - key)) == nullptr)
            member.rawName.assign(key, size_t(quote - key));
    }
    topName = member.name;
    readValue(field.value(), slot);
}

void JsonReader::Impl::checkNameLength(const String& name) {
    if (name.length() > kMaxNameLength)
        throw Exception(u"A member name is longer than %d characters, the most a name may be",
                        int32_t(kMaxNameLength));
}

// A member named `prefix.key` (`prefix.index` inside arrays), made while an object is flattened.
size_t JsonReader::Impl::nestedSlot(const String& prefix, std::u16string_view key) {
    const size_t slot = nextSlot();
    Member& member = members[slot];
    member.rawName.clear();
    member.name.clear();
    member.name.append(prefix.view());
    member.name.append(u'.');
    member.name.append(key);
    checkNameLength(member.name);
    member.nameHash = member.name.hashIgnoreCase();
    return slot;
}

void JsonReader::Impl::readValue(ondemand::value& value, size_t slot) {
    // Objects and arrays are read by recursion: their depth is bounded before the stack is.
    struct Level {
        int& depth;
        ~Level() { --depth; }
    } level{++depth};
    if (depth > kMaxJsonDepth)
        throw Exception(u"The member '%s' is nested more than %d levels deep, the most a record may be",
                        topName, kMaxJsonDepth);
    ondemand::json_type type;
    check(value.type().get(type), members[slot].name);
    members[slot].array = nullptr;
    members[slot].raw = {};
    if (type == ondemand::json_type::object) {
        if (!flatten)
            throw Exception(
                u"The member '%s' holds an object; a property holds a number, a text, a boolean, "
                u"null or an array of those",
                members[slot].name);
        flattenObject(value, slot);
        return;
    }
    if (type == ondemand::json_type::array) {
        const char* open = value.raw_json_token().data();
        Ptr<Value> array = readArray(value, slot);
        if (!array)
            return;  // flattened into members of their own
        members[slot].value.kind = Kind::Array;
        members[slot].array = std::move(array);
        members[slot].raw = arrayText(open, end);
        return;
    }
    Member& member = members[slot];
    if (type == ondemand::json_type::number || type == ondemand::json_type::string) {
        std::string_view raw;
        raw = value.raw_json_token();
        while (!raw.empty() &&
               (raw.back() == ' ' || raw.back() == '\t' || raw.back() == '\n' || raw.back() == '\r'))
            raw.remove_suffix(1);
        member.raw = raw;
    }
    readScalar(value, type, member.name, member.value);
}

// An object inside the record: each of its members becomes a member `name.key` in the slot's place.
void JsonReader::Impl::flattenObject(ondemand::value& value, size_t slot) {
    const String prefix = members[slot].name;
    --used;  // the slot itself holds nothing; its members take its place
    ondemand::object object;
    check(value.get_object().get(object), prefix);
    for (auto result : object) {
        ondemand::field field;
        check(std::move(result).get(field), prefix);
        String key;
        if (!decodeString(field.key().raw(), end, key))
            refuse(simdjson::STRING_ERROR, prefix);
        readValue(field.value(), nestedSlot(prefix, key.view()));
    }
}

// The array value of an array of scalars. An array that holds an object or an array, when objects are
// flattened, becomes members `name.1`, `name.2` ... in the slot's place instead, and the result is null.
Ptr<Value> JsonReader::Impl::readArray(ondemand::value& value, size_t slot) {
    const String name = members[slot].name;
    ondemand::array array;
    check(value.get_array().get(array), name);
    elements.clear();
    size_t index = 0;
    bool flattened = false;
    for (auto result : array) {
        ondemand::value item;
        check(std::move(result).get(item), name);
        ondemand::json_type type;
        check(item.type().get(type), name);
        ++index;
        const bool composite = type == ondemand::json_type::array || type == ondemand::json_type::object;
        if (composite && !flatten)
            throw Exception(
                u"The member '%s' holds an %s inside an array; array elements are numbers, texts, "
                u"booleans or null",
                name, type == ondemand::json_type::array ? "array" : "object");
        if (composite && !flattened) {
            // The scalars so far become members of their own, as every element after them.
            flattened = true;
            --used;
            for (size_t k = 0; k < elements.size(); ++k) {
                Member& member =
                    members[nestedSlot(name, std::u16string_view(String::fromAscii(std::to_string(k + 1))))];
                member.value = elements[k];
                member.array = nullptr;
                member.raw = {};
            }
        }
        if (flattened) {
            readValue(item, nestedSlot(name, String::fromAscii(std::to_string(index)).view()));
            continue;
        }
        readScalar(item, type, name, elements.emplace_back());
    }
    if (flattened)
        return nullptr;
    return makeArray(elements);
}

// Members whose names differ only in the case of A to Z name one property twice: the record is refused
// rather than one of them silently lost.
void JsonReader::Impl::checkNamesDiffer() const {
    const auto report = [](const Member& first, const Member& second) {
        throw Exception(
            u"The members '%ls' and '%ls' name one property (names do not tell A to Z from a to z)",
            first.name, second.name);
    };
    if (used <= 32) {
        for (size_t i = 1; i < used; ++i) {
            for (size_t k = 0; k < i; ++k) {
                if (members[k].nameHash == members[i].nameHash &&
                    members[k].name.equalsIgnoreCase(members[i].name))
                    report(members[k], members[i]);
            }
        }
        return;
    }
    std::unordered_map<String, size_t, StringHashIgnoreCase, StringEqualIgnoreCase> seen;
    for (size_t i = 0; i < used; ++i) {
        auto [at, added] = seen.emplace(members[i].name, i);
        if (!added)
            report(members[at->second], members[i]);
    }
}

void JsonReader::Impl::readScalar(ondemand::value& value, ondemand::json_type type, const String& name,
                                  Scalar& out) {
    switch (type) {
        case ondemand::json_type::number:
            readNumber(value, name, out);
            return;
        case ondemand::json_type::string: {
            ondemand::raw_json_string raw;
            check(value.get_raw_json_string().get(raw), name);
            if (!decodeString(raw.raw(), end, out.text))
                refuse(simdjson::STRING_ERROR, name);
            out.kind = Kind::String;
            return;
        }
        case ondemand::json_type::boolean:
            check(value.get_bool().get(out.flag), name);
            out.kind = Kind::Boolean;
            return;
        default: {
            bool isNull = false;
            check(value.is_null().get(isNull), name);
            if (!isNull)
                refuse(simdjson::N_ATOM_ERROR, name);
            out.kind = Kind::Null;
        }
    }
}

// Integers that fit 64 bits become integers; other integers and every other number become doubles.
// A number too large for a double (1e400) keeps its text: it becomes a text, and goes back out as the
// number it was when the script leaves it alone.
void JsonReader::Impl::readNumber(ondemand::value& value, const String& name, Scalar& out) {
    std::string_view raw = value.raw_json_token();
    while (!raw.empty() &&
           (raw.back() == ' ' || raw.back() == '\t' || raw.back() == '\n' || raw.back() == '\r' ||
            raw.back() == ',' || raw.back() == ']' || raw.back() == '}'))
        raw.remove_suffix(1);
    ondemand::number_type type;
    simdjson::error_code error = value.get_number_type().get(type);
    if (!error && type == ondemand::number_type::signed_integer && !value.get_int64().get(out.integer)) {
        out.kind = Kind::Integer;
        return;
    }
    if (!error)
        error = value.get_double().get(out.number);
    if (error == simdjson::NUMBER_ERROR) {
        if (!isJsonNumber(raw))
            throw Exception(
                formatCut(u"In the member '%ls': %s is not a number as JSON writes numbers", name, raw));
        out.kind = Kind::String;
        out.text = String::fromAscii(raw);
        return;
    }
    check(error, name);
    out.kind = Kind::Double;
}

JsonReader::JsonReader() : m_impl(std::make_unique<Impl>()) {}

JsonReader::~JsonReader() = default;

void JsonReader::setFlatten(bool flatten) {
    m_impl->flatten = flatten;
}

void JsonReader::readObjectInto(std::string_view json, iPropertyCollection& target) {
    // Everything is read before anything is defined, so that a refused object changes nothing.
    m_impl->read(json);
    for (size_t i = 0; i < m_impl->used; ++i) {
        const Impl::Member& member = m_impl->members[i];
        target.defineAdopting(member.name, member.toValue(), 0);
    }
}

std::span<const JsonField> JsonReader::readFields(std::string_view json) {
    m_impl->read(json);
    return std::span<const JsonField>(m_impl->members.data(), m_impl->used);
}

// ---------------------------------------------------------------------------------------------------
// Writing

namespace {

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void appendUnitEscape(char16_t c, std::string& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kHex[(c >> shift) & 0xF]);
}

void appendAscii(char16_t c, std::string& out) {
    if (size_t i = kEscapedChars.find(char(c)); i != std::string_view::npos) {
        out.push_back('\\');
        out.push_back(kEscapeLetters[i]);
        return;
    }
    if (c < 0x20) {
        appendUnitEscape(c, out);
        return;
    }
    out.push_back(char(c));
}

void appendCodePoint(uint32_t cp, std::string& out) {
    if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(char(0x80 | (cp & 0x3F)));
}

void appendQuoted(std::u16string_view text, std::string& out) {
    out.push_back('"');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            appendAscii(c, out);
        } else if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendCodePoint(0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00), out);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            appendUnitEscape(c, out);  // UTF-8 cannot carry a lone surrogate; the escape can
        } else {
            appendCodePoint(c, out);
        }
    }
    out.push_back('"');
}

void appendInteger(int64_t value, std::string& out) {
    char buf[24];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

// The shortest text that reads back to the same double, as in the value's own text.
void appendNumber(double value, std::string& out) {
    if (std::isnan(value)) {
        out += "\"NaN\"";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "\"-Infinity\"" : "\"Infinity\"";
        return;
    }
    char buf[kDoubleTextMax];
    out.append(buf, formatDouble(value, buf));
}

void appendBool(bool value, std::string& out) {
    out += value ? "true" : "false";
}

template <typename Items, typename Write>
void writeItems(const Items& items, std::string& out, Write write) {
    out.push_back('[');
    bool first = true;
    for (const auto& item : items) {
        if (!first)
            out.push_back(',');
        first = false;
        write(item);
    }
    out.push_back(']');
}

void writeArray(const ArrayValue& array, std::string& out) {
    if (auto* values = dynamic_cast<const ValueArrayValue*>(&array)) {
        out.push_back('[');
        for (int32_t i = 0; i < values->getSize(); ++i) {
            if (i > 0)
                out.push_back(',');
            writeValue(values->elementRef(i), out);
        }
        out.push_back(']');
        return;
    }
    if (auto* texts = dynamic_cast<const StringArrayValue*>(&array))
        return writeItems(texts->items(), out, [&out](const String& s) { writeString(s, out); });
    if (auto* doubles = dynamic_cast<const DoubleArrayValue*>(&array))
        return writeItems(doubles->items(), out, [&out](double d) { appendNumber(d, out); });
    if (auto* integers = dynamic_cast<const IntegerArrayValue*>(&array))
        return writeItems(integers->items(), out, [&out](int64_t i) { appendInteger(i, out); });
    if (auto* booleans = dynamic_cast<const BooleanArrayValue*>(&array))
        return writeItems(booleans->items(), out, [&out](uint8_t b) { appendBool(b != 0, out); });
    // Any other array: element by element.
    out.push_back('[');
    for (int32_t i = 0; i < array.getSize(); ++i) {
        if (i > 0)
            out.push_back(',');
        writeValue(*array.getElement(i), out);
    }
    out.push_back(']');
}

}  // namespace

void writeString(const String& text, std::string& out) {
    if (text.isNull()) {
        out += "null";
        return;
    }
    appendQuoted(text.view(), out);
}

void writeValue(const Value& value, std::string& out) {
    switch (value.kind()) {
        case Kind::Null:
            out += "null";
            return;
        case Kind::Boolean:
            appendBool(value.getBool(), out);
            return;
        case Kind::Integer:
            appendInteger(value.getInteger(), out);
            return;
        case Kind::Double:
            appendNumber(value.getDouble(), out);
            return;
        case Kind::Array:
            writeArray(*value.asArray(), out);
            return;
        default: {
            // Texts, and the text of everything JSON has no form for (bytes in hexadecimal, bitsets, dates).
            String text;
            value.getText(text);
            writeString(text, out);
        }
    }
}

namespace {

// A member in the tree of nested names: a leaf (`member` >= 0) or an object or array of kids.
struct NameNode {
    std::u16string_view key;
    int64_t member = -1;
    std::vector<size_t> kids;
};

void appendNameNode(const std::vector<NameNode>& nodes, size_t index,
                    const std::function<void(size_t, std::string&)>& value, std::string& out) {
    const NameNode& node = nodes[index];
    if (node.member >= 0) {
        value(size_t(node.member), out);
        return;
    }
    // Members named 1 to n are an array's elements, except in the record itself, which stays an
    // object (a line that is an array would read back as records of their own).
    bool array = index != 0 && !node.kids.empty();
    for (size_t k = 0; array && k < node.kids.size(); ++k)
        array = nodes[node.kids[k]].key == String::fromAscii(std::to_string(k + 1)).view();
    out.push_back(array ? '[' : '{');
    for (size_t k = 0; k < node.kids.size(); ++k) {
        if (k > 0)
            out.push_back(',');
        if (!array) {
            appendQuoted(nodes[node.kids[k]].key, out);
            out.push_back(':');
        }
        appendNameNode(nodes, node.kids[k], value, out);
    }
    out.push_back(array ? ']' : '}');
}

}  // namespace

bool writeNestedObject(size_t count, const std::function<std::u16string_view(size_t)>& name,
                       const std::function<void(size_t, std::string&)>& value, std::string& out) {
    std::vector<NameNode> nodes(1);
    for (size_t i = 0; i < count; ++i) {
        const std::u16string_view text = name(i);
        size_t node = 0;
        size_t begin = 0;
        // Nesting deeper than a record may be read back (and than the writer's recursion may go) is
        // written flat, under the names as they stand. A name of N dots puts its value N + 1 levels
        // deep, where the reader allows kMaxJsonDepth.
        if (std::count(text.begin(), text.end(), u'.') >= kMaxJsonDepth)
            return false;
        for (;;) {
            const size_t dot = text.find(u'.', begin);
            const bool last = dot == std::u16string_view::npos;
            const std::u16string_view key = text.substr(begin, last ? dot : dot - begin);
            if (key.empty())
                return false;
            size_t child = SIZE_MAX;
            for (const size_t kid : nodes[node].kids) {
                if (nodes[kid].key == key)
                    child = kid;
            }
            if (child != SIZE_MAX && (last || nodes[child].member >= 0))
                return false;
            if (child == SIZE_MAX) {
                child = nodes.size();
                nodes.push_back(NameNode{key, last ? int64_t(i) : -1, {}});
                nodes[node].kids.push_back(child);
            }
            if (last)
                break;
            node = child;
            begin = dot + 1;
        }
    }
    appendNameNode(nodes, 0, value, out);
    return true;
}

void writeObject(const iPropertyCollection& properties, std::string& out) {
    bool dotted = false;
    for (int32_t i = 0; !dotted && i < properties.getSize(); ++i)
        dotted = properties.get(i)->getName().view().find(u'.') != std::u16string_view::npos;
    if (dotted &&
        writeNestedObject(
            size_t(properties.getSize()),
            [&](size_t i) { return properties.get(int32_t(i))->getName().view(); },
            [&](size_t i, std::string& text) { writeValue(properties.get(int32_t(i))->getValue(), text); },
            out))
        return;
    out.push_back('{');
    for (int32_t i = 0; i < properties.getSize(); ++i) {
        if (i > 0)
            out.push_back(',');
        const iProperty* property = properties.get(i);
        appendQuoted(property->getName().view(), out);
        out.push_back(':');
        writeValue(property->getValue(), out);
    }
    out.push_back('}');
}

}  // namespace strand::cli
