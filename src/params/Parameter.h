#pragma once
// CParameter: one setting of a component. It is a property of its parameter collection (its parent)
// whose value is text, one string or a list of strings, and it carries help text, a type name, the GUID
// of the component that defined it, a flag word (1 required, 2 a change of the value makes the whole
// collection revalidate), static legal values, and three StrandScript rules:
//   - the enabling script decides whether the parameter is enabled;
//   - the legal values script computes the values it may take (through setlegalvalues);
//   - the validation script decides whether the value is valid (setinvaliddetails says why not).
// The verdicts are computed on demand and cached per part (validation, enabling, legal values) until a
// change clears that part. A parameter with members is a group: its members are other parameters of
// the collection, named; a group's verdicts pass on to its members and back.
//
// Reading the value of a parameter in a collection that has a context expands its text: macro tokens
// "$(name)" take the text of other parameters (then of the global properties), and an expression-typed
// value is run as StrandScript. getEvaluatedText also evaluates the "<EXPR>" and "<SQL-SCRIPT>" sections.
//
// The members are split by concern: the model and its accessors (Parameter.cpp), the rules
// (ParameterRules.cpp) and text evaluation (ParameterText.cpp). A parameter serves one thread at a time.

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "host/ArrayValues.h"
#include "host/Parameter.h"
#include "host/Property.h"
#include "params/ExpressionCache.h"

class CValidationContext;
class CParameterCollection;

class CParameter final : public strand::CProperty, public strand::iParameter, public strand::iGroupParameter {
  public:
    static constexpr strand::ClassTag Tag{"Halvorn.data.Parameter"};
    static strand::PooledClassImp<CParameter, 1000> m_class;
    static strand::LeakDetector m_leakDetector;

    // The bits of a rule mask: the parts of the verdicts to bring up to date.
    static constexpr int32_t CheckingValidation = 1;
    static constexpr int32_t CheckingEnabling = 2;
    static constexpr int32_t CheckingLegalValues = 4;

    // The bits of a text-evaluation mode.
    static constexpr uint32_t kReplaceMacroTokens = 1;
    static constexpr uint32_t kEvaluateEmbeddedScripts = 2;
    static constexpr uint32_t kEvaluateExpression = 4;

    // The metadata bit of a parameter whose value is a script (set by setType).
    static constexpr uint32_t kExpressionMetaData = 0x10;
    // The most code units the evaluated text of one parameter may hold.
    static constexpr size_t kMaxEvaluatedText = size_t(1) << 24;

    // Parameters come from their pool (a parameter returns to it when its last reference goes), so
    // they are made only through allocate, newInstance and clone. Assignment copies the name too when
    // the parameter is in no collection, so that a clone is equal to its source.
    CParameter& operator=(const CParameter& other);
    ~CParameter() override;

    // Pooled creation: a recycled parameter comes back in its initial state.
    static CParameter* allocate() { return m_class.allocate(); }
    static strand::Ptr<CParameter> newInstance() { return strand::Ptr<CParameter>(allocate()); }
    static strand::Ptr<CParameter> newInstance(const strand::String& name);
    CParameter* allocateCopy() const { return m_class.allocateCopy(*this); }
    void deallocate() { m_class.deallocate(this); }
    strand::Ptr<CParameter> clone() const { return strand::Ptr<CParameter>(allocateCopy()); }
    void deleteInstance() override { m_class.returnObject(this); }
    void onActivate() override;
    void onDeactivate() override;
    const strand::ClassTag& getClassTag() const override { return Tag; }

    // -- strand::iProperty --------------------------------------------------------------------------
    // The value as users see it: in a collection with a context, the evaluated text (see above).
    const strand::Value& getValue() const override;
    // Value setters make this parameter's validity stale; when the parameter affects validation they
    // first make the whole collection revalidate.
    void setValue(const strand::Value& value) override;
    void setValue(const char16_t* text) override;
    void setDouble(double number) override;
    void adoptValue(strand::Ptr<strand::Value> value) override;
    void appendValue(const strand::Value& value) override;
    void appendValue(const char16_t* text) override;
    void assignFrom(const strand::iProperty* other) override;
    void copyFrom(const strand::CProperty* other) override;
    void SetName(const strand::String& name) override;

