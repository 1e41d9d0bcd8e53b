// A test suite that shares one signing kit, trusts only the kit's root, and
// gives each test a folder of its own inside the kit's directory.
#pragma once

#include "support/SigningKit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>

namespace qz::test {

class SigningKitSuite : public ::testing::Test {
  protected:
    /// Inside the expired signer's validity, and after it.
    static constexpr std::int64_t kMid2021 = 1622505600;
    static constexpr std::int64_t kStart2023 = 1672531200;

    static void SetUpTestSuite() { kit_ = new SigningKit(); }
    static void TearDownTestSuite()
    {
        delete kit_;
        kit_ = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(kit_->Ok()) << kit_->Error();
        ::setenv("SSL_CERT_FILE", kit_->RootCertificate().c_str(), 1);
        ::unsetenv("SSL_CERT_DIR");
        dir_ = kit_->Directory() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

    static inline SigningKit* kit_ = nullptr;
    std::filesystem::path dir_;
};

} // namespace qz::test
