// The Convert command over real files in a temporary folder, with a recording
// UserPrompt. Runs natively and, through the Win32 file access, under Wine.
#include "command/file_faults.h"
#include "command/messages.h"
#include "engine/ansi_text.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace fs = std::filesystem;

namespace {

std::string cp932(const char16_t *text) {
  uint8_t bytes[512];
  size_t count = encodeCp932(text, bytes, sizeof bytes);
  return count == 0 ? std::string("(does not fit)") : std::string(bytes, bytes + count - 1);
}

std::string withCause(const char *message, const char *cause) {
  return std::string(message) + cause;
}

void expectOnlyNotice(const Conversation &said, const char *text, NoticeKind kind) {
  ASSERT_EQ(said.notices.size(), 1u);
  EXPECT_EQ(said.notices[0].text, text);
  EXPECT_EQ(said.notices[0].kind, kind);
}

class ConvertPath : public ::testing::Test {
protected:
  void SetUp() override {
    folder = makeFolder("convert");
    song = folder / "song.mp3";
    songPath = song.string();
  }
  void TearDown() override {
    g_injectedFault = InjectedFault{FileStep::None, FileProblem::None};
    removeFolder(folder);
  }

  // Expects the file as it was written by the test, with nothing left beside it.
  void expectUntouched(const Bytes &original) {
    EXPECT_EQ(readFile(song), original);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"song.mp3"});
  }

  fs::path folder;
  fs::path song;
  std::string songPath;
};

} // namespace

TEST(CommandMessages, AreTheCodePage932BytesOfTheirJapaneseText) {
  struct Row {
    const char *bytes;
    const char16_t *text;
  };
  const Row rows[] = {
      {MESSAGE_NOT_FOUND, u"指定されたファイルは見つかりませんでした。"},
      {MESSAGE_NO_TAG, u"指定されたファイルに、ID3v2 タグは設定されていません。"},
      {MESSAGE_CONFIRM, u"この操作は元に戻すことができません。\n\n実行しますか？"},
      {MESSAGE_DONE, u"正常に処理を終了しました。"},
      {MESSAGE_CANNOT_OPEN, u"指定されたファイルを開くことができませんでした。"},
      {MESSAGE_CANNOT_CONVERT, u"指定されたファイルは変換できません。ファイルは元のままです。"},
      {MESSAGE_CANNOT_READ, u"指定されたファイルを読み込むことができませんでした。"},
      {MESSAGE_TOO_LARGE, u"指定されたファイルは 4 GB 以上あるため、処理できません。"},
      {MESSAGE_NO_MEMORY, u"メモリーが足りないため、処理を実行できませんでした。"},
      {MESSAGE_DAMAGED,
       u"ID3v2 タグが壊れているため、処理を実行できませんでした。ファイルは元のままです。"},
      {MESSAGE_UNSUPPORTED, u"この形式の ID3v2 タグは変換できません。ファイルは元のままです。"},
      {MESSAGE_CHANGED, u"確認の間に指定されたファイルが変更されたため、処理を中止しました。"
                        u"ファイルには書き込んでいません。"},
      {MESSAGE_CANNOT_WRITE, u"ファイルを書き込むことができませんでした。ファイルは元のままです。"},
      {MESSAGE_LEFT_IN_TEMPORARY, u"ファイルを置き換えることができませんでした。変換した内容は、"
                                  u"同じフォルダーの名前が .sorabun- で始まるファイルに残って"
                                  u"います。"},
      {CAUSE_NOT_FOUND, u"ファイルが見つかりません。"},
      {CAUSE_NO_PERMISSION, u"アクセスが拒否されました。"},
      {CAUSE_IN_USE, u"ほかのプログラムがファイルを使用しています。"},
      {CAUSE_NOT_REGULAR_FILE, u"フォルダーやデバイスなど、通常のファイルではありません。"},
      {CAUSE_HARD_LINKED, u"ファイルにほかの名前 (ハードリンク) があり、変換すると名前ごとに"
                          u"別のファイルになってしまいます。"},
      {CAUSE_NO_SPACE, u"ディスクの空きが足りません。"},
      {CAUSE_READ_ONLY_FILE_SYSTEM, u"ディスクが書き込み禁止になっています。"},
      {CAUSE_READ_ONLY_FILE, u"ファイルが読み取り専用になっています。"},
      {CAUSE_NAME_TOO_LONG, u"パスまたはファイル名が長すぎます。"},
      {CAUSE_OWNER_NOT_KEPT, u"ファイルの所有者を保つことができません。"},
      {CAUSE_ATTRIBUTES_NOT_KEPT, u"ファイルのアクセス権や拡張属性を保つことができません。"},
      {CAUSE_OUT_OF_MEMORY, u"メモリーが足りません。"},
      {CAUSE_TOO_MANY_OPEN_FILES, u"開いているファイルが多すぎます。"},
      {CAUSE_TOO_MANY_LINKS, u"リンクが多すぎるか、循環しています。"},
      {CAUSE_SIZE_CHANGED, u"処理中にファイルの大きさが変わりました。"},
      {CAUSE_NOT_A_FOLDER, u"パスの途中にフォルダーではないものがあります。"},
  };
  for (const Row &row : rows)
    EXPECT_EQ(row.bytes, cp932(row.text));
}

