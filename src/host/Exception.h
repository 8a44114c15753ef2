#pragma once
// Failures of the host and of scripts travel as Exception objects. An exception holds one or more
// messages (16-bit text); places it passes through may append their own. The message block is the
// messages joined by line feeds; what() gives the block as UTF-8.

#include <exception>
#include <string>
#include <vector>

#include "host/Format.h"
#include "host/String.h"

namespace strand {

class Exception : public std::exception {
  public:
    Exception() = default;
    // The text is taken as it is, never as a format.
    explicit Exception(const String& text) { m_messages.push_back(text.isNull() ? String::empty() : text); }
    // Printf-style formats (see Format.h for the conversions).
    template <typename... A>
    explicit Exception(const char16_t* fmt, const A&... args) {
        m_messages.push_back(formatString(std::u16string_view(fmt ? fmt : u""), args...));
    }
    template <typename... A>
    explicit Exception(const char* fmt, const A&... args) {
        m_messages.push_back(formatString(std::string_view(fmt ? fmt : ""), args...));
    }
    ~Exception() override;

    // Appends a further message to the block.
    template <typename... A>
    Exception& appendMessage(const char16_t* fmt, const A&... args) {
        return appendText(formatString(std::u16string_view(fmt ? fmt : u""), args...));
    }
    template <typename... A>
    Exception& appendMessage(const char* fmt, const A&... args) {
        return appendText(formatString(std::string_view(fmt ? fmt : ""), args...));
    }
    Exception& appendText(const String& text);

    const std::vector<String>& getMessages() const noexcept { return m_messages; }
    // The first message, or the empty text.
    String getMessage() const;
    // Every message, joined by line feeds.
    String getErrorMessageBlock() const;
    const char* what() const noexcept override;

  private:
    std::vector<String> m_messages;
    mutable std::string m_what;
};

// Raised when memory runs out, or a size asked for cannot be allocated.
class MemoryException : public Exception {
  public:
    MemoryException() : Exception(u"Out of memory") {}
    explicit MemoryException(const String& text) : Exception(text) {}
};

// Raised by Array and the host collections for a position outside 0 to size - 1.
class InvalidIndexException : public Exception {
  public:
    InvalidIndexException(int64_t index, int64_t lastValid)
        : Exception(u"Invalid index %lld: the valid indices are 0 to %lld", index, lastValid),
          m_index(index),
          m_lastValid(lastValid) {}
    int64_t getIndex() const noexcept { return m_index; }
    int64_t getLastValidIndex() const noexcept { return m_lastValid; }

  private:
    int64_t m_index;
    int64_t m_lastValid;
};

}  // namespace strand
