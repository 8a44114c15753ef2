#include "host/Property.h"

#include <typeinfo>

#include "host/ArrayValues.h"
#include "host/PropertyCollection.h"

namespace strand {

namespace {

// The array class that holds several values of a scalar's class.
Ptr<ArrayValue> arrayFor(const Value& scalar) {
    switch (scalar.kind()) {
        case Value::Kind::String:
            return makePtr<StringArrayValue>();
        case Value::Kind::Double:
            return makePtr<DoubleArrayValue>();
        case Value::Kind::Integer:
            return makePtr<IntegerArrayValue>();
        case Value::Kind::Boolean:
            return makePtr<BooleanArrayValue>();
        default:
            return makePtr<ValueArrayValue>();
    }
}

}  // namespace

CProperty::CProperty(const CProperty& other)
    : Object(),
      CountedObject(),
      PooledObject(),
      iProperty(),
      iPropertyInfo(),
      m_name(other.m_name),
      m_value(other.m_value ? other.m_value->cloneValue() : nullptr),
      m_flags(other.m_flags) {}

CProperty& CProperty::operator=(const CProperty& other) {
    if (this == &other)
        return *this;
    m_name = other.m_name;
    m_value = other.m_value ? other.m_value->cloneValue() : nullptr;
    m_flags = other.m_flags;
    return *this;
}

const Value& CProperty::getRawValue() const {
    return m_value ? *m_value : static_cast<const Value&>(NullValue::instance());
}

Value& CProperty::getEditableRawValue() {
    if (!m_value)
        m_value = makePtr<NullValue>();
    return *m_value;
}

void CProperty::setValue(const Value& value) {
    if (m_value.get() == &value)
        return;
    if (m_value && typeid(*m_value) == typeid(value)) {
        m_value->assignFrom(value);
        return;
    }
    m_value = value.cloneValue();
}

void CProperty::setValue(const char16_t* text) {
    if (auto* s = dynamic_cast<StringValue*>(m_value.get())) {
        s->set(String(text));
        return;
    }
    m_value = makePtr<StringValue>(String(text));
}

void CProperty::adoptValue(Ptr<Value> value) {
    m_value = std::move(value);
}

void CProperty::appendValue(const Value& value) {
    if (ArrayValue* array = m_value ? m_value->asArray() : nullptr) {
        if (const ArrayValue* items = value.asArray()) {
            // Appending an array to itself reads from a copy.
            Ptr<Value> copy = items == array ? value.cloneValue() : nullptr;
            const ArrayValue* source = copy ? copy->asArray() : items;
            for (int32_t i = 0; i < source->getSize(); ++i)
                array->appendElement(*source->getElement(i));
            return;
        }
        array->appendElement(value);
        return;
    }
    if (!m_value || m_value->kind() == Value::Kind::Null) {
        setValue(value);
        return;
    }
    Ptr<ArrayValue> array = arrayFor(*m_value);
    array->appendElement(*m_value);
    if (const ArrayValue* items = value.asArray()) {
        for (int32_t i = 0; i < items->getSize(); ++i)
            array->appendElement(*items->getElement(i));
    } else {
        array->appendElement(value);
    }
    m_value = array;
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
    m_value = other->m_value ? other->m_value->cloneValue() : nullptr;
    m_flags = other->m_flags;
}

void CProperty::SetName(const String& name) {
    if (m_parent) {
        m_parent->rename(m_name, name);
        return;
    }
    m_name = name;
}

void CProperty::onDeactivate() {
    m_name = String();
    m_value = nullptr;
    m_flags = 0;
    m_parent = nullptr;
}

}  // namespace strand
