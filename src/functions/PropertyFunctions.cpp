#include "functions/PropertyFunctions.h"

#include <cmath>
#include <unordered_map>

#include "expr/LiteralNodes.h"
#include "expr/VariableNodes.h"
#include "functions/FunctionNode.h"
#include "host/ArrayValues.h"
#include "host/BitsetValue.h"
#include "host/DataRecord.h"
#include "host/Util.h"
#include "host/ValueUtil.h"
#include "host/xrRegex.h"

using strand::Array;
using strand::ExpressionContext;
using strand::iPropertyCollection;
using strand::Ptr;
using strand::String;
using strand::Value;

namespace {

// The data record's properties, or the function's own no-data message.
iPropertyCollection& recordList(ExpressionContext& ctx, const char16_t* noData) {
    if (iPropertyCollection* list = ctx.getPropertyList())
        return *list;
    throw strand::Exception(noData);
}

// Adds the names a names argument gives: each element of an array, else the value's text.
void addNames(const Value& value, Array<String>& names) {
    if (const strand::ArrayValue* array = value.asArray()) {
        for (int32_t i = 0; i < array->getSize(); ++i) {
            String name;
            array->getElementText(i, name);
            names.add(std::move(name));
        }
        return;
    }
    if (value.getNumValues() > 0)
        names.add(value.toString());
}

// A node that reads the global properties: those of the parse (as `@` variables do), else the
// component's.
template <typename Base>
class xrGlobalsFunctionExprImp : public xrFunctionExprImp<Base> {
  public:
    xrGlobalsFunctionExprImp(int32_t line, xrExpressionVariableFactory& variables,
                             const xrArguments& arguments)
        : xrFunctionExprImp<Base>(line, arguments) {
        if (strand::iContext* context = variables.GetContext())
            m_globals.reset(context->getGlobalProperties());
    }

  protected:
    iPropertyCollection& globals(ExpressionContext& ctx, const char16_t* noData) const {
        if (iPropertyCollection* list = m_globals ? m_globals.get() : ctx.getGlobalProperties())
            return *list;
        throw strand::Exception(noData);
    }

  private:
    Ptr<iPropertyCollection> m_globals;
};

// The last regular expression a call compiled, compiled again only when the pattern changes. A pattern
// that fails to compile is not remembered, so that it fails again the next time.
class PatternCache {
  public:
    const strand::xrRegex& regex(const xrValueExprImp& node, const String& pattern) {
        if (m_compiled && pattern == m_pattern)
            return m_regex;
        m_compiled = false;
        try {
            m_regex.SetExpression(pattern, strand::xrRegex::IgnoreCase);
        } catch (const strand::Exception& e) {
            throw node.error(u"%ls", e.getMessage());
        }
        m_pattern = pattern;
        m_compiled = true;
        return m_regex;
    }

  private:
    strand::xrRegex m_regex;
    String m_pattern;
    bool m_compiled = false;
};

// The names of the properties whose names the pattern finds (or does not find), first to last.
Array<String> namesMatching(const iPropertyCollection& list, const strand::xrRegex& regex, bool matching) {
    Array<String> names;
    const int32_t size = list.getSize();
    for (int32_t i = 0; i < size; ++i) {
        const String& name = list.get(i)->getName();
        if (regex.IsMatch(name.view()) == matching)
            names.add(name);
    }
    return names;
}

// remove(name ...)
// Bindings to removed properties are dropped by the collections' change count.
class xrRemoveExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        Array<String> names;
        for (size_t i = 0; i < argCount(); ++i)
            addNames(valueArg(ctx, i), names);
        iPropertyCollection& list = recordList(ctx, u"remove: No data is available.");
        for (const String& name : names)
            list.remove(name);
    }
};

// removeglobal(name ...)
class xrRemoveGlobalExprImp final : public xrGlobalsFunctionExprImp<xrVoidExprImp> {
  public:
    using xrGlobalsFunctionExprImp::xrGlobalsFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        Array<String> names;
        for (size_t i = 0; i < this->argCount(); ++i)
            addNames(this->valueArg(ctx, i), names);
        iPropertyCollection& list = globals(ctx, u"remove: Global data is not available.");
        for (const String& name : names)
            list.remove(name);
    }
};

