// What the runs count, which files need attention, and the exit status
// that follows from them.
#pragma once

#include "command/file_conversion.h"
#include "library/file_copy.h"

#include <cstddef>
#include <string>

// Exit statuses; scripts rely on them.
constexpr int EXIT_ALL_WELL = 0;    // no file failed, none damaged or unsupported
constexpr int EXIT_SOME_FAILED = 1; // otherwise, a declined confirmation included
constexpr int EXIT_USAGE = 2;       // the command line was wrong, or no confirmation could be asked

// Whether a file needs attention: it counts against the exit status, and
// -q still reports it. A file converted in place: it failed, was skipped
// as damaged or unsupported, or lost frames that version 2.3 cannot hold.
bool needsAttention(const PathReport &report);
// A file copied with --to: it or its copy failed, another file has the
// copy's name, it was copied as it is because it is damaged or
// unsupported, or its copy lost frames that version 2.3 cannot hold.
bool needsAttention(const CopyReport &copy);

// The exit status of a run that went through its files: some needed
// attention, or the run failed as a whole (its destination could not be
// used or flushed).
int exitStatus(size_t filesNeedingAttention, bool runFailed);

struct RunCounts {
  size_t files;
  size_t byOutcome[static_cast<size_t>(PathOutcome::CannotBackUp) + 1];
};

// What a player that reads nothing but code page 932 misreads, counted per
// kind over a run.
struct MisreadCounts {
  size_t files;
  size_t failed;
  size_t wideTexts;      // frames whose text is in UTF-16 or UTF-8
  size_t droppedValues;  // version 2.3 text frames with values after a terminator
  size_t unsynchronised; // tags or frames stored unsynchronised
  size_t version4;       // version 2.4 headers, for units that read version 2.3 only
  size_t id3v1Disagrees; // ID3v1 tags that disagree with the ID3v2 tag
};

// The ID3v1 tag's fields as --info shows them, not escaped; differences:
// Id3v1Field bits of the fields that disagree with the ID3v2 tag.
struct Id3v1Shown {
  std::string title, artist, album, year, comment, genre;
  unsigned track; // 0: none
  unsigned differences;
};