TEST_F(ConvertPath, NothingAtThePathOrAnEmptyPathIsNotFound) {
  for (const std::string &path : {songPath, std::string()}) {
    Conversation said = convert(path);
    EXPECT_TRUE(said.questions.empty());
    expectOnlyNotice(said, MESSAGE_NOT_FOUND, NoticeKind::Warning);
  }
}

TEST_F(ConvertPath, AFileWithoutTagKeepsItsContentAndTime) {
  for (const Bytes &content : {Bytes{}, ascii("ID"), ascii("ID4\x03"), AUDIO}) {
    writeFile(song, content);
    auto written = fs::last_write_time(song) - std::chrono::hours(24);
    fs::last_write_time(song, written);
    Conversation said = convert(songPath);
    EXPECT_TRUE(said.questions.empty());
    expectOnlyNotice(said, MESSAGE_NO_TAG, NoticeKind::Warning);
    expectUntouched(content);
    EXPECT_EQ(fs::last_write_time(song), written);
  }
}

TEST_F(ConvertPath, NoAtTheConfirmationEndsSilently) {
  writeFile(song, taggedSong());
  Conversation said = convert(songPath, false);
  EXPECT_EQ(said.questions, std::vector<std::string>{MESSAGE_CONFIRM});
  EXPECT_TRUE(said.notices.empty());
  expectUntouched(taggedSong());
}

TEST_F(ConvertPath, ARefusedVersionEndsSilentlyAfterTheYes) {
  TagParts parts;
  parts.revision = 1; // 4.1
  parts.frames = {frame(4, "TIT2", ZERO + ascii("abc") + ZERO)};
  writeFile(song, buildTag(parts));
  Conversation said = convert(songPath);
  EXPECT_EQ(said.questions.size(), 1u);
  EXPECT_TRUE(said.notices.empty());
  expectUntouched(buildTag(parts));
}

TEST_F(ConvertPath, ASuccessShrinksTheFileByTheBytesSaved) {
  Bytes original = taggedSong();
  writeFile(song, original);
  Conversation said = convert(songPath);
  expectOnlyNotice(said, MESSAGE_DONE, NoticeKind::Information);
  Bytes converted = readFile(song);
  EXPECT_EQ(converted.size(), original.size() - TAGGED_SONG_SAVING);
  EXPECT_EQ(converted, runRewrite(original).output);
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"song.mp3"});
}

