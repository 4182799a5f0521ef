#pragma once

#include <stdlib.h>

#include <map>
#include <optional>
#include <string>

namespace officecarve::testing {

// Sets or clears environment variables for the life of the object and puts
// the old values back afterwards, so that a test can play a user started
// through pkexec or sudo without leaking that into the next test.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value) {
    Save(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void Clear(const std::string& name) {
    Save(name);
    unsetenv(name.c_str());
  }
  // No pkexec or sudo in sight, whatever started the tests.
  void ClearElevation() {
    for (const char* name : {"PKEXEC_UID", "SUDO_UID", "SUDO_GID"}) Clear(name);
  }

 private:
  void Save(const std::string& name) {
    if (saved_.count(name) != 0) return;
    const char* value = getenv(name.c_str());
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }

  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace officecarve::testing
