// The photo picker of the modern letter: a pick becomes a JPEG copy in tmp/ whose path is stored
// only once written; cancel, a pick with no URL, and the failures change nothing they must not.

#include <fstream>

#include "pdf/PDFTemplateViewController.h"
#include "platform/uikit/ImageFile.h"
#include "platform/uikit/UIImagePickerController.h"
#include "templates/LetterForm.h"
#include "templates/MyImagePicker.h"
#include "tests/platform/webkit/ImageFiles.h"
#include "tests/templates/FormTestSupport.h"

namespace quillora {
namespace {

using namespace platform;
using namespace platform::swiftui;

class PhotoPickerTest : public test::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        form = open(ModernLetterViewSwiftUI{});
    }

    std::shared_ptr<UIImagePickerController> openPicker() {
        EXPECT_TRUE(form->host()->press("Select Logo")) << form->host()->lastError();
        runUntilIdle();
        return std::dynamic_pointer_cast<UIImagePickerController>(form->presentedViewController());
    }
    // Picks `file` and lets the picker close.
    void pick(const std::filesystem::path& file) {
        auto picker = openPicker();
        ASSERT_NE(picker, nullptr);
        auto refused = picker->pickFile(file.string());
        ASSERT_FALSE(refused) << *refused;
        runUntilIdle();
        EXPECT_EQ(form->presentedViewController(), nullptr) << "the picker closes itself";
    }
    static std::optional<std::string> storedPhoto() { return storedPhotoPath(); }
    // The photo the form shows: the path of its picked image, "photo" for the symbol.
    std::string shownPhoto() {
        const Node* image = form->host()->tree().find([](const Node& n) {
            return n.kind == "Image" && (n.uiImage || n.textProp("systemName") == "photo");
        });
        if (!image) return "";
        return image->uiImage ? image->uiImage->path().string() : "photo";
    }
    static std::string head(const std::filesystem::path& file, std::size_t n) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes(n, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(n));
        return bytes.substr(0, static_cast<std::size_t>(in.gcount()));
    }

    std::shared_ptr<UIHostingController> form;
};

TEST_F(PhotoPickerTest, APickedPngBecomesAJpegCopyInTmpShownOnTheForm) {
    const auto picked = home / "Pictures" / "x.png";
    test::writePng(picked, 64, 48, 0.9, 0.2, 0.1);
    EXPECT_EQ(shownPhoto(), "photo");
    auto picker = openPicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->sourceType, UIImagePickerControllerSourceType::photoLibrary);
    EXPECT_EQ(picker->mediaTypes, (std::vector<std::string>{"public.image"}));
    EXPECT_FALSE(picker->allowsEditing);
    EXPECT_NE(std::dynamic_pointer_cast<Coordinator>(picker->delegate()), nullptr);
    takeConsole();
    ASSERT_FALSE(picker->pickFile(picked.string()));
    runUntilIdle();

    const std::string copy = NSTemporaryDirectory() + "x.png";
    EXPECT_EQ(copy, (home / "tmp" / "x.png").string());
    EXPECT_EQ(takeConsole(), (std::vector<std::string>{"LocalPath " + copy, "Local Path Temp: " + copy}));
    EXPECT_EQ(storedPhoto(), copy);
    EXPECT_EQ(head(copy, 3), "\xFF\xD8\xFF");
    const ImageFileInfo info = readImageFileInfo(copy);
    EXPECT_EQ(info.format, ImageFormat::JPEG);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 48);
    EXPECT_EQ(form->presentedViewController(), nullptr);
    EXPECT_EQ(shownPhoto(), picked.string());
}

TEST_F(PhotoPickerTest, TwoPicksKeepBothCopiesAndTheSameNameReplacesItsCopy) {
    const auto first = home / "a" / "one.jpg", second = home / "b" / "two.jpg",
               again = home / "c" / "one.jpg";
    test::writeJpeg(first, 20, 10, 255, 0, 0);
    test::writeJpeg(second, 30, 10, 0, 255, 0);
    test::writeJpeg(again, 40, 10, 0, 0, 255);
    pick(first);
    pick(second);
    EXPECT_EQ(storedPhoto(), (home / "tmp" / "two.jpg").string());
    EXPECT_TRUE(std::filesystem::exists(home / "tmp" / "one.jpg"));
    EXPECT_EQ(shownPhoto(), second.string());
    pick(again);
    EXPECT_EQ(storedPhoto(), (home / "tmp" / "one.jpg").string());
    EXPECT_EQ(readImageFileInfo(home / "tmp" / "one.jpg").width, 40) << "the second copy replaced the first";

    // Cancel after a pick leaves the photo and its path.
    auto picker = openPicker();
    ASSERT_NE(picker, nullptr);
    picker->cancel();
    runUntilIdle();
    EXPECT_EQ(form->presentedViewController(), nullptr);
    EXPECT_EQ(storedPhoto(), (home / "tmp" / "one.jpg").string());
    EXPECT_EQ(shownPhoto(), again.string());
}

TEST_F(PhotoPickerTest, ChoicesHoldWhileThePhotoRowChangesAndAcrossTyping) {
    const auto picked = home / "logo.png";
    test::writePng(picked, 8, 8, 0, 0, 1);
    ASSERT_TRUE(form->host()->pressAfter("Font Size : Body", "Large"));
    ASSERT_TRUE(form->host()->pressAfter("Font Color : Name", "Grey"));
    ASSERT_TRUE(form->host()->edit("Your Name e.g", "Sam"));
    pick(picked);
    auto body = groupsUnder(form->host()->tree(), "Font Size : Body");
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(chosen(*body[0]), (std::vector<std::string>{"Large"}));
    EXPECT_EQ(chosen(*groupsUnder(form->host()->tree(), "Font Color : Name")[0]),
              (std::vector<std::string>{"Grey"}));
    EXPECT_EQ(chosen(*groupsUnder(form->host()->tree(), "Font Type : Body ")[0]),
              (std::vector<std::string>{"Normal"}));
}

