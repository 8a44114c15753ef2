#pragma once
// The engine as a loadable library: what happens when a host loads it and registers or unregisters it.
// Loading hands the host the library's identifier; registration gives the host the three classes it
// may create by name (the expression parser, the parameter and the parameter collection), in that
// order, with their display names. The host is told through CStmLibraryUtils; the plain C exports
// below are the entry points a host finds in the shared library.

#include <cstdint>
#include <string>
#include <vector>

#include "host/Object.h"
#include "host/Registration.h"

namespace strand::module {

// The kind code of every class entry.
inline constexpr int32_t kClassKind = 2;

// The identifier the host gave the library when it was loaded (empty before).
const std::string& libraryIdentifier();
// What the load notification does: asks the host for the identifier of the library at `handle`.
void attach(const void* handle);

// The three class entries, in registration order.
std::vector<CStmClassInfo> classList();

// The host's factory map, set up once per process with the three entries; the classes become known
// to the class registry, so that newInstance creates them by tag.
void ensureFactoryMap();

// Register and unregister the classes with the host; 0 on success. A host failure is caught here
// and answered with a non-zero code: nothing is thrown across the library's boundary.
int32_t registerClasses() noexcept;
int32_t unregisterClasses() noexcept;

// The leak detectors of the variable classes.
LeakDetector& variableLeakDetector();
LeakDetector& variableFactoryLeakDetector();
LeakDetector& indexedVariableLeakDetector();

}  // namespace strand::module

extern "C" {
// The library's registration exports: 0 on success, non-zero when the host refused.
int strand_register_classes(void);
int strand_unregister_classes(void);
}
