// The command line's conversion of one file against the dialog's command on
// the same files: the same bytes on disk, over hand-made and mutated tags with
// more audio than one copy block; and the failures of the write path.
#include "command/file_faults.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace fs = std::filesystem;

namespace {

// More than the 1 MiB copy block, and not a multiple of it.
Bytes longAudio() {
  Bytes audio(3 * 1024 * 1024 + 12345);
  for (size_t i = 0; i < audio.size(); ++i)
    audio[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
  return audio;
}

Bytes utf16Text(const std::u16string &text) {
  return Bytes{0x01} + BOM_LE + utf16le(text) + ZERO16;
}

std::vector<Bytes> handMadeFiles() {
  const Bytes audio = longAudio();
  std::vector<Bytes> files;
  for (uint8_t major : ByteList{2, 3, 4}) {
    TagParts parts;
    parts.major = major;
    const std::string title = major == 2 ? "TT2" : "TIT2";
    const std::string artist = major == 2 ? "TP1" : "TPE1";
    parts.frames = {frame(major, title, utf16Text(u"Caf\u00E9 \u301C \u3042\u3044")),
                    frame(major, artist, Bytes{0x00} + ascii("abc") + ZERO),
                    frame(major, major == 2 ? "COM" : "COMM", repeat(0x41, 300))};
    parts.padding = 64;
    parts.audio = audio;
    files.push_back(buildTag(parts));
    parts.footer = major == 4;
    parts.padding = 0;
    files.push_back(buildTag(parts));
  }
  TagParts utf8;
  utf8.frames = {frame(4, "TALB", Bytes{0x03} + ascii("\xE3\x81\x82 / x") + ZERO)};
  utf8.audio = audio;
  files.push_back(buildTag(utf8));
  TagParts plain; // no target frame: the same bytes come out
  plain.frames = {frame(4, "TXXX", repeat(0x42, 20))};
  plain.audio = audio;
  files.push_back(buildTag(plain));
  TagParts pastEnd;
  pastEnd.tagSize = 5000;
  pastEnd.audio = Bytes(100, 0xFF);
  files.push_back(buildTag(pastEnd));
  files.push_back(ascii("ID3"));
  files.push_back(ascii("ID"));
  files.push_back(Bytes{});
  files.push_back(audio);
  return files;
}

// Tags with bytes changed at random, so that damaged, unsupported and odd
// tags meet both paths as well.
std::vector<Bytes> mutatedFiles(size_t count) {
  std::mt19937 random(20240611);
  const std::vector<Bytes> seeds = handMadeFiles();
  std::vector<Bytes> files;
  for (size_t i = 0; i < count; ++i) {
    Bytes file = seeds[i % 6];
    file.resize(600 + random() % 2000); // the tag and a little audio
    const size_t changes = 1 + random() % 4;
    for (size_t c = 0; c < changes; ++c) {
      const size_t at = random() % 80;
      file[at] = static_cast<uint8_t>(random());
    }
    files.push_back(file);
  }
  return files;
}

void answerYes(void *, const char *, NoticeKind) {}
bool confirmYes(void *, const char *) {
  return true;
}

class PathConversion : public ::testing::Test {
protected:
  void SetUp() override {
    folder = makeFolder("path-conversion");
    song = folder / "song.mp3";
    songPath = song.string();
  }
  void TearDown() override {
    g_injectedFault = InjectedFault{FileStep::None, FileProblem::None};
    removeFolder(folder);
  }

  PathReport convertSong(bool backup = false) {
    return convertOnePath(songPath.c_str(), PathSettings{true, backup, false, {}, false}, nullptr,
                          nullptr);
  }

  fs::path folder;
  fs::path song;
  std::string songPath;
};

} // namespace

TEST_F(PathConversion, GivesTheSameBytesAsTheDialogsCommand) {
  std::vector<Bytes> files = handMadeFiles();
  for (const Bytes &file : mutatedFiles(150))
    files.push_back(file);
  const fs::path other = folder / "other.mp3";
  const UserPrompt prompt{answerYes, confirmYes, nullptr};
  for (size_t i = 0; i < files.size(); ++i) {
    writeFile(song, files[i]);
    writeFile(other, files[i]);
    const PathReport report = convertSong();
    convertPath(other.string().c_str(), prompt);
    const Bytes ours = readFile(song);
    ASSERT_EQ(ours, readFile(other))
        << "file " << i << ", outcome " << static_cast<int>(report.outcome);
    if (report.outcome == PathOutcome::Converted) {
      EXPECT_EQ(report.size, files[i].size());
      EXPECT_EQ(report.newSize, ours.size());
      EXPECT_LE(ours.size(), files[i].size());
    } else {
      EXPECT_EQ(ours, files[i]) << "file " << i;
    }
  }
  EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"other.mp3", "song.mp3"}));
}

TEST_F(PathConversion, ExaminingTouchesNothingAndShowsTheTagRegion) {
  const Bytes original = handMadeFiles()[2];
  writeFile(song, original);
  struct Seen {
    size_t calls = 0;
    Bytes before;
    Bytes after;
  } seen;
  auto inspect = [](void *context, FileImage before, const TagRecord &, FileImage after) {
    auto *into = static_cast<Seen *>(context);
    ++into->calls;
    into->before.assign(before.bytes, before.bytes + before.length);
    into->after.assign(after.bytes, after.bytes + after.length);
  };
  const PathReport report =
      convertOnePath(songPath.c_str(), PathSettings{false, true, true, {}, false}, inspect, &seen);
  EXPECT_EQ(report.outcome, PathOutcome::WouldConvert);
  EXPECT_EQ(report.size - report.newSize, seen.before.size() - seen.after.size());
  EXPECT_EQ(seen.calls, 1u);
  EXPECT_LT(seen.before.size(), 1000u); // the tag region, not the whole file
  EXPECT_EQ(readFile(song), original);
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"song.mp3"});
}

