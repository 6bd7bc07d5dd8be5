// The copy run stopped on request, between files and in the middle of a
// copy: what was copied before stays complete, nothing else is left at the
// destination, and the next run completes the copies. A copy an interrupted
// run was placing is completed before the copies are examined. A disk that
// fills up stops the run once. The record of the copies made: a copy is
// replaced only when it shows it unchanged, and its text.
#include "command/file_faults.h"
#include "command/temporary_name.h"
#include "library/copy_run.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char *const SONGS[] = {"01.mp3", "02.mp3", "03.mp3"};

// Where the test asks the run to stop: at the progress event naming this
// file with this many copies done (before its write when the count is the
// files before it, after it otherwise).
struct StopAt {
  const char *file;
  size_t filesDone;
};

struct Watch {
  StopAt stopAt;
  bool stopping = false;
  std::vector<std::string> done;      // "NAME action", in order
  std::vector<std::string> leftovers; // "FATE NAME (COPY'S NAME)", in order
};

void noteProgress(void *context, const CopyProgress &progress) {
  auto &watch = *static_cast<Watch *>(context);
  const fs::path current = fs::u8path(*progress.currentFile);
  if (current.filename().u8string() == watch.stopAt.file &&
      progress.filesDone == watch.stopAt.filesDone)
    watch.stopping = true;
}

void noteDone(void *context, size_t, const ListedFile &file, const CopyReport &copy) {
  static_cast<Watch *>(context)->done.push_back(file.name + " " +
                                                std::to_string(static_cast<int>(copy.action)));
}

void noteLeftover(void *context, const Leftover &leftover) {
  static_cast<Watch *>(context)->leftovers.push_back(
      std::to_string(static_cast<int>(leftover.fate)) + " " + leftover.name + " (" +
      fs::u8path(leftover.completedPath).filename().u8string() + ")");
}

bool askStop(void *context) {
  return static_cast<Watch *>(context)->stopping;
}

// FOLDER/library copied into FOLDER/stick.
CopyRunSummary copyLibrary(const fs::path &folder, const CopyRunEvents &events) {
  const std::string source = (folder / "library").u8string();
  const std::string destination = (folder / "stick").u8string();
  CopyRunSettings settings{};
  settings.sources = {source.c_str()};
  settings.destination = destination.c_str();
  settings.write = true;
  return runCopies(settings, events);
}

std::string doneAs(const char *name, CopyAction action) {
  return std::string(name) + " " + std::to_string(static_cast<int>(action));
}

class StoppedCopyRun : public ::testing::Test {
protected:
  void SetUp() override {
    folder = makeFolder("copy-run");
    fs::create_directories(folder / "library");
    TagParts parts;
    parts.frames = {frame(4, "TIT2", Bytes{0x01} + BOM_LE + utf16le(u"\u66F2") + ZERO16)};
    parts.audio = repeat(0x5A, 2 * COPY_BLOCK_SIZE + 1000); // three blocks
    for (const char *song : SONGS)
      writeFile(folder / "library" / song, buildTag(parts));
    converted = runRewrite(buildTag(parts)).output;
  }
  void TearDown() override { removeFolder(folder); }

  CopyRunSummary copy(Watch &watch) {
    CopyRunEvents events{};
    events.context = &watch;
    events.fileDone = noteDone;
    events.progress = noteProgress;
    events.leftover = noteLeftover;
    events.stopRequested = askStop;
    return copyLibrary(folder, events);
  }

  fs::path folder;
  Bytes converted;
};

} // namespace