// rremove(pattern), rkeep(pattern): the record keeps the properties whose names the pattern does not
// find (rremove) or does find (rkeep), in one pass however many there are.
template <bool KeepMatching>
class xrRegexRemoveExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String& pattern = textArg(ctx, 0);
        iPropertyCollection& list = recordList(
            ctx, KeepMatching ? u"rkeep: No data is available." : u"rremove: No data is available.");
        const Array<String> kept = namesMatching(list, m_cache.regex(*this, pattern), KeepMatching);
        if (kept.getSize() != list.getSize())
            list.keep(kept, false);
    }

  private:
    PatternCache m_cache;
};

// keep(name ...)
class xrKeepExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        Array<String> names;
        for (size_t i = 0; i < argCount(); ++i)
            addNames(valueArg(ctx, i), names);
        Array<String> kept;
        for (String& name : names) {
            if (!name.isEmpty())
                kept.add(std::move(name));
        }
        recordList(ctx, u"keep: No data is available.").keep(kept, false);
    }
};

// removeall()
class xrRemoveAllExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        recordList(ctx, u"removeall: No data is available.").removeAll();
    }
};

// rename(old, new)
class xrRenameExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String from = textArg(ctx, 0);
        const String& to = textArg(ctx, 1);
        recordList(ctx, u"rename: No data is available.").rename(from, to);
    }
};

// renameglobal(old, new)
class xrRenameGlobalExprImp final : public xrGlobalsFunctionExprImp<xrVoidExprImp> {
  public:
    using xrGlobalsFunctionExprImp::xrGlobalsFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String from = textArg(ctx, 0);
        const String& to = textArg(ctx, 1);
        globals(ctx, u"rename: No data is available.").rename(from, to);
    }
};

// The value class a changepropertytype type name names; null for none.
Ptr<Value> newValueOfType(const String& type) {
    using Maker = Ptr<Value> (*)();
    static const struct {
        const char16_t* name;
        Maker make;
    } kTypes[] = {
        {u"bitfingerprint", [] { return Ptr<Value>(strand::makePtr<strand::BitFingerprintValue>()); }},
        {u"longfingerprint", [] { return Ptr<Value>(strand::makePtr<strand::IntegerFingerprintValue>()); }},
        {u"doublefingerprint", [] { return Ptr<Value>(strand::makePtr<strand::DoubleFingerprintValue>()); }},
        {u"stringfingerprint", [] { return Ptr<Value>(strand::makePtr<strand::StringFingerprintValue>()); }},
        {u"longarray", [] { return Ptr<Value>(strand::makePtr<strand::IntegerArrayValue>()); }},
        {u"doublearray", [] { return Ptr<Value>(strand::makePtr<strand::DoubleArrayValue>()); }},
        {u"stringarray", [] { return Ptr<Value>(strand::makePtr<strand::StringArrayValue>()); }},
        {u"booleanarray", [] { return Ptr<Value>(strand::makePtr<strand::BooleanArrayValue>()); }},
        {u"bytearray", [] { return Ptr<Value>(strand::makePtr<strand::ByteArrayValue>()); }},
        {u"long", [] { return Ptr<Value>(strand::makePtr<strand::IntegerValue>()); }},
        {u"int", [] { return Ptr<Value>(strand::makePtr<strand::IntegerValue>()); }},
        {u"integer", [] { return Ptr<Value>(strand::makePtr<strand::IntegerValue>()); }},
        {u"double", [] { return Ptr<Value>(strand::makePtr<strand::DoubleValue>()); }},
        {u"boolean", [] { return Ptr<Value>(strand::makePtr<strand::BooleanValue>()); }},
        {u"bool", [] { return Ptr<Value>(strand::makePtr<strand::BooleanValue>()); }},
        {u"string", [] { return Ptr<Value>(strand::makePtr<strand::StringValue>()); }},
    };
    for (const auto& entry : kTypes) {
        if (type.equalsIgnoreCase(std::u16string_view(entry.name)))
            return entry.make();
    }
    // Other classes registered with the host count only when they are values: a collection or a
    // parameter made in a value's place would be used as one.
    const std::string tag = type.toUtf8();
    if (type.isEmpty() || !strand::Class::findClass(std::string_view(tag)))
        return nullptr;
    Ptr<strand::CountedObject> made = strand::newInstance(std::string_view(tag));
    if (auto* value = dynamic_cast<Value*>(made.get()))
        return Ptr<Value>(value);
    return nullptr;
}

