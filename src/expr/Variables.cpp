#include "expr/Variables.h"

#include "host/ArrayValues.h"
#include "host/Util.h"

using strand::ExpressionContext;
using strand::iProperty;
using strand::iPropertyCollection;
using strand::String;
using strand::Value;

namespace {

// A request to calculate a property is repeated while the host answers that it is still working, but
// not without end.
constexpr int kMaxCalculationRounds = 10000;

const char16_t* scopeName(int32_t scope) {
    switch (scope) {
        case xrExpressionVariableInterface::Global:
            return u"global";
        case xrExpressionVariableInterface::Local:
            return u"local";
        case xrExpressionVariableInterface::ExpressionLocal:
            return u"expression local";
        default:
            return u"unknown";
    }
}

const char16_t* collectionName(int32_t scope) {
    switch (scope) {
        case xrExpressionVariableInterface::Local:
            return u"data stream";
        case xrExpressionVariableInterface::ExpressionLocal:
            return u"local properties";
        default:
            return u"global properties";
    }
}

const String& emptyText() {
    static const String empty(u"");
    return empty;
}

}  // namespace

xrExpressionVariableImp::xrExpressionVariableImp(iPropertyCollection* globals, strand::iContext* host,
                                                 int32_t scope, String name)
    : m_globals(globals),
      m_host(host),
      m_scope(scope),
      m_name(std::move(name)),
      m_nameHash(m_name.hashIgnoreCase()) {}

void xrExpressionVariableImp::SetName(const String& name) {
    if (m_name != name) {
        m_name = name;
        m_nameHash = m_name.hashIgnoreCase();
        m_property = nullptr;
        m_hint = -1;
    }
}

iPropertyCollection* xrExpressionVariableImp::GetPropertyList(ExpressionContext& ctx) {
    iPropertyCollection* list = nullptr;
    switch (m_scope) {
        case Global:
            list = m_globals.get();
            break;
        case Local:
            list = ctx.getPropertyList();
            break;
        case ExpressionLocal:
            list = ctx.getExpressionPropertyList(true);
            break;
        default:
            break;
    }
    if (list)
        return list;
    throw strand::Exception(
        u"Could not get property list for %ls variable '%ls'.  The most common reason for this error is "
        u"attempting "
        u"to access a local variable from within an initialize or finalize expression.  Only global "
        u"variables can "
        u"be accessed from within an initialize or finalize expression.",
        scopeName(m_scope), m_name);
}

iProperty* xrExpressionVariableImp::calculate(ExpressionContext& ctx, iPropertyCollection* list) {
    strand::iContext* host = ctx.getContext() ? ctx.getContext() : m_host;
    strand::iDataRecord* record = ctx.getDataRecord();
    if (!host || !host->canCalculateProperty(record, m_name))
        return nullptr;
    strand::CalculationState state = strand::CalculationState::Pending;
    for (int round = 0; round < kMaxCalculationRounds && state == strand::CalculationState::Pending;
         ++round) {
        state = host->calculateProperty(record, m_name);
    }
    iProperty* found = state == strand::CalculationState::Done ? lookup(list) : nullptr;
    if (!found)
        throw xrExpressionUnboundException(m_name, unboundKind(), true);
    m_calculated = true;
    return found;
}

double xrExpressionVariableImp::readDouble(ExpressionContext& ctx) {
    iProperty* property = bind(ctx);
    double number;
    if (property == m_plainProperty && m_plainProperty->inlineDouble(number))
        return number;
    const Value& value = property->getValue();
    if (value.kind() == Value::Kind::Double)
        return static_cast<const strand::DoubleValue&>(value).get();
    return ctx.strictNumbers() ? strictDouble(value) : value.getDouble();
}

void xrExpressionVariableImp::writeDouble(ExpressionContext& ctx, double value) {
    iProperty* property = bound();
    if (property || (property = quickBind(ctx)))
        property->setDouble(value);
    else
        storeDouble(ctx, value);
}

iProperty* xrExpressionVariableImp::rebind(ExpressionContext& ctx) {
    iPropertyCollection* list = propertyList(ctx);
    iProperty* property = nullptr;
    try {
        if (m_recalculate && m_calculated)
            list->remove(m_name);
        m_recalculate = false;
        property = lookup(list);
        if (!property && m_scope == Local)
            property = calculate(ctx, list);
    } catch (const strand::Exception& e) {
        throw strand::Exception(
            u"The expression tried to calculate the property \"%ls\"  but the calculation failed: %ls",
            m_name, e.getErrorMessageBlock());
    }
    if (!property)
        throw xrExpressionUnboundException(m_name, unboundKind(), false);
    bindTo(property);
    return property;
}

