#include "app/core/vendor.h"

#include <gtest/gtest.h>

#include "platform/settings.h"

namespace lanqi {
namespace {

TEST(VendorAddress, ShownWithoutItsScheme) {
    const struct {
        Text base;
        Text shown;
    } cases[] = {
        {Text(kBuiltInVendorBase), "www.lanqi-studio.example"},
        {"http://127.0.0.1:8123", "127.0.0.1:8123"},
        {"https://example.test", "example.test"},
        {"vendor.test", "vendor.test"},  // no scheme: shown as it is
    };
    for (const auto& c : cases) EXPECT_EQ(vendorAddressForDisplay(c.base), c.shown) << c.base;
}

TEST(VendorAddress, VersionPageAndFileLieUnderTheUpdatePath) {
    EXPECT_EQ(vendorPageAddress(Text(kBuiltInVendorBase)),
              "http://www.lanqi-studio.example/soft/qabrelto/qabrelto1.9.html");
    EXPECT_EQ(versionFileAddress(Text(kBuiltInVendorBase)), "http://www.lanqi-studio.example/soft/qabrelto/bbxx.txt");
    EXPECT_EQ(vendorPageAddress("http://127.0.0.1:8123/vendor-new"),
              "http://127.0.0.1:8123/vendor-new/soft/qabrelto/qabrelto1.9.html");
    EXPECT_EQ(versionFileAddress("http://127.0.0.1:8123/vendor-new"),
              "http://127.0.0.1:8123/vendor-new/soft/qabrelto/bbxx.txt");
}

}  // namespace
}  // namespace lanqi
