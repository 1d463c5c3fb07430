#include "platform/Endpoints.hpp"
#include "services/api/ApiDomains.hpp"
#include "support/RunState.hpp"
#include "support/ScopedEnv.hpp"

#include <gtest/gtest.h>

namespace hexora {

namespace {
class ApiDomainsTest : public test::RunStateFixture {};
}  // namespace

TEST(Endpoints, SplitUrls) {
    struct Case {
        const char* text;
        std::vector<std::string> urls;
    };
    const Case cases[] = {
        {"https://a.example,https://b.example", {"https://a.example", "https://b.example"}},
        {" https://a.example , https://b.example ", {"https://a.example", "https://b.example"}},
        {"https://only.example", {"https://only.example"}},
        {",,https://a.example,,", {"https://a.example"}},
        {"", {}},
        {" , ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::Endpoints::splitUrls(c.text), c.urls) << c.text;
}

TEST(Endpoints, CompiledInValuesWithoutEnvironment) {
    test::ScopedEnv api("HEXORA_API_URLS", std::nullopt);
    test::ScopedEnv file("HEXORA_FILE_URLS", std::nullopt);
    test::ScopedEnv rum("HEXORA_RUM_URL", std::nullopt);
    test::ScopedEnv ca("HEXORA_CA_FILE", std::nullopt);
    EXPECT_EQ(platform::Endpoints::apiUrls(), platform::Endpoints::splitUrls(HEXORA_DEFAULT_API_URLS));
    EXPECT_EQ(platform::Endpoints::fileUrls(), platform::Endpoints::splitUrls(HEXORA_DEFAULT_FILE_URLS));
    EXPECT_EQ(platform::Endpoints::apiUrls().size(), 2u);
    EXPECT_EQ(platform::Endpoints::fileUrls().size(), 2u);
    EXPECT_EQ(platform::Endpoints::rumUrl(), HEXORA_DEFAULT_RUM_URL);
    EXPECT_FALSE(platform::Endpoints::caFile());
}

TEST(Endpoints, EnvironmentReplacesThemWhenAllowed) {
    test::ScopedEnv api("HEXORA_API_URLS", "https://127.0.0.1:4001,https://localhost:4001");
    test::ScopedEnv file("HEXORA_FILE_URLS", "https://127.0.0.1:4002");
    test::ScopedEnv rum("HEXORA_RUM_URL", "https://127.0.0.1:4003/");
    test::ScopedEnv ca("HEXORA_CA_FILE", "/tmp/test-ca.pem");
    if (!platform::Endpoints::overridesEnabled()) {
        EXPECT_EQ(platform::Endpoints::apiUrls(), platform::Endpoints::splitUrls(HEXORA_DEFAULT_API_URLS));
        EXPECT_FALSE(platform::Endpoints::caFile());
        return;
    }
    EXPECT_EQ(platform::Endpoints::apiUrls(),
              (std::vector<std::string>{"https://127.0.0.1:4001", "https://localhost:4001"}));
    EXPECT_EQ(platform::Endpoints::fileUrls(), std::vector<std::string>{"https://127.0.0.1:4002"});
    EXPECT_EQ(platform::Endpoints::rumUrl(), "https://127.0.0.1:4003/");
    EXPECT_EQ(platform::Endpoints::caFile(), "/tmp/test-ca.pem");
}

TEST(Endpoints, EnvironmentWithoutAnyUrlKeepsTheCompiledInList) {
    test::ScopedEnv api("HEXORA_API_URLS", " , ");
    test::ScopedEnv rum("HEXORA_RUM_URL", "");
    EXPECT_EQ(platform::Endpoints::apiUrls(), platform::Endpoints::splitUrls(HEXORA_DEFAULT_API_URLS));
    EXPECT_EQ(platform::Endpoints::rumUrl(), HEXORA_DEFAULT_RUM_URL);
}

TEST(Endpoints, DiskReserveOnlyFromDecimalDigits) {
    struct Case {
        std::optional<std::string> text;
        std::optional<std::uint64_t> bytes;
    };
    const Case cases[] = {{std::nullopt, std::nullopt}, {"", std::nullopt},         {"0", 0},
                          {"1048576", 1048576},         {"-1", std::nullopt},       {"1 MiB", std::nullopt},
                          {" 5", std::nullopt},         {"99999999999999999999", std::nullopt}};
    for (const auto& c : cases) {
        test::ScopedEnv reserve("HEXORA_DISK_RESERVE_BYTES", c.text);
        const auto expected = platform::Endpoints::overridesEnabled() ? c.bytes : std::nullopt;
        EXPECT_EQ(platform::Endpoints::diskReserveBytes(), expected) << c.text.value_or("(unset)");
    }
}

TEST_F(ApiDomainsTest, AbsentUntilCreatedThenFromTheEndpoints) {
    EXPECT_EQ(ApiDomains::apiList(), nullptr);
    EXPECT_EQ(ApiDomains::fileList(), nullptr);

    test::ScopedEnv api("HEXORA_API_URLS", "https://api-a.test,https://api-b.test");
    test::ScopedEnv file("HEXORA_FILE_URLS", "https://cdn-a.test,https://cdn-b.test");
    ApiDomains::createLists();
    ASSERT_NE(ApiDomains::apiList(), nullptr);
    ASSERT_NE(ApiDomains::fileList(), nullptr);
    EXPECT_EQ(ApiDomains::apiList()->urls(), platform::Endpoints::apiUrls());
    EXPECT_EQ(ApiDomains::fileList()->urls(), platform::Endpoints::fileUrls());
    EXPECT_EQ(ApiDomains::apiList()->currentIndex(), 0);
    EXPECT_EQ(ApiDomains::fileList()->currentIndex(), 0);
    EXPECT_NE(ApiDomains::apiList(), ApiDomains::fileList());
}

TEST_F(ApiDomainsTest, SharedByReferenceAndReplacedByASecondSetup) {
    ApiDomains::createLists({"https://a.test", "https://b.test"}, {"https://c.test", "https://d.test"});
    const auto first = ApiDomains::apiList();
    ApiDomains::apiList()->setCurrentIndex(1);
    EXPECT_EQ(first->currentIndex(), 1);

    ApiDomains::createLists({"https://a.test", "https://b.test"}, {"https://c.test", "https://d.test"});
    EXPECT_NE(ApiDomains::apiList(), first);
    EXPECT_EQ(ApiDomains::apiList()->currentIndex(), 0);
    EXPECT_EQ(first->currentIndex(), 1);  // an old holder keeps a working list
}

}  // namespace hexora
