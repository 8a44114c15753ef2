#pragma once
// Registration of a library's creatable classes with the host. A library names its classes in
// CStmClassInfo entries and hands the list over; the host side here records what it was given, so
// that embedders and tests can see what a library registered.

#include <cstdint>
#include <string>
#include <vector>

#include "host/String.h"

namespace strand {

struct CStmClassInfo {
    std::string tagName;  // the class tag
    String displayName;
    int32_t kind = 0;
    bool operator==(const CStmClassInfo& other) const = default;
};

class CStmLibraryUtils {
  public:
    enum class Call { Register, Unregister };
    struct Event {
        Call call;
        std::vector<CStmClassInfo> classes;
        std::string libraryIdentifier;
    };

    // The identifier of the library, derived from its module handle.
    static void SetLibraryIdentifier(const void* moduleHandle, std::string& identifier);
    static void RegisterLibraryClasses(const std::vector<CStmClassInfo>& classes,
                                       const std::string& identifier);
    static void UnregisterLibraryClasses(const std::vector<CStmClassInfo>& classes,
                                         const std::string& identifier);
    static void InitFactoryComponentMap();
    static void PopulateFactoryComponentMap(const CStmClassInfo& entry);

    // What has been registered so far, for inspection.
    static std::vector<Event> events();
    static std::vector<CStmClassInfo> factoryComponentMap();
    static void clearRecord();
    // Makes the following registration calls fail with an exception (for testing failure paths).
    static void setFailing(bool failing);
};

}  // namespace strand
