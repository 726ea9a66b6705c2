// The video player on the bundle's tutorial and on files that do not play: what it reports, where
// its position is on the virtual clock, and the picture decoded there.
#include "platform/avkit/VideoPlayer.h"
#include "platform/avkit/AVPlayer.h"
#include "platform/foundation/NSBundle.h"
#include "platform/swiftui/ViewHost.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {

NSURL tutorial() {
    auto path = NSBundle::mainBundle().pathForResource("videotutorial", "mp4");
    EXPECT_TRUE(path) << "the bundle has its tutorial video";
    return NSURL::fileURLWithPath(path ? path->string() : "/nonexistent.mp4");
}

// The slides' backgrounds, as the generator of the video paints them (red, green, blue in 0-255).
struct Slide {
    double start;
    int r, g, b;
};
const Slide kSlides[] = {
    {0, 31, 89, 191}, {2, 191, 51, 51}, {4, 38, 140, 64}, {6, 140, 64, 166}, {8, 217, 140, 26}};

void expectNear(const std::array<std::uint8_t, 3>& rgb, const Slide& slide, const std::string& where) {
    EXPECT_NEAR(rgb[0], slide.r, 24) << where;
    EXPECT_NEAR(rgb[1], slide.g, 24) << where;
    EXPECT_NEAR(rgb[2], slide.b, 24) << where;
}

} // namespace

class VideoPlayerTest : public PlatformTest {};

TEST_F(VideoPlayerTest, TheTutorialDecodesWithItsRealDurationSizeAndTheFrameOfEachMoment) {
    auto item = AVPlayerItem::playerItemWithURL(tutorial());
    ASSERT_EQ(item->status(), AVPlayerItemStatus::ReadyToPlay)
        << (item->error() ? item->error()->localizedDescription : "");
    EXPECT_NEAR(item->duration(), 10.0, 0.1);
    EXPECT_EQ(item->presentationSize(), (CGSize{640, 360}));
    for (const Slide& slide : kSlides) {
        auto frame = item->frameAtTime(slide.start + 1);
        ASSERT_TRUE(frame) << slide.start;
        EXPECT_EQ(frame->width, 640);
        EXPECT_EQ(frame->height, 360);
        expectNear(frame->rgbAt(5, 5), slide, "slide at " + std::to_string(slide.start));
    }
    // The progress bar along the bottom has got further at a later moment.
    auto barEnd = [&](double t) {
        auto frame = item->frameAtTime(t);
        int x = 0;
        while (x < frame->width && frame->rgbAt(x, frame->height - 6)[0] > 235 &&
               frame->rgbAt(x, frame->height - 6)[2] > 235)
            ++x;
        return x;
    };
    EXPECT_LT(barEnd(1), barEnd(5));
    EXPECT_NEAR(barEnd(5), 320, 20);
    // Past the end shows the last picture, not nothing.
    auto last = item->frameAtTime(60);
    ASSERT_TRUE(last);
    expectNear(last->rgbAt(5, 5), kSlides[4], "past the end");
}

TEST_F(VideoPlayerTest, ThePositionMovesWithTheClockOnlyWhilePlayingAndStopsAtTheEnd) {
    auto player = AVPlayer::playerWithURL(tutorial());
    EXPECT_EQ(player->rate(), 0) << "playback never starts by itself";
    advance(3);
    EXPECT_EQ(player->currentTime(), 0);
    player->play();
    advance(2.5);
    EXPECT_NEAR(player->currentTime(), 2.5, 1e-9);
    expectNear(player->currentFrame()->rgbAt(5, 5), kSlides[1], "2.5 s in");
    player->pause();
    advance(4);
    EXPECT_NEAR(player->currentTime(), 2.5, 1e-9) << "a paused video holds its place";
    player->play();
    advance(30);
    EXPECT_NEAR(player->currentTime(), player->currentItem()->duration(), 1e-9);
    EXPECT_EQ(player->rate(), 0) << "it stops at the end";
    player->play();
    EXPECT_EQ(player->currentTime(), 0) << "playing again after the end starts over";
    player->seekToTime(7);
    EXPECT_NEAR(player->currentTime(), 7, 1e-9);
}

TEST_F(VideoPlayerTest, FilesThatDoNotPlayFailWithAConsoleLineAndThePlayerStaysStill) {
    writeFile(home / "broken.mp4", "this is not a video at all, only some text pretending to be one");
    for (const auto& path : {home / "missing.mp4", home / "broken.mp4"}) {
        takeConsole();
        auto player = AVPlayer::playerWithURL(NSURL::fileURLWithPath(path.string()));
        auto item = player->currentItem();
        EXPECT_EQ(item->status(), AVPlayerItemStatus::Failed) << path;
        ASSERT_TRUE(item->error()) << path;
        auto lines = takeConsole();
        ASSERT_EQ(lines.size(), 1u) << path;
        EXPECT_NE(lines[0].find("AVPlayerItem failed to load " + path.string()), std::string::npos)
            << lines[0];
        EXPECT_EQ(item->duration(), 0);
        player->play();
        advance(2);
        EXPECT_EQ(player->rate(), 0) << path;
        EXPECT_EQ(player->currentTime(), 0);
        EXPECT_FALSE(player->currentFrame());
    }
}

TEST_F(VideoPlayerTest, TheVideoViewShowsItsPlayerAndAPressPlaysAndPauses) {
    auto player = AVPlayer::playerWithURL(tutorial());
    auto host = swiftui::ViewHost::make(swiftui::VideoPlayer(player));
    const swiftui::Node* node = host->tree().findKind("VideoPlayer");
    ASSERT_TRUE(node);
    EXPECT_EQ(swiftui::videoPlayerOf(*node), player);
    EXPECT_EQ(node->textProp("status"), "ready");
    EXPECT_TRUE(node->drawContent);
    ASSERT_TRUE(host->press("Video"));
    EXPECT_EQ(player->rate(), 1);
    advance(1);
    ASSERT_TRUE(host->press("Video"));
    EXPECT_EQ(player->rate(), 0);
    EXPECT_NEAR(player->currentTime(), 1, 1e-9);

    // A failed player is shown, but offers nothing to press.
    auto failed = AVPlayer::playerWithURL(NSURL::fileURLWithPath((home / "none.mp4").string()));
    auto failedHost = swiftui::ViewHost::make(swiftui::VideoPlayer(failed));
    EXPECT_EQ(failedHost->tree().findKind("VideoPlayer")->textProp("status"), "failed");
    EXPECT_FALSE(failedHost->press("Video"));
}

} // namespace quillora::test
