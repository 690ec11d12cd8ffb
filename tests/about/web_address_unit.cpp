#include "about/WebAddress.h"
#include "about/WebSite.h"
#include "platform/Platform.h"
#include <gtest/gtest.h>

namespace {

QString opened(const char* text) {
    const std::optional<QUrl> url = webAddressToOpen(QString::fromUtf8(text));
    return url ? url->toString() : QStringLiteral("<nothing>");
}

} // namespace

TEST(WebAddress, WebAndMailAddressesOpenAsTyped) {
    EXPECT_EQ(webAddressToOpen(makerWebAddress()), QUrl(makerWebAddress()));
    EXPECT_EQ(opened("http://example.com"), QStringLiteral("http://example.com"));
    EXPECT_EQ(opened("HTTPS://Example.COM/a/b?c=1#d"), QStringLiteral("https://example.com/a/b?c=1#d"));
    EXPECT_EQ(opened("http://localhost:8080/x"), QStringLiteral("http://localhost:8080/x"));
    EXPECT_EQ(opened("mailto:someone@example.com"), QStringLiteral("mailto:someone@example.com"));
    EXPECT_EQ(opened("  https://example.org/  "), QStringLiteral("https://example.org/"));
}

TEST(WebAddress, BareHostNamesAreTakenForTheWeb) {
    EXPECT_EQ(opened("www.example.com"), QStringLiteral("http://www.example.com"));
    EXPECT_EQ(opened("example.org/page.html?x=1"), QStringLiteral("http://example.org/page.html?x=1"));
    EXPECT_EQ(opened("www.example.com:8080/x"), QStringLiteral("http://www.example.com:8080/x"));
}

TEST(WebAddress, LocalFilesProgramsAndOtherSchemesOpenNothing) {
    for (const char* text : {"",
                             "   ",
                             "file:///etc/passwd",
                             "FILE:///etc/passwd",
                             "file:/etc/passwd",
                             "/bin/sh",
                             "~/x",
                             "./x",
                             "../x",
                             "x",
                             "docs/readme",
                             "bin/sh",
                             "javascript:x",
                             "JavaScript:alert(1)",
                             "data:text/html,<script>x</script>",
                             "vbscript:x",
                             "ftp://example.com/",
                             "smb://host/share",
                             "ssh://host",
                             "c:\\windows\\notepad.exe",
                             "\\\\server\\share",
                             "http:/etc/passwd",
                             "http:",
                             "http://",
                             "https:///etc/passwd",
                             "mailto:",
                             "https://exa mple.com",
                             "Website: https://example.com",
                             "www.example.com\nfile:///etc/passwd",
                             "-e",
                             "example.com:passwd"}) {
        EXPECT_EQ(opened(text), QStringLiteral("<nothing>")) << text;
    }
}

TEST(WebAddress, WhateverItOpensTheDesktopTakes) {
    for (const char* text :
         {"www.example.com", "https://example.org", "mailto:a@b.example", "example.org:1/x"}) {
        const std::optional<QUrl> url = webAddressToOpen(QString::fromUtf8(text));
        ASSERT_TRUE(url.has_value()) << text;
        EXPECT_TRUE(platform::isOpenableUrl(*url)) << text;
    }
}
