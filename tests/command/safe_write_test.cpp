// The safe write's copies on every platform: what another run at work in
// the same folder finds meanwhile.
#include "command/file_conversion.h"
#include "command/file_faults.h"
#include "command/safe_write.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct OtherRun {
  fs::path stick;
  FolderHandle folder;
  std::vector<LeftoverResult> found;
};

// Another run settling the leftovers it finds in the folder.
void settleLeftovers(void *context) {
  auto *other = static_cast<OtherRun *>(context);
  for (const auto &entry : fs::directory_iterator(other->stick)) {
    const std::string name = entry.path().filename().string();
    if (isTemporaryName(name.c_str()))
      other->found.push_back(clearLeftover(other->folder, name.c_str(), nullptr, 0, true));
  }
}

} // namespace

// Two runs into one folder: while a copy waits for its name, the other
// run's clean-up finds its temporary file held and leaves it; the copy then
// takes its name.
TEST(SafeWriteCopies, ACopyIsHeldUntilItHasItsName) {
  const fs::path folder = makeFolder("copies");
  const fs::path song = folder / "song.mp3";
  writeFile(song, taggedSong());
  OtherRun other{folder / "stick", NO_FOLDER, {}};
  fs::create_directory(other.stick);
  ASSERT_EQ(openFolder(CURRENT_FOLDER, other.stick.string().c_str(), &other.folder),
            FileProblem::None);
  g_injectedFault = InjectedFault{FileStep::Place, FileProblem::None};
  g_injectedFault.reached = settleLeftovers;
  g_injectedFault.context = &other;
  const WriteResult copy = copyConverted(song.string().c_str(), other.folder, "song.mp3");
  g_injectedFault = InjectedFault{FileStep::None, FileProblem::None};
  closeFolder(other.folder);
  EXPECT_EQ(copy.outcome, WriteOutcome::Written);
  ASSERT_EQ(other.found.size(), 1u);
  EXPECT_EQ(other.found[0].action, LeftoverAction::Kept);
  EXPECT_EQ(other.found[0].problem, FileProblem::InUse);
  EXPECT_EQ(folderEntries(other.stick), std::vector<std::string>{"song.mp3"});
  EXPECT_EQ(readFile(other.stick / "song.mp3"), runRewrite(taggedSong()).output);
  removeFolder(folder);
}
