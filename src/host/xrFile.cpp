#include "host/xrFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

namespace strand {

namespace {

// The path as the system wants it, or nothing for a path that can name no file. A zero code unit
// would cut the UTF-8 path short and name another file.
std::optional<std::string> systemPath(const String& path) {
    if (path.isEmpty() || path.find(u'\0') != String::npos)
        return std::nullopt;
    return path.toUtf8();
}

std::optional<struct stat> statOf(const String& path) {
    std::optional<std::string> name = systemPath(path);
    if (!name)
        return std::nullopt;
    struct stat info {};
    if (::stat(name->c_str(), &info) != 0)
        return std::nullopt;
    return info;
}

// The user name of a user number, or nothing when it has none.
std::optional<std::string> userName(uid_t uid) {
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 1024);
    for (;;) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        int rc = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found || !found->pw_name)
            return std::nullopt;
        return std::string(found->pw_name);
    }
}

}  // namespace

bool xrFile::CanOpen(const String& path, int mode) {
    int access = 0;
    if (mode == Readable)
        access = R_OK;
    if (mode == Writable)
        access = W_OK;
    if (mode == ReadWrite)
        access = R_OK | W_OK;
    if (access == 0)
        return false;
    std::optional<struct stat> info = statOf(path);
    if (!info || S_ISDIR(info->st_mode))
        return false;
    // The effective user decides, as it does when the file is opened.
    return ::faccessat(AT_FDCWD, path.toUtf8().c_str(), access, AT_EACCESS) == 0;
}

int64_t xrFile::GetFileSize(const String& path) {
    std::optional<struct stat> info = statOf(path);
    if (!info || S_ISDIR(info->st_mode))
        return -1;
    return int64_t(info->st_size);
}

int64_t xrFile::GetLastModifiedTime(const String& path) {
    std::optional<struct stat> info = statOf(path);
    if (!info)
        return 0;
    return int64_t(info->st_mtim.tv_sec);
}

bool xrFile::GetFileOwner(const String& path, String& owner) {
    std::optional<struct stat> info = statOf(path);
    if (!info) {
        owner = String::empty();
        return false;
    }
    std::optional<std::string> name = userName(info->st_uid);
    owner = name ? String::fromUtf8(*name) : String::fromAscii(std::to_string(info->st_uid));
    return true;
}

}  // namespace strand
