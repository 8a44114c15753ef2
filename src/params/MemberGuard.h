#pragma once
// How members of the parameter classes report failures from below. A host exception travels on with
// "Class::member: Strandline exception caught" appended, so that its reader sees the path it took; an
// allocation failure becomes "Class::member: Bad Allocation <its text>" and anything else "Class::member:
// Severe error caught". Every such member runs its body through guardMember:
//
//   bool CParameter::getValid() {
//       return guardMember(u"CParameter", u"getValid", [&] { return ...; });
//   }
//
// GlobalTokenInParamException is what parameter() raises for a value that still holds a token the
// component could not replace; the validation rule counts such a parameter as valid.

#include <new>
#include <utility>

#include "host/Exception.h"

namespace strand::params {

template <typename F>
decltype(auto) guardMember(const char16_t* className, const char16_t* member, F&& body) {
    try {
        return std::forward<F>(body)();
    } catch (const MemoryException& e) {
        throw Exception(u"%ls::%ls: Bad Allocation %ls", className, member, e.getMessage());
    } catch (Exception& e) {
        e.appendMessage(u"%ls::%ls: Strandline exception caught", className, member);
        throw;
    } catch (const std::bad_alloc& e) {
        throw Exception(u"%ls::%ls: Bad Allocation %ls", className, member, e.what());
    } catch (...) {
        throw Exception(u"%ls::%ls: Severe error caught", className, member);
    }
}

}  // namespace strand::params

class GlobalTokenInParamException : public strand::Exception {
  public:
    GlobalTokenInParamException(const strand::String& name, const strand::String& value)
        : strand::Exception(u"the value of parameter '%ls' contained a global token '%ls'", name, value) {}
};