TEST_F(ConvertPath, ATagWithoutTargetFramesIsWrittenBackIdentically) {
  Bytes original = buildTag(4, {frame(4, "TCON", ZERO + ascii("Pop"))}, 30);
  writeFile(song, original);
  Conversation said = convert(songPath);
  expectOnlyNotice(said, MESSAGE_DONE, NoticeKind::Information);
  expectUntouched(original);
}

TEST_F(ConvertPath, DamagedAndUnsupportedTagsAreLeftAsTheyWere) {
  TagParts pastEnd;
  pastEnd.tagSize = 5000;
  TagParts unsynchronised;
  unsynchronised.flags = TAG_FLAG_UNSYNCHRONISATION;
  unsynchronised.frames = {frame(4, "TIT2", ZERO + ascii("abc"))};
  struct Row {
    Bytes content;
    const char *warning;
  };
  const Row rows[] = {
      {ascii("ID3\x04"), MESSAGE_DAMAGED},
      {ascii("ID3") + repeat(0, 6), MESSAGE_DAMAGED}, // 9 bytes
      {buildTag(pastEnd), MESSAGE_DAMAGED},
      {buildTag(unsynchronised), MESSAGE_UNSUPPORTED},
  };
  for (const Row &row : rows) {
    writeFile(song, row.content);
    Conversation said = convert(songPath);
    EXPECT_EQ(said.questions.size(), 1u);
    expectOnlyNotice(said, row.warning, NoticeKind::Warning);
    expectUntouched(row.content);
  }
}

// Another program's edit while the question is open is never overwritten,
// even one that keeps the size and the modification time (tag editors that
// "keep the file's time"), or that puts another file in its place.
TEST_F(ConvertPath, AFileChangedDuringTheConfirmationIsNotWritten) {
  Bytes edited = taggedSong();
  edited[edited.size() - 1] ^= 0xFF; // the same size
  const auto keepTime = [&](const std::function<void()> &edit) {
    return [&, edit] {
      const auto written = fs::last_write_time(song);
      edit();
      fs::last_write_time(song, written);
    };
  };
  struct Row {
    const char *what;
    std::function<void()> edit;
    Bytes after;
  };
  const Row rows[] = {
      {"grown", [&] { writeFile(song, taggedSong() + AUDIO); }, taggedSong() + AUDIO},
      {"touched",
       [&] { fs::last_write_time(song, fs::last_write_time(song) + std::chrono::seconds(10)); },
       taggedSong()},
      {"same size and time", keepTime([&] { writeFile(song, edited); }), edited},
      {"replaced", keepTime([&] {
         writeFile(folder / "other", edited);
         fs::last_write_time(folder / "other", fs::last_write_time(song));
         fs::rename(folder / "other", song);
       }),
       edited},
  };
  for (const Row &row : rows) {
    writeFile(song, taggedSong());
    Conversation said = convert(songPath, true, row.edit);
    SCOPED_TRACE(row.what);
    expectOnlyNotice(said, MESSAGE_CHANGED, NoticeKind::Warning);
    expectUntouched(row.after);
  }
}

TEST_F(ConvertPath, AFolderIsNotConverted) {
  fs::create_directory(folder / "album.mp3");
  Conversation said = convert((folder / "album.mp3").string());
  expectOnlyNotice(said, withCause(MESSAGE_CANNOT_CONVERT, CAUSE_NOT_REGULAR_FILE).c_str(),
                   NoticeKind::Warning);
}

TEST_F(ConvertPath, AFileOf4GiBIsRefusedBeforeReading) {
  writeFile(song, taggedSong());
  fs::resize_file(song, uint64_t(1) << 32); // sparse: nothing is stored
  Conversation said = convert(songPath);
  EXPECT_TRUE(said.questions.empty());
  expectOnlyNotice(said, MESSAGE_TOO_LARGE, NoticeKind::Warning);
  EXPECT_EQ(fs::file_size(song), uint64_t(1) << 32);
}