    // -- strand::iParameter ---------------------------------------------------------------------------
    void assignFrom(const strand::iParameter* other) override;
    const strand::String& getHelp() const override { return m_help; }
    void setHelp(const strand::String& help) override;
    const strand::String& getType() const override;
    void setType(const strand::String& type) override;
    const strand::String& getGuid() const override { return m_guid; }
    void setGuid(const strand::String& guid) override;
    bool isImplementation(const strand::String& guid) override;
    strand::UserImplState getUserImpl() const override { return m_userImpl; }
    void setUserImpl(strand::UserImplState state) override;
    bool isBaseImpl(const strand::String& guid) override;
    int32_t getFlags() const override { return m_flagWord; }
    void setFlags(int32_t flags) override;
    const strand::Array<strand::String>& getLegalValues() override;
    const strand::Array<strand::String>& getStaticLegalValues() const override { return m_staticLegalValues; }
    void setLegalValues(const strand::Array<strand::String>& values) override;
    void clearLegalValues() override;
    void setLegalValuesAreEnforced(bool enforced) override;
    bool getLegalValuesAreEnforced() const override { return m_legalValuesEnforced; }
    bool isLegalParam(const strand::Value& value, strand::String& message) override;
    bool isValidParam(const strand::String& componentName, bool checkScript, const strand::Value& value,
                      strand::Array<strand::String>& errors) override;
    void getTextWithTokensReplaced(strand::iContext* context, strand::iPropertyCollection* parameters,
                                   strand::iPropertyCollection* globals,
                                   strand::Array<strand::String>& out) override;
    void resetCalculableProperties() override;
    bool isDataParam() const override { return m_dataParam; }
    bool isGroupParam() const override;
    void getGroups(strand::Array<strand::String>& out) override;
    bool getValid() override { return getValid(true); }
    const strand::String& getInvalidDetails() override;
    bool getEnabled() override { return getEnabled(true); }
    const strand::String& getDisabledDetails() override;
    void setValidationScript(const strand::String& script) override;
    const strand::String& getValidationScript() const override { return m_validationScript; }
    void setEnablingScript(const strand::String& script) override;
    const strand::String& getEnablingScript() const override { return m_enablingScript; }
    void setLegalValuesScript(const strand::String& script) override;
    const strand::String& getLegalValuesScript() const override { return m_legalValuesScript; }
    void setValidationState(const strand::iPropertyCollection* state) override;
    strand::iPropertyCollection* getValidationState() const override { return m_validationState.get(); }
    void setEnablingState(const strand::iPropertyCollection* state) override;
    strand::iPropertyCollection* getEnablingState() const override { return m_enablingState.get(); }
    void setLegalValuesState(const strand::iPropertyCollection* state) override;
    strand::iPropertyCollection* getLegalValuesState() const override { return m_legalValuesState.get(); }
    void revalidate() override;

    // -- strand::iGroupParameter ----------------------------------------------------------------------
    void getMembers(strand::Array<strand::String>& out) const override;
    int32_t getMembersSize() const override;
    void removeMember(const strand::String& name) override;
    // Refuses a name that is this group, or a group that has this one among its members, directly or
    // further down: groups never contain themselves.
    void addMember(const strand::String& name) override;
    bool isMember(const strand::String& name) const override;
    void clearMembers() override;
    bool isExpanded() const override { return m_expanded; }
    void setExpanded(bool expanded) override { m_expanded = expanded; }

    // -- the rest -------------------------------------------------------------------------------------
    // getValid(bool) brings validation and enabling up to date whatever the argument; getEnabled(true)
    // does the same, getEnabled(false) only the enabling part.
    bool getValid(bool);
    bool getEnabled(bool withValidation);

    // The value's strings with the steps of `mode` applied (macro tokens looked up in `parameters`, then
    // in `globals`); `out` receives them.
    virtual void getEvaluatedText(strand::iContext* context, strand::iPropertyCollection* parameters,
                                  strand::iPropertyCollection* globals, uint32_t mode,
                                  strand::Array<strand::String>& out);

