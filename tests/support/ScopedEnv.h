#pragma once
// Sets (or, given nullptr, removes) an environment variable for the life of a test and puts back what
// it was; the C library re-reads TZ each time. Header-only, for the host suites as well.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        set(value);
    }
    ~ScopedEnv() { set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const char* value) const {
        if (value)
            setenv(m_name.c_str(), value, 1);
        else
            unsetenv(m_name.c_str());
        tzset();
    }

    std::string m_name;
    std::optional<std::string> m_old;
};
