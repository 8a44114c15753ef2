#include "functions/ControlFunctions.h"

#include <chrono>
#include <thread>
#include <vector>

#include "functions/FormatCall.h"
#include "functions/FunctionNode.h"
#include "host/DataRecord.h"
#include "host/DateTimeValue.h"
#include "host/Nesting.h"
#include "host/Util.h"
#include "host/xrFile.h"
#include "parser/ExpressionParser.h"

using strand::ComponentState;
using strand::ExpressionContext;
using strand::String;
using strand::Value;

namespace {

// terminate(), halt(), terminatepipeline(), haltprotocol(), blockpipeline(): the component state goes
// to whoever runs the script, through every loop and statement list.
template <ComponentState State, const char16_t* Name>
class xrStopExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext&) override { throw xrExpressionTerminateException(State, Name); }
};

constexpr char16_t kTerminate[] = u"terminate";
constexpr char16_t kHalt[] = u"halt";
constexpr char16_t kHaltProtocol[] = u"haltprotocol";
constexpr char16_t kTerminatePipeline[] = u"terminatepipeline";
constexpr char16_t kBlockPipeline[] = u"blockpipeline";

// error(message): the text exactly, without a line.
class xrErrorExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override { throw strand::Exception(textArg(ctx, 0)); }
};

// assert(condition [, message])
class xrAssertExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        if (boolArg(ctx, 0))
            return;
        if (!hasArg(1))
            throw error(u"assert failed.");
        throw error(u"assert failed: %ls", textArg(ctx, 1));
    }
};

// The component context the script was parsed for; calls made without one see no debugging, no
// client and no files.
class xrHostFunctionBase {
  protected:
    explicit xrHostFunctionBase(xrExpressionVariableFactory& variables) : m_host(variables.GetContext()) {}
    strand::iContext* host(ExpressionContext& ctx) const {
        return ctx.getContext() ? ctx.getContext() : m_host;
    }
    // The local file a script path names, or false. An empty path names none.
    bool localPath(ExpressionContext& ctx, const String& path, String& local) const {
        strand::iContext* context = host(ctx);
        return !path.isEmpty() && context && context->locateAbsolutePath(path, local);
    }

  private:
    strand::iContext* m_host;
};

enum class DebugKind { Message, Error, Break };

// debugMessage(format, value ...), debugMessageError(format, value ...), debugBreak(format, value ...)
// With debugging off nothing is evaluated and the result is the previous message.
template <DebugKind Kind>
class xrDebugExprImp final : public xrFormatCallExprImp, xrHostFunctionBase {
  public:
    xrDebugExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments)
        : xrFormatCallExprImp(line, arguments), xrHostFunctionBase(variables) {}
    void DoesSomethingCheck() const override {}
    const String& AsString(ExpressionContext& ctx) override {
        strand::iContext* context = host(ctx);
        if (!context || !context->isDebugging())
            return m_value.get();
        // The message is formatted as `format` formats, with its limits and messages.
        formatCall(ctx, m_text);
        m_value.set(m_text);
        switch (Kind) {
            case DebugKind::Message:
                context->debugMessage(m_value.get());
                break;
            case DebugKind::Error:
                context->debugErrorMessage(m_value.get());
                break;
            case DebugKind::Break:
                context->debugBreak(m_value.get());
                break;
        }
        return m_value.get();
    }

  private:
    String m_text;
};

// sendmessagetoclient(message)
class xrSendMessageToClientExprImp final : public xrFunctionExprImp<xrVoidExprImp>, xrHostFunctionBase {
  public:
    xrSendMessageToClientExprImp(int32_t line, xrExpressionVariableFactory& variables,
                                 const xrArguments& arguments)
        : xrFunctionExprImp(line, arguments), xrHostFunctionBase(variables) {}
    void Evaluate(ExpressionContext& ctx) override {
        const String& message = textArg(ctx, 0);
        strand::iContext* context = host(ctx);
        if (!context)
            throw error(u"sendmessagetoclient: there is no client to send the message to.");
        context->sendMessageToClient(message);
    }
};