int32_t xrExpressionVariableImp::unboundKind() const {
    if (m_scope == Local)
        return xrExpressionUnboundException::DataRecord;
    if (m_scope == ExpressionLocal)
        return xrExpressionUnboundException::ExpressionLocal;
    return xrExpressionUnboundException::Global;
}

iProperty* xrExpressionVariableImp::Find(ExpressionContext& ctx) {
    if (iProperty* property = bound())
        return property;
    iProperty* property = lookup(propertyList(ctx));
    if (property)
        bindTo(property);
    return property;
}

const String& xrExpressionVariableImp::GetString(ExpressionContext& ctx) {
    const Value& value = bind(ctx)->getValue();
    if (value.kind() == Value::Kind::String) {
        const String& text = static_cast<const strand::StringValue&>(value).get();
        return text.isNull() ? emptyText() : text;
    }
    value.getText(m_text);
    return m_text.isNull() ? emptyText() : m_text;
}

double xrExpressionVariableImp::strictDouble(const Value& value) const {
    switch (value.kind()) {
        case Value::Kind::Null:
            throw strand::Exception(u"The property '%ls' is read as a number but holds no value", m_name);
        case Value::Kind::String: {
            const String& text = static_cast<const strand::StringValue&>(value).get();
            if (std::optional<double> number = strand::util::parseDouble(text.view()))
                return *number;
            throw strand::Exception(strand::formatCut(
                u"The property '%ls' is read as a number but '%ls' is not a number", m_name, text));
        }
        default:
            return value.getDouble();
    }
}

void xrExpressionVariableImp::refuseByteArraySlow() const {
    throw strand::Exception(u"Cannot assign a byte array value to an expression variable");
}

iProperty* xrExpressionVariableImp::propertyForStore(ExpressionContext& ctx, const Value& value) {
    refuseByteArray(value);
    if (iProperty* property = bound())
        return property;
    iPropertyCollection* list = propertyList(ctx);
    if (iProperty* existing = lookup(list)) {
        bindTo(existing);
        return existing;
    }
    bindTo(list->defineMissing(m_name, value, strand::CPropertyCollection::kScriptCreated));
    return nullptr;
}

void xrExpressionVariableImp::storeDouble(ExpressionContext& ctx, double value) {
    m_double.set(value);
    if (iProperty* property = propertyForStore(ctx, m_double))
        property->setDouble(value);
}

void xrExpressionVariableImp::SetString(ExpressionContext& ctx, const String& value) {
    m_string.set(value);
    if (iProperty* property = propertyForStore(ctx, m_string))
        property->setValue(m_string);
}

void xrExpressionVariableImp::SetValue(ExpressionContext& ctx, const Value& value) {
    if (iProperty* property = propertyForStore(ctx, value))
        property->setValue(value);
}

bool xrExpressionVariableImp::AppendString(ExpressionContext& ctx, const String& text) {
    iProperty* property = Find(ctx);
    if (!property) {
        SetString(ctx, text);
        return true;
    }
    if (property->getValue().kind() == Value::Kind::String) {
        const String& current = static_cast<const strand::StringValue&>(property->getValue()).get();
        if (current.length() + text.length() > strand::kMaxTextLength)
            return false;
        static_cast<strand::StringValue&>(property->getEditableValue()).get().append(text.view());
        return true;
    }
    String joined;
    property->getValue().getText(joined);
    if (joined.length() + text.length() > strand::kMaxTextLength)
        return false;
    joined.append(text.view());
    m_string.set(std::move(joined));
    property->setValue(m_string);
    return true;
}

void xrExpressionVariableImp::AppendValue(ExpressionContext& ctx, const Value& value) {
    refuseByteArray(value);
    if (iProperty* property = Find(ctx)) {
        property->appendValue(value);
        return;
    }
    SetValue(ctx, value);
}

bool xrExpressionVariableImp::IsDefined(ExpressionContext& ctx) {
    iProperty* property = Find(ctx);
    return property && !property->isEmpty();
}

int32_t xrExpressionVariableImp::GetNumValues(ExpressionContext& ctx) {
    return bind(ctx)->getValue().getNumValues();
}

