#include "host/xrFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using strand::String;
using strand::xrFile;

namespace {

namespace fs = std::filesystem;

// Each test works in a folder of its own under the temporary folder, removed at the end.
class xrFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("xrFileTest-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device()()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    String make(const std::string& name, size_t size) {
        std::ofstream(m_dir / name, std::ios::binary) << std::string(size, 'x');
        return pathOf(name);
    }
    String pathOf(const std::string& name) const { return String::fromUtf8((m_dir / name).string()); }

    fs::path m_dir;
};

}  // namespace

TEST_F(xrFileTest, SizeAndOwner) {
    EXPECT_EQ(xrFile::GetFileSize(make("empty", 0)), 0);
    EXPECT_EQ(xrFile::GetFileSize(make("small", 1234)), 1234);
    // The wide name reaches the system as UTF-8.
    make("gr\xc3\xbc\xc3\x9f \xe2\x82\xac", 17);
    EXPECT_EQ(xrFile::GetFileSize(String::fromUtf8(m_dir.string()).append(u"/gr\u00fc\u00df \u20ac")), 17);
    String owner;
    ASSERT_TRUE(xrFile::GetFileOwner(pathOf("small"), owner));
    const struct passwd* me = ::getpwuid(::geteuid());
    EXPECT_EQ(owner, me ? String::fromUtf8(me->pw_name) : String::fromAscii(std::to_string(::geteuid())));
}

TEST_F(xrFileTest, MissingFilesFoldersOddPathsAnd64BitModifiedTimes) {
    String owner(u"stale");
    for (const String& path : {pathOf("missing"), String(), String(u""),
                               String::fromUtf8(m_dir.string()).append(u'\0').append(u"x")}) {
        EXPECT_EQ(xrFile::GetFileSize(path), -1);
        EXPECT_EQ(xrFile::GetLastModifiedTime(path), 0);
        EXPECT_FALSE(xrFile::GetFileOwner(path, owner));
        EXPECT_EQ(owner, u"");
        EXPECT_FALSE(xrFile::CanOpen(path, 1));
    }
    // A folder has a time and an owner, but no size, and is not a file to open.
    const String dir = String::fromUtf8(m_dir.string());
    EXPECT_EQ(xrFile::GetFileSize(dir), -1);
    EXPECT_GT(xrFile::GetLastModifiedTime(dir), 0);
    EXPECT_TRUE(xrFile::GetFileOwner(dir, owner));
    EXPECT_FALSE(xrFile::CanOpen(dir, 1));
    const String path = make("future", 3);
    for (int64_t when : {int64_t(2208988800), int64_t(-86400)}) {  // 2040-01-01 and 1969-12-31 UTC
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.toUtf8().c_str(), times, 0), 0);
        EXPECT_EQ(xrFile::GetLastModifiedTime(path), when);
    }
}

TEST_F(xrFileTest, CanOpenModes) {
    const String path = make("rw", 1);
    for (int mode : {1, 2, 3})
        EXPECT_TRUE(xrFile::CanOpen(path, mode)) << mode;
    for (int mode : {0, 4, -1})
        EXPECT_FALSE(xrFile::CanOpen(path, mode)) << mode;
    const String readOnly = make("ro", 1);
    ASSERT_EQ(::chmod(readOnly.toUtf8().c_str(), 0444), 0);
    EXPECT_TRUE(xrFile::CanOpen(readOnly, 1));
    // The superuser may write anything, so only other users see the protection.
    if (::geteuid() != 0) {
        EXPECT_FALSE(xrFile::CanOpen(readOnly, 2));
        EXPECT_FALSE(xrFile::CanOpen(readOnly, 3));
    }
}
