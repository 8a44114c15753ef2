#include "host/Property.h"

#include <new>
#include <typeinfo>

#include "host/ArrayValues.h"
#include "host/PropertyCollection.h"

namespace strand {

CProperty::CProperty(const CProperty& other)
    : Object(),
      CountedObject(),
      PooledObject(),
      iProperty(),
      iPropertyInfo(),
      m_nameHash(other.m_nameHash),
      m_flags(other.m_flags),
      m_name(other.m_name) {
    makeInline(Value::Kind::Double);
    if (other.m_value)
        setValue(*other.m_value);
}

CProperty& CProperty::operator=(const CProperty& other) {
    if (this == &other)
        return *this;
    setNameRaw(other.m_name);
    if (other.m_value)
        setValue(*other.m_value);
    else
        m_value = nullptr;
    m_flags = other.m_flags;
    return *this;
}

CProperty::~CProperty() {
    m_value = nullptr;
    destroyInline();
}

void CProperty::makeInline(Value::Kind kind) {
    switch (kind) {
        case Value::Kind::Integer:
            new (&m_inline.integer) IntegerValue();
            break;
        case Value::Kind::Boolean:
            new (&m_inline.boolean) BooleanValue();
            break;
        default:
            kind = Value::Kind::Double;
            new (&m_inline.number) DoubleValue();
            break;
    }
    m_inlineKind = kind;
    inlineValue().addRef();
}

void CProperty::destroyInline() noexcept {
    switch (m_inlineKind) {
        case Value::Kind::Integer:
            m_inline.integer.~IntegerValue();
            break;
        case Value::Kind::Boolean:
            m_inline.boolean.~BooleanValue();
            break;
        default:
            m_inline.number.~DoubleValue();
            break;
    }
}

Value& CProperty::inlineValue() noexcept {
    switch (m_inlineKind) {
        case Value::Kind::Integer:
            return m_inline.integer;
        case Value::Kind::Boolean:
            return m_inline.boolean;
        default:
            return m_inline.number;
    }
}

Value& CProperty::useInline(Value::Kind kind) {
    if (m_inlineKind != kind) {
        // Let go of the old inline value before it is replaced.
        if (m_value.get() == &inlineValue())
            m_value = nullptr;
        destroyInline();
        makeInline(kind);
    }
    Value& value = inlineValue();
    if (m_value.get() != &value)
        m_value.reset(&value);
    return value;
}

const Value& CProperty::getRawValue() const {
    return m_value ? *m_value : static_cast<const Value&>(NullValue::instance());
}

Value& CProperty::getEditableRawValue() {
    ++m_changes;
    if (!m_value)
        m_value = makePtr<NullValue>();
    else if (valueShared())
        m_value = m_value->cloneValue();  // an adopted value someone else still holds stays theirs
    return *m_value;
}

void CProperty::setValue(const Value& value) {
    if (m_value.get() == &value)
        return;
    ++m_changes;
    // The common scalar stores change the value in place.
    const Value::Kind kind = value.kind();
    if (m_value && m_value->kind() == kind && !valueShared()) {
        switch (kind) {
            case Value::Kind::Double:
                static_cast<DoubleValue&>(*m_value).set(static_cast<const DoubleValue&>(value).get());
                return;
            case Value::Kind::Integer:
                static_cast<IntegerValue&>(*m_value).set(static_cast<const IntegerValue&>(value).get());
                return;
            case Value::Kind::Boolean:
                static_cast<BooleanValue&>(*m_value).set(static_cast<const BooleanValue&>(value).get());
                return;
            case Value::Kind::String:
                static_cast<StringValue&>(*m_value).get() = static_cast<const StringValue&>(value).get();
                return;
            default:
                break;
        }
    }
    switch (kind) {
        case Value::Kind::Double:
            static_cast<DoubleValue&>(useInline(kind)).set(static_cast<const DoubleValue&>(value).get());
            return;
        case Value::Kind::Integer:
            static_cast<IntegerValue&>(useInline(kind)).set(static_cast<const IntegerValue&>(value).get());
            return;
        case Value::Kind::Boolean:
            static_cast<BooleanValue&>(useInline(kind)).set(static_cast<const BooleanValue&>(value).get());
            return;
        default:
            break;
    }
    if (m_value && !valueShared() && typeid(*m_value) == typeid(value)) {
        m_value->assignFrom(value);
        return;
    }
    m_value = value.cloneValue();
}

void CProperty::setDouble(double number) {
    ++m_changes;
    // The common store of a number into a number: the inline value, no virtual call.
    if (m_inlineKind == Value::Kind::Double && m_value.get() == &m_inline.number) {
        m_inline.number.set(number);
        return;
    }
    if (auto* own = ownValue<DoubleValue>(Value::Kind::Double)) {
        own->set(number);
        return;
    }
    static_cast<DoubleValue&>(useInline(Value::Kind::Double)).set(number);
}

void CProperty::setInteger(int64_t number) {
    ++m_changes;
    if (m_inlineKind == Value::Kind::Integer && m_value.get() == &m_inline.integer) {
        m_inline.integer.set(number);
        return;
    }
    if (auto* own = ownValue<IntegerValue>(Value::Kind::Integer)) {
        own->set(number);
        return;
    }
    static_cast<IntegerValue&>(useInline(Value::Kind::Integer)).set(number);
}

void CProperty::setText(std::u16string_view text) {
    ++m_changes;
    // The text value is reused when only this property holds it, so that refilling a property
    // record after record keeps its storage.
    if (auto* own = ownValue<StringValue>(Value::Kind::String)) {
        own->get().assign(text);
        return;
    }
    m_value = makePtr<StringValue>(String(text));
}

std::u16string& CProperty::editText() {
    ++m_changes;
    StringValue* own = ownValue<StringValue>(Value::Kind::String);
    if (!own) {
        m_value = makePtr<StringValue>();
        own = static_cast<StringValue*>(m_value.get());
    }
    return own->get().mutableStr();
}

void CProperty::setValue(const char16_t* text) {
    ++m_changes;
    if (auto* own = ownValue<StringValue>(Value::Kind::String)) {
        own->set(String(text));
        return;
    }
    m_value = makePtr<StringValue>(String(text));
}

void CProperty::adoptValue(Ptr<Value> value) {
    ++m_changes;
    m_value = std::move(value);
}

void CProperty::appendValue(const Value& value) {
    ++m_changes;
    if (valueShared() && m_value->asArray())
        m_value = m_value->cloneValue();  // the adopted array someone else holds stays theirs
    if (!m_value || m_value->kind() == Value::Kind::Null) {
        setValue(value);
        return;
    }
    Ptr<ArrayValue> array;
    if (ArrayValue* own = m_value->asArray()) {
        array.reset(own);
    } else {
        array = ArrayValue::newFor(*m_value);
        array->appendElement(*m_value);
        m_value = array;
    }
    // Each element goes in unchanged: an array that cannot hold it gives way to a wider one.
    auto append = [&](const Value& element) {
        if (Ptr<ArrayValue> wider =
                array->storeExactly(ArrayValue::Store::Insert, array->getSize(), element)) {
            array = wider;
            m_value = wider;
        }
    };
    if (const ArrayValue* items = value.asArray()) {
        // Appending an array to itself reads from a copy.
        Ptr<Value> copy = items == array.get() ? value.cloneValue() : nullptr;
        const ArrayValue* source = copy ? copy->asArray() : items;
        for (int32_t i = 0; i < source->getSize(); ++i)
            append(*source->getElement(i));
        return;
    }
    append(value);
}

void CProperty::appendValue(const char16_t* text) {
    appendValue(StringValue(String(text)));
}

void CProperty::assignFrom(const iProperty* other) {
    if (!other || other == this)
        return;
    if (const auto* property = dynamic_cast<const CProperty*>(other)) {
        copyFrom(property);
        return;
    }
    setValue(other->getRawValue());
}

void CProperty::copyFrom(const CProperty* other) {
    if (!other || other == this)
        return;
    ++m_changes;
    if (other->m_value)
        setValue(*other->m_value);
    else
        m_value = nullptr;
    m_flags = other->m_flags;
}

void CProperty::SetName(const String& name) {
    if (m_parent) {
        m_parent->rename(m_name, name);
        return;
    }
    setNameRaw(name);
}

void CProperty::onDeactivate() {
    setNameRaw(String());
    m_value = nullptr;
    m_flags = 0;
    m_parent = nullptr;
}

}  // namespace strand
