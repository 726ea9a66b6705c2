// The photo picker of the modern letter: a pick becomes a JPEG copy in tmp/ whose path is stored
// only once written; cancel, a pick with no URL, and the failures change nothing they must not.

#include <array>
#include <fstream>

#include <cairo.h>

#include "pdf/PDFTemplateViewController.h"
#include "platform/uikit/ImageFile.h"
#include "platform/uikit/UIAlertController.h"
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

    // Closes what the form presents: an alert over the picker and the picker (cancelled, as a
    // person cancels it), or the PDF screen.
    void dismissAll() {
        auto shown = form->presentedViewController();
        if (!shown) return;
        if (auto alert = shown->presentedViewController())
            alert->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
        if (auto picker = std::dynamic_pointer_cast<UIImagePickerController>(shown))
            picker->cancel();
        else
            shown->dismissViewControllerAnimated_completion(false, nullptr);
        runUntilIdle();
        ASSERT_EQ(form->presentedViewController(), nullptr);
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

// The alert the picker shows: its title and message, empty when none.
std::pair<std::string, std::string> shownAlert(platform::UIViewController& picker) {
    auto alert = std::dynamic_pointer_cast<UIAlertController>(picker.presentedViewController());
    if (!alert) return {};
    return {alert->title().value_or(""), alert->message().value_or("")};
}

TEST_F(PhotoPickerTest, DamagedAndOversizedPicturesAreRefusedWithAnAlertAndThePickerStaysOpen) {
    const auto good = home / "good.png";
    test::writePng(good, 10, 10, 1, 1, 0);
    pick(good);
    const std::string kept = (home / "tmp" / "good.png").string();

    const auto cut = [](const std::filesystem::path& file, double share) {
        std::filesystem::resize_file(
            file, static_cast<std::uintmax_t>(double(std::filesystem::file_size(file)) * share));
    };
    const auto scribble = [](const std::filesystem::path& file, std::size_t at, std::size_t count) {
        std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(static_cast<std::streamoff>(at));
        for (std::size_t i = 0; i < count; ++i)
            f.put(static_cast<char>(0x5A ^ i));
    };
    const auto pngCut = home / "bad" / "cut.png", pngScribbled = home / "bad" / "scribbled.png";
    const auto jpegCut = home / "bad" / "cut.jpg", jpegScribbled = home / "bad" / "scribbled.jpg";
    test::writePng(pngCut, 200, 150, 0.1, 0.6, 0.3);
    cut(pngCut, 0.5);
    test::writePng(pngScribbled, 200, 150, 0.1, 0.6, 0.3);
    scribble(pngScribbled, 60, 40);
    test::writeJpeg(jpegCut, 200, 150, 20, 200, 90);
    cut(jpegCut, 0.6);
    test::writeJpeg(jpegScribbled, 200, 150, 20, 200, 90);
    scribble(jpegScribbled, std::filesystem::file_size(jpegScribbled) - 120, 100);
    // 3.5 KB whose header claims 32767 x 32767 pixels: refused before any pixel memory is taken.
    const auto huge = home / "bad" / "huge.jpg";
    test::writeJpeg(huge, 64, 64, 1, 2, 3);
    {
        std::fstream f(huge, std::ios::binary | std::ios::in | std::ios::out);
        std::string bytes((std::istreambuf_iterator<char>(f)), {});
        const auto sof = bytes.find("\xFF\xC0");
        ASSERT_NE(sof, std::string::npos);
        f.seekp(static_cast<std::streamoff>(sof + 5));
        f.write("\x7F\xFF\x7F\xFF", 4);
    }

    for (const auto& [file, why] : std::vector<std::pair<std::filesystem::path, std::string>>{
             {pngCut, "damaged or incomplete"},
             {pngScribbled, "damaged or incomplete"},
             {jpegCut, "damaged or incomplete"},
             {jpegScribbled, "damaged"},
             {huge, "32767 \u00D7 32767 pixels, more than the 100 megapixels"}}) {
        SCOPED_TRACE(file.filename().string());
        auto picker = openPicker();
        ASSERT_NE(picker, nullptr);
        takeConsole();
        auto refused = picker->pickFile(file.string());
        runUntilIdle();
        ASSERT_TRUE(refused);
        EXPECT_NE(refused->find(why), std::string::npos) << *refused;
        const auto [title, message] = shownAlert(*picker);
        EXPECT_EQ(title, "Photo not taken");
        EXPECT_EQ(message, *refused) << "the person reads the reason";
        EXPECT_NE(message.find(file.filename().string()), std::string::npos);
        EXPECT_EQ(form->presentedViewController(), picker) << "the picker stays open";
        EXPECT_FALSE(std::filesystem::exists(home / "tmp" / file.filename()));
        EXPECT_EQ(storedPhoto(), kept);
        EXPECT_EQ(shownPhoto(), good.string());
        dismissAll();
    }
}

TEST_F(PhotoPickerTest, AFailedCopyKeepsTheFormsPictureAndSaysWhy) {
    const auto good = home / "good.png";
    test::writePng(good, 10, 10, 1, 1, 0);
    pick(good);
    const std::string kept = (home / "tmp" / "good.png").string();

    // The copy cannot be written: a folder stands where it would go.
    const auto blocked = home / "pics" / "blocked.png";
    test::writePng(blocked, 10, 10, 0, 1, 1);
    std::filesystem::create_directories(home / "tmp" / "blocked.png");
    auto picker = openPicker();
    ASSERT_NE(picker, nullptr);
    takeConsole();
    ASSERT_FALSE(picker->pickFile(blocked.string()));
    runUntilIdle();
    const auto [title, message] = shownAlert(*picker);
    EXPECT_EQ(title, "Photo not saved");
    EXPECT_NE(message.find("\u201Cblocked.png\u201D was not taken: its copy cannot be written ("),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("The form keeps its picture."), std::string::npos) << message;
    EXPECT_EQ(form->presentedViewController(), picker) << "the person may choose another photo";
    EXPECT_EQ(storedPhoto(), kept);
    EXPECT_EQ(shownPhoto(), good.string()) << "the form shows what the letter prints";
    dismissAll();

    // An answer with no URL shows the photo and writes nothing; one with no image changes nothing.
    picker = openPicker();
    ASSERT_NE(picker, nullptr);
    auto image = UIImage::imageWithContentsOfFile(blocked);
    picker->delegate()->imagePickerController_didFinishPickingMediaWithInfo(
        *picker, {{UIImagePickerControllerOriginalImage, image},
                  {UIImagePickerControllerImageURL, std::string("not a URL")}});
    runUntilIdle();
    EXPECT_EQ(shownPhoto(), blocked.string());
    EXPECT_EQ(storedPhoto(), kept);
    picker = openPicker();
    ASSERT_NE(picker, nullptr);
    picker->delegate()->imagePickerController_didFinishPickingMediaWithInfo(*picker, {});
    runUntilIdle();
    EXPECT_EQ(takeConsole().back(), "Photo not taken: the pick holds no image");
    EXPECT_EQ(form->presentedViewController(), nullptr);
    EXPECT_EQ(storedPhoto(), kept);
}

// A CMYK JPEG as print shops make them: Adobe's marker and inverted inks.
void writeAdobeCmykJpeg(const std::filesystem::path& path, int w, int h, std::array<unsigned char, 4> ink) {
    std::filesystem::create_directories(path.parent_path());
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, JCS_YCCK);
    info.write_Adobe_marker = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 4);
    for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c)
            row[4 * static_cast<std::size_t>(x) + static_cast<std::size_t>(c)] =
                static_cast<unsigned char>(255 - ink[static_cast<std::size_t>(c)]);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// A PNG of 16 bits per channel, which cairo's own writer never makes: stored deflate blocks.
