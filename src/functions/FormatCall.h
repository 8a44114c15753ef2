#pragma once
// xrFormatCallExprImp: the shared base of the built-ins whose first argument is a format text and the
// rest its values (`format` and the debug messages). The values are read as the format engine asks for
// them, so an argument no directive takes is never evaluated.

#include <string>

#include "functions/FormatEngine.h"
#include "functions/FunctionNode.h"

class xrFormatCallExprImp : public xrFunctionExprImp<xrStringExprImp>, private strand::fn::FormatArguments {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;

  protected:
    // The call's format text rendered with its values into `out` (cleared first).
    void formatCall(strand::ExpressionContext& ctx, strand::String& out) {
        m_ctx = &ctx;
        m_next = 1;
        m_format.assign(textArg(ctx, 0).view());
        strand::fn::formatText(out, m_format.view(), *this, GetLineNum(), m_scratch);
    }

  private:
    bool hasNext() const override { return m_next < argCount(); }
    double nextNumber() override { return numberArg(*m_ctx, m_next++); }
    const strand::String& nextText() override { return textArg(*m_ctx, m_next++); }

    strand::ExpressionContext* m_ctx = nullptr;
    size_t m_next = 1;
    strand::String m_format;  // a copy: the values read later may change the text the first gave
    std::string m_scratch;
};
