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

private:
    std::string error_;
    std::string previousNumeric_;
    std::string previousLocPath_;
    bool hadLocPath_ = false;
};

}  // namespace qz::test