TEST_F(PathConversion, ReportsWhatItDidNotConvert) {
  struct Row {
    Bytes file;
    PathOutcome outcome;
    RewriteReason reason;
  };
  TagParts refused;
  refused.revision = 1;
  TagParts unsynchronised;
  unsynchronised.flags = TAG_FLAG_UNSYNCHRONISATION;
  TagParts converted;
  converted.frames = {frame(4, "TIT2", Bytes{0x00} + ascii("abc") + ZERO)};
  const Bytes convertedBytes = buildTag(converted);
  const RewriteRun once = runRewrite(convertedBytes);
  const Row rows[] = {
      {AUDIO, PathOutcome::NoTag, RewriteReason::None},
      {ascii("ID3\x04"), PathOutcome::Damaged, RewriteReason::FileTooShort},
      {buildTag(refused), PathOutcome::Refused, RewriteReason::None},
      {buildTag(unsynchronised), PathOutcome::Unsupported, RewriteReason::Unsynchronised},
      {once.output, PathOutcome::AlreadyConverted, RewriteReason::None},
  };
  for (const Row &row : rows) {
    writeFile(song, row.file);
    const PathReport report = convertSong();
    EXPECT_EQ(report.outcome, row.outcome) << hex(row.file);
    EXPECT_EQ(report.reason, row.reason) << hex(row.file);
    EXPECT_EQ(readFile(song), row.file);
  }
  EXPECT_EQ(convertOnePath((folder / "none.mp3").string().c_str(),
                           PathSettings{true, false, false, {}, false}, nullptr, nullptr)
                .outcome,
            PathOutcome::NotFound);
  EXPECT_EQ(convertOnePath(folder.string().c_str(), PathSettings{true, false, false, {}, false},
                           nullptr, nullptr)
                .outcome,
            PathOutcome::CannotOpen);
}

// Each step of the write failing, with and without a backup: the cause is
// reported and the original is left as it was with nothing beside it.
TEST_F(PathConversion, AFailingStepOfTheWriteLeavesTheOriginalAndNoOtherFile) {
  const Bytes original = handMadeFiles()[2];
  struct Row {
    FileStep step;
    PathOutcome outcome;
  };
  const Row rows[] = {
      {FileStep::Lock, PathOutcome::CannotOpen},     {FileStep::Create, PathOutcome::CannotWrite},
      {FileStep::Write, PathOutcome::CannotWrite},   {FileStep::Metadata, PathOutcome::CannotWrite},
      {FileStep::Flush, PathOutcome::CannotWrite},   {FileStep::Close, PathOutcome::CannotWrite},
      {FileStep::Backup, PathOutcome::CannotBackUp}, {FileStep::Replace, PathOutcome::CannotWrite},
  };
  for (const Row &row : rows) {
    for (bool backup : {false, true}) {
      const int step = static_cast<int>(row.step);
      writeFile(song, original);
      g_injectedFault = InjectedFault{row.step, FileProblem::NoSpace};
      const PathReport report = convertSong(backup);
      g_injectedFault = InjectedFault{FileStep::None, FileProblem::None};
      if (row.step == FileStep::Backup && !backup) {
        EXPECT_EQ(report.outcome, PathOutcome::Converted);
        continue;
      }
      EXPECT_EQ(report.outcome, row.outcome) << step;
      EXPECT_EQ(report.problem, FileProblem::NoSpace) << step;
      EXPECT_EQ(readFile(song), original) << step;
      EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"song.mp3"})
          << step << (backup ? " with backup" : "");
    }
  }
}

TEST_F(PathConversion, BacksUpTheOriginalButNeverOverAnExistingBackup) {
  const Bytes original = handMadeFiles()[2];
  writeFile(song, original);
  EXPECT_EQ(convertSong(true).outcome, PathOutcome::Converted);
  EXPECT_EQ(readFile(folder / "song.mp3.bak"), original);
  const Bytes converted = readFile(song);
  EXPECT_LT(converted.size(), original.size());

  writeFile(song, original); // the file is tagged again; the old backup stays
  writeFile(folder / "song.mp3.bak", ascii("older backup"));
  EXPECT_EQ(convertSong(true).outcome, PathOutcome::BackupExists);
  EXPECT_EQ(readFile(song), original);
  EXPECT_EQ(readFile(folder / "song.mp3.bak"), ascii("older backup"));
  EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"song.mp3", "song.mp3.bak"}));
}

// Kept exactly, a time before 1970 included (natively: the file clock of
// the Windows runtime stops at 1970; the Windows program's own is checked
// end to end).
TEST_F(PathConversion, KeepsTheModificationTimeWhenAsked) {
  const Bytes original = handMadeFiles()[2];
  const auto now = fs::last_write_time(song.parent_path());
  const std::vector<fs::file_time_type> times = {
      now - std::chrono::hours(24 * 400),
#ifndef _WIN32
      now - std::chrono::hours(24 * 365 * 60),
#endif
  };
  for (const fs::file_time_type old : times) {
    for (bool keepTime : {false, true}) {
      writeFile(song, original);
      fs::last_write_time(song, old);
      const PathReport report = convertOnePath(
          songPath.c_str(), PathSettings{true, false, keepTime, {}, false}, nullptr, nullptr);
      ASSERT_EQ(report.outcome, PathOutcome::Converted);
      if (keepTime) {
        EXPECT_EQ(fs::last_write_time(song), old);
      } else {
        EXPECT_GT(fs::last_write_time(song), old + std::chrono::hours(24));
      }
    }
  }
}
