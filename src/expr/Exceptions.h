#pragma once
// The exceptions of evaluation. BREAK and RETURN travel out of the tree as xrBreakException and
// xrReturnException; a property that is missing travels as xrExpressionUnboundException until the
// top-level script turns it into xrUndefinedPropertyException, whose text explains what to do. A
// script that asks for its component to stop throws xrExpressionTerminateException, which carries
// the component state to the host and is no strand::Exception.

#include <cstdint>

#include "expr/RefCount.h"
#include "host/Context.h"
#include "host/Exception.h"

class xrValueExprImp;

struct xrBreakException {
    int32_t line;
};

struct xrReturnException {
    xrRefCount<xrValueExprImp> expression;
};

class xrExpressionTerminateException {
  public:
    explicit xrExpressionTerminateException(strand::ComponentState state) : m_state(state) {}
    // With the name of the built-in that asked, for the host's own notes.
    xrExpressionTerminateException(strand::ComponentState state, const char16_t* function)
        : m_state(state), m_function(function) {}
    xrExpressionTerminateException(const xrExpressionTerminateException&) = default;
    xrExpressionTerminateException& operator=(const xrExpressionTerminateException&) = default;
    virtual ~xrExpressionTerminateException() = default;
    strand::ComponentState GetProcessState() const noexcept { return m_state; }
    // The built-in that asked to stop ("terminate", "haltprotocol", ...), or null.
    const char16_t* GetFunctionName() const noexcept { return m_function; }

  private:
    strand::ComponentState m_state;
    const char16_t* m_function = nullptr;
};

// A property that could not be found (or calculated) when a script read it.
class xrExpressionUnboundException {
  public:
    // Kinds: 0 data record, 1 global, 2 expression local.
    enum Kind : int32_t { DataRecord = 0, Global = 1, ExpressionLocal = 2 };

    xrExpressionUnboundException(strand::String name, int32_t kind, bool calculationFailed)
        : m_name(std::move(name)), m_kind(kind), m_calculationFailed(calculationFailed) {}

    const strand::String& name() const noexcept { return m_name; }
    int32_t kind() const noexcept { return m_kind; }
    bool calculationFailed() const noexcept { return m_calculationFailed; }
    int32_t line() const noexcept { return m_line; }
    void setLine(int32_t line) noexcept { m_line = line; }
    // The explanation a script's reader sees.
    strand::String explanation() const;

  private:
    strand::String m_name;
    int32_t m_kind;
    bool m_calculationFailed;
    int32_t m_line = 0;
};

class xrUndefinedPropertyException : public strand::Exception {
  public:
    explicit xrUndefinedPropertyException(const xrExpressionUnboundException& unbound)
        : strand::Exception(unbound.explanation()) {}
};

// Raised when a statement without a value is asked for a boolean; it keeps the line, so that a host
// can tell a script without a boolean result from other failures.
class xrExpressionVoidAsBoolException : public strand::Exception {
  public:
    explicit xrExpressionVoidAsBoolException(int32_t line)
        : strand::Exception(u"line %d, Error, cannot evaluate a void expression as a boolean.", line),
          m_line(line) {}
    int32_t GetLineNum() const noexcept { return m_line; }

  private:
    int32_t m_line;
};
