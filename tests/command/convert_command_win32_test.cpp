// The Convert command against the Win32 file functions on real files: paths
// the directory search accepts but a file open does not, files that another
// handle holds, and a path in code page 932.
#include "command/messages.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace fs = std::filesystem;

namespace {

class Win32Files : public ::testing::Test {
protected:
  void SetUp() override {
    folder = makeFolder("win32");
    song = folder / "song.mp3";
    writeFile(song, taggedSong());
  }
  void TearDown() override { removeFolder(folder); }

  void expectOnlyWarning(const Conversation &said, const char *text) {
    ASSERT_EQ(said.notices.size(), 1u);
    EXPECT_EQ(said.notices[0].text, text);
    EXPECT_EQ(said.notices[0].kind, NoticeKind::Warning);
    EXPECT_EQ(readFile(song), taggedSong());
    EXPECT_EQ(ourEntries(), std::vector<std::string>{"song.mp3"});
  }

  // Wine's ReplaceFileA, when it fails, leaves an empty work file of its own
  // ("rf" and four hex digits, ".tmp") in the folder; Windows does not.
  std::vector<std::string> ourEntries() {
    std::vector<std::string> names;
    for (const std::string &name : folderEntries(folder))
      if (!(name.size() == 10 && name.rfind("rf", 0) == 0 && name.substr(6) == ".tmp"))
        names.push_back(name);
    return names;
  }

  HANDLE holdSong(DWORD access, DWORD sharing) {
    return CreateFileW(song.wstring().c_str(), access, sharing, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  fs::path folder;
  fs::path song;
};

} // namespace

TEST_F(Win32Files, AWildcardThatMatchesAFileCannotBeOpened) {
  Conversation said = convert((folder / "*.mp3").string());
  expectOnlyWarning(said, MESSAGE_CANNOT_OPEN);
  said = convert((folder / "so?g.mp3").string());
  expectOnlyWarning(said, MESSAGE_CANNOT_OPEN);
  said = convert((folder / "*.wav").string());
  expectOnlyWarning(said, MESSAGE_NOT_FOUND);
}

TEST_F(Win32Files, AFileAnotherHandleWritesCannotBeOpened) {
  HANDLE writer = holdSong(GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Conversation said = convert(song.string());
  CloseHandle(writer);
  EXPECT_TRUE(said.questions.empty());
  expectOnlyWarning(said, MESSAGE_CANNOT_OPEN);
}

TEST_F(Win32Files, AFileHeldWithoutWriteSharingIsNotReplaced) {
  HANDLE reader = holdSong(GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Conversation said = convert(song.string());
  CloseHandle(reader);
  EXPECT_EQ(said.questions.size(), 1u);
  expectOnlyWarning(said, MESSAGE_CANNOT_WRITE);
}

TEST_F(Win32Files, APathInCodePage932IsConverted) {
  ASSERT_EQ(GetACP(), 932u) << "run with a Japanese locale";
  // ソング表: the second bytes of ソ and 表 are 0x5C, the backslash.
  fs::path japanese = folder / u"\u30BD\u30F3\u30B0\u8868";
  fs::create_directory(japanese);
  fs::path file = japanese / u"\u30BD\u30F3\u30B0\u8868.mp3";
  writeFile(file, taggedSong());
  const std::string name = "\x83\x5C\x83\x93\x83\x4F\x95\x5C";
  Conversation said = convert(folder.string() + "\\" + name + "\\" + name + ".mp3");
  ASSERT_EQ(said.notices.size(), 1u);
  EXPECT_EQ(said.notices[0].text, MESSAGE_DONE);
  EXPECT_EQ(readFile(file), runRewrite(taggedSong()).output);
  EXPECT_EQ(folderEntries(japanese).size(), 1u);
}
