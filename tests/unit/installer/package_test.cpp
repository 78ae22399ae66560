// The package reader over in-memory packages: records found right after an image, payloads
// byte-identical, and every damaged header or short package ending in a failure with no
// partial file left.
#include <gtest/gtest.h>

#include "unit/fakes.h"
#include "installer/package/package.h"

namespace qor {
namespace {

using package::ExtractPayload;
using package::ExtractResult;
using package::HeaderLine;

const std::string I = "D:\\Q\\";

// An image that ends in zero padding but holds CRs, LFs and marker-like text before it.
std::string Image() {
    std::string image = "MZ\x90 FILE2 START LOG:LENGTH=12\r\n";  // mid-line: not at a line start
    image += "xx\rFILE4 START LOG:LENGTH=5\r\n";               // another record number
    image += "file2 START LOG:LENGTH=5\r\n";                   // letter case counts
    image += std::string(3000, 'A') + std::string(64, '\0');
    return image;
}

std::string Payload(size_t n, char base) {
    std::string p(n, '\0');
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<char>(base + i * 7 + (i >> 8));
    return p;
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override { files.AddFolder("D:\\Q"); }
    ExtractResult Extract(const std::string& package) {
        files.files[I + "QOR_SETUP.exe"] = package;
        ExtractResult result = ExtractResult::Done;
        bool ok = ExtractPayload(files, I, "QOR_SETUP.exe", "UnRAR.exe", "QOR_SETUP.rar", &result);
        EXPECT_EQ(ok, result == ExtractResult::Done);
        return result;
    }
    bool Has(const std::string& name) { return files.files.count(I + name) != 0; }
    testing::FakeFileStore files;
};

TEST_F(PackageTest, PayloadsAfterTheImageComeOutByteForByteThroughABoundedBuffer) {
    // Payloads that contain CR, LF, zero bytes and header-like lines of their own.
    std::string extractor = Payload(5 * package::kCopyChunk / 2, 3) + "\r\nFILE3 START LOG:LENGTH=4\r\nabcd";
    std::string archive = std::string("\0\r\n", 3) + Payload(300001, 9);
    files.readChunk = 4093;  // reads that end anywhere, also inside a header or a CR LF
    EXPECT_EQ(Extract(Image() + HeaderLine(2, extractor.size()) + extractor + HeaderLine(3, archive.size()) + archive +
                      "trailing bytes are never read"),
              ExtractResult::Done);
    EXPECT_EQ(files.files[I + "UnRAR.exe"], extractor);
    EXPECT_EQ(files.files[I + "QOR_SETUP.rar"], archive);
    EXPECT_LE(files.largestRead, package::kCopyChunk);
    EXPECT_LE(files.largestWrite, package::kCopyChunk);
}

TEST_F(PackageTest, HeaderLinesAreExactlyTheFormat) {
    EXPECT_EQ(HeaderLine(2, 287232), "FILE2 START LOG:LENGTH=287232\r\n");
    EXPECT_EQ(HeaderLine(3, 6202424), "FILE3 START LOG:LENGTH=6202424\r\n");
    EXPECT_EQ(HeaderLine(2, 287232).size(), 31u);
}

TEST_F(PackageTest, ExistingTargetsAreReplacedNotAppendedTo) {
    files.files[I + "UnRAR.exe"] = std::string(100, 'o');
    files.files[I + "QOR_SETUP.rar"] = std::string(100, 'o');
    EXPECT_EQ(Extract(Image() + HeaderLine(2, 3) + "new" + HeaderLine(3, 2) + "ar"), ExtractResult::Done);
    EXPECT_EQ(files.files[I + "UnRAR.exe"], "new");
    EXPECT_EQ(files.files[I + "QOR_SETUP.rar"], "ar");
}

TEST_F(PackageTest, MissingOrMisorderedRecordsFail) {
    files.files[I + "UnRAR.exe"] = "old";
    // Only record 3: the archive comes out, the old extractor is gone.
    EXPECT_EQ(Extract(Image() + HeaderLine(3, 2) + "ar"), ExtractResult::ExtractorMissing);
    EXPECT_FALSE(Has("UnRAR.exe"));
    EXPECT_EQ(files.files[I + "QOR_SETUP.rar"], "ar");
    // Record 3 before record 2: reading stops after record 3.
    EXPECT_EQ(Extract(Image() + HeaderLine(3, 2) + "ar" + HeaderLine(2, 3) + "ext"), ExtractResult::ExtractorMissing);
    EXPECT_FALSE(Has("UnRAR.exe"));
    // Only record 2.
    EXPECT_EQ(Extract(Image() + HeaderLine(2, 3) + "ext"), ExtractResult::ArchiveMissing);
    EXPECT_FALSE(Has("QOR_SETUP.rar"));
    // No records, an empty source, no source at all.
    EXPECT_EQ(Extract(Image()), ExtractResult::ExtractorMissing);
    EXPECT_EQ(Extract(""), ExtractResult::ExtractorMissing);
    files.files.erase(I + "QOR_SETUP.exe");
    EXPECT_FALSE(ExtractPayload(files, I, "QOR_SETUP.exe", "UnRAR.exe", "QOR_SETUP.rar"));
}

TEST_F(PackageTest, BadLengthsFailBeforeAnythingIsWritten) {
    for (const std::string length : {"", "0", "-5", "+5", " 5", "5 ", "1e3", "0x10", "2147483648",
                                     "99999999999999999999", "abc", "５"}) {
        files.files.erase(I + "UnRAR.exe");
        EXPECT_EQ(Extract(Image() + "FILE2 START LOG:LENGTH=" + length + "\r\n" + "12345"), ExtractResult::BadLength)
            << length;
        EXPECT_FALSE(Has("UnRAR.exe")) << length;
    }
    // The length ends at a second "=".
    EXPECT_EQ(Extract(Image() + "FILE2 START LOG:LENGTH=3=9\r\nabc" + HeaderLine(3, 1) + "z"), ExtractResult::Done);
    EXPECT_EQ(files.files[I + "UnRAR.exe"], "abc");
    // Leading zeros are digits.
    EXPECT_EQ(Extract(Image() + "FILE2 START LOG:LENGTH=0003\r\nabc" + HeaderLine(3, 1) + "z"), ExtractResult::Done);
}

TEST_F(PackageTest, PackageCutShortLeavesNoPartialFile) {
    std::string archive = Payload(600000, 1);
    std::string whole = Image() + HeaderLine(2, 3) + "ext" + HeaderLine(3, archive.size()) + archive;
    EXPECT_EQ(Extract(whole.substr(0, whole.size() - 1)), ExtractResult::CutShort);
    EXPECT_FALSE(Has("QOR_SETUP.rar"));
    EXPECT_EQ(files.files[I + "UnRAR.exe"], "ext");
    // The length runs far beyond the end of the file.
    EXPECT_EQ(Extract(Image() + HeaderLine(2, 2147483647) + "ext"), ExtractResult::CutShort);
    EXPECT_FALSE(Has("UnRAR.exe"));
    // Cut inside the header itself: no header.
    EXPECT_EQ(Extract(Image() + "FILE2 START LOG:LEN"), ExtractResult::ExtractorMissing);
}

TEST_F(PackageTest, ReadAndWriteFailuresLeaveNoPartialFile) {
    std::string archive = Payload(3 * package::kCopyChunk, 1);
    std::string package = Image() + HeaderLine(2, 3) + "ext" + HeaderLine(3, archive.size()) + archive;
    files.readFailsAt[I + "QOR_SETUP.exe"] = 2 * package::kCopyChunk;  // inside the archive's payload
    EXPECT_EQ(Extract(package), ExtractResult::ReadFailed);
    EXPECT_FALSE(Has("QOR_SETUP.rar"));
    files.readFailsAt.clear();
    files.writeFailsAfter[I + "QOR_SETUP.rar"] = package::kCopyChunk + 5;
    EXPECT_EQ(Extract(package), ExtractResult::WriteFailed);
    EXPECT_FALSE(Has("QOR_SETUP.rar"));
    files.writeFailsAfter.clear();
    files.unwritable.insert(I + "UnRAR.exe");
    EXPECT_EQ(Extract(package), ExtractResult::WriteFailed);
}

TEST_F(PackageTest, HeaderAfterAnImageWhoseLastLineHasNoEnd) {
    // An image that does not end in zero padding (the packer adds one zero byte) and one that
    // ends in CR LF both leave the header at a line start.
    for (const std::string& image : {std::string("MZ\r\nlast line") + '\0', std::string("MZ\r\nlast line\r\n")}) {
        EXPECT_EQ(Extract(image + HeaderLine(2, 1) + "e" + HeaderLine(3, 1) + "a"), ExtractResult::Done);
    }
    // Without a boundary the header is part of the image's last line and is not seen.
    EXPECT_EQ(Extract("MZ last line" + HeaderLine(2, 1) + "e"), ExtractResult::ExtractorMissing);
}

}  // namespace
}  // namespace qor
