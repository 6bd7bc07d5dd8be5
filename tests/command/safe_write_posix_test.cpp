// The safe write against what a real POSIX file system holds: entries
// planted at the temporary names, owners, modes, ACLs and extended
// attributes, links, FIFOs and devices, and names as long as a folder entry
// can be. Cases about owners need the superuser (as CI runs) and skip
// otherwise.
#include "command/file_conversion.h"
#include "command/file_faults.h"
#include "command/safe_write.h"
#include "tests/command/command_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <map>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr PathSettings WRITE{true, false, false, {}, false};

// Owner, group, mode and every extended attribute (the ACL among them).
struct Metadata {
  uid_t owner;
  gid_t group;
  mode_t mode;
  std::map<std::string, std::string> attributes;
  bool operator==(const Metadata &other) const {
    return owner == other.owner && group == other.group && mode == other.mode &&
           attributes == other.attributes;
  }
};

Metadata metadataOf(const fs::path &path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0);
  Metadata metadata{status.st_uid, status.st_gid, status.st_mode, {}};
  char names[4096];
  const ssize_t length = llistxattr(path.c_str(), names, sizeof names);
  for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    char value[4096];
    const ssize_t size = lgetxattr(path.c_str(), names + at, value, sizeof value);
    metadata.attributes[names + at] = std::string(value, size > 0 ? static_cast<size_t>(size) : 0);
  }
  return metadata;
}

std::ostream &operator<<(std::ostream &out, const Metadata &metadata) {
  out << metadata.owner << ":" << metadata.group << " " << std::oct << metadata.mode << std::dec;
  for (const auto &attribute : metadata.attributes)
    out << " " << attribute.first << "(" << attribute.second.size() << " bytes)";
  return out;
}

uid_t nobodyUser() {
  const passwd *entry = getpwnam("nobody");
  return entry == nullptr ? 65534 : entry->pw_uid;
}

// Runs one of the fixed commands below (chown, chmod, setfacl, setfattr).
void run(const std::string &command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command; // NOLINT(cert-env33-c)
}

class SafeWrite : public ::testing::Test {
protected:
  void SetUp() override {
    folder = makeFolder("safe-write");
    song = folder / "song.mp3";
    writeFile(song, taggedSong());
    converted = runRewrite(taggedSong()).output;
  }
  void TearDown() override {
    g_temporaryNamesFirst = nullptr;
    g_injectedFault = InjectedFault{FileStep::None, FileProblem::None};
    removeFolder(folder);
  }
  void needSuperuser() {
    if (geteuid() != 0)
      GTEST_SKIP() << "owners can only be given away by the superuser";
  }
  PathReport convertAt(const fs::path &path, PathSettings settings = WRITE) {
    return convertOnePath(path.c_str(), settings, nullptr, nullptr);
  }

  fs::path folder;
  fs::path song;
  Bytes converted;
};

} // namespace