// changepropertytype(property, type)
class xrChangePropertyTypeExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        xrExpressionVariableInterface* variable = variableArg(
            ctx, 0,
            u"The first parameter of the 'changepropertytype' function must be a property reference.");
        const String& type = textArg(ctx, 1);
        Ptr<Value> value = newValueOfType(type);
        if (!value)
            throw strand::Exception(u"Did not recognize property type \"%ls\"", type);
        value->assignFrom(variable->GetValue(ctx));
        variable->SetValue(ctx, *value);
    }
};

// getpropertytype(property [, missing])
// With a second argument, a property that does not exist gives that text instead of failing.
class xrGetPropertyTypeExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        xrExpressionVariableInterface* variable = variableArg(
            ctx, 0, u"The parameter for the 'getpropertytype' function must be a property reference.");
        const Value* value = nullptr;
        try {
            value = &variable->GetValue(ctx);
        } catch (xrExpressionUnboundException& e) {
            if (!hasArg(1)) {
                e.setLine(GetLineNum());
                throw;
            }
            m_value.set(textArg(ctx, 1));
            return m_value.get();
        }
        m_value.set(String(std::u16string_view(
            value->kind() == Value::Kind::Bitset ? u"BitFingerprint" : value->getClassName())));
        return m_value.get();
    }
};

// numvalues(property or value)
class xrNumValuesExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        if (xrExpressionVariableInterface* variable = arg(0).GetVariable(ctx))
            return xrReadAtLine(GetLineNum(), [&] { return double(variable->GetNumValues(ctx)); });
        if (arg(0).IsValue())
            return valueArg(ctx, 0).getNumValues();
        throw error(
            u"The first parameter to the 'numvalues' function must be a property reference or a value.");
    }
};

// A value argument that stays as read while later arguments and the store run: a property's own
// value is copied, since the store may replace it.
class ValueHold {
  public:
    const Value& hold(const xrValueExprImp& node, const Value& value) {
        if (!node.IsProperty())
            return value;
        m_copy = value.cloneValue();
        return *m_copy;
    }

  private:
    Ptr<Value> m_copy;
};

// append(property, value)
class xrAppendExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        xrExpressionVariableInterface* variable = variableArg(
            ctx, 0, u"The first parameter to the 'append' function must be a property reference.");
        const Value& value = m_hold.hold(arg(1), valueArg(ctx, 1));
        try {
            variable->AppendValue(ctx, value);
        } catch (const xrExpressionUnboundException&) {
            throw;
        } catch (const strand::Exception& e) {
            throw error(u"append: %ls", e.getMessage());
        }
    }

    ValueHold m_hold;
};

// insertvalue(property, value, index)
class xrInsertValueExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        xrExpressionVariableInterface* variable = variableArg(
            ctx, 0,
            u"The first parameter to the 'insertvalue' function must be a property reference. (The second "
            u"parameter is the value to insert, and the third the index to insert at.)");
        const Value& value = m_hold.hold(arg(1), valueArg(ctx, 1));
        variable->InsertValue(ctx, value, intArg(ctx, 2));
    }

    ValueHold m_hold;
};

// removevalue(property, index)
class xrRemoveValueExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        xrExpressionVariableInterface* variable = variableArg(
            ctx, 0, u"The first parameter to the 'removevalue' function must be a property reference.");
        variable->RemoveValue(ctx, intArg(ctx, 1));
    }
};

// clear(property): the value keeps its class and becomes its empty state.
class xrClearExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        xrExpressionVariableInterface* variable =
            variableArg(ctx, 0, u"The first parameter to the 'clear' function must be a property reference.");
        Ptr<Value> empty = variable->GetValue(ctx).cloneValue();
        empty->clear();
        variable->SetValue(ctx, *empty);
    }
};

// resize(property, count)
class xrResizeExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        xrExpressionVariableInterface* variable = variableArg(
            ctx, 0, u"The first parameter to the 'resize' function must be a property reference.");
        const double count = numberArg(ctx, 1);
        // Counts are refused before anything is allocated; a count beyond 64 bits (or NaN) is shown as
        // the most negative 64-bit number, which no array can have.
        const int64_t size = std::isfinite(count) && std::fabs(count) < 9.0e18 ? int64_t(count) : INT64_MIN;
        try {
            variable->Resize(ctx, size);
        } catch (const strand::Exception& e) {
            throw error(u"resize: %ls", e.getMessage());
        }
    }
};

