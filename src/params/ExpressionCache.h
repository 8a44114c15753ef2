#pragma once
// CExpressionCache: parsed scripts for a set of script texts, parsed again only when the texts change.
// Texts and scripts are replaced together: after a failed parse the cache is empty, so the next call
// with the same texts parses (and fails) again rather than serving stale scripts.

#include "expr/ExpressionList.h"

class CExpressionCache {
  public:
    // Parses every text (when they differ from the cached ones) and checks that each statement but the
    // last does something. Raises the first parse or check failure.
    void SetValues(strand::iContext* ctx, const strand::Array<strand::String>& texts);
    // The parsed script at a 0-based position; raises InvalidIndexException.
    const strand::Ptr<xrExpressionListImp>& GetExpressionAt(uint32_t i) const { return m_scripts[i]; }
    uint32_t GetNumberOfExpressions() const noexcept { return uint32_t(m_texts.size()); }
    void Clear();

  private:
    strand::Array<strand::String> m_texts;
    strand::Array<strand::Ptr<xrExpressionListImp>> m_scripts;
};
