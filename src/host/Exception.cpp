#include "host/Exception.h"

namespace strand {

Exception::~Exception() = default;

Exception& Exception::appendText(const String& text) {
    m_messages.push_back(text.isNull() ? String::empty() : text);
    m_what.clear();
    return *this;
}

String Exception::getMessage() const {
    return m_messages.empty() ? String::empty() : m_messages.front();
}

String Exception::getErrorMessageBlock() const {
    String block(String::View{});
    for (size_t i = 0; i < m_messages.size(); ++i) {
        if (i)
            block.append(u'\n');
        block.append(m_messages[i]);
    }
    return block;
}

const char* Exception::what() const noexcept {
    try {
        if (m_what.empty())
            m_what = getErrorMessageBlock().toUtf8();
    } catch (...) {
        return "strand::Exception";
    }
    return m_what.c_str();
}

}  // namespace strand
