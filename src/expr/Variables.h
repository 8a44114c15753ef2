#pragma once
// Expression variables: how a name in a script reaches a property. A variable is bound to a property
// of one of three collections (its scope): the global properties (`@name`, scope 0), the data record
// being processed (`name` or `%name`, scope 1) or the expression's own properties (`#name`, scope 2).
// It binds lazily, on first use in an evaluation; the top-level script drops every binding before it
// runs, since each run may see another record. A binding holds the property counted, and is looked up
// again when the property has left its collection or any property was renamed since.
//
// Data-record variables can ask the host to calculate a missing property. A property still missing
// raises xrExpressionUnboundException. Script positions in the indexing operations are 1-based.

#include <cstdint>
#include <typeinfo>
#include <unordered_map>
#include <vector>

#include "expr/ExprNode.h"
#include "host/Property.h"
#include "host/PropertyCollection.h"

class xrExpressionVariableInterface : public xrCounted {
  public:
    enum Scope : int32_t { Global = 0, Local = 1, ExpressionLocal = 2 };

    virtual int32_t GetScope() const = 0;
    bool IsGlobal() const { return GetScope() <= Global; }
    bool IsLocal() const { return GetScope() == Local; }
    bool IsExprLocal() const { return GetScope() == ExpressionLocal; }
    virtual const strand::String& GetName() const = 0;

    // Reads; a property without a value reads as 0, false and the empty text.
    virtual double GetDouble(strand::ExpressionContext& ctx) = 0;
    virtual bool GetBool(strand::ExpressionContext& ctx) = 0;
    virtual const strand::String& GetString(strand::ExpressionContext& ctx) = 0;
    virtual const strand::Value& GetValue(strand::ExpressionContext& ctx) = 0;
    // Stores create the property when it is missing and give it the class of the value stored.
    virtual void SetDouble(strand::ExpressionContext& ctx, double value) = 0;
    virtual void SetString(strand::ExpressionContext& ctx, const strand::String& value) = 0;
    virtual void SetValue(strand::ExpressionContext& ctx, const strand::Value& value) = 0;
    // Appends text to the property's text; false (nothing changed) when the text would grow past
    // strand::kMaxTextLength.
    virtual bool AppendString(strand::ExpressionContext& ctx, const strand::String& text) = 0;
    // Adds values to the property's values.
    virtual void AppendValue(strand::ExpressionContext& ctx, const strand::Value& value) = 0;
    // IS DEFINED: the property exists and holds a value; never calculates, never raises for a
    // missing property.
    virtual bool IsDefined(strand::ExpressionContext& ctx) = 0;
    virtual int32_t GetNumValues(strand::ExpressionContext& ctx) = 0;
    // Vector operations, positions from 1.
    virtual void InsertValue(strand::ExpressionContext& ctx, const strand::Value& value,
                             int64_t position) = 0;
    virtual void RemoveValue(strand::ExpressionContext& ctx, int64_t position) = 0;
    virtual void Resize(strand::ExpressionContext& ctx, int64_t size) = 0;
    virtual void Rename(strand::ExpressionContext& ctx, const strand::String& newName) = 0;

    // The next read looks the property up again.
    virtual void Invalidate() = 0;
    virtual void Reset() { Invalidate(); }
    // A calculated property is calculated afresh on the next evaluation.
    virtual void ResetCalculated() = 0;
    virtual void Mark() = 0;
    virtual bool IsMarked() const = 0;
    virtual bool WasCalculated() const = 0;
    virtual void ClearCalculated() = 0;

    // The collection of the variable's scope; raises when the context cannot supply it.
    virtual strand::iPropertyCollection* GetPropertyList(strand::ExpressionContext& ctx) = 0;
};

class xrExpressionVariableImp final : public xrExpressionVariableInterface {
  public:
    // `globals` are the global properties of the parse; `host` the component context used to calculate
    // properties (either may be null).
    xrExpressionVariableImp(strand::iPropertyCollection* globals, strand::iContext* host, int32_t scope,
                            strand::String name);

    int32_t GetScope() const override { return m_scope; }
    const strand::String& GetName() const override { return m_name; }
    // Computed references give their variable a new name at each use.
    void SetName(const strand::String& name);