// contains(values, value)
class xrContainsExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const Value& values = m_hold.hold(arg(0), valueArg(ctx, 0));
        const Value& value = valueArg(ctx, 1);
        const strand::ArrayValue* array = values.asArray();
        if (!array)
            return values.equals(value);
        // The value is compared as an element: converted to the element class first.
        Ptr<Value> probe = array->newElement();
        if (probe->kind() == Value::Kind::Null)
            probe = value.cloneValue();
        else
            probe->assignFrom(value);
        for (int32_t i = 0; i < array->getSize(); ++i) {
            if (array->getElement(i)->equals(*probe))
                return true;
        }
        return false;
    }

  private:
    ValueHold m_hold;
};

// expand(separator, property ...)
class xrExpandExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        const String separator = textArg(ctx, 0);
        for (size_t i = 1; i < argCount(); ++i) {
            xrExpressionVariableInterface* variable =
                variableArg(ctx, i,
                            u"The second and subsequent parameters to the 'expand' function must be property "
                            u"references.");
            const String text = variable->GetString(ctx);
            checkParts(text, separator);
            variable->SetValue(ctx, *strand::util::expandTextValue(text, separator.view()));
        }
    }

    // A text that would split into more values than a property holds is refused before it is split.
    void checkParts(const String& text, const String& separator) const {
        if (separator.isEmpty())
            return;
        int64_t parts = 1;
        for (size_t at = text.find(separator.view()); at != String::npos;
             at = text.find(separator.view(), at + separator.length())) {
            if (++parts > strand::ArrayValue::kMaxSize)
                throw error(u"expand: the text would split into more than %d values",
                            strand::ArrayValue::kMaxSize);
        }
    }
};

// contract(separator, property ...)
class xrContractExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        // A missing property is reported at the line of the call.
        xrReadAtLine(GetLineNum(), [&] { run(ctx); });
    }

  private:
    void run(ExpressionContext& ctx) {
        const String separator = textArg(ctx, 0);
        for (size_t i = 1; i < argCount(); ++i) {
            xrExpressionVariableInterface* variable =
                variableArg(ctx, i,
                            u"The second and subsequent parameters to the 'contract' function must be "
                            u"property references.");
            Array<String> texts;
            addNames(variable->GetValue(ctx), texts);
            size_t length = 0;
            for (const String& text : texts)
                length += text.length() + separator.length();
            checkTextLength(ctx, length, u"contract");
            variable->SetString(ctx, strand::util::multipleStringsToSingleString(texts, separator.view()));
        }
    }
};

// occurrence(text [, caseSensitive])
// The second argument must be written as TRUE or FALSE: it is read when the call is built, and no
// expression runs while a script is parsed.
class xrOccurrenceExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    xrOccurrenceExprImp(int32_t line, const xrArguments& arguments) : xrFunctionExprImp(line, arguments) {
        if (!hasArg(1))
            return;
        auto* literal = dynamic_cast<xrBoolLiteralExprImp*>(&arg(1));
        if (!literal)
            throw error(
                u"The second parameter of the 'occurrence' function must be a literal boolean value of TRUE "
                u"or FALSE.");
        ExpressionContext none;
        m_caseSensitive = literal->AsBool(none);
    }
    double AsDouble(ExpressionContext& ctx) override {
        const String& text = textArg(ctx, 0);
        return m_caseSensitive ? count(m_exact, text) : count(m_folded, text);
    }

  private:
    template <typename Table>
    static double count(Table& table, const String& text) {
        auto found = table.find(text);
        if (found != table.end())
            return double(++found->second);
        table.emplace(text, 1);
        return 1.0;
    }

    bool m_caseSensitive = false;
    std::unordered_map<String, int64_t, strand::StringHashIgnoreCase, strand::StringEqualIgnoreCase> m_folded{
        31};
    std::unordered_map<String, int64_t, strand::StringHash> m_exact{31};
};

// numproperties()
class xrNumPropertiesExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        return recordList(ctx, u"numproperties: No property list is available.").getSize();
    }
};

// numglobalproperties()
class xrNumGlobalPropertiesExprImp final : public xrGlobalsFunctionExprImp<xrNumericExprImp> {
  public:
    using xrGlobalsFunctionExprImp::xrGlobalsFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        return globals(ctx, u"numglobalproperties: No global property list is available.").getSize();
    }
};

