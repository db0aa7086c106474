#include <gtest/gtest.h>

#include <QtGlobal>

#include "VendorConfig.h"

namespace {

TEST(VendorConfig, EnvironmentOverridesTheBuiltInAddresses)
{
    qputenv("VORLANE_API_URL", "https://api.test:1234/");
    EXPECT_EQ(vendor::ApiUrl("/index.php/Index/soft_version"), "https://api.test:1234/index.php/Index/soft_version");
    qunsetenv("VORLANE_API_URL");
    EXPECT_FALSE(vendor::ApiBaseUrl().isEmpty());
    qputenv("VORLANE_WEBSITE_URL", "http://www.site.test");
    EXPECT_EQ(vendor::UpdatePageUrl("57"), "https://www.site.test/index.php/Works/detail/sid/57");
    qunsetenv("VORLANE_WEBSITE_URL");
}

} // namespace