// Whatever stands at the names the new file could take is left alone: a
// link to a file of the superuser's, a FIFO, someone's file, and the name
// earlier versions used. The conversion takes a free name.
TEST_F(SafeWrite, EntriesPlantedAtTemporaryNamesAreNeverOpened) {
  const char *const names[] = {".sorabun-aaaaaaaa", ".sorabun-bbbbbbbb", ".sorabun-cccccccc",
                               nullptr};
  g_temporaryNamesFirst = names;
  const fs::path victim = folder / "victim";
  writeFile(victim, ascii("root only"));
  fs::permissions(victim, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(victim, folder / names[0]);
  ASSERT_EQ(mkfifo((folder / names[1]).c_str(), 0644), 0);
  writeFile(folder / names[2], ascii("someone's file"));
  fs::create_symlink(victim, folder / "song.mp3.sorabun-tmp");

  EXPECT_EQ(convertAt(song).outcome, PathOutcome::Converted);
  EXPECT_EQ(readFile(song), converted);
  EXPECT_EQ(readFile(victim), ascii("root only"));
  EXPECT_EQ(fs::status(victim).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(fs::is_symlink(folder / names[0]));
  EXPECT_TRUE(fs::is_fifo(folder / names[1]));
  EXPECT_EQ(readFile(folder / names[2]), ascii("someone's file"));
  EXPECT_TRUE(fs::is_symlink(folder / "song.mp3.sorabun-tmp"));
  EXPECT_EQ(folderEntries(folder).size(), 6u);
}

TEST_F(SafeWrite, OwnerModeAclAndAttributesAreKept) {
  needSuperuser();
  const std::string nobody = std::to_string(nobodyUser());
  struct Row {
    const char *what;
    std::function<void()> setUp;
  };
  const std::string path = song.string();
  const Row rows[] = {
      {"another user's file, 0640",
       [&] { run("chown " + nobody + ":" + nobody + " " + path + " && chmod 0640 " + path); }},
      {"set-user-ID", [&] { run("chown " + nobody + " " + path + " && chmod 4755 " + path); }},
      {"ACL with a narrow mask", [&] { run("setfacl -m u:" + nobody + ":rw-,m::r-- " + path); }},
      {"user attributes", [&] { run("setfattr -n user.comment -v kept " + path); }},
      {"a set-group-ID folder of another group",
       [&] {
         run("chown :" + nobody + " " + folder.string() + " && chmod g+s " + folder.string() +
             " && chown :0 " + path);
       }},
      {"a folder with a default ACL",
       [&] { run("setfacl -d -m u:" + nobody + ":rwx " + folder.string()); }},
  };
  for (const Row &row : rows) {
    writeFile(song, taggedSong());
    row.setUp();
    const Metadata before = metadataOf(song);
    const PathReport report = convertAt(song);
    EXPECT_EQ(report.outcome, PathOutcome::Converted) << row.what;
    EXPECT_EQ(readFile(song), converted) << row.what;
    EXPECT_EQ(metadataOf(song), before) << row.what;
    fs::remove(song);
  }
}

// Someone who is not the superuser cannot give a new file away: another
// user's file (in a folder all may write), or a file of a group they are
// not in, is refused rather than given a new owner.
TEST_F(SafeWrite, AFileWhoseOwnerCannotBeKeptIsRefused) {
  needSuperuser();
  const uid_t nobody = nobodyUser();
  fs::permissions(folder, fs::perms::all);
  struct Row {
    uid_t owner;
    gid_t group;
  };
  gid_t groups[64];
  const int groupCount = getgroups(64, groups);
  ASSERT_GE(groupCount, 0);
  for (const Row &row : {Row{0, 0}, Row{nobody, 0}}) {
    writeFile(song, taggedSong());
    ASSERT_EQ(chown(song.c_str(), row.owner, row.group), 0);
    fs::permissions(song, fs::perms::all);
    ASSERT_EQ(setgroups(0, nullptr), 0);
    ASSERT_EQ(setegid(nobody), 0);
    ASSERT_EQ(seteuid(nobody), 0);
    const PathReport report = convertAt(song);
    ASSERT_EQ(seteuid(0), 0);
    ASSERT_EQ(setegid(0), 0);
    ASSERT_EQ(setgroups(static_cast<size_t>(groupCount), groups), 0);
    EXPECT_EQ(report.outcome, PathOutcome::CannotWrite) << row.owner << ":" << row.group;
    EXPECT_EQ(report.problem, FileProblem::OwnerNotKept);
    EXPECT_EQ(readFile(song), taggedSong());
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"song.mp3"});
  }
}

// Only a regular file with one name is converted; nothing else is opened
// (a FIFO would block, a device could act), even when only examining.
TEST_F(SafeWrite, OnlyRegularFilesWithOneNameAreConverted) {
  ASSERT_EQ(mkfifo((folder / "fifo.mp3").c_str(), 0644), 0);
  fs::create_symlink(folder / "fifo.mp3", folder / "to-fifo.mp3");
  fs::create_symlink("/dev/null", folder / "to-device.mp3");
  fs::create_directory(folder / "folder.mp3");
  writeFile(folder / "linked.mp3", taggedSong());
  fs::create_hard_link(folder / "linked.mp3", folder / "other-name.mp3");
  struct Row {
    const char *name;
    FileProblem problem;
  };
  const Row rows[] = {
      {"fifo.mp3", FileProblem::NotRegularFile},      {"to-fifo.mp3", FileProblem::NotRegularFile},
      {"to-device.mp3", FileProblem::NotRegularFile}, {"folder.mp3", FileProblem::NotRegularFile},
      {"linked.mp3", FileProblem::HardLinked},
  };
  alarm(20); // a FIFO opened for reading would wait for a writer for ever
  for (const Row &row : rows) {
    for (bool write : {false, true}) {
      const PathReport report =
          convertAt(folder / row.name, PathSettings{write, false, false, {}, false});
      EXPECT_EQ(report.outcome, PathOutcome::CannotOpen) << row.name;
      EXPECT_EQ(report.problem, row.problem) << row.name;
    }
  }
  alarm(0);
  EXPECT_EQ(readFile(folder / "linked.mp3"), taggedSong());
  EXPECT_TRUE(fs::is_fifo(folder / "fifo.mp3"));
}