void xrExpressionVariableImp::InsertValue(ExpressionContext& ctx, const Value& value, int64_t position) {
    iProperty* property = bind(ctx);
    if (position < 1) {
        throw strand::Exception(u"Index %lld cannot be less than 1 for INSERTVALUE into array %ls", position,
                                m_name);
    }
    const int64_t count = property->getValue().getNumValues();
    if (position > count + 1) {
        throw strand::Exception(
            u"Index \"%lld\" is out of range for property %ls, which has %lld values. Use NUMVALUES to get "
            u"the maximum "
            u"of the range",
            position, m_name, count);
    }
    strand::ArrayValue* array = property->getEditableValue().asArray();
    strand::Ptr<strand::ArrayValue> made;
    if (!array) {
        made = strand::ArrayValue::newFor(count ? property->getValue() : value);
        made->assignFrom(property->getValue());
        array = made.get();
    }
    if (strand::Ptr<strand::ArrayValue> wider =
            array->storeExactly(strand::ArrayValue::Store::Insert, int32_t(position - 1), value))
        made = wider;
    if (made)
        property->adoptValue(made);
}

void xrExpressionVariableImp::RemoveValue(ExpressionContext& ctx, int64_t position) {
    iProperty* property = bind(ctx);
    if (position < 1)
        throw strand::Exception(u"Index %lld cannot be less than 1 for REMOVEVALUE", position);
    const int64_t count = property->getValue().getNumValues();
    if (position > count) {
        throw strand::Exception(
            u"Index %lld is out of range for property value of %ls: use NUMVALUES to get the maximum of the "
            u"range",
            position, m_name);
    }
    if (strand::ArrayValue* array = property->getEditableValue().asArray()) {
        array->removeElement(int32_t(position - 1));
        return;
    }
    // The one value of a scalar: the property keeps no value.
    property->adoptValue(strand::makePtr<strand::NullValue>());
}

void xrExpressionVariableImp::Resize(ExpressionContext& ctx, int64_t size) {
    strand::ArrayValue::checkSize(size);
    iProperty* property = Find(ctx);
    if (!property) {
        strand::ValueArrayValue empty;
        empty.resize(int32_t(size));
        SetValue(ctx, empty);
        return;
    }
    if (strand::ArrayValue* array = property->getEditableValue().asArray()) {
        array->resize(int32_t(size));
        return;
    }
    strand::Ptr<strand::ArrayValue> array = strand::ArrayValue::newFor(property->getValue());
    array->assignFrom(property->getValue());
    array->resize(int32_t(size));
    property->adoptValue(array);
}

void xrExpressionVariableImp::Rename(ExpressionContext& ctx, const String& newName) {
    iPropertyCollection* list = propertyList(ctx);
    list->rename(m_name, newName);
    Invalidate();
}

xrExpressionIndexedVariableImp::xrExpressionIndexedVariableImp(xrVariableRef base, xrNodeRef index)
    : m_base(std::move(base)), m_index(std::move(index)) {}

void xrExpressionIndexedVariableImp::Reset() {
    m_base->Reset();
    m_index->Reset();
}

int64_t xrExpressionIndexedVariableImp::positionOf(double index) {
    // Script indices count from 1; 2.9 addresses the second value and 0.5 the first. An index outside
    // the 32-bit range (NaN and the infinities among them) is -2147483648, as every truncated script
    // number is, and so is shown in the range message.
    if (!(index > -2147483649.0 && index < 2147483648.0))
        return int64_t(INT32_MIN) - 1;
    return int64_t(index - 1.0);
}

strand::Exception xrExpressionIndexedVariableImp::indexError(const char16_t* text) const {
    return strand::Exception(String(text));
}

iProperty* xrExpressionIndexedVariableImp::locate(ExpressionContext& ctx, int64_t& position, bool forStore) {
    position = positionOf(m_index->AsDouble(ctx));
    auto* plain = dynamic_cast<xrExpressionVariableImp*>(m_base.get());
    iProperty* property = plain ? plain->Find(ctx) : nullptr;
    // Reads leave the value as it is (a property only read goes back out as it came in).
    const strand::ArrayValue* array = property ? property->getValue().asArray() : nullptr;
    if (!array) {
        if (forStore && property)
            throw indexError(u"xrExpressionIndexedVariableImp::SetRaw  Property value must be an Array");
        throw m_index->error(
            u"The vector '%ls' is invalid or does not exist on the %ls.You can prepare a vector for use by "
            u"using the "
            u"RESIZE function.",
            m_base->GetName(), collectionName(m_base->GetScope()));
    }
    if (position < 0 || position >= array->getSize()) {
        throw m_index->error(u"Variable '%ls': Index (%lld) out of range [1-%d].", m_base->GetName(),
                             position + 1, array->getSize());
    }
    return property;
}