TEST_F(ConvertPath, EachFailingReadStepGivesItsWarningBeforeAnyQuestion) {
  struct Row {
    InjectedFault fault;
    std::string warning;
  };
  const Row rows[] = {
      {{FileStep::Open, FileProblem::NoPermission},
       withCause(MESSAGE_CANNOT_OPEN, CAUSE_NO_PERMISSION)},
      {{FileStep::Open, FileProblem::InUse}, withCause(MESSAGE_CANNOT_OPEN, CAUSE_IN_USE)},
      {{FileStep::Open, FileProblem::HardLinked},
       withCause(MESSAGE_CANNOT_CONVERT, CAUSE_HARD_LINKED)},
      {{FileStep::Open, FileProblem::Other}, MESSAGE_CANNOT_OPEN},
      {{FileStep::Allocate, FileProblem::Other}, MESSAGE_NO_MEMORY},
      {{FileStep::Read, FileProblem::Other}, MESSAGE_CANNOT_READ},
  };
  writeFile(song, taggedSong());
  for (const Row &row : rows) {
    g_injectedFault = row.fault;
    Conversation said = convert(songPath);
    EXPECT_TRUE(said.questions.empty());
    expectOnlyNotice(said, row.warning.c_str(), NoticeKind::Warning);
    expectUntouched(taggedSong());
  }
}

// Each step of the write, failing with a cause, is reported with that cause
// and leaves the original as it was with nothing beside it.
TEST_F(ConvertPath, EachFailingWriteStepLeavesTheOriginalAndNoNewFile) {
  struct Row {
    InjectedFault fault;
    const char *cause;
  };
  const Row rows[] = {
      {{FileStep::Lock, FileProblem::InUse}, CAUSE_IN_USE},
      {{FileStep::Create, FileProblem::ReadOnlyFileSystem}, CAUSE_READ_ONLY_FILE_SYSTEM},
      {{FileStep::Create, FileProblem::NoPermission}, CAUSE_NO_PERMISSION},
      {{FileStep::Write, FileProblem::NoSpace}, CAUSE_NO_SPACE},
      {{FileStep::Metadata, FileProblem::OwnerNotKept}, CAUSE_OWNER_NOT_KEPT},
      {{FileStep::Flush, FileProblem::Other}, ""},
      {{FileStep::Close, FileProblem::NoSpace}, CAUSE_NO_SPACE},
      {{FileStep::Replace, FileProblem::InUse}, CAUSE_IN_USE},
  };
  writeFile(song, taggedSong());
  for (const Row &row : rows) {
    g_injectedFault = row.fault;
    Conversation said = convert(songPath);
    EXPECT_EQ(said.questions.size(), 1u);
    expectOnlyNotice(said, withCause(MESSAGE_CANNOT_WRITE, row.cause).c_str(), NoticeKind::Warning);
    expectUntouched(taggedSong());
  }
}

// Permissions: a privileged user writes anyway, so these cases skip there;
// the build runs them once more as an unprivileged user.
TEST_F(ConvertPath, ReadOnlyFileIsLeftAsItWas) {
  writeFile(song, taggedSong());
  fs::permissions(song, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Conversation said = convert(songPath);
  expectOnlyNotice(said, withCause(MESSAGE_CANNOT_WRITE, CAUSE_READ_ONLY_FILE).c_str(),
                   NoticeKind::Warning);
  expectUntouched(taggedSong());
}

#ifndef _WIN32 // a folder's read-only attribute does not stop new files on Windows
TEST_F(ConvertPath, ReadOnlyFolderKeepsTheFile) {
  writeFile(song, taggedSong());
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  writeFile(folder / "probe", AUDIO);
  if (fs::exists(folder / "probe"))
    GTEST_SKIP() << "folder permissions are not enforced for this user";
  Conversation said = convert(songPath);
  expectOnlyNotice(said, withCause(MESSAGE_CANNOT_WRITE, CAUSE_NO_PERMISSION).c_str(),
                   NoticeKind::Warning);
  expectUntouched(taggedSong());
}
#endif