TEST_F(StoppedCopyRun, KeepsTheCompleteCopiesLeavesNothingElseAndTheNextRunCompletes) {
  struct Row {
    const char *what;
    StopAt stopAt;
    std::vector<std::string> done;
  };
  const Row rows[] = {
      {"between two files", {"01.mp3", 1}, {doneAs("01.mp3", CopyAction::Write)}},
      {"while a copy is written",
       {"02.mp3", 1},
       {doneAs("01.mp3", CopyAction::Write), doneAs("02.mp3", CopyAction::Stopped)}},
  };
  for (const Row &row : rows) {
    fs::remove_all(folder / "stick");
    Watch stopped{row.stopAt, false, {}, {}};
    const CopyRunSummary summary = copy(stopped);
    EXPECT_TRUE(summary.stopped) << row.what;
    EXPECT_TRUE(summary.flushed) << row.what;
    EXPECT_EQ(summary.counts.converted, 1u) << row.what;
    EXPECT_EQ(stopped.done, row.done) << row.what;
    EXPECT_EQ(folderEntries(folder / "stick" / "library"), std::vector<std::string>{"01.mp3"})
        << row.what;
    EXPECT_EQ(readFile(folder / "stick" / "library" / "01.mp3"), converted) << row.what;

    Watch whole{{"", 0}, false, {}, {}};
    const CopyRunSummary again = copy(whole);
    EXPECT_FALSE(again.stopped) << row.what;
    EXPECT_EQ(again.counts.upToDate, 1u) << row.what;
    EXPECT_EQ(again.counts.converted, 2u) << row.what;
    for (const char *song : SONGS)
      EXPECT_EQ(readFile(folder / "stick" / "library" / song), converted) << row.what << song;
    EXPECT_EQ(folderEntries(folder / "stick" / "library").size(), 3u) << row.what;
  }
}

using InterruptedCopyRun = StoppedCopyRun;

// Where the file system has no exclusive rename, a run killed between the
// reservation of a copy's name (an empty file) and the rename over it
// leaves the complete copy under a temporary name made from the copy's. The
// next run completes it when it first comes to the folder, before the
// copies there are examined: the copy is then up to date, not another
// file at its name.
TEST_F(InterruptedCopyRun, CompletesTheCopyItWasPlacingBeforeTheCopiesAreExamined) {
  const fs::path stick = folder / "stick" / "library";
  fs::create_directories(stick);
  char temporary[TEMPORARY_NAME_SIZE];
  makeTemporaryNameFor("02.mp3", 0, temporary);
  writeFile(stick / "02.mp3", {});
  writeFile(stick / temporary, converted);
  fs::last_write_time(stick / temporary, fs::last_write_time(folder / "library" / "02.mp3"));
  Watch watch{{"", 0}, false, {}, {}};
  const CopyRunSummary summary = copy(watch);
  EXPECT_EQ(watch.leftovers,
            std::vector<std::string>{std::to_string(static_cast<int>(LeftoverFate::Completed)) +
                                     " " + temporary + " (02.mp3)"});
  EXPECT_EQ(watch.done, (std::vector<std::string>{doneAs("01.mp3", CopyAction::Write),
                                                  doneAs("02.mp3", CopyAction::UpToDate),
                                                  doneAs("03.mp3", CopyAction::Write)}));
  EXPECT_EQ(summary.counts.upToDate, 1u);
  EXPECT_EQ(folderEntries(stick), (std::vector<std::string>{"01.mp3", "02.mp3", "03.mp3"}));
  for (const char *song : SONGS)
    EXPECT_EQ(readFile(stick / song), converted) << song;
}

using FullCopyRun = StoppedCopyRun;

// The disk fills up while the copies are written: the run stops after the
// first copy that fails for it, rather than failing every copy after it.
TEST_F(FullCopyRun, StopsAtTheFirstCopyThatFindsTheDiskFull) {
  struct Row {
    const char *what;
    FileProblem problem;
    int passes; // the folders stick and stick/library, then the copies' temporary files
    std::vector<std::string> done;
    size_t notWritten;
  };
  const std::string failed = doneAs("02.mp3", CopyAction::None);
  const Row rows[] = {
      {"no space", FileProblem::NoSpace, 3, {doneAs("01.mp3", CopyAction::Write), failed}, 1},
      {"a FAT root folder, full, refusing a file as fusefat does",
       FileProblem::NoPermission,
       3,
       {doneAs("01.mp3", CopyAction::Write), failed},
       1},
      {"no permission from the start",
       FileProblem::NoPermission,
       2,
       {doneAs("01.mp3", CopyAction::None), doneAs("02.mp3", CopyAction::None),
        doneAs("03.mp3", CopyAction::None)},
       0},
  };
  for (const Row &row : rows) {
    fs::remove_all(folder / "stick");
    Watch watch{{"", 0}, false, {}, {}};
    g_injectedFault = InjectedFault{FileStep::Create, row.problem, row.passes};
    const CopyRunSummary summary = copy(watch);
    g_injectedFault = InjectedFault{FileStep::None, FileProblem::None};
    EXPECT_EQ(watch.done, row.done) << row.what;
    EXPECT_EQ(summary.diskFull, row.notWritten > 0) << row.what;
    EXPECT_EQ(summary.copiesNotWritten, row.notWritten) << row.what;
    EXPECT_TRUE(summary.flushed) << row.what;
  }
}

