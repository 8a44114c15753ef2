#include "host/Registration.h"

#include <cstdio>
#include <mutex>

#include "host/Exception.h"

namespace strand {

namespace {

struct Record {
    std::mutex mutex;
    std::vector<CStmLibraryUtils::Event> events;
    std::vector<CStmClassInfo> factoryMap;
    bool failing = false;
};

Record& record() {
    static Record r;
    return r;
}

void failIfAsked(Record& r) {
    if (r.failing)
        throw Exception(u"The host refused the registration");
}

}  // namespace

void CStmLibraryUtils::SetLibraryIdentifier(const void* moduleHandle, std::string& identifier) {
    char text[32];
    std::snprintf(text, sizeof text, "library-%p", moduleHandle);
    identifier = text;
}

void CStmLibraryUtils::RegisterLibraryClasses(const std::vector<CStmClassInfo>& classes,
                                              const std::string& identifier) {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    failIfAsked(r);
    r.events.push_back({Call::Register, classes, identifier});
}

void CStmLibraryUtils::UnregisterLibraryClasses(const std::vector<CStmClassInfo>& classes,
                                                const std::string& identifier) {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    failIfAsked(r);
    r.events.push_back({Call::Unregister, classes, identifier});
}

void CStmLibraryUtils::InitFactoryComponentMap() {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    failIfAsked(r);
    r.factoryMap.clear();
}

void CStmLibraryUtils::PopulateFactoryComponentMap(const CStmClassInfo& entry) {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    failIfAsked(r);
    r.factoryMap.push_back(entry);
}

std::vector<CStmLibraryUtils::Event> CStmLibraryUtils::events() {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    return r.events;
}

std::vector<CStmClassInfo> CStmLibraryUtils::factoryComponentMap() {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    return r.factoryMap;
}

void CStmLibraryUtils::clearRecord() {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    r.events.clear();
    r.factoryMap.clear();
}

void CStmLibraryUtils::setFailing(bool failing) {
    Record& r = record();
    std::lock_guard lock(r.mutex);
    r.failing = failing;
}

}  // namespace strand
