#include "cli/texts.h"

#include "cli/console.h"
#include "command/destination_names.h"
#include "engine/id3v1.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>

// SORABUN_COMMIT: the commit this build was made from, or "" (made by the
// build; cmake/commit_id.cmake).
#include "sorabun_commit.h"

#ifndef SORABUN_VERSION
#define SORABUN_VERSION "0"
#endif

namespace {

struct Text {
  const char *english;
  const char *japanese;
};

const char *pick(bool japanese, Text text) {
  return japanese ? text.japanese : text.english;
}

const Text HELP = {
    "Usage: sorabun-cli --to DIR [options] PATH...\n"
    "       sorabun-cli [options] PATH...\n"
    "       sorabun-cli --info [--json] [-r] PATH...\n"
    "Rewrites the ID3v2 tag of MP3 files so that the title, artist and album\n"
    "(TIT2, TPE1, TALB) hold code page 932 (Shift-JIS) text, for players that\n"
    "read nothing else. PATH is a file, or a folder whose *.mp3 files (any\n"
    "letter case) are converted. Every other byte of a file is kept.\n"
    "\n"
    "With --to, the files are only read: a converted copy of each goes to DIR\n"
    "(a memory stick, say), with names a FAT or exFAT stick can hold. A folder\n"
    "becomes a folder of the same name in DIR. Files that cannot be converted\n"
    "are copied as they are. Copies already there are skipped. Nothing in DIR is\n"
    "deleted or replaced but the temporary files of an interrupted copy.\n"
    "\n"
    "Options:\n"
    "      --to DIR     write converted copies to DIR, leaving the files as they are\n"
    "      --all-files  with --to, copy the other files of the folders too (covers,\n"
    "                   playlists), as they are\n"
    "      --all-frames convert every text of the tag (comments, lyrics, picture\n"
    "                   descriptions, user texts...), not only title, artist and\n"
    "                   album; frames that cannot be read are left as they are\n"
    "  -y, --yes        convert without asking\n"
    "  -n, --dry-run    write nothing; show each title, artist and album before\n"
    "                   and after, with [ ] around every character that becomes\n"
    "                   '?' or a look-alike\n"
    "      --fold       write the JIS look-alike of a character code page 932 turns\n"
    "                   into '?' (the wave dash, the minus sign, the em dash...)\n"
    "  -b, --backup     keep the original as NAME.mp3.bak; a file whose backup\n"
    "                   already exists is not converted (not with --to)\n"
    "  -t, --keep-time  keep the original's modification time (copies always do)\n"
    "  -r, --recursive  convert folders with all their subfolders\n"
    "  -q, --quiet      report only the files that need attention\n"
    "      --id3v1      also write an ID3v1 tag at the end of each file (copy), in\n"
    "                   code page 932: title, artist, album, year, comment, track\n"
    "                   and genre from the ID3v2 tag; one already there is replaced\n"
    "      --info       write nothing; show each tag's version, flags, size and\n"
    "                   frames, with ! on what a Shift-JIS-only player misreads\n"
    "      --json       with --info, one JSON object per file, for scripts\n"
    "  -h, --help       show this help\n"
    "      --version    show the version\n"
    "\n"
    "Without --yes (and --to), one question is asked for the whole run. When\n"
    "standard input is not a terminal, nothing is written.\n"
    "\n"
    "Exit status:\n"
    "  0  no file failed, and none was skipped as damaged or unsupported\n"
    "  1  some file failed or was skipped as damaged or unsupported, or the\n"
    "     question was answered no\n"
    "  2  usage error, or files needed converting but standard input is not a\n"
    "     terminal and --yes was not given (nothing written)\n",
    "使い方: sorabun-cli --to フォルダー [オプション] パス...\n"
    "        sorabun-cli [オプション] パス...\n"
    "        sorabun-cli --info [--json] [-r] パス...\n"
    "MP3 ファイルの ID3v2 タグのタイトル・アーティスト・アルバム (TIT2, TPE1, TALB)\n"
    "を、コードページ 932 (シフト JIS) の文字列に書き換えます。パスにはファイル、\n"
    "またはフォルダーを指定します。フォルダーの場合は、その中の *.mp3 ファイル\n"
    "(大文字・小文字を問いません) を変換します。ファイルのほかのバイトはそのままです。\n"
    "\n"
    "--to を付けると元のファイルは読むだけで、変換したコピーを指定のフォルダー\n"
    "(USB メモリーなど) に、FAT・exFAT で使える名前で書き込みます。フォルダーは\n"
    "同じ名前のフォルダーになります。変換できないファイルはそのままコピーします。\n"
    "既にあるコピーは飛ばします。中断したコピーの一時ファイルのほかは、コピー先の\n"
    "ファイルを削除・上書きしません。\n"
    "\n"
    "オプション:\n"
    "      --to フォルダー  元のファイルを変えず、変換したコピーをフォルダーに書き込みます\n"
    "      --all-files  --to で、フォルダー内のほかのファイル (ジャケット画像、\n"
    "                   プレイリスト) もそのままコピーします\n"
    "      --all-frames タイトル・アーティスト・アルバムだけでなく、タグのすべての\n"
    "                   文字列 (コメント、歌詞、画像の説明、ユーザー定義の文字列など)\n"
    "                   を変換します。読めないフレームはそのままにします\n"
    "  -y, --yes        確認せずに変換します\n"
    "  -n, --dry-run    何も書き込まず、タイトル・アーティスト・アルバムの変換前と\n"
    "                   変換後を表示します。'?' や似た文字に置き換わる文字を [ ] で\n"
    "                   囲みます\n"
    "      --fold       コードページ 932 で '?' になる文字のうち、JIS に似た文字がある\n"
    "                   もの (波ダッシュ、マイナス記号など) をその文字で書き込みます\n"
    "  -b, --backup     元のファイルを NAME.mp3.bak として残します。バックアップが\n"
    "                   既にあるファイルは変換しません (--to とは使えません)\n"
    "  -t, --keep-time  元のファイルの更新日時を保ちます (コピーは常に保ちます)\n"
    "  -r, --recursive  サブフォルダーも含めて変換します\n"
    "  -q, --quiet      確認が必要なファイルだけを表示します\n"
    "      --id3v1      ファイル (コピー) の末尾に ID3v1 タグもコードページ 932 で\n"
    "                   書き込みます。ID3v2 タグのタイトル・アーティスト・アルバム・\n"
    "                   年・コメント・トラック・ジャンルから作り、既にあれば置き換えます\n"
    "      --info       何も書き込まず、タグの版・フラグ・大きさとフレームを表示します。\n"
    "                   シフト JIS だけのプレーヤーが読み違えるものに ! を付けます\n"
    "      --json       --info で、ファイルごとに JSON オブジェクトを 1 行ずつ出力します\n"
    "  -h, --help       このヘルプを表示します\n"
    "      --version    バージョンを表示します\n"
    "\n"
    "--yes (と --to) がなければ、実行全体について一度だけ確認します。標準入力が\n"
    "端末でないときは、何も書き込みません。\n"
    "\n"
    "終了ステータス:\n"
    "  0  失敗したファイルも、壊れたタグや変換できない形式で飛ばしたファイルもない\n"
    "  1  失敗したファイル、または壊れたタグや変換できない形式で飛ばしたファイルが\n"
    "     ある。または確認に「いいえ」と答えた\n"
    "  2  使い方の誤り。または変換するファイルがあるのに標準入力が端末でなく、\n"
    "     --yes もない (何も書き込みません)\n"};

Text reasonText(RewriteReason reason) {
  switch (reason) {
  case RewriteReason::FileTooShort:
    return {"shorter than a tag header", "タグのヘッダーより短いファイル"};
  case RewriteReason::TagPastEndOfFile:
    return {"the tag runs past the end of the file", "タグがファイルの終わりを越えています"};
  case RewriteReason::BadExtendedHeaderSize:
    return {"the extended header does not fit", "拡張ヘッダーの大きさが合いません"};
  case RewriteReason::FramePastEndOfTag:
    return {"a frame runs past the end of the tag", "フレームがタグの終わりを越えています"};
  case RewriteReason::Unsynchronised:
    return {"unsynchronised tag", "非同期化されたタグ"};
  case RewriteReason::Compressed:
    return {"compressed tag", "圧縮されたタグ"};
  case RewriteReason::ExtendedHeaderCrc:
    return {"the tag carries a CRC", "タグに CRC があります"};
  case RewriteReason::FrameFormatFlags:
    return {"title, artist or album frame compressed, encrypted or grouped",
            "タイトル・アーティスト・アルバムのフレームが圧縮・暗号化されています"};
  case RewriteReason::UnknownTextEncoding:
    return {"unknown text encoding", "不明な文字コード"};
  case RewriteReason::TextDoesNotFit:
    return {"the converted text would be longer than the original",
            "変換後の文字列が元より長くなります"};
  case RewriteReason::None:
    break;
  }
  return {"", ""};
}

Text causeText(FileProblem problem) {
  switch (problem) {
  case FileProblem::NotFound:
    return {"not found", "見つかりません"};
  case FileProblem::NoPermission:
    return {"permission denied", "アクセスが拒否されました"};
  case FileProblem::InUse:
    return {"in use by another program", "ほかのプログラムが使用中です"};
  case FileProblem::NotRegularFile:
    return {"not a regular file", "通常のファイルではありません"};
  case FileProblem::HardLinked:
    return {"it has other names (hard links), which a conversion would split",
            "ほかの名前 (ハードリンク) があり、変換すると別々のファイルになります"};
  case FileProblem::NoSpace:
    return {"no space left on the disk", "ディスクの空きが足りません"};
  case FileProblem::ReadOnlyFileSystem:
    return {"read-only file system", "読み取り専用のファイルシステムです"};
  case FileProblem::ReadOnlyFile:
    return {"read-only file", "読み取り専用のファイルです"};
  case FileProblem::NameTooLong:
    return {"name too long", "名前が長すぎます"};
  case FileProblem::OwnerNotKept:
    return {"its owner or group cannot be kept (convert it as its owner, or as root)",
            "所有者またはグループを保てません (所有者か root で実行してください)"};
  case FileProblem::AttributesNotKept:
    return {"its ACL or extended attributes cannot be kept", "ACL または拡張属性を保てません"};
  case FileProblem::AlreadyExists:
    return {"the name is taken", "同じ名前のファイルがあります"};
  case FileProblem::None:
  case FileProblem::OutOfMemory:
  case FileProblem::TooManyOpenFiles:
  case FileProblem::TooManyLinks:
  case FileProblem::SizeChanged:
  case FileProblem::NotAFolder:
  case FileProblem::Other:
    break;
  }
  return {"", ""};
}

// "STAGE: CAUSE; the file is as it was", each part where it applies.
std::string failureDetail(bool japanese, Text stage, FileProblem problem, bool keptAsItWas) {
  const std::string cause = pick(japanese, causeText(problem));
  // These causes say all: the file is not one to convert.
  const bool causeAlone =
      problem == FileProblem::NotRegularFile || problem == FileProblem::HardLinked;
  std::string detail = causeAlone ? cause : pick(japanese, stage);
  if (!causeAlone && !cause.empty())
    detail += (japanese ? "。" : ": ") + cause;
  if (keptAsItWas)
    detail += japanese ? "。ファイルは元のままです" : "; the file is as it was";
  return detail;
}

std::string failureText(bool japanese, const PathReport &report) {
  const FileProblem problem = report.problem;
  switch (report.outcome) {
  case PathOutcome::NotFound:
    return pick(japanese, {"not found", "見つかりません"});
  case PathOutcome::CannotOpen:
    return failureDetail(japanese, {"cannot be opened", "開けません"}, problem, false);
  case PathOutcome::SizeUnknown:
    return failureDetail(japanese, {"its size cannot be read", "大きさを調べられません"}, problem,
                         false);
  case PathOutcome::TooLarge:
    return pick(japanese, {"4 GB or larger", "4 GB 以上あります"});
  case PathOutcome::NoMemory:
    return pick(japanese, {"not enough memory", "メモリーが足りません"});
  case PathOutcome::CannotRead:
    return failureDetail(japanese, {"cannot be read", "読み込めません"}, problem, false);
  case PathOutcome::Changed:
    return pick(japanese, {"changed by another program meanwhile; nothing written",
                           "処理中にほかのプログラムが変更しました。書き込んでいません"});
  case PathOutcome::CannotWrite:
    return failureDetail(japanese, {"cannot be written", "書き込めません"}, problem, true);
  case PathOutcome::LeftInTemporary:
    return pick(japanese,
                {"cannot be replaced; the converted content is in a file named .sorabun-... "
                 "beside it",
                 "置き換えられません。変換した内容は同じフォルダーの .sorabun-... という名前の"
                 "ファイルに残っています"});
  case PathOutcome::BackupExists:
    return pick(japanese, {"a backup NAME.mp3.bak already exists; the file is as it was",
                           "バックアップ NAME.mp3.bak が既にあります。ファイルは元のままです"});
  case PathOutcome::CannotBackUp:
    return failureDetail(japanese, {"the backup cannot be written", "バックアップを作れません"},
                         problem, true);
  default:
    break;
  }
  return "";
}

std::string versionName(const PathReport &report) {
  return "ID3v2." + std::to_string(report.majorVersion) + "." + std::to_string(report.revision);
}

// The change in size: an ID3v1 tag added can make a file larger.
std::string savedBytes(bool japanese, const PathReport &report) {
  if (report.newSize > report.size) {
    const std::string count = std::to_string(report.newSize - report.size);
    return japanese ? count + " バイト増加"
                    : count + (count == "1" ? " byte added" : " bytes added");
  }
  const std::string count = std::to_string(report.size - report.newSize);
  return japanese ? count + " バイト減少" : count + (count == "1" ? " byte saved" : " bytes saved");
}

// The frames --all-frames left as they are: "left as they are: COMM, APIC".
std::string framesLeftText(bool japanese, const PathReport &report) {
  const FramesLeft &left = report.left;
  if (left.count == 0)
    return "";
  std::string names;
  for (uint32_t i = 0; i < left.named; ++i)
    names += (i == 0 ? "" : ", ") + std::string(left.identifiers[i]);
  if (left.count > left.named)
    names += ", ...";
  return pick(japanese, {"frames left as they are: ", "そのままのフレーム: "}) + names;
}

// A detail, and the frames left after it.
std::string withFramesLeft(bool japanese, const std::string &detail, const PathReport &report) {
  const std::string left = framesLeftText(japanese, report);
  if (left.empty() || detail.empty())
    return detail + left;
  return detail + (japanese ? "。" : "; ") + left;
}

std::string withDetail(const char *label, const std::string &path, const std::string &detail) {
  std::string line = std::string(label) + ": " + path;
  if (!detail.empty())
    line += " (" + detail + ")";
  return line + "\n";
}

// Counted in the summary in this order; failures are one count.
struct SummaryItem {
  PathOutcome outcome;
  Text label;
  Text dryRunLabel;
};

const SummaryItem SUMMARY_ITEMS[] = {
    {PathOutcome::Converted, {"converted", "変換"}, {"would convert", "変換予定"}},
    {PathOutcome::AlreadyConverted,
     {"already in code page 932", "変換済み"},
     {"already in code page 932", "変換済み"}},
    {PathOutcome::NoTag, {"without tag", "タグなし"}, {"without tag", "タグなし"}},
    {PathOutcome::Refused, {"refused version", "対象外の版"}, {"refused version", "対象外の版"}},
    {PathOutcome::Unsupported,
     {"unsupported", "変換できない形式"},
     {"unsupported", "変換できない形式"}},
    {PathOutcome::Damaged, {"damaged", "壊れたタグ"}, {"damaged", "壊れたタグ"}},
};

} // namespace

