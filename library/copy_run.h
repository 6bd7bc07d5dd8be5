// A copy run, as sorabun-cli --to and the copy window make it: the files and
// folders given are only read, and a converted copy of each goes into the
// destination folder, laid out as they were given (a folder becomes a folder
// of the same name, a file lands in the destination itself), with names a FAT
// stick holds, written in natural order (many car units play files in the
// order they were written). First everything is examined (the leftovers of
// interrupted runs settled in each destination folder as the run first comes
// to it) and the space checked; then the copies are written, each under a temporary name and
// renamed when complete, and the destination's disk is flushed once at the
// end. The run tells what happens through the events it is given and
// returns a summary; it composes no text.
//
// A run keeps no state outside its call, so that it can run on a worker
// thread. One run (or other write) at a time per process: the list of
// temporary files that an interruption removes (installInterruptCleanup) is
// the process's and holds the one write under way.
#pragma once

#include "command/file_conversion.h"
#include "command/platform_files.h"
#include "library/copy_record.h"
#include "library/file_copy.h"
#include "library/file_list.h"
#include "library/text_marks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CopyRunSettings {
  std::vector<const char *> sources; // paths of files and folders (UTF-8)
  const char *destination;           // the folder the copies go into; made when missing
  bool recursive;                    // folders with all their subfolders
  bool allFiles;                     // the folders' other files too, copied as they are
  bool write;                        // false: a dry run, nothing written or removed
  RewriteSettings rewrite;           // what the copies' tags have converted, and how
  bool id3v1;                        // each copy ends with an ID3v1 tag made from its converted tag
};

struct CopyCounts {
  size_t files;
  size_t converted; // copies written converted
  size_t asItIs;    // copies written as the files are
  size_t upToDate;
  size_t taken;  // not replaced: another file has the name
  size_t failed; // failures, and entries that could not be examined
};

struct CopyRunSummary {
  // A folder among the sources (with recursive) that holds the destination,
  // which each run would copy into itself again; the run did nothing else.
  // nullptr otherwise.
  const char *destinationInSource;
  size_t filesListed; // files found to copy; with none, nothing was done after the listing
  CopyCounts counts;
  PreviewMarks marks; // a dry run: what previews of the copies' texts would mark
  // The destination's free space could not be learnt (nothing written).
  FileProblem destinationProblem;
  uint64_t spaceNeeded; // on the disk: each copy to write in whole clusters, and new folders
  uint64_t spaceFree;   // SPACE_UNKNOWN where the file system does not tell
  uint64_t filesNeeded; // files and folders to make, temporary files included
  uint64_t filesFree;   // those the disk may still take (inodes), or SPACE_UNKNOWN
  // A FAT12 or FAT16 root folder among the destination's folders holds
  // rootEntries at most (0: none such known), rootEntriesFilled with the
  // copies: more than it holds, and the copies there fail once it is full.
  uint64_t rootEntries;
  uint64_t rootEntriesFilled;
  size_t filesToWrite;
  uint64_t bytesToWrite;
  bool noSpace; // the copies do not fit, in space or in files (nothing written)
  // The disk filled up while the copies were written: the run stopped after
  // the first copy that failed for it, with copiesNotWritten left to write.
  bool diskFull;
  size_t copiesNotWritten;
  bool stopped;             // stopped on request; what was copied is complete
  bool flushed;             // a run that wrote went as far as the flush of the destination's disk
  FileProblem flushProblem; // why that flush failed: the stick must not be removed yet
  // Why the record of the copies made (library/copy_record.h) could not be
  // written: the next run does not know this run's copies as its own.
  FileProblem recordProblem;
};

// What became of a temporary file an interrupted run left. Those at the
// destination are settled as command/safe_write.h's clearLeftover settles
// them, when the run first comes to their folder.
enum class LeftoverFate {
  InSource,         // among the files given: pointed out and left alone
  Completed,        // the copy that run was placing, given the name its empty reservation held
  WouldBeCompleted, // the same in a dry run
  Removed,          // provably this program's: gone
  WouldBeRemoved,   // the same in a dry run
  Kept,             // left for the cause given (another run writing it, no MP3...)
};

struct Leftover {
  std::string path; // the temporary file, as shown
  std::string name; // its name in its folder
  LeftoverFate fate;
  FileProblem problem;       // the cause, for Kept
  std::string completedPath; // the copy it became (Completed, WouldBeCompleted), as shown
};

struct CopyProgress {
  size_t filesDone; // of the copies to write
  size_t filesTotal;
  uint64_t bytesDone;
  uint64_t bytesTotal;
  const std::string *currentFile; // being written, or the last reported: its path as shown
};

// The run's events. They come in this order: the listing's problems and
// the leftovers among the files given; the renamed folders and files; while
// the files are examined, the leftovers of each destination folder that
// exists, the first time the run comes to it (before the copies there are
// examined, so that a copy an interrupted run was placing counts as
// there); once every file is examined, planned; then per file in the
// listing's order progress before its copy is written, fileDone and
// progress (up to the first copy that finds the disk full); last
// filesThrough. A run stopped while it examines the files
// ends there, having written no copy. Paths are as shown (as given, joined
// with the names below them), not escaped; what the events are handed lives
// for the call only. Every member may be nullptr.
struct CopyRunEvents {
  void *context;
  // A folder that could not be read or an entry that could not be examined
  // (counted as failed).
  void (*listingProblem)(void *context, const ListingProblem &problem);
  // A temporary file of an interrupted run, and what became of it.
  void (*leftover)(void *context, const Leftover &leftover);
  // A folder or file whose copy has a name changed for the stick: from the
  // source's path to the copy's; changes: NameChange bits
  // (library/destination_names.h).
  void (*renamed)(void *context, const std::string &from, const std::string &to, unsigned changes);
  // Every file is examined and the copies fit (the summary's space and
  // counts to write): the writing starts.
  void (*planned)(void *context, const CopyRunSummary &summary);
  // File `index` of the listing: what its copy found and became (written,
  // or in a dry run to be; up to date, not replaced, failed, or Stopped).
  void (*fileDone)(void *context, size_t index, const ListedFile &file, const CopyReport &copy);
  void (*progress)(void *context, const CopyProgress &progress);
  // Every file is through, or the run stopped: the counts are final. In a
  // run that writes, the flush follows.
  void (*filesThrough)(void *context, const CopyRunSummary &summary);
  // Asked between files and between the blocks of a copy: true stops the
  // run. A copy stopped while it is written is removed and reported as
  // Stopped; the copies made before it stay, and are flushed.
  bool (*stopRequested)(void *context);
};

CopyRunSummary runCopies(const CopyRunSettings &settings, const CopyRunEvents &events);