    // While a batch is open on a thread, the evaluated texts of parameters are kept from one evaluation
    // to the next (until a script runs or a parameter changes), so that reading every parameter of a
    // component expands each text once. Whoever opens one changes no collection or global property
    // meanwhile, other than through the parameters.
    class TextBatch {
      public:
        TextBatch();
        ~TextBatch();
        TextBatch(const TextBatch&) = delete;
        TextBatch& operator=(const TextBatch&) = delete;
    };

    // Kept evaluated texts are stale once a parameter or a collection of parameters changed.
    static void textInputsChanged() noexcept;

    // The parameter's byte-stream record: the version 18267, fields 2 to 22 in record order, then the
    // property's own record. The members, the current flags, the rule results and the evaluated text
    // are not in it. Reading leaves every verdict stale.
    static constexpr int32_t PARAMETER_VERSION = 18267;
    void serialize(strand::iByteOutputStream& out) const override;
    void deserialize(strand::iByteInputStream& in) override;

    // The members as stored, whether the collection holds them or not.
    const strand::Array<strand::String>& members() const noexcept { return m_members; }

    // Name classifications (A to Z folded).
    static bool IsObsolete(const strand::String& name);
    static bool IsSetting(const strand::String& name);
    static bool IsInformation(const strand::String& name);
    static bool IsDebug(const strand::String& name);
    // Whether a parameter belongs to the user implementation of a protocol.
    static bool isUIImpl(strand::iParameter* parameter);

    // Drops "$(halvornroot)/" before "data/" (either slash): the old way file settings named the data
    // folder. True when it did.
    static bool StripLegacyHvnRootPrefix(strand::String& s);
    // The first embedded script tag of s: its position and the tag's index (-1 and -1 when none).
    static int32_t FindScriptTagStart(const strand::String& s, int32_t& tagIndex);

  protected:
    bool GetEvaluatedText(strand::iContext* context, strand::iPropertyCollection* parameters,
                          strand::iPropertyCollection* globals, uint32_t mode,
                          strand::Array<strand::String>& out);
    bool DoReplaceMacroTokens(strand::iContext* context, strand::iPropertyCollection* parameters,
                              strand::iPropertyCollection* globals, const strand::String& name, uint32_t mode,
                              strand::Array<strand::String>& text);
    bool ReplaceTokensInString(strand::iContext* context, const strand::String& name, const strand::String& s,
                               strand::iPropertyCollection* lookup, strand::iPropertyCollection* other,
                               uint32_t mode, strand::Array<strand::String>& out);
    bool DoEvaluateEmbeddedExpressions(strand::iContext* context, strand::Array<strand::String>& text);
    void EvaluateStrandScript(strand::iContext* context, const strand::String& script,
                              strand::String& result);
    bool CheckIfExpression(strand::iContext* context, const strand::Array<strand::String>& text);
    void DoExpressionEvaluation(strand::Array<strand::String>& text);
    void GetRawText(strand::Array<strand::String>& out) const;

  private:
    friend class CParameterCollection;
    friend class strand::PooledClassImp<CParameter, 1000>;
    class EvaluationScope;

    CParameter();
    CParameter(const CParameter& other);

    // The rules.
    void CheckValidation(int32_t mask);
    void validate(int32_t mask);
    void runRules(bool validation, bool enabling, bool legalValues);
    bool runEnablingRule(strand::iRunnerSoap* runner);
    void runLegalValuesRule(strand::iRunnerSoap* runner);
    void runValidationRule(strand::iRunnerSoap* runner);
    // Parses and runs one rule against the rule results, with `state` as its global properties.
    template <typename Result>
    Result runRule(const strand::String& script, strand::Ptr<strand::iPropertyCollection>& state,
                   strand::iRunnerSoap* runner,
                   Result (*ask)(strand::iExpression&, strand::ExpressionContext&));
    void SetValidationResults(strand::iPropertyCollection* results);
    void SetEnabledResults(strand::iPropertyCollection* results);
    void SetLegalValuesResults(strand::iPropertyCollection* results);
    bool GetParentEnabled();
    void CheckMemberParametersAreValid();
    bool isRequiredWithNoValue() const;
    bool affectsValidation();
    bool internalIsLegalParam(const strand::Value& value, strand::String& offending) const;

