#include "ScriptSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "host/Exception.h"
#include "host/Unicode.h"

namespace strand::cli {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

[[noreturn]] void refuseBytes(const std::string& what, size_t offset) {
    throw Exception(u"%s is not valid UTF-8 (near byte %lld)", what, static_cast<long long>(offset));
}

[[noreturn]] void refuseLength(const std::string& what) {
    throw Exception(u"%s is longer than %d MiB, the most a script may be", what,
                    int32_t(kMaxScriptBytes >> 20));
}

// Reads a whole script from a descriptor, checking its bytes as they arrive.
std::string readAll(int fd, const std::string& what) {
    std::string bytes;
    size_t checked = 0;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Exception(u"Cannot read %s: %s", what, std::strerror(errno));
        }
        if (got == 0)
            break;
        if (bytes.size() + size_t(got) > kMaxScriptBytes)
            refuseLength(what);
        bytes.append(chunk, size_t(got));
        // Everything but a sequence the chunk cut short must be UTF-8 already.
        bool cutShort = false;
        checked += unicode::validUtf8Prefix(std::string_view(bytes).substr(checked),
                                            unicode::Utf8Rule::Strict, &cutShort);
        if (checked < bytes.size() && !cutShort)
            refuseBytes(what, checked);
    }
    return bytes;
}

}  // namespace

String decodeUtf8Input(const std::string& bytes, const std::string& what) {
    std::string_view view(bytes);
    const size_t skipped = view.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    view.remove_prefix(skipped);
    String text(String::View{});
    if (!unicode::decodeUtf8(view, text.mutableStr(), unicode::Utf8Rule::Strict))
        refuseBytes(what, skipped + unicode::validUtf8Prefix(view, unicode::Utf8Rule::Strict));
    return text;
}

String readScript(const ScriptSource& source) {
    if (source.text) {
        if (source.text->size() > kMaxScriptBytes)
            refuseLength("The script text");
        return decodeUtf8Input(*source.text, "The script text");
    }
    if (source.file == "-")
        return decodeUtf8Input(readAll(STDIN_FILENO, "standard input"), "Standard input");
    const int fd = open(source.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Exception(u"Cannot open %s: %s", source.file, std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode))
        throw Exception(u"%s is a directory, not a script", source.file);
    return decodeUtf8Input(readAll(fd, source.file), source.file);
}

void writeUtf8(std::FILE* out, const String& text) {
    const std::string bytes = text.toUtf8();
    std::fwrite(bytes.data(), 1, bytes.size(), out);
}

}  // namespace strand::cli
