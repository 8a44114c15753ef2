#include "params/ExpressionCache.h"

#include "parser/ExpressionParser.h"

void CExpressionCache::SetValues(strand::iContext* ctx, const strand::Array<strand::String>& texts) {
    if (texts.size() == m_texts.size()) {
        bool same = true;
        for (size_t i = 0; i < texts.size() && same; ++i)
            same = texts[i] == m_texts[i];
        if (same)
            return;
    }
    strand::Array<strand::Ptr<xrExpressionListImp>> scripts;
    scripts.reserve(texts.size());
    try {
        for (const auto& text : texts) {
            strand::Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(text, ctx);
            script->doesSomethingCheck(false);
            scripts.add(std::move(script));
        }
    } catch (...) {
        Clear();
        throw;
    }
    m_texts = texts;
    m_scripts = std::move(scripts);
}

void CExpressionCache::Clear() {
    m_texts.clear();
    m_scripts.clear();
}
