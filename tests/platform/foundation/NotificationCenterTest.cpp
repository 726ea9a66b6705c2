#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Console.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "tests/support/PlatformTest.h"

using namespace platform;
using quillora::test::PlatformTest;

class NotificationCenterTest : public PlatformTest {};

TEST_F(NotificationCenterTest, DeliversSynchronouslyWithUserInfoAndNeverCallsADestroyedObserver) {
    auto& center = NSNotificationCenter::defaultCenter();
    std::vector<std::string> got;
    auto keeper = std::make_shared<int>(1);
    auto gone = std::make_shared<int>(2);
    center.addObserver(keeper, "printValue",
                       [&](const NSNotification& n) { got.push_back(*n.stringForKey("value")); });
    center.addObserver(gone, "printValue",
                       [&](const NSNotification&) { got.push_back("destroyed observer called"); });
    gone.reset();
    center.postNotificationName("printValue", nullptr, {{"value", std::string("hello")}});
    center.postNotificationName("fontValue", nullptr, {{"fontvalue", std::string("30")}});
    EXPECT_EQ(got, (std::vector<std::string>{"hello"}));
}

TEST_F(NotificationCenterTest, RemovalByNameAndAllAndDuringAPost) {
    auto& center = NSNotificationCenter::defaultCenter();
    auto observer = std::make_shared<int>(0);
    int a = 0, b = 0;
    center.addObserver(observer, "A", [&](const NSNotification&) {
        ++a;
        center.removeObserver(observer.get(), "B");
    });
    center.addObserver(observer, "B", [&](const NSNotification&) { ++b; });
    center.addObserver(observer, "", [&](const NSNotification&) {});
    EXPECT_EQ(center.registrationCount(observer.get(), "A"), 1u);
    center.postNotificationName("A");
    center.postNotificationName("B");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    center.removeObserver(observer.get());
    center.postNotificationName("A");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(NSNotification{}.stringForKey("value"), std::nullopt);
}

TEST(ConsoleDeathTest, FatalErrorStopsTheProgramWithItsMessage) {
    EXPECT_DEATH(fatalError("Unable to created a SFSpeechAudioBufferRecognitionRequest object"),
                 "Fatal error: Unable to created a SFSpeechAudioBufferRecognitionRequest object");
}