// sleep(milliseconds): no pause for 0 or less (NaN among them), at most kMaxSleepMilliseconds.
class xrSleepExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const int32_t milliseconds = std::min(intArg(ctx, 0), strand::control::kMaxSleepMilliseconds);
        if (milliseconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

// fileexists(path)
class xrFileExistsExprImp final : public xrFunctionExprImp<xrBooleanExprImp>, xrHostFunctionBase {
  public:
    xrFileExistsExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments)
        : xrFunctionExprImp(line, arguments), xrHostFunctionBase(variables) {}
    bool AsBool(ExpressionContext& ctx) override {
        String local;
        return localPath(ctx, textArg(ctx, 0), local) &&
               strand::xrFile::CanOpen(local, strand::xrFile::Readable);
    }
};

// filesize(path): -1 for a path that names no file.
class xrFileSizeExprImp final : public xrFunctionExprImp<xrNumericExprImp>, xrHostFunctionBase {
  public:
    xrFileSizeExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments)
        : xrFunctionExprImp(line, arguments), xrHostFunctionBase(variables) {}
    double AsDouble(ExpressionContext& ctx) override {
        String local;
        if (!localPath(ctx, textArg(ctx, 0), local))
            return -1;
        return double(strand::xrFile::GetFileSize(local));
    }
};

// filelastmodified(path): a date-time, 1970-01-01 00:00 UTC for a path that names no file.
class xrFileLastModifiedExprImp final : public xrFunctionExprImp<xrValueExprImp>, xrHostFunctionBase {
  public:
    xrFileLastModifiedExprImp(int32_t line, xrExpressionVariableFactory& variables,
                              const xrArguments& arguments)
        : xrFunctionExprImp(line, arguments), xrHostFunctionBase(variables) {}
    void DoesSomethingCheck() const override {}
    const Value& AsValue(ExpressionContext& ctx) override {
        String local;
        const int64_t seconds =
            localPath(ctx, textArg(ctx, 0), local) ? strand::xrFile::GetLastModifiedTime(local) : 0;
        m_date.setSecondsSince1970(seconds, 0);
        return m_date;
    }
    double AsDouble(ExpressionContext& ctx) override {
        AsValue(ctx);
        return m_date.getJulian();
    }
    const String& AsString(ExpressionContext& ctx) override {
        AsValue(ctx).getText(m_text);
        return m_text;
    }
    bool AsBool(ExpressionContext&) override {
        throw strand::Exception(u"Cannot evaluate 'filelastmodified' as a boolean.");
    }
    void Evaluate(ExpressionContext&) override {
        throw error(
            u"You must use the resulting value from 'filelastmodified' to assign to a property or in another "
            u"expression.");
    }

  private:
    strand::DateTimeValue m_date;
    String m_text;
};

// fileowner(path): empty for a path that names no file.
class xrFileOwnerExprImp final : public xrFunctionExprImp<xrStringExprImp>, xrHostFunctionBase {
  public:
    xrFileOwnerExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments)
        : xrFunctionExprImp(line, arguments), xrHostFunctionBase(variables) {}
    const String& AsString(ExpressionContext& ctx) override {
        String local;
        String owner(u"");
        if (localPath(ctx, textArg(ctx, 0), local))
            strand::xrFile::GetFileOwner(local, owner);
        m_value.set(std::move(owner));
        return m_value.get();
    }
};

// isupports(name)
class xrISupportsExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const String& name = textArg(ctx, 0);
        strand::iDataRecord* record = ctx.getDataRecord();
        // No record here is a molecule or a reaction.
        if (name.equalsIgnoreCase(std::u16string_view(u"IMolecule")))
            return false;
        if (name.equalsIgnoreCase(std::u16string_view(u"IDataRecord")))
            return record != nullptr;
        strand::iNode* node = ctx.isForNode() ? ctx.isForNode() : record ? record->getRootNode() : nullptr;
        return node && node->getTypeName().equalsIgnoreCase(name);
    }
};

// isvalidstrandscript(text)
class xrIsValidStrandScriptExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        strand::Array<String> messages;
        return !xrExpressionParser::CheckExpression(textArg(ctx, 0), messages);
    }
};

// eval(text): the text runs as a script in the evaluation's context. The parsed script is kept and
// reused while the text stays the same; a reset forgets it. Every run counts as a step of the budget,
// and runs nested in runs share the one nesting bound.
class xrEvalExprImp final : public xrFunctionExprImp<xrValueExprImp> {
  public:
    xrEvalExprImp(int32_t line, xrExpressionVariableFactory& variables, const xrArguments& arguments)
        : xrFunctionExprImp(line, arguments), m_host(variables.GetContext()) {}
    void DoesSomethingCheck() const override {}
    void Reset() override { m_text = String(); }

