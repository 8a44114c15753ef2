#pragma once
// xrExpressionParser: the entry to the script front end. ParseExpression turns a script into a parsed
// xrExpressionListImp (ParseExpressionList does the same for a comma-separated list of expressions);
// syntax errors are collected and raised together as one strand::Exception, every message followed by
// a line feed. CheckExpression runs the checking grammar and returns the messages instead of a tree.
// Parses share the parser runtime's null token, whose use count is not atomic, so every parse runs
// under one process-wide lock; scripts that parse while they run (eval, rules) may do so from several
// threads.

#include <mutex>

#include "expr/ExpressionList.h"
#include "host/Array.h"
#include "host/Expression.h"
#include "host/String.h"

class xrExpressionParser : public strand::iExpressionParser {
  public:
    static constexpr strand::ClassTag Tag{"Halvorn.data.ExpressionParser"};

    xrExpressionParser();
    // A copy shares the script of the latest parse.
    xrExpressionParser(const xrExpressionParser& other);
    xrExpressionParser& operator=(const xrExpressionParser&) = delete;
    ~xrExpressionParser() override;
    const strand::ClassTag& getClassTag() const override { return Tag; }

    // Parses a script: statements separated by ';'. The context supplies the global properties of
    // the script's `@` variables and may be null.
    static strand::Ptr<xrExpressionListImp> ParseExpression(const strand::String& text,
                                                            strand::iContext* context);
    // Parses a comma-separated list of expressions, each an entry of the list.
    static strand::Ptr<xrExpressionListImp> ParseExpressionList(const strand::String& text,
                                                                strand::iContext* context);
    // Checks a script; fills `messages` (emptied first) and answers true when the text has errors.
    // Warnings alone do not make it fail. Never throws for a bad script.
    static bool CheckExpression(const strand::String& text, strand::Array<strand::String>& messages);

    // Parses like ParseExpression; the result stays owned by this object until its next parse.
    strand::iExpression* parseExpression(const strand::String& text, strand::iContext* context) override;

    // The lock every parse holds.
    static std::recursive_mutex& parseLock();

    static strand::LeakDetector m_leakDetector;

  private:
    strand::Ptr<strand::iExpression> m_latest;
};