// A link is followed: the file it names is converted in place, the link
// stays a link, and a backup is made beside the file.
TEST_F(SafeWrite, ALinkIsFollowedAndStaysALink) {
  fs::create_directory(folder / "links");
  const fs::path link = folder / "links" / "song.mp3";
  fs::create_symlink("../song.mp3", link);
  for (bool backup : {false, true}) {
    writeFile(song, taggedSong());
    EXPECT_EQ(convertAt(link, PathSettings{true, backup, false, {}, false}).outcome,
              PathOutcome::Converted);
    EXPECT_EQ(readFile(song), converted);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "../song.mp3");
  }
  EXPECT_EQ(readFile(folder / "song.mp3.bak"), taggedSong());
  EXPECT_EQ(folderEntries(folder / "links"), std::vector<std::string>{"song.mp3"});
  // A link to a link, the second naming a file beside itself.
  fs::create_symlink("links/next.mp3", folder / "chain.mp3");
  fs::create_symlink("inner.mp3", folder / "links" / "next.mp3");
  for (const char *named : {"chain.mp3", "links/next.mp3"}) {
    writeFile(folder / "links" / "inner.mp3", taggedSong());
    EXPECT_EQ(convertAt(folder / named).outcome, PathOutcome::Converted) << named;
    EXPECT_EQ(readFile(folder / "links" / "inner.mp3"), converted) << named;
  }
}

// Names as long as a folder entry can be (80 kanji and more) convert: the
// temporary name does not grow with them. Only the backup's longer name
// cannot exist.
TEST_F(SafeWrite, NamesUpTo255BytesConvert) {
  std::string kanji;
  for (int i = 0; i < 80; ++i)
    kanji += "\xE6\xBC\xA2"; // 漢
  struct Row {
    std::string name;
    bool backup;
    PathOutcome outcome;
  };
  const Row rows[] = {
      {kanji + ".mp3", false, PathOutcome::Converted},
      {std::string(251, 'a') + ".mp3", false, PathOutcome::Converted},
      {std::string(251, 'b') + ".mp3", true, PathOutcome::CannotBackUp},
  };
  for (const Row &row : rows) {
    const fs::path path = folder / row.name;
    writeFile(path, taggedSong());
    const PathReport report = convertAt(path, PathSettings{true, row.backup, false, {}, false});
    EXPECT_EQ(report.outcome, row.outcome) << row.name.size();
    EXPECT_EQ(readFile(path), row.backup ? taggedSong() : converted) << row.name.size();
    fs::remove(path);
  }
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"song.mp3"});
}

namespace {

// fs.protected_symlinks as a test sets it, put back at the end.
struct ProtectedSymlinks {
  static constexpr const char *SETTING = "/proc/sys/fs/protected_symlinks";
  std::string before;
  ProtectedSymlinks() { std::ifstream(SETTING) >> before; }
  ~ProtectedSymlinks() { set(before); }
  static bool set(const std::string &value) {
    std::ofstream out(SETTING);
    out << value << "\n" << std::flush;
    return out.good();
  }
};

} // namespace

// A link in a sticky folder that everyone may write is followed only when
// the folder's owner or the user running the program made it, whether or
// not the kernel's own rule is on; the file it leads to is converted in
// place, through the link, or refused with that cause and left as it was.
TEST_F(SafeWrite, LinksInSharedFoldersAreFollowedOnlyAsTheKernelsRuleAllows) {
  needSuperuser();
  const uid_t nobody = nobodyUser();
  const fs::path shared = folder / "shared";
  const fs::path inner = folder / "inner";
  fs::create_directory(shared);
  fs::create_directory(inner);
  struct Row {
    const char *what;
    mode_t folderMode;
    uid_t folderOwner;
    uid_t linkOwner;
    bool throughFolderLink; // the link is a folder on the way, not the file's own
    bool followed;
  };
  const Row rows[] = {
      {"another user's link, sticky", 01777, 0, nobody, false, false},
      {"another user's link to a folder on the way", 01777, 0, nobody, true, false},
      {"the folder owner's link", 01777, nobody, nobody, false, true},
      {"the running user's link", 01777, nobody, 0, false, true},
      {"not sticky", 0777, 0, nobody, false, true},
      {"sticky, not everyone's", 01775, 0, nobody, false, true},
  };
  const ProtectedSymlinks kernelRule;
  for (const char *setting : {"0", "1"}) {
    if (!ProtectedSymlinks::set(setting))
      GTEST_SKIP() << "fs.protected_symlinks cannot be set here";
    for (const Row &row : rows) {
      const fs::path link = shared / "link";
      fs::remove(link);
      writeFile(inner / "song.mp3", taggedSong());
      if (row.throughFolderLink)
        fs::create_directory_symlink(inner, link);
      else
        fs::create_symlink(inner / "song.mp3", link);
      ASSERT_EQ(lchown(link.c_str(), row.linkOwner, static_cast<gid_t>(-1)), 0);
      ASSERT_EQ(chown(shared.c_str(), row.folderOwner, 0), 0);
      ASSERT_EQ(chmod(shared.c_str(), row.folderMode), 0);
      const fs::path named = row.throughFolderLink ? link / "song.mp3" : link;
      const PathReport report = convertAt(named);
      const std::string what = std::string(row.what) + ", protected_symlinks " + setting;
      EXPECT_EQ(report.outcome, row.followed ? PathOutcome::Converted : PathOutcome::CannotOpen)
          << what;
      EXPECT_EQ(report.problem, row.followed ? FileProblem::None : FileProblem::UntrustedLink)
          << what;
      EXPECT_EQ(readFile(inner / "song.mp3"), row.followed ? converted : taggedSong()) << what;
      EXPECT_TRUE(fs::is_symlink(link)) << what;
      EXPECT_EQ(folderEntries(inner), std::vector<std::string>{"song.mp3"}) << what;
    }
  }
}