    // The per-iteration reads and writes of a loop: the fast paths stay inline and small, everything
    // else is out of line so that they need no saved registers.
    double GetDouble(strand::ExpressionContext& ctx) override {
        double number;
        if (strand::iProperty* property = bound();
            property && property == m_plainProperty && m_plainProperty->inlineDouble(number))
            return number;
        return readDouble(ctx);
    }
    bool GetBool(strand::ExpressionContext& ctx) override { return bind(ctx)->getValue().getBool(); }
    const strand::String& GetString(strand::ExpressionContext& ctx) override;
    const strand::Value& GetValue(strand::ExpressionContext& ctx) override { return bind(ctx)->getValue(); }
    void SetDouble(strand::ExpressionContext& ctx, double value) override {
        if (strand::iProperty* property = bound();
            property && property == m_plainProperty && m_plainProperty->storeInlineDouble(value))
            return;
        writeDouble(ctx, value);
    }
    void SetString(strand::ExpressionContext& ctx, const strand::String& value) override;
    void SetValue(strand::ExpressionContext& ctx, const strand::Value& value) override;
    bool AppendString(strand::ExpressionContext& ctx, const strand::String& text) override;
    void AppendValue(strand::ExpressionContext& ctx, const strand::Value& value) override;
    bool IsDefined(strand::ExpressionContext& ctx) override;
    int32_t GetNumValues(strand::ExpressionContext& ctx) override;
    void InsertValue(strand::ExpressionContext& ctx, const strand::Value& value, int64_t position) override;
    void RemoveValue(strand::ExpressionContext& ctx, int64_t position) override;
    void Resize(strand::ExpressionContext& ctx, int64_t size) override;
    void Rename(strand::ExpressionContext& ctx, const strand::String& newName) override;

    void Invalidate() override { m_property = nullptr; }
    void ResetCalculated() override {
        m_recalculate = true;
        m_property = nullptr;
    }
    void Mark() override { m_marked = true; }
    bool IsMarked() const override { return m_marked; }
    bool WasCalculated() const override { return m_calculated; }
    void ClearCalculated() override {
        m_calculated = false;
        m_marked = false;
    }

    strand::iPropertyCollection* GetPropertyList(strand::ExpressionContext& ctx) override;
    // The property if it exists, without calculating; null otherwise.
    strand::iProperty* Find(strand::ExpressionContext& ctx);

  private:
    // The bound property, found again when no binding is held or the collections changed since.
    strand::iProperty* bind(strand::ExpressionContext& ctx) {
        if (m_property && m_epoch == strand::iPropertyCollection::structureEpoch()) [[likely]]
            return m_property;
        return bindAgain(ctx);
    }
    [[gnu::noinline]] strand::iProperty* bindAgain(strand::ExpressionContext& ctx) {
        if (strand::iProperty* property = quickBind(ctx))
            return property;
        return rebind(ctx);
    }
    // GetDouble and SetDouble past their fast paths.
    [[gnu::noinline]] double readDouble(strand::ExpressionContext& ctx);
    [[gnu::noinline]] void writeDouble(strand::ExpressionContext& ctx, double value);
    // The common case of a record property found where it was in the previous record; null otherwise.
    strand::iProperty* quickBind(strand::ExpressionContext& ctx) {
        if (m_recalculate)
            return nullptr;
        strand::iPropertyCollection* list = m_scope == Local    ? ctx.getPropertyList()
                                            : m_scope == Global ? m_globals.get()
                                                                : nullptr;
        if (!list)
            return nullptr;
        // The plain property held before, under the name it had then (a record's field, or a spare
        // made again under the same name): known without comparing names.
        if (strand::CProperty* known = list->propertyAtHint(m_hint);
            known && known == m_plainProperty && known->nameSerial() == m_plainSerial) {
            m_property = known;
            m_epoch = strand::iPropertyCollection::structureEpoch();
            return known;
        }
        strand::CProperty* property = list->findAtHint(m_name, m_nameHash, m_hint);
        if (property)
            bindTo(property);
        return property;
    }
    strand::iProperty* bound() const noexcept {
        return m_property && m_epoch == strand::iPropertyCollection::structureEpoch() ? m_property : nullptr;
    }
    // GetPropertyList without the virtual call for the common case of a record's property.
    strand::iPropertyCollection* propertyList(strand::ExpressionContext& ctx) {
        if (m_scope == Local) {
            if (strand::iPropertyCollection* list = ctx.getPropertyList())
                return list;
        }
        return xrExpressionVariableImp::GetPropertyList(ctx);
    }
    strand::iProperty* rebind(strand::ExpressionContext& ctx);
    void storeDouble(strand::ExpressionContext& ctx, double value);
    strand::iProperty* lookup(strand::iPropertyCollection* list) {
        // Records of one stream usually have the same layout: the name is tried where it was found last.
        return list->findWithHint(m_name, m_nameHash, m_hint);
    }
    strand::iProperty* calculate(strand::ExpressionContext& ctx, strand::iPropertyCollection* list);
    // The property to store into, created with `value` when missing; null when it was created.
    strand::iProperty* propertyForStore(strand::ExpressionContext& ctx, const strand::Value& value);
    void bindTo(strand::iProperty* property) {
        m_property = property;
        // A plain property (not a subclass that may read its value otherwise) is read directly.
        m_plainProperty = typeid(*property) == typeid(strand::CProperty)
                              ? static_cast<strand::CProperty*>(property)
                              : nullptr;
        if (m_plainProperty)
            m_plainSerial = m_plainProperty->nameSerial();
        m_epoch = strand::iPropertyCollection::structureEpoch();
    }
    void refuseByteArray(const strand::Value& value) const {
        if (m_scope == ExpressionLocal && value.kind() == strand::Value::Kind::ByteArray)
            refuseByteArraySlow();
    }
    [[noreturn]] void refuseByteArraySlow() const;
    // The number of a value read under strict numbers.
    double strictDouble(const strand::Value& value) const;
    int32_t unboundKind() const;

