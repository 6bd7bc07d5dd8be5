// The copy run stopped on request, between files and in the middle of a
// copy: what was copied before stays complete, nothing else is left at the
// destination, and the next run completes the copies. A copy an interrupted
// run was placing is completed before the copies are examined.
#include "command/temporary_name.h"
#include "library/copy_run.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

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
    const std::string source = (folder / "library").u8string();
    const std::string destination = (folder / "stick").u8string();
    CopyRunSettings settings{};
    settings.sources = {source.c_str()};
    settings.destination = destination.c_str();
    settings.write = true;
    CopyRunEvents events{};
    events.context = &watch;
    events.fileDone = noteDone;
    events.progress = noteProgress;
    events.leftover = noteLeftover;
    events.stopRequested = askStop;
    return runCopies(settings, events);
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