bool needsAttention(PathOutcome outcome) {
  switch (outcome) {
  case PathOutcome::Converted:
  case PathOutcome::AlreadyConverted:
  case PathOutcome::NoTag:
  case PathOutcome::Refused:
    return false;
  default:
    return true;
  }
}

std::string helpText(bool japanese) {
  return pick(japanese, HELP);
}

std::string versionText() {
  const std::string commit = SORABUN_COMMIT;
  return std::string("sorabun-cli ") + SORABUN_VERSION +
         (commit.empty() ? "" : " (commit " + commit + ")") + "\n";
}

std::string unknownOptionText(bool japanese, const char *option) {
  if (japanese)
    return std::string("sorabun-cli: 不明なオプション '") + option +
           "'\n'sorabun-cli --help' で使い方を表示します。\n";
  return std::string("sorabun-cli: unknown option '") + option +
         "'\nTry 'sorabun-cli --help' for more information.\n";
}

std::string noPathText(bool japanese) {
  if (japanese)
    return "sorabun-cli: ファイルまたはフォルダーを指定してください。\n"
           "'sorabun-cli --help' で使い方を表示します。\n";
  return "sorabun-cli: no file or folder given.\n"
         "Try 'sorabun-cli --help' for more information.\n";
}

std::string optionProblemText(bool japanese, UsageProblem problem) {
  Text text{"", ""};
  switch (problem) {
  case UsageProblem::NoFolder:
    text = {"--to needs the folder to copy to", "--to にはコピー先のフォルダーが必要です"};
    break;
  case UsageProblem::BackupWithCopy:
    text = {"--backup does not go with --to: the files themselves are not changed",
            "--backup は --to と使えません。元のファイルは変わりません"};
    break;
  case UsageProblem::AllFilesAlone:
    text = {"--all-files goes with --to only", "--all-files は --to と一緒に使います"};
    break;
  case UsageProblem::JsonAlone:
    text = {"--json goes with --info only", "--json は --info と一緒に使います"};
    break;
  case UsageProblem::InfoWrites:
    text = {"--info writes nothing: it does not go with --to, --backup or --id3v1",
            "--info は何も書き込みません。--to、--backup、--id3v1 とは使えません"};
    break;
  default:
    break;
  }
  return std::string("sorabun-cli: ") + pick(japanese, text) +
         pick(japanese, {"\nTry 'sorabun-cli --help' for more information.\n",
                         "\n'sorabun-cli --help' で使い方を表示します。\n"});
}

