#pragma once
// Statement lists. xrBasicExpressionListImp is a sequence of statements evaluated in order, whose
// value is the value of its last statement: the bodies of IF and the loops, and the argument lists of
// function calls. xrExpressionListImp is a whole parsed script: before each run it drops every
// variable binding (each run may see another record) and gives the context a random source seeded
// 3333 when it has none; RETURN ends it with the returned value, a BREAK outside every loop and a
// missing property end it with a message.
//
// When the context runs a script for a node and has no data record, the list lends it one over the
// node's properties for the run, and takes it back however the run ends.

#include "expr/ExprNode.h"
#include "expr/Variables.h"
#include "host/DataRecord.h"
#include "host/Expression.h"
#include "host/xrRandom.h"

class xrBasicExpressionListImp : public strand::iExpression {
  public:
    static constexpr strand::ClassTag Tag{"Halvorn.data.xrBasicExpressionListImp"};

    xrBasicExpressionListImp();
    xrBasicExpressionListImp(const xrBasicExpressionListImp&) = delete;
    xrBasicExpressionListImp& operator=(const xrBasicExpressionListImp&) = delete;
    ~xrBasicExpressionListImp() override;
    const strand::ClassTag& getClassTag() const override { return Tag; }
    static strand::Ptr<xrBasicExpressionListImp> newInstance() {
        return strand::makePtr<xrBasicExpressionListImp>();
    }

    void doesSomethingCheck(bool checkLast) const override;
    bool getBool(strand::ExpressionContext& ctx) override;
    double getDouble(strand::ExpressionContext& ctx) override;
    const strand::String& getString(strand::ExpressionContext& ctx) override;
    const strand::Value& getValue(strand::ExpressionContext& ctx) override;
    void evaluate(strand::ExpressionContext& ctx) override;

    void Add(const xrNodeRef& statement) { m_statements.add(statement); }
    uint32_t Size() const noexcept { return uint32_t(m_statements.size()); }
    // The statement at a 0-based position; raises InvalidIndexException.
    const xrNodeRef& Element(uint32_t i) const { return m_statements[i]; }
    const xrNodeRef& operator[](uint32_t i) const { return m_statements[i]; }
    void Reset();
    void ResetCalculated();
    // The deepest statement tree.
    int32_t Depth() const;

    static strand::LeakDetector m_leakDetector;

  protected:
    // Every statement but the last evaluated; the last returned for the caller to ask.
    xrValueExprImp& runAllButLast(strand::ExpressionContext& ctx, const char16_t* emptyMessage);

    // evaluate for a node's script, with the node's record lent for the run.
    [[gnu::noinline]] void evaluateOnLoan(strand::ExpressionContext& ctx);

    // Lends a node context a data record for the life of the object.
    class RecordLoan {
      public:
        RecordLoan(xrBasicExpressionListImp& list, strand::ExpressionContext& ctx) : m_ctx(ctx) {
            if (ctx.isForNode() && !ctx.getDataRecord())
                lend(list);
        }
        ~RecordLoan() {
            if (m_lent)
                giveBack();
        }
        RecordLoan(const RecordLoan&) = delete;
        RecordLoan& operator=(const RecordLoan&) = delete;

      private:
        void lend(xrBasicExpressionListImp& list);
        void giveBack();

        strand::ExpressionContext& m_ctx;
        strand::DataRecord* m_lent = nullptr;
    };

    strand::Array<xrNodeRef> m_statements;
    strand::Ptr<strand::DataRecord> m_nodeRecord;
};

class xrExpressionListImp final : public xrBasicExpressionListImp {
  public:
    static constexpr strand::ClassTag Tag{"Halvorn.data.xrExpressionListImp"};

    xrExpressionListImp();
    ~xrExpressionListImp() override;
    const strand::ClassTag& getClassTag() const override { return Tag; }
    static strand::Ptr<xrExpressionListImp> newInstance() { return strand::makePtr<xrExpressionListImp>(); }

    bool getBool(strand::ExpressionContext& ctx) override;
    double getDouble(strand::ExpressionContext& ctx) override;
    const strand::String& getString(strand::ExpressionContext& ctx) override;
    const strand::Value& getValue(strand::ExpressionContext& ctx) override;
    void evaluate(strand::ExpressionContext& ctx) override;

    // A copy that shares the statements and the variables (and so may not run beside the original).
    strand::Ptr<xrExpressionListImp> clone() const;

    void ResetCalculated();
    // Removes the properties calculated during the run (and, with alsoMarked, those of marked variables).
    void RemoveCalculated(strand::ExpressionContext& ctx, bool alsoMarked);
    // The script's own random source, made on first use and seeded 3333.
    strand::Ptr<strand::xrRandom> GetRandom() const;
    const xrRefCount<xrVariableList>& GetVariables() const noexcept { return m_variables; }
    void SetVariables(xrRefCount<xrVariableList> variables) { m_variables = std::move(variables); }
    // Drops every variable binding.
    void Invalidate();

    static strand::LeakDetector m_leakDetector;

  private:
    // Invalidate, telling whether any variable is a record property.
    bool invalidateVariables();
    template <typename Run, typename Returned>
    decltype(auto) runScript(strand::ExpressionContext& ctx, Run run, Returned returned);

    xrRefCount<xrVariableList> m_variables;
    mutable strand::Ptr<strand::xrRandom> m_random;
};
