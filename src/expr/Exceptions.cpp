#include "expr/Exceptions.h"

using strand::String;

String xrExpressionUnboundException::explanation() const {
    String text(String::View{});
    if (m_line != 0)
        text = strand::formatString(u"line %d, ", m_line);
    if (m_calculationFailed) {
        text += u"The expression tried to calculate the property \"";
        text += m_name.view();
        text += u"\" but the calculation failed. ";
        text += u"One solution would be to pre-calculate this property using 'calculate'";
        text += u" (which does not signal an error if the calculation fails) and then ";
        text += u"testing whether the property is defined before executing this expression.";
        return text;
    }
    text += u"The expression was trying to access the value ";
    if (m_kind == ExpressionLocal) {
        text += u"for the LOCAL ";
    } else {
        text += u"on the data stream for the ";
        if (m_kind == Global)
            text += u"GLOBAL ";
    }
    text += u"property '";
    text += m_name.view();
    text += u"' but it is undefined or it could not be calculated. ";
    text += u"One solution for this problem is to test for this situation ";
    text += u"using the expression '";
    if (m_kind == Global)
        text += u"@";
    if (m_kind == ExpressionLocal)
        text += u"#";
    text += m_name.view();
    text += u" IS DEFINED' before using the value.";
    return text;
}