std::string outcomeLine(bool japanese, bool dryRun, const std::string &path,
                        const PathReport &report) {
  const RewriteReason reason = report.reason;
  switch (report.outcome) {
  case PathOutcome::Converted:
    return withDetail(pick(japanese, dryRun ? Text{"would convert", "変換予定"}
                                            : Text{"converted", "変換しました"}),
                      path, withFramesLeft(japanese, savedBytes(japanese, report), report));
  case PathOutcome::AlreadyConverted:
    return withDetail(pick(japanese, {"already in code page 932", "変換済み (コードページ 932)"}),
                      path, withFramesLeft(japanese, "", report));
  case PathOutcome::NoTag:
    return withDetail(pick(japanese, {"no ID3v2 tag", "ID3v2 タグなし"}), path, "");
  case PathOutcome::Refused:
    return withDetail(pick(japanese, {"refused version", "対象外のバージョン"}), path,
                      versionName(report));
  case PathOutcome::Unsupported:
    return withDetail(pick(japanese, {"unsupported", "変換できない形式"}), path,
                      pick(japanese, reasonText(reason)));
  case PathOutcome::Damaged:
    return withDetail(pick(japanese, {"damaged", "タグが壊れています"}), path,
                      pick(japanese, reasonText(reason)));
  default:
    return withDetail(pick(japanese, {"failed", "失敗"}), path, failureText(japanese, report));
  }
}

