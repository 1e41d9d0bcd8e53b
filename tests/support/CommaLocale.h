// LC_NUMERIC set to a locale that writes "12,7" (German), for one scope.
// The locale is compiled with localedef into a scratch folder, so the
// machine needs no generated locales, only the locales package's sources.
#pragma once

#include <string>

namespace qz::test {

class ScopedCommaLocale {
public:
    ScopedCommaLocale();
    ~ScopedCommaLocale();
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;

    /// Empty when LC_NUMERIC now has a decimal comma, else why not.
    const std::string& Error() const { return error_; }

    /// The folder that holds de_DE.UTF-8, for LOCPATH; empty when it could
    /// not be made.
    static const std::string& Folder();

private:
    std::string error_;
    std::string previousNumeric_;
};

}  // namespace qz::test
