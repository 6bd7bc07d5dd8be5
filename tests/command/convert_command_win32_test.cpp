// The Convert command against the Win32 file functions on real files: paths
// the directory search accepts but a file open does not, files that another
// handle holds, entries at the temporary names, hard links, long paths and a
// path in code page 932; and the backup the command line makes.
#include "command/file_conversion.h"
#include "command/file_faults.h"
#include "command/messages.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

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

  // Wine's ReplaceFileW, when it fails, leaves an empty work file of its own
  // ("rf", hex digits as many as its counter needs, ".tmp") in the folder;
  // Windows does not.
  std::vector<std::string> ourEntries() {
    static const std::regex WINE_WORK_FILE("rf[0-9a-f]+\\.tmp", std::regex::icase);
    std::vector<std::string> names;
    for (const std::string &name : folderEntries(folder))
      if (!std::regex_match(name, WINE_WORK_FILE))
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

constexpr wchar_t BACKUP_SONG_VARIABLE[] = L"SORABUN_BACKUP_SONG";

PathReport convertWithBackup(const fs::path &song) {
  return convertOnePath(song.u8string().c_str(), PathSettings{true, true, false, {}, false},
                        nullptr, nullptr);
}

} // namespace

// Run only by the test below, in a process of its own: the conversion of
// the song it names is interrupted, as by Ctrl+C, when the backup's copy is
// flushed (the second flush, after the new content's).
TEST(Win32BackupInterrupted, DISABLED_WhenTheBackupIsFlushed) {
  wchar_t path[MAX_PATH] = {};
  ASSERT_NE(GetEnvironmentVariableW(BACKUP_SONG_VARIABLE, path, MAX_PATH), 0u);
  installInterruptCleanup();
  g_injectedFault = InjectedFault{FileStep::Flush, FileProblem::None, 1, true};
  convertWithBackup(fs::path(path));
  ADD_FAILURE() << "not interrupted: the backup was not flushed";
}

// The backup is a copy here: written under a temporary name, flushed, and
// only then named NAME.bak, with the temporary file removed when the program
// is interrupted meanwhile, so that nothing refuses the next run.
TEST_F(Win32Files, AnInterruptedBackupLeavesNothingAndTheNextRunConverts) {
  wchar_t self[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_also_run_disabled_tests"
                         L" --gtest_filter=Win32BackupInterrupted.*";
  SetEnvironmentVariableW(BACKUP_SONG_VARIABLE, song.wstring().c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  const bool started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &child) != 0;
  SetEnvironmentVariableW(BACKUP_SONG_VARIABLE, nullptr);
  ASSERT_TRUE(started);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(child.hProcess, &status);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  EXPECT_EQ(status, static_cast<DWORD>(STATUS_CONTROL_C_EXIT));
  EXPECT_EQ(readFile(song), taggedSong());
  EXPECT_EQ(ourEntries(), std::vector<std::string>{"song.mp3"});

  EXPECT_EQ(convertWithBackup(song).outcome, PathOutcome::Converted);
  EXPECT_EQ(readFile(song), runRewrite(taggedSong()).output);
  EXPECT_EQ(readFile(folder / "song.mp3.bak"), taggedSong());
}

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
  expectOnlyWarning(said, (std::string(MESSAGE_CANNOT_OPEN) + CAUSE_IN_USE).c_str());
}

TEST_F(Win32Files, AFileHeldWithoutWriteSharingIsNotReplaced) {
  HANDLE reader = holdSong(GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Conversation said = convert(song.string());
  CloseHandle(reader);
  EXPECT_EQ(said.questions.size(), 1u);
  expectOnlyWarning(said, (std::string(MESSAGE_CANNOT_WRITE) + CAUSE_IN_USE).c_str());
}

// Whatever stands at the names the new file could take is left alone: the
// name earlier versions used, a file and a folder at the first names tried.
TEST_F(Win32Files, EntriesAtTemporaryNamesAreLeftAlone) {
  const char *const names[] = {".sorabun-aaaaaaaa", ".sorabun-bbbbbbbb", nullptr};
  g_temporaryNamesFirst = names;
  writeFile(folder / "song.mp3.sorabun-tmp", ascii("someone's file"));
  writeFile(folder / names[0], ascii("another file"));
  fs::create_directory(folder / names[1]);
  Conversation said = convert(song.string());
  g_temporaryNamesFirst = nullptr;
  ASSERT_EQ(said.notices.size(), 1u);
  EXPECT_EQ(said.notices[0].text, MESSAGE_DONE);
  EXPECT_EQ(readFile(song), runRewrite(taggedSong()).output);
  EXPECT_EQ(readFile(folder / "song.mp3.sorabun-tmp"), ascii("someone's file"));
  EXPECT_EQ(readFile(folder / names[0]), ascii("another file"));
  EXPECT_TRUE(fs::is_directory(folder / names[1]));
  EXPECT_EQ(ourEntries().size(), 4u);
}

TEST_F(Win32Files, AHardLinkedFileIsRefused) {
  ASSERT_TRUE(
      CreateHardLinkW((folder / "other.mp3").wstring().c_str(), song.wstring().c_str(), nullptr));
  Conversation said = convert(song.string());
  EXPECT_TRUE(said.questions.empty());
  ASSERT_EQ(said.notices.size(), 1u);
  EXPECT_EQ(said.notices[0].text, std::string(MESSAGE_CANNOT_CONVERT) + CAUSE_HARD_LINKED);
  EXPECT_EQ(readFile(song), taggedSong());
}

// A path of 250 bytes fits the dialog's field; a temporary name that grew
// with the file's name would pass MAX_PATH.
TEST_F(Win32Files, APathOf250BytesIsConverted) {
  const std::string start = song.parent_path().string() + "\\";
  const std::string name = std::string(250 - start.size() - 4, 'x') + ".mp3";
  writeFile(folder / name, taggedSong());
  Conversation said = convert(start + name);
  ASSERT_EQ(said.notices.size(), 1u);
  EXPECT_EQ(said.notices[0].text, MESSAGE_DONE);
  EXPECT_EQ(readFile(folder / name), runRewrite(taggedSong()).output);
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