std::string listingProblemLine(bool japanese, const std::string &path, FileProblem problem,
                               bool isFolder) {
  const Text stage = isFolder ? Text{"the folder cannot be read", "フォルダーを読み込めません"}
                              : Text{"cannot be examined", "調べられません"};
  return withDetail(pick(japanese, {"failed", "失敗"}), path,
                    failureDetail(japanese, stage, problem, false));
}

std::string leftoverLine(bool japanese, const std::string &path) {
  return withDetail(pick(japanese, {"leftover", "一時ファイル"}), path,
                    pick(japanese, {"a temporary file of an interrupted run, or of a run at work "
                                    "in this folder; not touched",
                                    "中断された実行か、このフォルダーで実行中の処理のものです。"
                                    "触れていません"}));
}

std::string outputFailedText(bool japanese) {
  return pick(japanese, {"sorabun-cli: the report could not be written to standard output.\n",
                         "sorabun-cli: 標準出力に書き込めませんでした。\n"});
}

std::string summaryLine(bool japanese, bool dryRun, const RunCounts &counts) {
  std::string line =
      japanese ? std::to_string(counts.files) + " ファイル: "
               : std::to_string(counts.files) + (counts.files == 1 ? " file: " : " files: ");
  size_t failed = 0;
  for (size_t i = 0; i <= static_cast<size_t>(PathOutcome::CannotBackUp); ++i)
    failed += counts.byOutcome[i];
  bool first = true;
  const char *separator = japanese ? "、" : ", ";
  for (const SummaryItem &item : SUMMARY_ITEMS) {
    const size_t count = counts.byOutcome[static_cast<size_t>(item.outcome)];
    failed -= count;
    if (count == 0)
      continue;
    const char *label = pick(japanese, dryRun ? item.dryRunLabel : item.label);
    line += (first ? "" : separator);
    line += japanese ? std::string(label) + " " + std::to_string(count)
                     : std::to_string(count) + " " + label;
    first = false;
  }
  if (failed > 0 || first) {
    line += (first ? "" : separator);
    line += japanese ? "失敗 " + std::to_string(failed) : std::to_string(failed) + " failed";
  }
  return line + "\n";
}

