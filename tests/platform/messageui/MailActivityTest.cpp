// Share -> Mail: the share sheet's mail activity opens the composer with what was shared, and the
// sheet hears it as done only when the message was sent or kept as a draft.
#include <gmime/gmime.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Sandbox.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/messageui/MailActivity.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/PlatformTest.h"

namespace quillora::test {

using namespace platform;

namespace {

// Each part of a message file that is an attachment: its file name, type and bytes.
struct Attached {
    std::string name, type, bytes;
    bool operator==(const Attached&) const = default;
};

std::vector<Attached> attachmentsIn(const std::filesystem::path& file) {
    g_mime_init();
    std::vector<Attached> found;
    GMimeStream* stream = g_mime_stream_file_open(file.c_str(), "r", nullptr);
    if (!stream) return found;
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message) return found;
    GMimeObject* body = g_mime_message_get_mime_part(message);
    if (GMIME_IS_MULTIPART(body))
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(body)); ++i) {
            GMimeObject* part = g_mime_multipart_get_part(GMIME_MULTIPART(body), i);
            if (!GMIME_IS_PART(part) || !g_mime_part_is_attachment(GMIME_PART(part))) continue;
            GMimeStream* out = g_mime_stream_mem_new();
            g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(part)), out);
            GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
            char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(part));
            found.push_back({g_mime_part_get_filename(GMIME_PART(part)), type,
                             std::string(reinterpret_cast<const char*>(bytes->data), bytes->len)});
            g_free(type);
            g_object_unref(out);
        }
    g_object_unref(message);
    return found;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path());
    return files;
}

} // namespace

class MailActivityTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        provideMailActivity();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
    }
    // The sheet for `items`, shown over the screen; what its hook hears is kept in `told`.
    std::shared_ptr<UIActivityViewController> share(std::vector<ActivityItem> items) {
        auto sheet = UIActivityViewController::initWithActivityItems_applicationActivities(std::move(items));
        sheet->setCompletionWithItemsHandler(
            [this](const std::optional<UIActivityType>& type, bool completed) {
                told.push_back(type.value_or("none") + (completed ? " done" : " not done"));
            });
        root->presentViewController_animated_completion(sheet, false, nullptr);
        runUntilIdle();
        return sheet;
    }
    std::shared_ptr<MFMailComposeViewController> composer() const {
        return std::dynamic_pointer_cast<MFMailComposeViewController>(root->presentedViewController());
    }
    static std::vector<std::string> titles(const UIActivityViewController& sheet) {
        std::vector<std::string> out;
        for (const auto& [type, title] : sheet.offeredActivities())
            out.push_back(title);
        return out;
    }

    std::shared_ptr<UIViewController> root = std::make_shared<UIViewController>();
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>();
    std::vector<std::string> told;
};

TEST_F(MailActivityTest, MailOpensTheComposerWithTheSharedTextAndFilesAndIsDoneOnlyWhenSentOrKept) {
    const auto pdf = home / "March 14, 2024_3:09:26\u202FPM_Document.pdf";
    writeFile(pdf, "%PDF-1.5 the pages\n");
    auto sheet = share({std::string("The transcript."), *NSURL::URLWithString("https://quillora.app"), pdf});
    EXPECT_EQ(titles(*sheet), (std::vector<std::string>{"Copy", "Mail", "Print", "Save to Files"}));
    ASSERT_TRUE(sheet->userCompleteWithActivity(UIActivityTypeMail));
    advance(1);
    auto mail = composer();
    ASSERT_TRUE(mail) << "no composer over the screen that shared";
    EXPECT_EQ(mail->draft().body, "The transcript.\nhttps://quillora.app");
    ASSERT_EQ(mail->draft().attachments.size(), 1u);
    EXPECT_EQ(mail->attachmentsLabel()->text(), pdf.filename().string());
    EXPECT_TRUE(told.empty()) << "nothing is done yet";

    mail->setToRecipients({"friend@example.org"});
    ASSERT_TRUE(mail->userSend());
    advance(1);
    EXPECT_EQ(told, (std::vector<std::string>{UIActivityTypeMail + " done"}));
    EXPECT_FALSE(root->presentedViewController()) << "the composer has gone";
    const auto sent = filesIn(Sandbox::documents() / "Mail" / "Outbox");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(attachmentsIn(sent[0]),
              (std::vector<Attached>{{pdf.filename().string(), "application/pdf", "%PDF-1.5 the pages\n"}}));

    // Cancelled, the draft deleted: nothing done.
    told.clear();
    ASSERT_TRUE(share({std::string("Words")})->userCompleteWithActivity(UIActivityTypeMail));
    advance(1);
    ASSERT_TRUE(composer());
    ASSERT_TRUE(composer()->userCancel());
    advance(1);
    EXPECT_EQ(told, (std::vector<std::string>{UIActivityTypeMail + " not done"}));

    // A shared file that cannot be read: no composer, and the person hears why.
    told.clear();
    ASSERT_TRUE(share({home / "gone.pdf"})->userCompleteWithActivity(UIActivityTypeMail));
    advance(1);
    EXPECT_EQ(told, (std::vector<std::string>{UIActivityTypeMail + " not done"}));
    auto alert = std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    ASSERT_TRUE(alert) << "nothing says why nothing was mailed";
    EXPECT_EQ(alert->title(), "Cannot Mail");
}

TEST_F(MailActivityTest, WithoutAMailAccountOrAnythingToMailMailIsNotOffered) {
    auto service = std::make_shared<OutboxMailService>();
    service->setAccountAvailable(false);
    MailService::setShared(service);
    auto sheet = share({std::string("Message not sent ")});
    EXPECT_EQ(titles(*sheet), (std::vector<std::string>{"Copy", "Print"}));
    EXPECT_FALSE(sheet->userCompleteWithActivity(UIActivityTypeMail));
    MailService::setShared(nullptr);
    // Nor anything this desktop cannot carry out: a picture to save, an activity that is only a name.
    auto picture = UIActivityViewController::initWithActivityItems_applicationActivities(
        {std::shared_ptr<UIImage>()}, {"com.example.own"});
    EXPECT_EQ(titles(*picture), (std::vector<std::string>{"Copy", "Print"}));
    for (const auto& type :
         {UIActivityTypeSaveToCameraRoll, UIActivityType("com.example.own"), UIActivityTypeMail})
        EXPECT_FALSE(picture->userCompleteWithActivity(type)) << type;
}

} // namespace quillora::test