namespace {

// A library of one song copied once; its tag then changed or not, and the
// stick's copy, or the record of it, changed as a row says.
class RecordedCopyRun : public ::testing::Test {
protected:
  void SetUp() override {
    folder = makeFolder("recorded-copy");
    fs::create_directories(folder / "library");
  }
  void TearDown() override { removeFolder(folder); }

  static Bytes song(const char16_t *title) {
    return buildTag(3, {frame(3, "TIT2", Bytes{0x01} + BOM_LE + utf16le(title) + ZERO16)});
  }

  CopyReport copyOnce() {
    CopyRunEvents events{};
    CopyReport last{};
    events.context = &last;
    events.fileDone = [](void *context, size_t, const ListedFile &, const CopyReport &copy) {
      *static_cast<CopyReport *>(context) = copy;
    };
    copyLibrary(folder, events);
    return last;
  }

  fs::path folder;
};

} // namespace

TEST_F(RecordedCopyRun, ReplacesOnlyItsOwnUnchangedCopiesOfChangedFiles) {
  const Bytes before = song(u"\u3042");
  const Bytes after = song(u"\u3044\u3046");
  const Bytes other = song(u"\u3048");
  const Bytes copiedBefore = runRewrite(before).output;
  struct Row {
    const char *what;
    bool retagged;
    std::function<void(const fs::path &stick)> change;
    CopyAction action;
    bool replaces;
    Bytes copy; // what the copy then holds
  };
  const fs::path copy = fs::path("library") / "01.mp3";
  const auto append = [&](const fs::path &stick) {
    writeFile(stick / copy, readFile(stick / copy) + Bytes{0});
  };
  const auto touch = [&](const fs::path &stick) {
    fs::last_write_time(stick / copy, fs::file_time_type::clock::now() - std::chrono::hours(50));
  };
  const Row rows[] = {
      {"its own copy, unchanged", true, [](const fs::path &) {}, CopyAction::Write, true,
       runRewrite(after).output},
      {"changed since", true, append, CopyAction::Taken, false, copiedBefore + Bytes{0}},
      {"its time changed since", true, touch, CopyAction::Taken, false, copiedBefore},
      {"the same bytes at another time", false, touch, CopyAction::UpToDate, false, copiedBefore},
      {"a record lost", true, [](const fs::path &stick) { fs::remove(stick / COPY_RECORD_NAME); },
       CopyAction::Taken, false, copiedBefore},
      {"a record cut short", true,
       [](const fs::path &stick) {
         const Bytes text = readFile(stick / COPY_RECORD_NAME);
         writeFile(stick / COPY_RECORD_NAME, Bytes(text.begin(), text.end() - 4));
       },
       CopyAction::Taken, false, copiedBefore},
      {"a file the record does not know", true,
       [&](const fs::path &stick) {
         fs::remove(stick / copy);
         writeFile(stick / copy, runRewrite(other).output);
       },
       CopyAction::Taken, false, runRewrite(other).output},
  };
  for (const Row &row : rows) {
    fs::remove_all(folder / "stick");
    writeFile(folder / "library" / "01.mp3", before);
    ASSERT_EQ(copyOnce().action, CopyAction::Write) << row.what;
    row.change(folder / "stick");
    if (row.retagged)
      writeFile(folder / "library" / "01.mp3", after);
    const CopyReport again = copyOnce();
    EXPECT_EQ(again.action, row.action) << row.what;
    EXPECT_EQ(again.replacesOwnCopy, row.replaces) << row.what;
    EXPECT_EQ(readFile(folder / "stick" / copy), row.copy) << row.what;
    EXPECT_EQ(folderEntries(folder / "stick" / "library"), std::vector<std::string>{"01.mp3"})
        << row.what;
  }
  // The record of the last copy replaced lets a third run replace it again.
  fs::remove_all(folder / "stick");
  writeFile(folder / "library" / "01.mp3", before);
  copyOnce();
  writeFile(folder / "library" / "01.mp3", after);
  copyOnce();
  writeFile(folder / "library" / "01.mp3", other);
  EXPECT_TRUE(copyOnce().replacesOwnCopy);
  EXPECT_EQ(readFile(folder / "stick" / copy), runRewrite(other).output);
}