// The property at a 1-based position (the number minus 1, truncated toward zero), or null.
strand::iProperty* propertyAt(const iPropertyCollection& list, double position) {
    const int32_t index = strand::truncToInt32(position - 1.0);
    return index >= 0 && index < list.getSize() ? list.get(index) : nullptr;
}

// ithpropertyname(i)
class xrIthPropertyNameExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const double position = numberArg(ctx, 0);
        const char16_t* noList = u"ithpropertyname: No propertylist is available.";
        strand::iProperty* property = propertyAt(recordList(ctx, noList), position);
        if (!property)
            throw strand::Exception(noList);
        m_value.set(property->getName());
        return m_value.get();
    }
};

// ithglobalpropertyname(i)
class xrIthGlobalPropertyNameExprImp final : public xrGlobalsFunctionExprImp<xrStringExprImp> {
  public:
    using xrGlobalsFunctionExprImp::xrGlobalsFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const double position = numberArg(ctx, 0);
        const char16_t* noList = u"ithglobalpropertyname: No global propertylist is available.";
        strand::iProperty* property = propertyAt(globals(ctx, noList), position);
        if (!property)
            throw strand::Exception(noList);
        m_value.set(property->getName());
        return m_value.get();
    }
};

// The computed references: a variable of their own, named afresh at each use, that reads, IS DEFINED
// and assignments go through as for a written name.
class xrComputedRefExprImp : public xrFunctionExprImp<xrPropertyExprImp> {
  public:
    xrComputedRefExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments,
                         int32_t scope)
        : xrFunctionExprImp(line, arguments) {
        strand::iContext* context = variables.GetContext();
        m_variable = makeRef<xrExpressionVariableImp>(context ? context->getGlobalProperties() : nullptr,
                                                      context, scope, String(u""));
    }

    bool IsProperty() const override { return true; }
    xrExpressionVariableInterface* GetVariable(ExpressionContext& ctx) override {
        m_variable->SetName(name(ctx));
        return m_variable.get();
    }
    const String& AsString(ExpressionContext& ctx) override {
        return xrReadAtLine(GetLineNum(),
                            [&]() -> const String& { return GetVariable(ctx)->GetString(ctx); });
    }
    bool AsBool(ExpressionContext& ctx) override {
        return xrReadAtLine(GetLineNum(), [&] { return GetVariable(ctx)->GetBool(ctx); });
    }
    double AsDouble(ExpressionContext& ctx) override {
        return xrReadAtLine(GetLineNum(), [&] { return GetVariable(ctx)->GetDouble(ctx); });
    }
    const Value& AsValue(ExpressionContext& ctx) override {
        return xrReadAtLine(GetLineNum(), [&]() -> const Value& { return GetVariable(ctx)->GetValue(ctx); });
    }
    void Evaluate(ExpressionContext& ctx) override { AsValue(ctx); }
    void Reset() override {
        xrFunctionExprImp::Reset();
        m_variable->Reset();
    }

  protected:
    // The name of the property referred to now; valid until the next call.
    virtual const String& name(ExpressionContext& ctx) = 0;
    strand::iPropertyCollection* list(ExpressionContext& ctx) {
        m_variable->SetName(String(u""));
        return m_variable->GetPropertyList(ctx);
    }

  private:
    xrRefCount<xrExpressionVariableImp> m_variable;
};

// property(name), globalproperty(name)
template <int32_t Scope>
class xrNamedRefExprImp final : public xrComputedRefExprImp {
  public:
    xrNamedRefExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments)
        : xrComputedRefExprImp(line, variables, arguments, Scope) {}

  private:
    const String& name(ExpressionContext& ctx) override { return textArg(ctx, 0); }
};

// ithproperty(i), ithglobalproperty(i)
template <int32_t Scope>
class xrIthRefExprImp final : public xrComputedRefExprImp {
  public:
    xrIthRefExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments)
        : xrComputedRefExprImp(line, variables, arguments, Scope) {}

  private:
    const String& name(ExpressionContext& ctx) override {
        const double position = numberArg(ctx, 0);
        strand::iProperty* property = propertyAt(*list(ctx), position);
        if (!property)
            throw strand::Exception(u"xrExpressionVariable GetVariable propertynot found");
        return property->getName();
    }
};