std::string destinationInSourceText(bool japanese, const std::string &shownSource) {
  if (japanese)
    return "sorabun-cli: --to のフォルダーが、-r でコピーする " + shownSource +
           " の中にあります。実行するたびに、コピーがまたコピーされます。\n";
  return "sorabun-cli: the --to folder lies inside " + shownSource +
         ", which -r copies: each run would copy the copies again.\n";
}

std::string noFilesText(bool japanese) {
  return pick(japanese, {"No MP3 files found.\n", "MP3 ファイルが見つかりませんでした。\n"});
}

std::string confirmationText(bool japanese, size_t toConvert, size_t total, bool backup) {
  const std::string count = std::to_string(toConvert);
  const std::string all = std::to_string(total);
  if (japanese)
    return all + " 個のうち " + count + " 個のファイルを変換します。" +
           (backup ? "元のファイルは .bak として残します。"
                   : "この操作は元に戻すことができません。") +
           "\n実行しますか？ [y/N] ";
  return count + " of " + all + (total == 1 ? " file" : " files") + " will be converted. " +
         (backup ? "The originals are kept as .bak files." : "This cannot be undone.") +
         "\nContinue? [y/N] ";
}

bool isYes(const std::string &answer) {
  std::string word;
  for (char c : answer) {
    if (c != ' ' && c != '\t')
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return word == "y" || word == "yes" || word == "はい";
}

std::string cancelledText(bool japanese) {
  return pick(japanese,
              {"Cancelled; nothing was written.\n", "中止しました。何も書き込んでいません。\n"});
}

std::string noTerminalText(bool japanese, size_t toConvert) {
  const std::string count = std::to_string(toConvert);
  if (japanese)
    return "sorabun-cli: " + count +
           " 個のファイルを変換できますが、標準入力が端末ではないため確認できません。"
           "何も書き込んでいません。確認なしで変換するには --yes を付けてください。\n";
  return "sorabun-cli: " + count + (toConvert == 1 ? " file" : " files") +
         " would be converted, but standard input is not a terminal to confirm on. "
         "Nothing was written. Add --yes to convert without a question.\n";
}

std::string progressText(bool japanese, size_t done, size_t total) {
  const std::string counts = std::to_string(done) + "/" + std::to_string(total);
  return japanese ? "処理中 " + counts : "working " + counts;
}

std::string beforeLabel(bool japanese) {
  return pick(japanese, {"before:", "変換前:"});
}

std::string afterLabel(bool japanese) {
  return pick(japanese, {"after: ", "変換後:"});
}

std::string markLegendText(bool japanese) {
  return pick(japanese, {"[ ] marks characters that code page 932 cannot hold: they become '?' "
                         "or a look-alike.\n",
                         "[ ] の文字はコードページ 932 にないため、'?' または似た文字に置き"
                         "換わります。\n"});
}

std::string foldHintText(bool japanese, size_t count) {
  // The characters are named, not shown: on Windows a redirected report is
  // written in code page 932, which has none of them.
  const std::string number = std::to_string(count);
  if (japanese)
    return number + " 文字が '?' になります。--fold を付けると、似た文字 (波ダッシュなど) で"
                    "残します。\n";
  return number +
         (count == 1 ? " character would become '?'; --fold keeps it as a look-alike"
                     : " characters would become '?'; --fold keeps them as look-alikes") +
         " (the wave dash and the like).\n";
}

namespace {

// "12.3 MB", in the decimal units sticks are sold in.
std::string amountOfBytes(uint64_t bytes) {
  char text[32];
  const double value = static_cast<double>(bytes);
  if (bytes < uint64_t{1000} * 1000)
    std::snprintf(text, sizeof text, "%.0f kB", value / 1e3);
  else if (bytes < uint64_t{1000} * 1000 * 1000)
    std::snprintf(text, sizeof text, "%.1f MB", value / 1e6);
  else
    std::snprintf(text, sizeof text, "%.2f GB", value / 1e9);
  return text;
}

// What a copy written as the file is says about the file.
Text asItIsDetail(const PathReport &report, bool isMp3) {
  switch (report.outcome) {
  case PathOutcome::AlreadyConverted:
    return {"already in code page 932", "変換済み"};
  case PathOutcome::NoTag:
    return isMp3 ? Text{"as it is: no ID3v2 tag", "そのまま: ID3v2 タグなし"} : Text{"", ""};
  case PathOutcome::Refused:
    return {"as it is: refused version", "そのまま: 対象外のバージョン"};
  case PathOutcome::Unsupported:
    return {"as it is: unsupported", "そのまま: 変換できない形式"};
  default:
    return {"as it is: damaged", "そのまま: タグが壊れています"};
  }
}

const Text NAME_CHANGES[] = {
    {"characters a FAT stick cannot hold", "FAT で使えない文字"},
    {"control characters", "制御文字"},
    {"bytes that are no character", "文字でないバイト"},
    {"a trailing dot or space", "末尾のピリオドや空白"},
    {"a name Windows keeps for devices", "Windows の予約名"},
    {"shortened to 255 characters", "255 文字に短縮"},
    {"another copy has the same name", "同じ名前のコピーがあります"},
};

} // namespace

std::string copyLine(bool japanese, bool dryRun, const std::string &path, const CopyReport &copy,
                     bool isMp3) {
  const PathReport &report = copy.report;
  switch (copy.action) {
  case CopyAction::Write: {
    const char *label = pick(japanese, dryRun ? Text{"would copy", "コピー予定"}
                                              : Text{"copied", "コピーしました"});
    if (report.outcome == PathOutcome::Converted)
      return withDetail(
          label, path,
          withFramesLeft(japanese,
                         pick(japanese, {"converted, ", "変換、"}) + savedBytes(japanese, report),
                         report));
    std::string detail = pick(japanese, asItIsDetail(report, isMp3));
    if (report.outcome == PathOutcome::Refused)
      detail += " " + versionName(report);
    else if (report.outcome == PathOutcome::Unsupported || report.outcome == PathOutcome::Damaged)
      detail += std::string(japanese ? "。" : ", ") + pick(japanese, reasonText(report.reason));
    return withDetail(label, path, detail);
  }
  case CopyAction::UpToDate:
    return withDetail(pick(japanese, {"up to date", "コピー済み"}), path, "");
  case CopyAction::Taken:
    return withDetail(pick(japanese, {"not replaced", "置き換えていません"}), path,
                      pick(japanese, {"another file has its name at the destination; remove it "
                                      "to have the copy made",
                                      "コピー先に同じ名前の別のファイルがあります。コピーするには"
                                      "そのファイルを削除してください"}));
  case CopyAction::None:
    break;
  }
  if (report.outcome == PathOutcome::CannotWrite)
    return withDetail(pick(japanese, {"failed", "失敗"}), path,
                      failureDetail(japanese,
                                    {"the copy cannot be written", "コピーを書き込めません"},
                                    report.problem, false));
  return outcomeLine(japanese, dryRun, path, report);
}

std::string renamedLine(bool japanese, const std::string &from, const std::string &to,
                        unsigned changes) {
  std::string reasons;
  for (size_t bit = 0; bit < sizeof NAME_CHANGES / sizeof NAME_CHANGES[0]; ++bit) {
    if ((changes & (1U << bit)) == 0)
      continue;
    reasons += reasons.empty() ? "" : (japanese ? "、" : "; ");
    reasons += pick(japanese, NAME_CHANGES[bit]);
  }
  return withDetail(pick(japanese, {"renamed", "名前を変更"}), from + " -> " + to, reasons);
}

std::string leftoverRemovedLine(bool japanese, bool dryRun, const std::string &path,
                                FileProblem problem) {
  if (problem == FileProblem::None)
    return withDetail(
        pick(japanese, dryRun ? Text{"would remove", "削除予定"} : Text{"removed", "削除しました"}),
        path,
        pick(japanese,
             {"a temporary file of an interrupted copy", "中断したコピーの一時ファイル"}));
  return withDetail(pick(japanese, {"leftover", "一時ファイル"}), path,
                    failureDetail(japanese, {"not removed", "削除していません"}, problem, false));
}

std::string destinationProblemText(bool japanese, const std::string &folder, FileProblem problem) {
  return "sorabun-cli: " +
         withDetail(pick(japanese, {"the destination cannot be used", "コピー先を使えません"}),
                    folder, pick(japanese, causeText(problem)));
}

std::string noSpaceText(bool japanese, const std::string &folder, uint64_t needed,
                        uint64_t available) {
  const std::string missing = amountOfBytes(needed - available);
  if (japanese)
    return "sorabun-cli: " + folder + " の空きが足りません。必要 " + amountOfBytes(needed) +
           "、空き " + amountOfBytes(available) + " で、" + missing +
           " 不足しています。何も書き込んでいません。\n";
  return "sorabun-cli: not enough space in " + folder + ": " + amountOfBytes(needed) + " needed, " +
         amountOfBytes(available) + " free, " + missing + " missing. Nothing was written.\n";
}

std::string spaceLine(bool japanese, const std::string &folder, uint64_t needed,
                      uint64_t available) {
  if (available == SPACE_UNKNOWN)
    return folder + pick(japanese, {": ", ": 書き込み "}) + amountOfBytes(needed) +
           pick(japanese, {" to write, free space unknown\n", "、空きは不明\n"});
  if (japanese)
    return folder + ": 書き込み " + amountOfBytes(needed) + "、空き " + amountOfBytes(available) +
           "\n";
  return folder + ": " + amountOfBytes(needed) + " to write, " + amountOfBytes(available) +
         " free\n";
}

std::string copySummaryLine(bool japanese, bool dryRun, const CopyCounts &counts) {
  const std::string copied = std::to_string(counts.converted + counts.asItIs);
  std::string line;
  if (japanese)
    line = std::to_string(counts.files) + " ファイル: " + (dryRun ? "コピー予定 " : "コピー ") +
           copied + " (変換 " + std::to_string(counts.converted) + ")";
  else
    line = std::to_string(counts.files) + (counts.files == 1 ? " file: " : " files: ") + copied +
           (dryRun ? " to copy (" : " copied (") + std::to_string(counts.converted) + " converted)";
  const std::pair<size_t, Text> others[] = {
      {counts.upToDate, {"up to date", "コピー済み"}},
      {counts.taken, {"not replaced", "置き換えなし"}},
      {counts.failed, {"failed", "失敗"}},
  };
  for (const auto &other : others) {
    if (other.first == 0)
      continue;
    const std::string count = std::to_string(other.first);
    line += japanese ? "、" + std::string(other.second.japanese) + " " + count
                     : ", " + count + " " + other.second.english;
  }
  return line + "\n";
}

std::string removableText(bool japanese) {
  return pick(japanese, {"Everything is written to the disk: the stick or card can be removed.\n",
                         "すべてディスクに書き込みました。USB メモリーやカードを取り外せます。\n"});
}

std::string flushFailedText(bool japanese, FileProblem problem) {
  const std::string cause = pick(japanese, causeText(problem));
  if (japanese)
    return "sorabun-cli: ディスクへの書き込みを終えられません" +
           (cause.empty() ? std::string() : " (" + cause + ")") +
           "。まだ USB メモリーやカードを取り外さないでください。\n";
  return "sorabun-cli: the copies could not be flushed to the disk" +
         (cause.empty() ? std::string() : " (" + cause + ")") +
         ": do not remove the stick or card yet.\n";
}

std::string copyProgressText(bool japanese, size_t done, size_t total, uint64_t bytesDone,
                             uint64_t bytesTotal, double seconds) {
  const double rate = seconds > 0 ? static_cast<double>(bytesDone) / seconds : 0;
  char timeLeft[32] = "?";
  if (rate > 0) {
    const auto left = static_cast<uint64_t>(static_cast<double>(bytesTotal - bytesDone) / rate);
    std::snprintf(timeLeft, sizeof timeLeft, "%" PRIu64 ":%02" PRIu64, left / 60, left % 60);
  }
  const std::string files = std::to_string(done) + "/" + std::to_string(total);
  const std::string bytes = amountOfBytes(bytesDone) + " / " + amountOfBytes(bytesTotal);
  const std::string speed = amountOfBytes(static_cast<uint64_t>(rate)) + "/s";
  if (japanese)
    return "コピー中 " + files + " ファイル、" + bytes + "、" + speed + "、残り " + timeLeft;
  return "copying " + files + " files, " + bytes + ", " + speed + ", " + timeLeft + " left";
}

std::string infoTagLine(bool japanese, bool marked, const std::string &version, uint32_t size,
                        uint32_t padding, const std::string &flags) {
  const std::string sizes = japanese ? "  大きさ " + std::to_string(size) + "  パディング " +
                                           std::to_string(padding) + "  フラグ: "
                                     : "  size " + std::to_string(size) + "  padding " +
                                           std::to_string(padding) + "  flags: ";
  return (marked ? "! " : "  ") + version + sizes + flags + "\n";
}

std::string tagFlagsText(bool japanese, unsigned flags) {
  static const Text NAMES[] = {{"unsynchronisation", "非同期化"},
                               {"extended header", "拡張ヘッダー"},
                               {"compression", "圧縮"},
                               {"experimental", "実験的"},
                               {"footer", "フッター"}};
  std::string text;
  for (size_t bit = 0; bit < sizeof NAMES / sizeof NAMES[0]; ++bit) {
    if ((flags & (1U << bit)) == 0)
      continue;
    text += text.empty() ? "" : (japanese ? "、" : ", ");
    text += pick(japanese, NAMES[bit]);
  }
  return text.empty() ? pick(japanese, {"none", "なし"}) : text;
}

namespace {

void appendId3v1Field(bool japanese, Text label, const std::string &value, std::string &line) {
  line += line.empty() ? "" : (japanese ? "、" : ", ");
  line += pick(japanese, label);
  line += " \"" + escapeControls(value) + "\"";
}

const std::pair<unsigned, Text> ID3V1_FIELDS[] = {
    {ID3V1_TITLE, {"title", "タイトル"}},
    {ID3V1_ARTIST, {"artist", "アーティスト"}},
    {ID3V1_ALBUM, {"album", "アルバム"}},
    {ID3V1_YEAR, {"year", "年"}},
};

} // namespace

std::string infoId3v1Line(bool japanese, const Id3v1Shown &shown) {
  std::string fields;
  const std::string *values[] = {&shown.title, &shown.artist, &shown.album, &shown.year};
  for (size_t i = 0; i < 4; ++i)
    appendId3v1Field(japanese, ID3V1_FIELDS[i].second, *values[i], fields);
  appendId3v1Field(japanese, {"comment", "コメント"}, shown.comment, fields);
  if (shown.track != 0)
    fields += pick(japanese, {", track ", "、トラック "}) + std::to_string(shown.track);
  if (!shown.genre.empty())
    fields += pick(japanese, {", genre ", "、ジャンル "}) + shown.genre;
  std::string line = (shown.differences != 0 ? "! ID3v1  " : "  ID3v1  ") + fields;
  if (shown.differences != 0) {
    std::string differing;
    for (const auto &field : ID3V1_FIELDS) {
      if ((shown.differences & field.first) == 0)
        continue;
      differing += differing.empty() ? "" : (japanese ? "、" : ", ");
      differing += pick(japanese, field.second);
    }
    line +=
        pick(japanese, {"; differs from the ID3v2 tag: ", "。ID3v2 タグと違う項目: "}) + differing;
  }
  return line + "\n";
}

std::string infoLegendText(bool japanese) {
  return pick(japanese,
              {"! marks what a player that reads code page 932 only misreads: text in UTF-16 "
               "or UTF-8, unsynchronisation, a version 2.4 header (units that read 2.3 only), "
               "an ID3v1 tag that differs from the ID3v2 tag.\n",
               "! はコードページ 932 しか読めないプレーヤーが読み違えるものです: UTF-16 や "
               "UTF-8 の文字列、非同期化、バージョン 2.4 のヘッダー (2.3 しか読めない機器)、"
               "ID3v2 タグと違う ID3v1 タグ。\n"});
}

std::string infoSummaryLine(bool japanese, const MisreadCounts &counts) {
  std::string line =
      japanese ? std::to_string(counts.files) + " ファイル: "
               : std::to_string(counts.files) + (counts.files == 1 ? " file: " : " files: ");
  struct Kind {
    size_t count;
    Text one; // the English for one; the Japanese for any number
    const char *many;
  };
  const Kind kinds[] = {
      {counts.wideTexts,
       {"frame in UTF-16 or UTF-8", "UTF-16・UTF-8 のフレーム"},
       "frames in UTF-16 or UTF-8"},
      {counts.unsynchronised, {"unsynchronised", "非同期化"}, "unsynchronised"},
      {counts.version4, {"version 2.4 header", "バージョン 2.4 のヘッダー"}, "version 2.4 headers"},
      {counts.id3v1Disagrees,
       {"ID3v1 tag that differs from the ID3v2 tag", "ID3v2 タグと違う ID3v1 タグ"},
       "ID3v1 tags that differ from the ID3v2 tag"},
      {counts.failed, {"failed", "失敗"}, "failed"},
  };
  bool first = true;
  for (const Kind &kind : kinds) {
    if (kind.count == 0)
      continue;
    line += first ? "" : (japanese ? "、" : ", ");
    const std::string count = std::to_string(kind.count);
    line += japanese ? std::string(kind.one.japanese) + " " + count
                     : count + " " + (kind.count == 1 ? kind.one.english : kind.many);
    first = false;
  }
  if (first)
    line += pick(japanese, {"nothing that such a player misreads", "読み違えるものはありません"});
  return line + "\n";
}

std::string outcomeDetail(bool japanese, const PathReport &report) {
  switch (report.outcome) {
  case PathOutcome::Converted:
  case PathOutcome::AlreadyConverted:
  case PathOutcome::NoTag:
    return "";
  case PathOutcome::Refused:
    return versionName(report);
  case PathOutcome::Unsupported:
  case PathOutcome::Damaged:
    return pick(japanese, reasonText(report.reason));
  default:
    return failureText(japanese, report);
  }
}
