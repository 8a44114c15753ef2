#pragma once
// xrFile: what scripts may ask about a file without opening it: whether it can be opened, its
// size, its modification time and its owner. Paths are 16-bit text and go to the system as
// UTF-8. A path that is null, empty or holds a zero code unit names no file. None of these calls
// throws: a file that cannot be examined answers like a missing one.

#include <cstdint>

#include "host/String.h"

namespace strand {

class xrFile {
  public:
    xrFile() = delete;

    enum : int { Readable = 1, Writable = 2, ReadWrite = 3 };

    // Whether the process (its effective user) may open the file for reading (mode 1), for
    // writing (2) or for both (3). False for a missing file, for a directory (it is not a file to
    // open) and for any other mode.
    static bool CanOpen(const String& path, int mode);
    // The size in bytes; -1 for a missing file or a directory.
    static int64_t GetFileSize(const String& path);
    // The last modification, in whole seconds since 1970-01-01 00:00 UTC, 64-bit (dates after 2038
    // and before 1970 work); 0 for a missing file. Directories answer too.
    static int64_t GetLastModifiedTime(const String& path);
    // Sets owner to the user name of the file's owner, or to its user number in decimal when the
    // number has no name, and returns true. Missing file: owner set to the empty text, false.
    static bool GetFileOwner(const String& path, String& owner);
};

}  // namespace strand
