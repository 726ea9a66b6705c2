#include <cstdlib>

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDateFormatter.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;

class URLLocaleDateTest : public PlatformTest {};

namespace {
// Sets an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvVar() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};
} // namespace

TEST_F(URLLocaleDateTest, FileURLsEncodeAndDecodePaths) {
    auto url = NSURL::fileURLWithPath("/tmp/My Notes/día 1.pdf");
    EXPECT_TRUE(url.isFileURL());
    EXPECT_EQ(url.absoluteString(), "file:///tmp/My%20Notes/d%C3%ADa%201.pdf");
    EXPECT_EQ(url.path(), "/tmp/My Notes/día 1.pdf");
    EXPECT_EQ(url.lastPathComponent(), "día 1.pdf");
    EXPECT_EQ(url.pathExtension(), "pdf");
    auto folder = NSURL::fileURLWithPath("/tmp/out/", true);
    EXPECT_EQ(folder.absoluteString(), "file:///tmp/out/");
    auto child = folder.URLByAppendingPathComponent("report #1?.html");
    EXPECT_EQ(child.path(), "/tmp/out/report #1?.html");
    EXPECT_EQ(child.pathExtension(), "html");
    EXPECT_EQ(NSURL::fileURLWithPath("/tmp/archive").pathExtension(), "");
    EXPECT_EQ(NSURL::fileURLWithPath("/tmp/.hidden").pathExtension(), "");
}

TEST_F(URLLocaleDateTest, WebURLsParseOrAreRefused) {
    auto url = NSURL::URLWithString("https://example.org:8080/a%20b/c.html?q=1#top");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "https");
    EXPECT_EQ(url->host(), "example.org");
    EXPECT_EQ(url->path(), "/a b/c.html");
    EXPECT_EQ(url->lastPathComponent(), "c.html");
    EXPECT_FALSE(url->isFileURL());
    EXPECT_EQ(NSURL::URLWithString("mailto:someone@example.org")->scheme(), "mailto");
    EXPECT_EQ(NSURL::URLWithString("http://[::1]:80/")->host(), "[::1]");
    auto rel = NSURL::URLWithString("docs/file.txt");
    ASSERT_TRUE(rel);
    EXPECT_EQ(rel->scheme(), "");
    EXPECT_EQ(rel->URLByAppendingPathComponent("more").absoluteString(), "docs/file.txt/more");

    for (const char* bad : {"", "has space", "http://example.org/ü", "http://x/%zz", "http://x/%2",
                            "http://host:port/", "a#b#c", "http://x/<tag>", "tab\there"}) {
        EXPECT_EQ(NSURL::URLWithString(bad), std::nullopt) << bad;
    }
}

TEST_F(URLLocaleDateTest, LocaleComesFromTheEnvironmentInOrderOrFromTheTest) {
    EnvVar all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "es_MX.UTF-8");
    auto current = NSLocale::currentLocale();
    EXPECT_EQ(current.languageCode(), "es");
    EXPECT_EQ(current.regionCode(), "MX");
    EXPECT_EQ(current.localeIdentifier(), "es_MX");
    {
        EnvVar m("LC_MESSAGES", "fr_CA");
        EXPECT_EQ(NSLocale::currentLocale().regionCode(), "CA");
        EnvVar a("LC_ALL", "C");
        EXPECT_EQ(NSLocale::currentLocale().languageCode(), std::nullopt);
        EXPECT_EQ(NSLocale::currentLocale().regionCode(), std::nullopt);
    }
    EXPECT_EQ(NSLocale("de").regionCode(), std::nullopt);
    EXPECT_EQ(NSLocale("zh-Hans-CN").localeIdentifier(), "zh_Hans_CN");
    EXPECT_EQ(NSLocale("zh-Hans-CN").regionCode(), "CN");
    EXPECT_EQ(NSLocale("es_419").regionCode(), "419");
    EXPECT_EQ(NSLocale("sr_RS@latin").localeIdentifier(), "sr_RS");
    EXPECT_EQ(NSLocale("POSIX").localeIdentifier(), "");

    NSLocale::setCurrentLocaleForTesting(NSLocale("en_GB"));
    EXPECT_EQ(NSLocale::currentLocale().regionCode(), "GB");
    resetSharedInstances();
    EXPECT_EQ(NSLocale::currentLocale().regionCode(), "MX");
}

TEST_F(URLLocaleDateTest, DatesFollowTheVirtualClockAndFormatThroughICU) {
    NSDate start;
    EXPECT_EQ(start.timeIntervalSince1970(), RunLoop::kDefaultVirtualEpoch);
    advance(90);
    EXPECT_EQ(NSDate().timeIntervalSinceDate(start), 90);
    EXPECT_LT(start, NSDate());

    NSDateFormatter f;
    f.setLocale(NSLocale("en_US"));
    f.setTimeZone(*NSTimeZone::timeZoneWithName("America/New_York"));
    auto date = NSDate::dateWithTimeIntervalSince1970(1700000000); // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(f.stringFromDate(date), "");
    f.setDateFormat("yyyy-MM-dd HH:mm:ss zzz");
    EXPECT_EQ(f.stringFromDate(date), "2023-11-14 17:13:20 EST");
    f.setDateFormat("");
    f.setDateStyle(MediumStyle);
    EXPECT_EQ(f.stringFromDate(date), "Nov 14, 2023");
    f.setTimeStyle(ShortStyle);
    // ICU puts a narrow no-break space before "PM" here; compare against ICU's own output shape.
    auto both = f.stringFromDate(date);
    EXPECT_EQ(both.rfind("Nov 14, 2023", 0), 0u);
    EXPECT_NE(both.find("5:13"), std::string::npos);
    EXPECT_NE(both.find("PM"), std::string::npos);

    f.setTimeStyle(NoStyle);
    f.setDateStyle(LongStyle);
    f.setLocale(NSLocale("es_MX"));
    f.setTimeZone(*NSTimeZone::timeZoneWithName("UTC"));
    EXPECT_EQ(f.stringFromDate(date), "14 de noviembre de 2023");
    EXPECT_EQ(NSTimeZone::timeZoneWithName("Not/AZone"), std::nullopt);
    EXPECT_EQ(NSTimeZone::timeZoneWithName("Europe/Madrid")->secondsFromGMTForTimeInterval(1700000000), 3600);

    {
        EnvVar tz("TZ", "Asia/Tokyo");
        NSLocale::setCurrentLocaleForTesting(NSLocale("en_US"));
        NSDateFormatter defaults;
        defaults.setDateFormat("HH:mm");
        EXPECT_EQ(defaults.stringFromDate(date), "07:13");
        EXPECT_EQ(defaults.locale().localeIdentifier(), "en_US");
    }
}