// A temporary file that an interrupted copy left is removed only when it is
// provably this program's; every other entry of that name is left, with
// the reason, and nothing but a regular file is opened.
TEST_F(SafeWrite, LeftoversAreRemovedOnlyWhenProvablyThisProgramsOwn) {
  int held = -1;
  char tied[TEMPORARY_NAME_SIZE];
  makeTemporaryNameFor("song.mp3", 3, tied);
  struct Row {
    const char *what;
    std::string name;
    std::function<void(const fs::path &)> make;
    LeftoverAction action;
    FileProblem problem;
  };
  const Row rows[] = {
      {"a complete copy", ".sorabun-aaaaaaaa", [&](const fs::path &p) { writeFile(p, converted); },
       LeftoverAction::Removed, FileProblem::None},
      {"an empty copy's, named from a copy made there", tied,
       [](const fs::path &p) { writeFile(p, {}); }, LeftoverAction::Removed, FileProblem::None},
      {"a user's notes", ".sorabun-cccccccc",
       [](const fs::path &p) { writeFile(p, ascii("notes")); }, LeftoverAction::Kept,
       FileProblem::UnknownLeftover},
      {"a copy with another name", ".sorabun-dddddddd",
       [&](const fs::path &p) {
         writeFile(p, converted);
         fs::create_hard_link(p, folder / "other name");
       },
       LeftoverAction::Kept, FileProblem::HardLinked},
      {"a FIFO", ".sorabun-eeeeeeee",
       [](const fs::path &p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, LeftoverAction::Kept,
       FileProblem::NotRegularFile},
      {"a link to a copy", ".sorabun-ffffffff",
       [&](const fs::path &p) { fs::create_symlink(song, p); }, LeftoverAction::Kept,
       FileProblem::NotRegularFile},
      {"a device", ".sorabun-gggggggg",
       [](const fs::path &p) {
         if (mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) // /dev/null's numbers
           writeFile(p, ascii("not a device: no permission to make one"));
       },
       LeftoverAction::Kept, FileProblem::NotRegularFile},
      {"a copy another run still writes", ".sorabun-hhhhhhhh",
       [&](const fs::path &p) {
         writeFile(p, converted);
         held = open(p.c_str(), O_RDONLY | O_CLOEXEC);
         ASSERT_EQ(flock(held, LOCK_EX), 0);
       },
       LeftoverAction::Kept, FileProblem::InUse},
  };
  const char *const copyNames[] = {"song.mp3"};
  FolderHandle handle = NO_FOLDER;
  ASSERT_EQ(openFolder(CURRENT_FOLDER, folder.c_str(), &handle), FileProblem::None);
  alarm(20); // a FIFO opened for reading would wait for a writer for ever
  for (const Row &row : rows) {
    const fs::path leftover = folder / row.name;
    row.make(leftover);
    if (row.problem == FileProblem::NotRegularFile && fs::is_regular_file(leftover)) {
      fs::remove(leftover);
      continue; // no device without the superuser
    }
    for (bool act : {false, true}) {
      const LeftoverResult settled = clearLeftover(handle, row.name.c_str(), copyNames, 1, act);
      EXPECT_EQ(settled.action, row.action) << row.what;
      EXPECT_EQ(settled.problem, row.problem) << row.what;
      EXPECT_EQ(fs::exists(fs::symlink_status(leftover)),
                !act || row.action == LeftoverAction::Kept)
          << row.what;
    }
    fs::remove(leftover);
    fs::remove(folder / "other name");
  }
  alarm(0);
  close(held);
  closeFolder(handle);
  EXPECT_EQ(readFile(song), taggedSong());
}

// Where the file system has no exclusive rename (FAT through FUSE; here the
// fault layer stands in for it), a kill between the reservation of a copy's
// name and the rename over it leaves an empty file and the complete
// temporary file, tied by name, which the next run puts together; no
// interruption leaves the empty file alone.
TEST_F(SafeWrite, AKillBetweenTheReservationAndTheRenameLeavesACopyTheNextRunCompletes) {
  const fs::path stick = folder / "stick";
  fs::create_directory(stick);
  FolderHandle handle = NO_FOLDER;
  ASSERT_EQ(openFolder(CURRENT_FOLDER, stick.c_str(), &handle), FileProblem::None);
  const auto copy = [&] { return copyConverted(song.c_str(), handle, "song.mp3"); };
  g_injectedFault = InjectedFault{FileStep::Reserve, FileProblem::None};
  EXPECT_EQ(copy().outcome, WriteOutcome::Written);
  EXPECT_EQ(readFile(stick / "song.mp3"), converted);
  fs::remove(stick / "song.mp3");

  const auto killedAtTheReservation = [&] {
    g_injectedFault = InjectedFault{FileStep::Reserve, FileProblem::None};
    g_injectedFault.reached = [](void *) { raise(SIGKILL); };
    copy();
  };
  EXPECT_EXIT(killedAtTheReservation(), ::testing::KilledBySignal(SIGKILL), "");
  const std::vector<std::string> left = folderEntries(stick);
  ASSERT_EQ(left.size(), 2u);
  EXPECT_TRUE(isTemporaryNameFor(left[0].c_str(), "song.mp3"));
  EXPECT_EQ(readFile(stick / left[0]), converted);
  EXPECT_EQ(readFile(stick / "song.mp3"), Bytes{});
  for (bool act : {false, true}) {
    const LeftoverResult settled = clearLeftover(handle, left[0].c_str(), nullptr, 0, act);
    EXPECT_EQ(settled.action, LeftoverAction::Completed);
    EXPECT_STREQ(settled.completedName, "song.mp3");
    EXPECT_EQ(folderEntries(stick).size(), act ? 1u : 2u);
  }
  EXPECT_EQ(readFile(stick / "song.mp3"), converted);
  closeFolder(handle);
}

// A folder that takes new names only is refused before anything is
// written there, in place and for copies; a temporary file that a failed
// write cannot remove (the folder made append-only meanwhile) is named.
TEST_F(SafeWrite, AnAppendOnlyFolderIsRefusedAndATemporaryFileLeftIsNamed) {
  needSuperuser();
  const std::string appendOnly = "chattr +a " + folder.string() + " 2>/dev/null";
  if (std::system(appendOnly.c_str()) != 0) // NOLINT(cert-env33-c)
    GTEST_SKIP() << "chattr +a is not possible here: the file system keeps no such flag";
  FolderHandle handle = NO_FOLDER;
  ASSERT_EQ(openFolder(CURRENT_FOLDER, folder.c_str(), &handle), FileProblem::None);
  const PathReport inPlace = convertAt(song);
  const WriteResult copied = copyConverted(song.c_str(), handle, "copy.mp3");
  run("chattr -a " + folder.string());
  closeFolder(handle);
  EXPECT_EQ(inPlace.outcome, PathOutcome::CannotWrite);
  EXPECT_EQ(copied.outcome, WriteOutcome::CannotWrite);
  for (const FileProblem problem : {inPlace.problem, copied.problem})
    EXPECT_EQ(problem, FileProblem::AppendOnlyFolder);
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"song.mp3"});

  g_injectedFault = InjectedFault{FileStep::Flush, FileProblem::NoSpace};
  g_injectedFault.context = &folder;
  g_injectedFault.reached = [](void *context) {
    run("chattr +a " + static_cast<fs::path *>(context)->string());
  };
  const PathReport failed = convertAt(song);
  run("chattr -a " + folder.string());
  EXPECT_EQ(failed.outcome, PathOutcome::CannotWrite);
  EXPECT_EQ(failed.problem, FileProblem::NoSpace);
  EXPECT_TRUE(isTemporaryName(failed.leftBehind));
  EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{failed.leftBehind, "song.mp3"}));
  EXPECT_EQ(readFile(song), taggedSong());
}