// rpropertynames(pattern)
class xrRPropertyNamesExprImp final : public xrFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const String& pattern = textArg(ctx, 0);
        iPropertyCollection& list = recordList(ctx, u"rpropertynames: No data to get property names from.");
        m_names = strand::StringArrayValue(namesMatching(list, m_cache.regex(*this, pattern), true).vector());
        return m_names;
    }

  private:
    PatternCache m_cache;
    strand::StringArrayValue m_names;
};

// rglobalpropertynames(pattern)
class xrRGlobalPropertyNamesExprImp final : public xrGlobalsFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrGlobalsFunctionExprImp::xrGlobalsFunctionExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const String& pattern = textArg(ctx, 0);
        iPropertyCollection& list =
            globals(ctx, u"rglobalpropertynames: No data to get property names from.");
        m_names = strand::StringArrayValue(namesMatching(list, m_cache.regex(*this, pattern), true).vector());
        return m_names;
    }

  private:
    PatternCache m_cache;
    strand::StringArrayValue m_names;
};

// searchall(text): whether any value of the record (any element of a vector) has the text, A to Z
// folded.
class xrSearchAllExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const String& wanted = textArg(ctx, 0);
        iPropertyCollection& list = recordList(ctx, u"searchall: No data is available.");
        for (int32_t i = 0; i < list.getSize(); ++i) {
            const Value& value = list.get(i)->getValue();
            if (const strand::ArrayValue* array = value.asArray()) {
                for (int32_t k = 0; k < array->getSize(); ++k) {
                    array->getElementText(k, m_text);
                    if (m_text.equalsIgnoreCase(wanted))
                        return true;
                }
                continue;
            }
            value.getText(m_text);
            if (value.getNumValues() > 0 && m_text.equalsIgnoreCase(wanted))
                return true;
        }
        return false;
    }

  private:
    String m_text;
};

// reorder(name ...)
class xrReorderExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        Array<String> names;
        for (size_t i = 0; i < argCount(); ++i)
            addNames(valueArg(ctx, i), names);
        recordList(ctx, u"reorder: No data available.").reorder(names);
    }
};

// Calculated properties go through the component context's database.
strand::iContext& componentDatabase(ExpressionContext& ctx, const char16_t* missing) {
    strand::iContext* host = ctx.getContext();
    if (!host || !host->hasComponentDatabase())
        throw strand::Exception(missing);
    return *host;
}

// A request to calculate is repeated while the host is still working, but not without end.
constexpr int kMaxCalculationRounds = 10000;

// calculate(name ...)
class xrCalculateExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        Array<String> names;
        for (size_t i = 0; i < argCount(); ++i)
            addNames(valueArg(ctx, i), names);
        iPropertyCollection& list = recordList(ctx, u"calculate: no data is available.");
        strand::iContext& host = componentDatabase(ctx, u"Unable to access Component DataBase");
        for (const String& name : names) {
            if (list.isDefined(name))
                continue;
            if (!host.canCalculateProperty(ctx.getDataRecord(), name))
                throw error(u"The calculate function was unable to find a calculator for the property '%ls'",
                            name);
            // A calculation that fails leaves the property undefined; reading it then explains.
            strand::CalculationState state = strand::CalculationState::Pending;
            for (int round = 0; round < kMaxCalculationRounds && state == strand::CalculationState::Pending;
                 ++round)
                state = host.calculateProperty(ctx.getDataRecord(), name);
        }
    }
};

// Whether a calculator exists for a name, asked of the host once per name a call site meets.
class CalculatorCache {
  public:
    bool canCalculate(ExpressionContext& ctx, const String& name) {
        strand::iContext& host = componentDatabase(ctx, u"Unable to access the Component DataBase");
        auto found = m_known.find(name);
        if (found != m_known.end())
            return found->second;
        const bool can = host.canCalculateProperty(ctx.getDataRecord(), name);
        m_known.emplace(name, can);
        return can;
    }

  private:
    std::unordered_map<String, bool, strand::StringHashIgnoreCase, strand::StringEqualIgnoreCase> m_known;
};

// cancalculate(name)
class xrCanCalculateExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override { return m_cache.canCalculate(ctx, textArg(ctx, 0)); }

  private:
    CalculatorCache m_cache;
};