    template <typename F>
    decltype(auto) run(ExpressionContext& ctx, F&& body) {
        ctx.step(GetLineNum());
        if (strand::NestingGuard::depth() >= strand::NestingGuard::kMaxNesting)
            throw error(u"eval nested too deeply: more than %d levels", strand::NestingGuard::kMaxNesting);
        strand::NestingGuard guard(u"eval");
        const String& text = textArg(ctx, 0);
        if (!m_script || m_text.isNull() || text != m_text) {
            // The text is kept only with the script parsed from it.
            String copy = text;
            m_script =
                xrExpressionParser::ParseExpression(copy, ctx.getContext() ? ctx.getContext() : m_host);
            m_text = std::move(copy);
        } else {
            m_script->Reset();
        }
        // The script stays alive while it runs, even should the run reach this node again.
        strand::Ptr<xrExpressionListImp> script = m_script;
        return body(*script);
    }

  public:
    const String& AsString(ExpressionContext& ctx) override {
        return run(ctx, [&](xrExpressionListImp& s) -> const String& { return s.getString(ctx); });
    }
    bool AsBool(ExpressionContext& ctx) override {
        return run(ctx, [&](xrExpressionListImp& s) { return s.getBool(ctx); });
    }
    double AsDouble(ExpressionContext& ctx) override {
        return run(ctx, [&](xrExpressionListImp& s) { return s.getDouble(ctx); });
    }
    const Value& AsValue(ExpressionContext& ctx) override {
        return run(ctx, [&](xrExpressionListImp& s) -> const Value& { return s.getValue(ctx); });
    }
    void Evaluate(ExpressionContext& ctx) override {
        run(ctx, [&](xrExpressionListImp& s) { s.evaluate(ctx); });
    }

  private:
    strand::iContext* m_host;
    String m_text;
    strand::Ptr<xrExpressionListImp> m_script;
};

// createGUID()
class xrCreateGUIDExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext&) override {
        m_value.set(strand::util::createGuid());
        return m_value.get();
    }
};

}  // namespace

namespace strand::control {

STRAND_BUILTIN_FACTORY(makeTerminate, xrStopExprImp<ComponentState::Terminated, kTerminate>)
STRAND_BUILTIN_FACTORY(makeError, xrErrorExprImp)
STRAND_BUILTIN_FACTORY(makeHalt, xrStopExprImp<ComponentState::Terminated, kHalt>)
STRAND_BUILTIN_FACTORY(makeHaltProtocol, xrStopExprImp<ComponentState::HaltProtocol, kHaltProtocol>)
STRAND_BUILTIN_FACTORY(makeTerminatePipeline, xrStopExprImp<ComponentState::Terminated, kTerminatePipeline>)
STRAND_BUILTIN_FACTORY(makeBlockPipeline, xrStopExprImp<ComponentState::Blocked, kBlockPipeline>)
STRAND_BUILTIN_FACTORY(makeFileExists, xrFileExistsExprImp)
STRAND_BUILTIN_FACTORY(makeFileSize, xrFileSizeExprImp)
STRAND_BUILTIN_FACTORY(makeFileLastModified, xrFileLastModifiedExprImp)
STRAND_BUILTIN_FACTORY(makeFileOwner, xrFileOwnerExprImp)
STRAND_BUILTIN_FACTORY(makeSendMessageToClient, xrSendMessageToClientExprImp)
STRAND_BUILTIN_FACTORY(makeSleep, xrSleepExprImp)
STRAND_BUILTIN_FACTORY(makeISupports, xrISupportsExprImp)
STRAND_BUILTIN_FACTORY(makeIsValidStrandScript, xrIsValidStrandScriptExprImp)
STRAND_BUILTIN_FACTORY(makeDebugMessage, xrDebugExprImp<DebugKind::Message>)
STRAND_BUILTIN_FACTORY(makeDebugMessageError, xrDebugExprImp<DebugKind::Error>)
STRAND_BUILTIN_FACTORY(makeDebugBreak, xrDebugExprImp<DebugKind::Break>)
STRAND_BUILTIN_FACTORY(makeAssert, xrAssertExprImp)
STRAND_BUILTIN_FACTORY(makeEval, xrEvalExprImp)
STRAND_BUILTIN_FACTORY(makeCreateGUID, xrCreateGUIDExprImp)

}  // namespace strand::control