const strand::ArrayValue& xrExpressionIndexedVariableImp::element(ExpressionContext& ctx, int64_t& position) {
    return *locate(ctx, position, false)->getValue().asArray();
}

double xrExpressionIndexedVariableImp::GetDouble(ExpressionContext& ctx) {
    int64_t p;
    const strand::ArrayValue& array = element(ctx, p);
    return array.getElementDouble(int32_t(p));
}

bool xrExpressionIndexedVariableImp::GetBool(ExpressionContext& ctx) {
    int64_t p;
    const strand::ArrayValue& array = element(ctx, p);
    return array.getElementBool(int32_t(p));
}

const String& xrExpressionIndexedVariableImp::GetString(ExpressionContext& ctx) {
    int64_t p;
    const strand::ArrayValue& array = element(ctx, p);
    array.getElementText(int32_t(p), m_text);
    return m_text.isNull() ? emptyText() : m_text;
}

const Value& xrExpressionIndexedVariableImp::GetValue(ExpressionContext& ctx) {
    int64_t p;
    const strand::ArrayValue& array = element(ctx, p);
    m_element = array.getElement(int32_t(p));
    return *m_element;
}

void xrExpressionIndexedVariableImp::SetDouble(ExpressionContext& ctx, double value) {
    SetValue(ctx, strand::DoubleValue(value));
}

void xrExpressionIndexedVariableImp::SetString(ExpressionContext& ctx, const String& value) {
    SetValue(ctx, strand::StringValue(value));
}

void xrExpressionIndexedVariableImp::SetValue(ExpressionContext& ctx, const Value& value) {
    int64_t p;
    iProperty* property = locate(ctx, p, true);
    strand::ArrayValue& array = *property->getEditableValue().asArray();
    // A value the elements cannot hold unchanged changes the array's class, as a store changes the
    // class of a scalar.
    if (strand::Ptr<strand::ArrayValue> wider =
            array.storeExactly(strand::ArrayValue::Store::Set, int32_t(p), value))
        property->adoptValue(wider);
}

bool xrExpressionIndexedVariableImp::AppendString(ExpressionContext&, const String&) {
    throw indexError(u"Cannot append a value to an indexed value.");
}

void xrExpressionIndexedVariableImp::AppendValue(ExpressionContext&, const Value&) {
    throw indexError(u"Cannot append a value to an indexed value.");
}

bool xrExpressionIndexedVariableImp::IsDefined(ExpressionContext& ctx) {
    auto* plain = dynamic_cast<xrExpressionVariableImp*>(m_base.get());
    iProperty* property = plain ? plain->Find(ctx) : nullptr;
    const strand::ArrayValue* array = property ? property->getValue().asArray() : nullptr;
    if (!array)
        return false;
    const int64_t p = positionOf(m_index->AsDouble(ctx));
    return p >= 0 && p < array->getSize();
}

int32_t xrExpressionIndexedVariableImp::GetNumValues(ExpressionContext& ctx) {
    return IsDefined(ctx) ? 1 : 0;
}

void xrExpressionIndexedVariableImp::InsertValue(ExpressionContext&, const Value&, int64_t) {
    throw indexError(u"Cannot insert a value to an indexed value.");
}

void xrExpressionIndexedVariableImp::RemoveValue(ExpressionContext&, int64_t) {
    throw indexError(u"Cannot remove a value from an indexed value.");
}

void xrExpressionIndexedVariableImp::Resize(ExpressionContext&, int64_t) {
    throw indexError(u"Cannot resize an indexed value.");
}

void xrExpressionIndexedVariableImp::Rename(ExpressionContext&, const String&) {
    throw indexError(u"Cannot rename an indexed variable.");
}

xrExpressionVariableFactory::xrExpressionVariableFactory(strand::iContext* context)
    : m_context(context), m_variables(makeRef<xrVariableList>()) {
    if (context)
        m_globals.reset(context->getGlobalProperties());
}

xrVariableRef xrExpressionVariableFactory::GetVariable(const String& name, int32_t scope) {
    // Tables in the order data record, expression local, global.
    Table& table = m_tables[scope == xrExpressionVariableInterface::Local             ? 0
                            : scope == xrExpressionVariableInterface::ExpressionLocal ? 1
                                                                                      : 2];
    auto it = table.find(name);
    if (it != table.end())
        return it->second;
    xrVariableRef variable = makeRef<xrExpressionVariableImp>(m_globals.get(), m_context, scope, name);
    table.emplace(name, variable);
    m_variables->items.push_back(variable);
    return variable;
}