// cancalculatenames(names)
class xrCanCalculateNamesExprImp final : public xrFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        Array<String> names;
        addNames(valueArg(ctx, 0), names);
        std::vector<String> calculable;
        for (const String& name : names) {
            if (m_cache.canCalculate(ctx, name))
                calculable.push_back(name);
        }
        m_names = strand::StringArrayValue(std::move(calculable));
        return m_names;
    }

  private:
    CalculatorCache m_cache;
    strand::StringArrayValue m_names;
};

// Node locations: "/" is the root node of the record; "/2/1" the first child of its second child
// (positions from 1, as every script position). A record without a node tree is a root without
// children.
class NodeTree {
  public:
    // The root, made for a record that has none when `create` is set; null when there is no record.
    static strand::iNode* root(ExpressionContext& ctx, bool create) {
        if (strand::iNode* node = ctx.isForNode()) {
            while (node->getParentNode())
                node = node->getParentNode();
            return node;
        }
        strand::iDataRecord* record = ctx.getDataRecord();
        if (!record)
            return nullptr;
        if (!record->getRootNode() && create)
            record->setRootNode(strand::makePtr<strand::BaseNode>());
        return record->getRootNode();
    }

    // The node at a location; null when the location names none. `root` may be null: a record
    // without a tree has a root without children.
    static strand::iNode* find(strand::iNode* root, const String& location, bool& valid) {
        valid = false;
        const std::u16string_view text = location.view();
        if (text.empty() || text[0] != u'/')
            return nullptr;
        strand::iNode* node = root;
        size_t i = 1;
        while (i < text.size()) {
            int64_t position = 0;
            size_t digits = 0;
            while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
                if (position < 1'000'000'000)
                    position = position * 10 + (text[i] - u'0');
                ++i;
                ++digits;
            }
            if (digits == 0 || (i < text.size() && text[i++] != u'/'))
                return nullptr;
            if (!node || position < 1 || position > node->getNumChildren())
                return nullptr;
            node = node->getChild(int32_t(position - 1));
        }
        valid = true;
        return node;
    }
};

// numchildren(location)
class xrNumChildrenExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        const String& location = textArg(ctx, 0);
        if (!ctx.getDataRecord() && !ctx.isForNode())
            throw strand::Exception(u"numchildren: No data is available.");
        bool valid = false;
        strand::iNode* node = NodeTree::find(NodeTree::root(ctx, false), location, valid);
        if (!valid)
            throw strand::Exception(u"numchildren: location is not found");
        return node ? node->getNumChildren() : 0;
    }
};

// addchild(location [, type [, count]])
// Adds `count` children (1 unless given, at most 65536 a call) of the type name given (empty unless
// given) and answers the location of the first one added.
class xrAddChildExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const String location = textArg(ctx, 0);
        const String type = hasArg(1) ? textArg(ctx, 1) : String(u"");
        const int32_t count = intArgOr(ctx, 2, 1);
        if (count < 1 || count > kMaxAdded)
            throw error(u"addchild: the number of children to add must be 1 to %d, not %d", kMaxAdded, count);
        if (!ctx.getDataRecord() && !ctx.isForNode())
            throw strand::Exception(u"addchild: No data is available.");
        if (location.isEmpty())
            throw strand::Exception(u"addchild: location is empty");
        bool valid = false;
        strand::iNode* parent = NodeTree::find(NodeTree::root(ctx, false), location, valid);
        if (!valid)
            throw strand::Exception(u"addchild: location is not found");
        if (!parent)
            parent = NodeTree::root(ctx, true);
        if (int64_t(parent->getNumChildren()) + count > strand::ArrayValue::kMaxSize)
            throw error(u"addchild: a node cannot have more than %d children", strand::ArrayValue::kMaxSize);
        const int32_t first = parent->getNumChildren() + 1;
        for (int32_t i = 0; i < count; ++i)
            parent->addChild(strand::makePtr<strand::BaseNode>(type));
        String result = location;
        if (!result.view().ends_with(u'/'))
            result.append(u"/");
        result.append(strand::formatString(u"%d", first).view());
        m_value.set(std::move(result));
        return m_value.get();
    }

  private:
    static constexpr int32_t kMaxAdded = 65536;
};

