#include "platform/settings.h"
#include "search/site_catalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace lanqi {
namespace {

class SiteCatalogue : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int n = 1; n <= 6; ++n) {
            const std::string name = "LANQI_SITE" + std::to_string(n) + "_BASE";
            setenv(name.c_str(), ("http://h" + std::to_string(n)).c_str(), 1);
        }
    }
    void TearDown() override {
        for (int n = 1; n <= 6; ++n) unsetenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str());
    }
};

TEST_F(SiteCatalogue, EncodesEveryByteOfTheUtf8Form) {
    EXPECT_EQ(encodeKeyword("abc"), "%61%62%63");
    EXPECT_EQ(encodeKeyword(gbk(u8"超能陆战队")), "%E8%B6%85%E8%83%BD%E9%99%86%E6%88%98%E9%98%9F");
    EXPECT_EQ(encodeKeyword("a b.1"), "%61%20%62%2E%31");
}

TEST_F(SiteCatalogue, ReservedBytesAndControlBytesCannotBreakTheAddress) {
    EXPECT_EQ(encodeKeyword("/?&#%"), "%2F%3F%26%23%25");
    EXPECT_EQ(encodeKeyword("\t"), "%09");
    EXPECT_EQ(encodeKeyword("\x01"), "%01");
}

TEST_F(SiteCatalogue, InvalidGbkIsSearchedAsTheEmptyKeyword) {
    EXPECT_EQ(encodeKeyword("abc\xB3"), "");
    EXPECT_EQ(encodeKeyword(""), "");
}

TEST_F(SiteCatalogue, BuildsTheSixAddressesInCatalogueOrder) {
    const auto urls = buildSearchUrls("%61%62%63", "2");
    EXPECT_EQ(urls[0], "http://h1/search/%61%62%63/?c=&s=create_time&p=2");
    EXPECT_EQ(urls[1], "http://h2/list/%61%62%63/2");
    EXPECT_EQ(urls[2], "http://h3/s/%61%62%63/2.htm");
    EXPECT_EQ(urls[3], "http://h4/list/%61%62%63/2.html");
    EXPECT_EQ(urls[4], "http://h5/search/%61%62%63/2-1.html");
    EXPECT_EQ(urls[5], "http://h6/search?keyword=%61%62%63&p=2");
}

TEST_F(SiteCatalogue, EmptyKeywordIsStillSearched) {
    const auto urls = buildSearchUrls(encodeKeyword(""), "1");
    EXPECT_EQ(urls[0], "http://h1/search//?c=&s=create_time&p=1");
    EXPECT_EQ(urls[5], "http://h6/search?keyword=&p=1");
}

TEST_F(SiteCatalogue, PageTextIsUsedUnchanged) {
    const auto urls = buildSearchUrls("%61", "999999");
    EXPECT_EQ(urls[2], "http://h3/s/%61/999999.htm");
}

TEST(SiteCatalogueDefaults, CompiledInAddressesAreUsedWithoutOverride) {
    for (int n = 1; n <= 6; ++n) unsetenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str());
    setenv("LANQI_SITE2_BASE", "", 1);  // empty counts as not set
    const auto urls = buildSearchUrls("%61", "1");
    for (int n = 1; n <= 6; ++n) {
        const std::string_view base = kBuiltInSiteBases[static_cast<size_t>(n - 1)];
        EXPECT_EQ(urls[static_cast<size_t>(n - 1)].rfind(std::string(base) + "/", 0), 0u) << n;
    }
    unsetenv("LANQI_SITE2_BASE");
}

TEST(ResultPageAddress, TakesTheLinkAgainstItsSlotsBaseAndOpensOnlyWebAddresses) {
    const Text base = "http://127.0.0.1:8680/site2";
    const struct {
        Text link;
        Text page;
    } cases[] = {
        {"", ""},
        {"https://other.example/t/1", "https://other.example/t/1"},
        {"HTTP://Other.example/t/1", "HTTP://Other.example/t/1"},
        {"/info/abc.html", "http://127.0.0.1:8680/info/abc.html"},
        {"//mirror.example/info/abc", "http://mirror.example/info/abc"},
        {"info/abc.html", "http://127.0.0.1:8680/site2/info/abc.html"},
        {"javascript:alert(1)", ""},
        {"file:///etc/passwd", ""},
        {"/info/a b", ""},
        {"/info/a\r\nb", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(resultPageAddress(c.link, base), c.page) << c.link;
    EXPECT_EQ(resultPageAddress("/info/abc", "http://site.example"), "http://site.example/info/abc");
    EXPECT_EQ(resultPageAddress("/info/abc", ""), "") << "a slot without a base has no pages";
}

TEST(Placeholders, ReservedHostNamesAreNoSitesAndASearchNeedsOneRealSlot) {
    const struct {
        Text base;
        bool placeholder;
    } cases[] = {
        {"http://site1.lanqi-sites.example", true},
        {"https://EXAMPLE/x", true},
        {"http://a.invalid:8080/p", true},
        {"http://mirror.test.", true},
        {"http://127.0.0.1:8680/site1", false},
        {"http://example.com", false},
        {"http://my-example/x", false},
        {"http://testsite.org", false},
        {"not an address", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isPlaceholderBase(c.base), c.placeholder) << c.base;

    SearchSites sites = builtInSearchSites();
    EXPECT_TRUE(noSiteSetUp(sites));
    sites[3].base = "http://127.0.0.1:8680/site4";
    EXPECT_FALSE(noSiteSetUp(sites));
    sites[3].enabled = false;  // the one real site switched off: nothing to ask again
    EXPECT_TRUE(noSiteSetUp(sites));
    EXPECT_TRUE(noSiteSetUp({}));
}

}  // namespace
}  // namespace lanqi