TEST_F(PhotoPickerTest, ThePickerRefusesWhatIsNoPngOrJpegAndStaysUp) {
    test::writeFile(home / "notes.txt", "not a picture");
    auto picker = openPicker();
    ASSERT_NE(picker, nullptr);
    auto refused = picker->pickFile((home / "notes.txt").string());
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("is not a PNG or JPEG image"), std::string::npos) << *refused;
    EXPECT_TRUE(picker->pickFile((home / "missing.png").string()));
    runUntilIdle();
    EXPECT_EQ(form->presentedViewController(), picker);
    EXPECT_FALSE(storedPhoto());
    EXPECT_EQ(shownPhoto(), "photo");
}

TEST_F(PhotoPickerTest, FailuresKeepTheEarlierPathAndSayWhy) {
    const auto good = home / "good.png";
    test::writePng(good, 10, 10, 1, 1, 0);
    pick(good);
    const std::string kept = (home / "tmp" / "good.png").string();

    // The copy cannot be written: a folder stands where it would go.
    const auto blocked = home / "pics" / "blocked.png";
    test::writePng(blocked, 10, 10, 0, 1, 1);
    std::filesystem::create_directories(home / "tmp" / "blocked.png");
    takeConsole();
    pick(blocked);
    const std::string target = (home / "tmp" / "blocked.png").string();
    EXPECT_EQ(takeConsole(),
              (std::vector<std::string>{"LocalPath " + target, "Photo not saved: cannot write " + target}));
    EXPECT_EQ(storedPhoto(), kept);

    // A JPEG whose header reads but whose data does not cannot be encoded again: nothing changes.
    const auto broken = home / "broken.jpg";
    test::writeJpeg(broken, 16, 16, 9, 9, 9);
    std::filesystem::resize_file(broken, 200);
    pick(broken);
    EXPECT_EQ(takeConsole().back(), "Photo not taken: broken.jpg cannot be encoded as JPEG");
    EXPECT_EQ(storedPhoto(), kept);
    EXPECT_EQ(shownPhoto(), blocked.string()) << "the photo shown stays the last one taken";

    // An answer with no URL shows the photo and writes nothing; one with no image changes nothing.
    auto picker = openPicker();
    ASSERT_NE(picker, nullptr);
    auto image = UIImage::imageWithContentsOfFile(good);
    picker->delegate()->imagePickerController_didFinishPickingMediaWithInfo(
        *picker, {{UIImagePickerControllerOriginalImage, image},
                  {UIImagePickerControllerImageURL, std::string("not a URL")}});
    runUntilIdle();
    EXPECT_EQ(shownPhoto(), good.string());
    EXPECT_EQ(storedPhoto(), kept);
    picker = openPicker();
    ASSERT_NE(picker, nullptr);
    picker->delegate()->imagePickerController_didFinishPickingMediaWithInfo(*picker, {});
    runUntilIdle();
    EXPECT_EQ(takeConsole().back(), "Photo not taken: the pick holds no image");
    EXPECT_EQ(form->presentedViewController(), nullptr);
    EXPECT_EQ(storedPhoto(), kept);
}

TEST_F(PhotoPickerTest, OnlyTheModernLetterTakesAPhotoAndAReopenedOneShowsTheSymbol) {
    const auto picked = home / "keep.png";
    test::writePng(picked, 10, 10, 1, 0, 1);
    pick(picked);
    close(form);
    for (auto make : {+[] { return AnyView(ModernBoldLetterViewSwiftUI{}); },
                      +[] { return AnyView(BusinessLetterViewSwiftUI{}); },
                      +[] { return AnyView(PersonalLetterViewSwiftUI{}); }}) {
        auto other = open(make());
        EXPECT_FALSE(other->host()->press("Select Logo"));
        ASSERT_TRUE(other->host()->press("Preview"));
        runUntilIdle();
        close(other);
    }
    EXPECT_EQ(storedPhoto(), (home / "tmp" / "keep.png").string());
    form = open(ModernLetterViewSwiftUI{});
    EXPECT_EQ(shownPhoto(), "photo");
}

TEST_F(PhotoPickerTest, APhotoWhoseNameHoldsAHashStillShowsInTheLetter) {
    const auto picked = home / "logo #1?.png";
    test::writePng(picked, 120, 80, 0.2, 0.4, 0.9);
    pick(picked);
    EXPECT_EQ(storedPhoto(), (home / "tmp" / "logo #1?.png").string()) << "the plain path is stored";
    ASSERT_TRUE(form->host()->press("Preview"));
    runUntilIdle();
    auto screen = std::dynamic_pointer_cast<PDFTemplateViewController>(form->presentedViewController());
    ASSERT_NE(screen, nullptr);
    advance(screen->templateRow().renderDelay + 0.01);
    ASSERT_TRUE(screen->pdfFile);
    const std::string images = test::run("pdfimages -list " + test::quoted(*screen->pdfFile));
    EXPECT_NE(images.find("120    80"), std::string::npos) << images;
}

} // namespace
} // namespace quillora
