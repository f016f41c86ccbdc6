#include "app/core/vendor.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace lanqi {
namespace {

class VendorAddress : public ::testing::Test {
  protected:
    void TearDown() override { unsetenv("LANQI_VENDOR_BASE"); }
};

TEST_F(VendorAddress, CompiledInAddressUnlessOverridden) {
    unsetenv("LANQI_VENDOR_BASE");
    EXPECT_EQ(vendorBaseAddress(), "http://www.lanqi-studio.example");
    EXPECT_EQ(vendorAddressForDisplay(), "www.lanqi-studio.example");
    setenv("LANQI_VENDOR_BASE", "", 1);  // empty counts as not set
    EXPECT_EQ(vendorBaseAddress(), "http://www.lanqi-studio.example");
}

TEST_F(VendorAddress, EnvironmentOverridesAndIsReadOnEveryCall) {
    setenv("LANQI_VENDOR_BASE", "http://127.0.0.1:8123", 1);
    EXPECT_EQ(vendorBaseAddress(), "http://127.0.0.1:8123");
    EXPECT_EQ(vendorAddressForDisplay(), "127.0.0.1:8123");
    setenv("LANQI_VENDOR_BASE", "https://example.test", 1);
    EXPECT_EQ(vendorAddressForDisplay(), "example.test");
    setenv("LANQI_VENDOR_BASE", "vendor.test", 1);  // no scheme: shown as it is
    EXPECT_EQ(vendorAddressForDisplay(), "vendor.test");
}

TEST_F(VendorAddress, VersionPageAndFileLieUnderTheUpdatePath) {
    unsetenv("LANQI_VENDOR_BASE");
    EXPECT_EQ(vendorPageAddress(), "http://www.lanqi-studio.example/soft/qabrelto/qabrelto1.9.html");
    EXPECT_EQ(versionFileAddress(), "http://www.lanqi-studio.example/soft/qabrelto/bbxx.txt");
    setenv("LANQI_VENDOR_BASE", "http://127.0.0.1:8123/vendor-new", 1);
    EXPECT_EQ(vendorPageAddress(), "http://127.0.0.1:8123/vendor-new/soft/qabrelto/qabrelto1.9.html");
    EXPECT_EQ(versionFileAddress(), "http://127.0.0.1:8123/vendor-new/soft/qabrelto/bbxx.txt");
}

}  // namespace
}  // namespace lanqi
