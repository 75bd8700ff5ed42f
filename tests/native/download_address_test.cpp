#include "engine/rules/download_address.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

struct GoodAddress {
    const wchar_t* url;
    Scheme scheme;
    const wchar_t* host;
    std::uint16_t port;
    const wchar_t* object;
};

TEST(SplitDownloadAddress, TakesSchemeHostPortAndObjectApart) {
    const GoodAddress cases[] = {
        {L"https://dl.example.com/dl/setup.exe", Scheme::Https, L"dl.example.com", 443, L"dl/setup.exe"},
        {L"http://dl.example.com/dl/setup.exe", Scheme::Http, L"dl.example.com", 80, L"dl/setup.exe"},
        {L"https://host:8443/dl/setup.exe", Scheme::Https, L"host", 8443, L"dl/setup.exe"},
        {L"http://127.0.0.1:65535/a.exe", Scheme::Http, L"127.0.0.1", 65535, L"a.exe"},
        {L"http://host:1/a.exe", Scheme::Http, L"host", 1, L"a.exe"},
        {L"https://host:080/a.exe", Scheme::Https, L"host", 80, L"a.exe"},
        {L"HTTPS://Host/A.exe", Scheme::Https, L"Host", 443, L"A.exe"},
        {L"Http://host/a.exe", Scheme::Http, L"host", 80, L"a.exe"},
        // Only the first "/" after the host splits; the rest is kept verbatim.
        {L"http://host/a/b//c.exe?x=1/2", Scheme::Http, L"host", 80, L"a/b//c.exe?x=1/2"},
        {L"http://host/", Scheme::Http, L"host", 80, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "url index " << (&c - cases));
        const auto got = SplitDownloadAddress(c.url);
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->scheme, c.scheme);
        EXPECT_EQ(got->host, c.host);
        EXPECT_EQ(got->port, c.port);
        EXPECT_EQ(got->object, c.object);
    }
}

TEST(SplitDownloadAddress, RefusesWhatCannotBeFetched) {
    const wchar_t* bad[] = {
        L"",
        L"dl.example.com/dl/setup.exe",    // no scheme
        L"ftp://host/setup.exe",           // other scheme
        L"file:///C:/setup.exe",
        L"http:/host/setup.exe",
        L" https://host/setup.exe",        // scheme must start the text
        L"https://host",                   // no "/" after the host
        L"http://host:8080",
        L"http:///setup.exe",              // empty host
        L"https://:8443/setup.exe",
        L"https://host:/setup.exe",        // empty port
        L"https://host:0/setup.exe",
        L"https://host:65536/setup.exe",
        L"https://host:99999999999999999999/setup.exe",
        L"https://host:-1/setup.exe",
        L"https://host:+80/setup.exe",
        L"https://host:8 0/setup.exe",
        L"https://host:80:81/setup.exe",
        L"https://host:http/setup.exe",
        L"https://user:pw@host/setup.exe", // user info
        L"https://user@host/setup.exe",
        L"https://[::1]:8443/setup.exe",
        L"https://ho st/setup.exe",
        L"https://host?x=/setup.exe",
        L"https://host#frag/setup.exe",
        L"https://host\\evil/setup.exe",
    };
    for (const wchar_t* url : bad) {
        EXPECT_FALSE(SplitDownloadAddress(url).has_value()) << "accepted a bad address";
    }
}

}  // namespace
}  // namespace setup
