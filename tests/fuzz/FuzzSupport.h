#pragma once
// What the fuzz targets share: the input as script text, temporary files for the readers, and a
// finding that stops the fuzzer with the input that caused it.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/String.h"

namespace strand::fuzz {

// The bytes as 16-bit text (invalid UTF-8 read leniently, so every input reaches the parsers).
inline String textOf(const uint8_t* data, size_t size) {
    return String::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}

// An oracle failed: report and abort, so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void finding(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz finding: %s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

// A file holding the bytes, removed when this goes.
class TempFile {
  public:
    TempFile(const void* data, size_t size) {
        char name[] = "/tmp/strand-fuzz-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            finding("cannot make a temporary file", name);
        m_path = name;
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t wrote = ::write(fd, p, size);
            if (wrote <= 0)
                finding("cannot write a temporary file", m_path);
            p += wrote;
            size -= size_t(wrote);
        }
        ::close(fd);
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const noexcept { return m_path; }

  private:
    std::string m_path;
};

}  // namespace strand::fuzz
