// Where the print process cannot be started the text is drawn in this process; a print process
// that ends without a document is a failed export, never an empty file taken for one.
#include <string>
#include <utility>

#include "entries/ListPrintProcess.h"
#include "platform/webkit/UIGraphicsPDF.h"
#include "tests/support/PlatformTest.h"

namespace {

class ListPrintProcessTest : public quillora::test::PlatformTest {
protected:
    void TearDown() override {
        quillora::ListPrintProcess::useProgram("");
        PlatformTest::TearDown();
    }
};

TEST_F(ListPrintProcessTest, AProgramThatCannotStartIsDrawnHereAndOneThatEndsWithoutADocumentFails) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},                      // none given: drawn here
        {"/nonexistent/quillora", true}, // cannot be started: drawn here
        {"/bin/false", false},           // ended with a failure
        {"/bin/true", false},            // ended well, but gave nothing
    };
    for (const auto& [program, drawn] : cases) {
        SCOPED_TRACE(program);
        quillora::ListPrintProcess::useProgram(program);
        const auto pdf = quillora::ListPrintProcess::draw("Flour, water and salt.\n");
        ASSERT_EQ(pdf != nullptr, drawn);
        if (pdf) {
            EXPECT_EQ(std::string(pdf->bytes().begin(), pdf->bytes().begin() + 5), "%PDF-");
        }
    }
}

} // namespace