// isvalidlocation(location)
class xrIsValidLocationExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const String& location = textArg(ctx, 0);
        if (!ctx.getDataRecord() && !ctx.isForNode())
            throw strand::Exception(u"isvalidlocation: No data is available.");
        if (location.isEmpty())
            throw strand::Exception(u"isvalidlocation: location is empty");
        bool valid = false;
        NodeTree::find(NodeTree::root(ctx, false), location, valid);
        return valid;
    }
};

}  // namespace

namespace strand::properties {

STRAND_BUILTIN_FACTORY(makeCalculate, xrCalculateExprImp)
STRAND_BUILTIN_FACTORY(makeAppend, xrAppendExprImp)
STRAND_BUILTIN_FACTORY(makeClear, xrClearExprImp)
STRAND_BUILTIN_FACTORY(makeNumValues, xrNumValuesExprImp)
STRAND_BUILTIN_FACTORY(makeKeep, xrKeepExprImp)
STRAND_BUILTIN_FACTORY(makeRKeep, xrRegexRemoveExprImp<true>)
STRAND_BUILTIN_FACTORY(makeRemove, xrRemoveExprImp)
STRAND_BUILTIN_FACTORY(makeRemoveGlobal, xrRemoveGlobalExprImp)
STRAND_BUILTIN_FACTORY(makeRRemove, xrRegexRemoveExprImp<false>)
STRAND_BUILTIN_FACTORY(makeRemoveAll, xrRemoveAllExprImp)
STRAND_BUILTIN_FACTORY(makeExpand, xrExpandExprImp)
STRAND_BUILTIN_FACTORY(makeContract, xrContractExprImp)
STRAND_BUILTIN_FACTORY(makeRename, xrRenameExprImp)
STRAND_BUILTIN_FACTORY(makeRenameGlobal, xrRenameGlobalExprImp)
STRAND_BUILTIN_FACTORY(makeResize, xrResizeExprImp)
STRAND_BUILTIN_FACTORY(makeSearchAll, xrSearchAllExprImp)
STRAND_BUILTIN_FACTORY(makeReorder, xrReorderExprImp)
STRAND_BUILTIN_FACTORY(makeOccurrence, xrOccurrenceExprImp)
STRAND_BUILTIN_FACTORY(makeNumChildren, xrNumChildrenExprImp)
STRAND_BUILTIN_FACTORY(makeAddChild, xrAddChildExprImp)
STRAND_BUILTIN_FACTORY(makeIsValidLocation, xrIsValidLocationExprImp)
STRAND_BUILTIN_FACTORY(makeCanCalculate, xrCanCalculateExprImp)
STRAND_BUILTIN_FACTORY(makeContains, xrContainsExprImp)
STRAND_BUILTIN_FACTORY(makeInsertValue, xrInsertValueExprImp)
STRAND_BUILTIN_FACTORY(makeRemoveValue, xrRemoveValueExprImp)
STRAND_BUILTIN_FACTORY(makeIthPropertyName, xrIthPropertyNameExprImp)
STRAND_BUILTIN_FACTORY(makeIthGlobalPropertyName, xrIthGlobalPropertyNameExprImp)
STRAND_BUILTIN_FACTORY(makeNumProperties, xrNumPropertiesExprImp)
STRAND_BUILTIN_FACTORY(makeNumGlobalProperties, xrNumGlobalPropertiesExprImp)
STRAND_BUILTIN_FACTORY(makeIthProperty, xrIthRefExprImp<xrExpressionVariableInterface::Local>)
STRAND_BUILTIN_FACTORY(makeIthGlobalProperty, xrIthRefExprImp<xrExpressionVariableInterface::Global>)
STRAND_BUILTIN_FACTORY(makeProperty, xrNamedRefExprImp<xrExpressionVariableInterface::Local>)
STRAND_BUILTIN_FACTORY(makeGlobalProperty, xrNamedRefExprImp<xrExpressionVariableInterface::Global>)
STRAND_BUILTIN_FACTORY(makeChangePropertyType, xrChangePropertyTypeExprImp)
STRAND_BUILTIN_FACTORY(makeGetPropertyType, xrGetPropertyTypeExprImp)
STRAND_BUILTIN_FACTORY(makeRPropertyNames, xrRPropertyNamesExprImp)
STRAND_BUILTIN_FACTORY(makeRGlobalPropertyNames, xrRGlobalPropertyNamesExprImp)
STRAND_BUILTIN_FACTORY(makeCanCalculateNames, xrCanCalculateNamesExprImp)

}  // namespace strand::properties