    // Groups.
    int32_t FindMember(const strand::String& name) const;
    void RemoveMember(int32_t index);
    // The groups of the collection that have this parameter as a member (by name), in collection order.
    void containingGroups(strand::Array<CParameter*>& out);
    strand::iParameterCollection* parentCollection() const;
    CParameterCollection* parentParameters() const;
    void noteGroupsChanged() const;
    // The chain from `name` back to this group through members, when `name` reaches it; empty otherwise.
    strand::String findCycleThrough(const strand::String& name) const;

    // Value changes: the collection revalidates first when this parameter affects validation.
    void beforeValueChange();
    // The evaluated value of getValue.
    const strand::Value& evaluatedValue();
    void resetFields();
    void copyParameterFields(const CParameter& source);
    static void copyState(strand::Ptr<strand::iPropertyCollection>& target,
                          const strand::Ptr<strand::iPropertyCollection>& source);
    static void storeState(strand::Ptr<strand::iPropertyCollection>& target,
                           const strand::iPropertyCollection* source);
    void checkTextSize(size_t units) const;
    // The record's fields, without the guard that names the member.
    void writeRecord(strand::iByteOutputStream& out) const;
    void readRecord(strand::iByteInputStream& in);
    // The steps of GetEvaluatedText.
    bool evaluateText(strand::iContext* context, strand::iPropertyCollection* parameters,
                      strand::iPropertyCollection* globals, uint32_t mode,
                      strand::Array<strand::String>& out);
    // The embedded scripts of one string replaced by their results; true when there were any.
    bool evaluateScriptTags(strand::iContext* context, strand::String& s);

    // Fields of the model.
    strand::Array<strand::String> m_members;
    bool m_expanded = false;
    strand::String m_help;
    strand::String m_type;
    strand::String m_guid;
    int32_t m_flagWord = 0;
    strand::Array<strand::String> m_legalValues;
    strand::Array<strand::String> m_staticLegalValues;
    bool m_dataParam = true;
    strand::UserImplState m_userImpl = -1;
    bool m_legalValuesEnforced = true;
    bool m_enabled = true;
    strand::String m_disabledDetails;
    bool m_valid = true;
    strand::String m_invalidDetails;
    bool m_validationCurrent = false;
    bool m_enablingCurrent = false;
    bool m_legalValuesCurrent = false;
    strand::String m_validationScript;
    strand::String m_enablingScript;
    strand::String m_legalValuesScript;
    strand::Ptr<strand::iPropertyCollection> m_validationState;
    strand::Ptr<strand::iPropertyCollection> m_enablingState;
    strand::Ptr<strand::iPropertyCollection> m_legalValuesState;
    strand::Ptr<CValidationContext> m_validationContext;
    strand::Ptr<strand::iPropertyCollection> m_ruleResults;
    strand::Array<strand::String> m_evaluatedText;
    strand::StringArrayValue m_evaluatedListValue;
    strand::StringValue m_evaluatedSingleValue;
    CExpressionCache m_expressionCache;
    int32_t m_affectsValidation = -1;

    // Work lists of token replacement.
    strand::Array<strand::String> m_intermediate;
    strand::Array<strand::String> m_replaced;
    // The code units a pass of token replacement has produced so far.
    size_t m_passUnits = 0;
    // Set while the text of this parameter is being evaluated: a token that comes back to it is a cycle.
    bool m_evaluating = false;
    // Set when the latest run of the legal-values rule failed.
    bool m_legalValuesRuleFailed = false;
    // The position of each member name (A to Z folded), for groups too large to search in order;
    // built on first need and dropped by every change of the members.
    using MemberIndex = std::unordered_map<strand::String, int32_t, strand::StringHashIgnoreCase,
                                           strand::StringEqualIgnoreCase>;
    mutable std::unique_ptr<MemberIndex> m_memberIndex;
};
