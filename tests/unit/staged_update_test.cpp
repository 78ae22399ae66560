// The staged update against the in-memory file store: the journal's text, the moves, a cut at
// every point, and the recovery at the next start.
#include <gtest/gtest.h>

#include "common/staged_update/staged_update.h"
#include "core/update_journal.h"
#include "tests/unit/fakes.h"

namespace qor {
namespace {

TEST(UpdateJournal, EveryCutOfAJournalReadsAsIncompleteAndOnlyTheWholeOneAsComplete) {
    const std::vector<std::string> listed = {"QOR.exe", "SYS\\打印预览", "NEW_QOR_UPDATE.exe"};
    const std::string text = BuildUpdateJournal(listed);
    EXPECT_EQ(text, "QOR_UPDATE journal 1\r\nQOR.exe\r\nSYS\\打印预览\r\nNEW_QOR_UPDATE.exe\r\nEND\r\n");
    std::vector<std::string> files;
    for (size_t n = 0; n < text.size(); ++n)
        EXPECT_EQ(ParseUpdateJournal(text.substr(0, n), files), JournalState::Incomplete) << n;
    ASSERT_EQ(ParseUpdateJournal(text, files), JournalState::Complete);
    EXPECT_EQ(files, listed);

    // Not ours, or naming a place outside the application folder.
    for (const char* bad : {"hello\r\n", "QOR_UPDATE journal 2\r\nEND\r\n", "QOR_UPDATE journal 1\r\n..\\x\r\nEND\r\n",
                            "QOR_UPDATE journal 1\r\nC:\\Windows\\x\r\nEND\r\n", "QOR_UPDATE journal 1\r\n\\x\r\nEND\r\n",
                            "QOR_UPDATE journal 1\r\nSYS\\\\x\r\nEND\r\n", "QOR_UPDATE journal 1\r\nEND\r\nx\r\n",
                            "something else"})
        EXPECT_EQ(ParseUpdateJournal(bad, files), JournalState::Unusable) << bad;
}

// An abrupt end of the process, as the test builds' cut hook does it.
struct Cut {
    std::string point;
};

class StagedUpdate : public ::testing::Test {
protected:
    const std::string A = "C:\\QOR";
    void SetUp() override {
        files.AddFile(A + "\\QOR.exe", "old launcher");
        files.AddFile(A + "\\SYS\\ZT", "old ZT");
        files.AddFile(A + "\\QOR_BIZACC_6.01", "old workbook");
        Stage();
    }
    void Stage() {
        files.AddFile(A + "\\QOR_UPDATE.new\\QOR.exe", "new launcher");
        files.AddFile(A + "\\QOR_UPDATE.new\\SYS\\ZT", "new ZT");
        files.AddFile(A + "\\QOR_UPDATE.new\\SYS\\new\\added.txt", "new added");
        files.AddFile(A + "\\QOR_UPDATE.new\\QOR_BIZACC_6.01", "new workbook");
    }
    // Each installed file holds its old or its new content, never anything else.
    void ExpectWhollyOldOrNew(const std::string& when) {
        for (const char* name : {"QOR.exe", "SYS\\ZT", "QOR_BIZACC_6.01"}) {
            const std::string& content = files.files[A + "\\" + name];
            EXPECT_TRUE(content.rfind("old ", 0) == 0 || content.rfind("new ", 0) == 0) << name << " " << when;
        }
        EXPECT_TRUE(files.FileExists(A + "\\QOR.exe")) << when;
    }
    void ExpectAll(const std::string& age) {
        for (const char* name : {"QOR.exe", "SYS\\ZT", "QOR_BIZACC_6.01"})
            EXPECT_EQ(files.files[A + "\\" + name].substr(0, 4), age + " ") << name;
    }
    void ExpectNoLeftovers() {
        EXPECT_FALSE(files.FolderExists(A + "\\QOR_UPDATE.new"));
        EXPECT_FALSE(files.FolderExists(A + "\\QOR_UPDATE.old"));
        EXPECT_FALSE(files.FileExists(A + "\\QOR_UPDATE.journal"));
    }
    testing::FakeFileStore files;
};

TEST_F(StagedUpdate, CommitMovesEveryStagedFileAndLeavesNothingBehind) {
    ASSERT_TRUE(CommitStagedUpdate(files, A));
    ExpectAll("new");
    EXPECT_EQ(files.files[A + "\\SYS\\new\\added.txt"], "new added");
    ExpectNoLeftovers();
    // Every installed file was replaced in one move, none deleted first.
    EXPECT_EQ(std::count(files.deleted.begin(), files.deleted.end(), A + "\\QOR.exe"), 0);
    EXPECT_EQ(RecoverStagedUpdate(files, A), Recovery::None);
}

TEST_F(StagedUpdate, ACutAtAnyPointIsFinishedByTheNextStart) {
    for (const std::string& point : CutPoints()) {
        SetUp();
        files.folders.erase(A + "\\QOR_UPDATE.old");
        const CutHook cut = [&](const std::string& at) {
            if (at == point) throw Cut{at};
        };
        bool cutOff = false;
        try {
            CommitStagedUpdate(files, A, cut);
        } catch (const Cut&) {
            cutOff = true;
        }
        ASSERT_TRUE(cutOff) << point;
        ExpectWhollyOldOrNew(point);
        EXPECT_EQ(RecoverStagedUpdate(files, A), Recovery::Finished) << point;
        ExpectAll("new");
        ExpectNoLeftovers();
    }
}

TEST_F(StagedUpdate, AJournalCutOffWhileWrittenDiscardsTheStagedFiles) {
    const std::string journal = BuildUpdateJournal({"QOR.exe", "SYS\\ZT", "QOR_BIZACC_6.01"});
    for (size_t n : {size_t(0), size_t(5), journal.size() - 3}) {
        Stage();
        files.AddFile(A + "\\QOR_UPDATE.journal", journal.substr(0, n));
        EXPECT_EQ(RecoverStagedUpdate(files, A), Recovery::Discarded) << n;
        ExpectAll("old");
        ExpectNoLeftovers();
    }
    // A staging folder without a journal (cut while extracting) goes too.
    Stage();
    EXPECT_EQ(RecoverStagedUpdate(files, A), Recovery::Discarded);
    ExpectAll("old");
    ExpectNoLeftovers();
    // A journal naming a file outside the folder moves nothing.
    Stage();
    files.AddFile("C:\\Windows\\x.dll", "system");
    files.AddFile(A + "\\QOR_UPDATE.new\\x.dll", "planted");
    files.AddFile(A + "\\QOR_UPDATE.journal", "QOR_UPDATE journal 1\r\n..\\Windows\\x.dll\r\nEND\r\n");
    EXPECT_EQ(RecoverStagedUpdate(files, A), Recovery::Discarded);
    EXPECT_EQ(files.files["C:\\Windows\\x.dll"], "system");
}

TEST_F(StagedUpdate, AFileInTheWayPutsEveryOldFileBack) {
    // The workbook is open in another program: the moves before it are undone.
    files.undeletable.insert(A + "\\QOR_BIZACC_6.01");
    EXPECT_FALSE(CommitStagedUpdate(files, A));
    ExpectAll("old");
    ExpectNoLeftovers();

    // The same at the recovery of a cut-off update.
    Stage();
    files.AddFile(A + "\\QOR_UPDATE.journal", BuildUpdateJournal({"QOR.exe", "SYS\\ZT", "QOR_BIZACC_6.01"}));
    EXPECT_EQ(RecoverStagedUpdate(files, A), Recovery::Failed);
    ExpectAll("old");
    ExpectNoLeftovers();

    // A journal that cannot be written stops before anything moves.
    files.undeletable.clear();
    Stage();
    files.unwritable.insert(A + "\\QOR_UPDATE.journal");
    EXPECT_FALSE(CommitStagedUpdate(files, A));
    ExpectAll("old");
    ExpectNoLeftovers();
}

}  // namespace
}  // namespace qor