// Whatever else holds the record's name is the user's: it is never replaced.
TEST_F(RecordedCopyRun, LeavesAFileAtTheRecordsNameThatIsNoRecord) {
  for (const Bytes &held : {ascii("notes\n"), ascii("sorabun copie"), Bytes{}}) {
    fs::remove_all(folder / "stick");
    fs::create_directories(folder / "stick");
    writeFile(folder / "stick" / COPY_RECORD_NAME, held);
    writeFile(folder / "library" / "01.mp3", song(u"\u3042"));
    const CopyRunSummary summary = copyLibrary(folder, CopyRunEvents{});
    EXPECT_EQ(summary.counts.converted, 1u);
    EXPECT_EQ(summary.recordProblem, FileProblem::AlreadyExists);
    EXPECT_EQ(readFile(folder / "stick" / COPY_RECORD_NAME), held);
  }
}

TEST(CopyRecordText, KeepsEveryNameAndTakesNothingDamaged) {
  CopyRecord record;
  record["a/b.mp3"] = RecordedCopy{10, -5, 0x0123456789abcdefu, "lib/b.mp3"};
  record[" lead\ttab\nline\\back\x01.mp3"] = RecordedCopy{0, 7, 1, "\r\x7f"};
  const std::string text = copyRecordText(record);
  CopyRecord read;
  ASSERT_TRUE(parseCopyRecord(text, &read)) << text;
  EXPECT_EQ(read.size(), 2u);
  for (const auto &[name, copy] : record) {
    ASSERT_EQ(read.count(name), 1u) << name;
    EXPECT_EQ(read[name].size, copy.size);
    EXPECT_EQ(read[name].lastWriteTime, copy.lastWriteTime);
    EXPECT_EQ(read[name].hash, copy.hash);
    EXPECT_EQ(read[name].source, copy.source);
  }
  const size_t firstLine = text.find('\n') + 1;
  const std::string damaged[] = {
      "",
      text.substr(0, text.size() - 1),                      // the last line unended
      text.substr(0, firstLine) + "end 1\n",                // a count that is not the lines'
      "sorabun copies 2" + text.substr(text.find(' ', 15)), // another version
      text.substr(0, firstLine) + "0123 1 1 x\ty\n" + text.substr(firstLine), // a short hash
      text.substr(0, firstLine) + "0123456789abcdef 1 1 a\\q\ty\n" + text.substr(firstLine),
      text + "more\n",
  };
  for (const std::string &bad : damaged) {
    CopyRecord parsed{{"x", {}}};
    EXPECT_FALSE(parseCopyRecord(bad, &parsed)) << bad;
    EXPECT_TRUE(parsed.empty()) << bad;
  }
}

// The record's own temporary file, left by a run killed while it wrote the
// record, is tied to the record's name: removed, or on FAT (an empty file
// reserving the name) completed, and never taken for a user's file.
TEST_F(InterruptedCopyRun, SettlesAnInterruptedWriteOfTheRecord) {
  const fs::path stick = folder / "stick";
  char temporary[TEMPORARY_NAME_SIZE];
  makeTemporaryNameFor(COPY_RECORD_NAME, 0, temporary);
  const std::string text = copyRecordText(CopyRecord{});
  struct Row {
    const char *what;
    bool reserved;
    LeftoverFate fate;
  };
  const Row rows[] = {{"written in part", false, LeftoverFate::Removed},
                      {"complete, its name reserved", true, LeftoverFate::Completed}};
  for (const Row &row : rows) {
    fs::remove_all(stick);
    fs::create_directories(stick);
    writeFile(stick / temporary, Bytes(text.begin(), text.end()));
    if (row.reserved)
      writeFile(stick / COPY_RECORD_NAME, {});
    Watch watch{{"", 0}, false, {}, {}};
    copy(watch);
    ASSERT_EQ(watch.leftovers.size(), 1u) << row.what;
    EXPECT_EQ(watch.leftovers[0].substr(0, 2), std::to_string(static_cast<int>(row.fate)) + " ")
        << row.what;
    EXPECT_EQ(folderEntries(stick), (std::vector<std::string>{COPY_RECORD_NAME, "library"}))
        << row.what;
    const Bytes record = readFile(stick / COPY_RECORD_NAME);
    CopyRecord read;
    EXPECT_TRUE(parseCopyRecord(std::string(record.begin(), record.end()), &read)) << row.what;
    EXPECT_EQ(read.size(), 3u) << row.what;
  }
}