    strand::Ptr<strand::iPropertyCollection> m_globals;
    strand::iContext* m_host;
    int32_t m_scope;
    strand::String m_name;
    uint32_t m_nameHash;
    strand::String m_text;  // scratch of GetString
    strand::DoubleValue m_double;
    strand::StringValue m_string;
    // Kept only while no collection has changed (iPropertyCollection::structureEpoch), so that it never
    // outlives the property.
    strand::iProperty* m_property = nullptr;
    // m_property when it is a plain CProperty, and that property's name serial then. Kept past
    // Invalidate only to be compared with, never read through: a serial is never given twice.
    strand::CProperty* m_plainProperty = nullptr;
    uint64_t m_plainSerial = 0;
    uint64_t m_epoch = 0;
    int32_t m_hint = -1;
    bool m_calculated = false;
    bool m_recalculate = false;
    bool m_marked = false;
};

// One value of a vector property: the base variable and the index expression.
class xrExpressionIndexedVariableImp final : public xrExpressionVariableInterface {
  public:
    xrExpressionIndexedVariableImp(xrVariableRef base, xrNodeRef index);

    const xrVariableRef& base() const noexcept { return m_base; }
    int32_t GetScope() const override { return m_base->GetScope(); }
    const strand::String& GetName() const override { return m_base->GetName(); }

    double GetDouble(strand::ExpressionContext& ctx) override;
    bool GetBool(strand::ExpressionContext& ctx) override;
    const strand::String& GetString(strand::ExpressionContext& ctx) override;
    const strand::Value& GetValue(strand::ExpressionContext& ctx) override;
    void SetDouble(strand::ExpressionContext& ctx, double value) override;
    void SetString(strand::ExpressionContext& ctx, const strand::String& value) override;
    void SetValue(strand::ExpressionContext& ctx, const strand::Value& value) override;
    bool AppendString(strand::ExpressionContext& ctx, const strand::String& text) override;
    void AppendValue(strand::ExpressionContext& ctx, const strand::Value& value) override;
    bool IsDefined(strand::ExpressionContext& ctx) override;
    int32_t GetNumValues(strand::ExpressionContext& ctx) override;
    void InsertValue(strand::ExpressionContext& ctx, const strand::Value& value, int64_t position) override;
    void RemoveValue(strand::ExpressionContext& ctx, int64_t position) override;
    void Resize(strand::ExpressionContext& ctx, int64_t size) override;
    void Rename(strand::ExpressionContext& ctx, const strand::String& newName) override;

    void Invalidate() override { m_base->Invalidate(); }
    void Reset() override;
    void ResetCalculated() override { m_base->ResetCalculated(); }
    void Mark() override { m_base->Mark(); }
    bool IsMarked() const override { return m_base->IsMarked(); }
    bool WasCalculated() const override { return m_base->WasCalculated(); }
    void ClearCalculated() override { m_base->ClearCalculated(); }
    strand::iPropertyCollection* GetPropertyList(strand::ExpressionContext& ctx) override {
        return m_base->GetPropertyList(ctx);
    }

  private:
    // The property holding the vector and the 0-based position of the element, checked.
    strand::iProperty* locate(strand::ExpressionContext& ctx, int64_t& position, bool forStore);
    // The vector to read an element of.
    const strand::ArrayValue& element(strand::ExpressionContext& ctx, int64_t& position);
    strand::Exception indexError(const char16_t* text) const;
    // The 0-based position an index number names.
    static int64_t positionOf(double index);

    xrVariableRef m_base;
    xrNodeRef m_index;
    strand::String m_text;
    strand::Ptr<strand::Value> m_element;
};

// The variables of one parse: one per name and scope (names folding A to Z), in the order met.
struct xrVariableList : xrCounted {
    std::vector<xrVariableRef> items;
    // Set when the script calls a built-in function that may reach properties it does not name (by
    // position, by a computed name, or the whole record), so the names above are not all it can read.
    bool callsFunctions = false;
};

class xrExpressionVariableFactory {
  public:
    // The global properties come from the component context of the parse.
    explicit xrExpressionVariableFactory(strand::iContext* context);

    // The variable of the name in the scope, made on first request; the spelling met first is kept.
    xrVariableRef GetVariable(const strand::String& name, int32_t scope);
    const xrRefCount<xrVariableList>& GetVariables() const noexcept { return m_variables; }
    strand::iContext* GetContext() const noexcept { return m_context; }

  private:
    using Table = std::unordered_map<strand::String, xrVariableRef, strand::StringHashIgnoreCase,
                                     strand::StringEqualIgnoreCase>;
    strand::iContext* m_context;
    strand::Ptr<strand::iPropertyCollection> m_globals;
    Table m_tables[3];  // data record, expression local, global
    xrRefCount<xrVariableList> m_variables;
};
