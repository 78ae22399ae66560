// qor_pack as a program (build machine only): the package it writes reads back through the
// installer's reader; bad inputs get a message, exit code 1 and no output file.
#ifdef QOR_TEST_PACK_TOOL
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "installer/package/package.h"
#include "unit/fakes.h"

namespace qor {
namespace {

namespace fs = std::filesystem;

class PackToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qor_pack_test_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    int Run(const std::string& arguments) {
        return WEXITSTATUS(std::system((std::string(QOR_TEST_PACK_TOOL) + " " + arguments + " 2>" +
                                        (dir / "stderr.txt").string()).c_str()));
    }
    std::string Errors() { return Read(dir / "stderr.txt"); }
    fs::path dir;
};

TEST_F(PackToolTest, PackageReadsBackToTheSamePayloads) {
    // An image not ending in a zero byte gets one, so the header starts a line.
    const std::string image = "MZ image\r\nlast";
    const std::string extractor = std::string("ext\0\r\nFILE3 START LOG:LENGTH=1\r\n", 32);
    const std::string archive(300000, 'r');
    const std::string out = (dir / "QOR_SETUP.exe").string();
    ASSERT_EQ(Run(Write("bare.exe", image) + " " + Write("UnRAR.exe", extractor) + " " + Write("a.rar", archive) + " " + out), 0)
        << Errors();
    const std::string package = Read(out);
    EXPECT_EQ(package, image + '\0' + package::HeaderLine(2, extractor.size()) + extractor +
                           package::HeaderLine(3, archive.size()) + archive);
    testing::FakeFileStore files;
    files.AddFile("D:\\Q\\QOR_SETUP.exe", package);
    EXPECT_TRUE(package::ExtractPayload(files, "D:\\Q\\", "QOR_SETUP.exe", "UnRAR.exe", "QOR_SETUP.rar"));
    EXPECT_EQ(files.files["D:\\Q\\UnRAR.exe"], extractor);
    EXPECT_EQ(files.files["D:\\Q\\QOR_SETUP.rar"], archive);
    // An image already ending in zero padding is left as it is.
    ASSERT_EQ(Run(Write("bare0.exe", std::string("MZ\0\0", 4)) + " " + (dir / "UnRAR.exe").string() + " " +
                  (dir / "a.rar").string() + " " + out),
              0);
    EXPECT_EQ(Read(out).substr(0, 27), std::string("MZ\0\0", 4) + "FILE2 START LOG:LENGTH=");
}

TEST_F(PackToolTest, BadInputsLeaveNoOutput) {
    EXPECT_EQ(Run(""), 2);
    EXPECT_NE(Errors().find("usage: qor_pack INSTALLER EXTRACTOR ARCHIVE OUTPUT"), std::string::npos);
    const std::string image = Write("bare.exe", "MZ"), ext = Write("UnRAR.exe", "e"), arc = Write("a.rar", "a");
    const std::string empty = Write("empty", ""), out = (dir / "out.exe").string();
    struct Case {
        std::string arguments, message;
    } cases[] = {
        {(dir / "missing.exe").string() + " " + ext + " " + arc + " " + out, "installer not found"},
        {image + " " + empty + " " + arc + " " + out, "extractor is empty"},
        {image + " " + ext + " " + dir.string() + " " + out, "archive is not a file"},
        {image + " " + ext + " " + arc + " " + (dir / "no" / "such" / "out.exe").string(), "cannot create the output"},
        {image + " " + ext + " " + arc + " " + arc, "would overwrite the archive"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.arguments), 1) << c.arguments;
        EXPECT_NE(Errors().find(c.message), std::string::npos) << Errors();
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_EQ(Read(arc), "a");
    // A payload over 2,147,483,647 bytes (a sparse file) is refused.
    {
        std::ofstream big(dir / "big.rar", std::ios::binary);
    }
    fs::resize_file(dir / "big.rar", 2147483648ull);
    EXPECT_EQ(Run(image + " " + ext + " " + (dir / "big.rar").string() + " " + out), 1);
    EXPECT_NE(Errors().find("larger than 2147483647 bytes"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace qor
#endif
