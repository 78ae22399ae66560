#include <gtest/gtest.h>

#include <cstring>

#include "hwinfo/disk_identity.h"

namespace qor::hwinfo {
namespace {

class FakeLibrary : public DiskIdLibrary {
public:
    Status status = Status::Called;
    int32_t result = 1;
    std::string first_text = "first buffer";
    std::string second_bytes;
    bool buffers_were_zero = true;

    Status Call(uint8_t* first, uint8_t* second, int32_t& out) override {
        for (size_t i = 0; i < Pcinf3::kBufferLength; ++i) {
            if (first[i] != 0 || second[i] != 0) buffers_were_zero = false;
        }
        if (status != Status::Called) return status;
        std::memcpy(first, first_text.data(), first_text.size());
        std::memcpy(second, second_bytes.data(), second_bytes.size());
        out = result;
        return status;
    }
};

TEST(HwinfoPcinf3, SuccessGivesTheSecondBufferWithoutZeroBytesAndSpaces) {
    struct Case {
        std::string bytes;
        const char* expected;
    };
    const Case cases[] = {
        {std::string("  TEXT\0", 7), "TEXT"},
        {std::string("AB\0CD\0\0E ", 9), "ABCDE"},        // zero bytes skipped, not an end
        {std::string(" \0 X Y \0 ", 9), "X Y"},
        {std::string(40, 'Q') + "!", "QQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQ"},  // 32 bytes only
        {std::string(32, ' '), ""},
        {std::string("\xD3\xB2\xC5\xCC-1", 6), "\xD3\xB2\xC5\xCC-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        FakeLibrary library;
        library.second_bytes = c.bytes;
        Pcinf3 object(library);
        const Outcome outcome = object.GetHdID3();
        EXPECT_EQ(outcome.error, kNoError);
        EXPECT_EQ(outcome.text, c.expected);
        EXPECT_TRUE(library.buffers_were_zero);
    }
}

TEST(HwinfoPcinf3, AnyResultOtherThanOneGivesEmptyTextEvenWithWrittenBuffers) {
    for (int32_t result : {0, -1, 2}) {
        FakeLibrary library;
        library.result = result;
        library.second_bytes = "  WRITTEN";
        Pcinf3 object(library);
        const Outcome outcome = object.GetHdID3();
        EXPECT_EQ(outcome.error, kNoError);
        EXPECT_EQ(outcome.text, "");
    }
}

TEST(HwinfoPcinf3, MissingLibraryOrFunctionIsAnError) {
    FakeLibrary library;
    Pcinf3 object(library);
    library.status = DiskIdLibrary::Status::LibraryMissing;
    EXPECT_EQ(object.GetHdID3().error, kErrLibraryMissing);
    library.status = DiskIdLibrary::Status::FunctionMissing;
    EXPECT_EQ(object.GetHdID3().error, kErrFunctionMissing);
    EXPECT_STRNE(ErrorText(kErrLibraryMissing), "");
}

}  // namespace
}  // namespace qor::hwinfo
