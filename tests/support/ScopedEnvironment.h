// Environment variables set for one test, and put back as they were after it.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace qz::test {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    /// Sets `name` to `value`, or clears it when `value` is null.
    ScopedEnvironment(const char* name, const char* value)
    {
        if (value != nullptr)
            Set(name, value);
        else
            Unset(name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

    void Set(const char* name, const std::string& value)
    {
        Save(name);
        ::setenv(name, value.c_str(), 1);
    }
    void Unset(const char* name)
    {
        Save(name);
        ::unsetenv(name);
    }

private:
    void Save(const char* name)
    {
        if (saved_.count(name) == 0) {
            const char* value = std::getenv(name);
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace qz::test