void write16BitPng(const std::filesystem::path& path, int w, int h, std::array<std::uint16_t, 3> rgb) {
    const auto crc = [](const std::string& bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    const auto be32 = [](std::uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(static_cast<std::uint32_t>(data.size())) + type + data + be32(crc(type + data));
    };
    std::string raw;
    for (int y = 0; y < h; ++y) {
        raw += '\0';
        for (int x = 0; x < w; ++x)
            for (auto v : rgb)
                raw += std::string{char(v >> 8), char(v & 0xFF)};
    }
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw)
        a = (a + c) % 65521, b = (b + a) % 65521;
    for (std::size_t at = 0; at < raw.size(); at += 65535) {
        const auto n = static_cast<std::uint16_t>(std::min<std::size_t>(65535, raw.size() - at));
        z += char(at + n >= raw.size() ? 1 : 0);
        z += std::string{char(n & 0xFF), char(n >> 8), char(~n & 0xFF), char((~n >> 8) & 0xFF)};
        z += raw.substr(at, n);
    }
    z += be32((b << 16) | a);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "\x89PNG\r\n\x1a\n"
                                          << chunk("IHDR", be32(std::uint32_t(w)) + be32(std::uint32_t(h)) +
                                                               std::string("\x10\x02\x00\x00\x00", 5))
                                          << chunk("IDAT", z) << chunk("IEND", "");
}

TEST_F(PhotoPickerTest, CmykLogosAnd16BitPngsAreTakenWithTheirColours) {
    // Pure red ink (magenta and yellow) and a 16-bit green.
    const auto logo = home / "print" / "logo-cmyk.jpg";
    writeAdobeCmykJpeg(logo, 120, 80, {0, 255, 255, 0});
    const auto deep = home / "print" / "deep.png";
    write16BitPng(deep, 40, 30, {0x0000, 0xFFFF, 0x0000});
    for (const auto& [file, expected] :
         std::vector<std::pair<std::filesystem::path, std::uint32_t>>{{logo, 0xFF0000u}, {deep, 0x00FF00u}}) {
        SCOPED_TRACE(file.filename().string());
        pick(file);
        EXPECT_EQ(storedPhoto(), (home / "tmp" / file.filename()).string());
        ASSERT_TRUE(form->host()->press("Preview"));
        runUntilIdle();
        auto screen = std::dynamic_pointer_cast<PDFTemplateViewController>(form->presentedViewController());
        ASSERT_NE(screen, nullptr);
        advance(screen->templateRow().renderDelay + 0.01);
        ASSERT_TRUE(screen->pdfFile);
        // The picture as the PDF holds it, read back by poppler.
        test::run("pdfimages -png " + test::quoted(*screen->pdfFile) + " " + test::quoted(home / "img"));
        cairo_surface_t* png = cairo_image_surface_create_from_png((home / "img-000.png").c_str());
        ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
        const auto* px = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(png));
        const std::uint32_t centre =
            px[cairo_image_surface_get_height(png) / 2 * cairo_image_surface_get_stride(png) / 4 +
               cairo_image_surface_get_width(png) / 2];
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(double((centre >> shift) & 0xFF), double((expected >> shift) & 0xFF), 12)
                << std::hex << centre;
        cairo_surface_destroy(png);
        std::filesystem::remove(home / "img-000.png");
        dismissAll();
    }
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

// Any name the file system takes is taken: up to its 255 bytes, in any script; one whose copy's
// stored name would grow past them (bytes that are not UTF-8 are stored as U+FFFD) is shortened.
TEST_F(PhotoPickerTest, APhotoNamedAsLongAsTheFileSystemAllowsIsTaken) {
    std::string accented;
    while (accented.size() < 250)
        accented += "\u00E9";
    struct Case {
        std::string what;
        std::string name;
        // The copy keeps the name as it is.
        bool sameName;
    };
    const std::vector<Case> cases{
        {"237 bytes", std::string(233, 'a') + ".png", true},
        {"255 bytes", std::string(251, 'b') + ".png", true},
        {"255 bytes of accented letters", accented + "x.png", true},
        {"200 bytes that are not UTF-8", std::string(196, '\xE9') + ".png", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_LE(c.name.size(), 255u);
        const auto picked = home / "long" / c.name;
        test::writePng(picked, 30, 20, 0.3, 0.6, 0.1);
        ASSERT_NO_FATAL_FAILURE(pick(picked));
        const auto stored = storedPhoto();
        ASSERT_TRUE(stored);
        const std::filesystem::path copy(*stored);
        EXPECT_EQ(copy.parent_path(), home / "tmp");
        if (c.sameName) {
            EXPECT_EQ(copy.filename().string(), c.name);
        }
        EXPECT_LE(copy.filename().string().size(), 255u);
        EXPECT_EQ(copy.extension().string(), ".png");
        EXPECT_EQ(readImageFileInfo(copy).width, 30) << "the copy is there";
        EXPECT_EQ(shownPhoto(), picked.string());
        for (const auto& line : takeConsole())
            EXPECT_EQ(line.find("Photo not saved"), std::string::npos) << line;
    }
}

} // namespace
} // namespace quillora
