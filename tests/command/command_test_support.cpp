#include "tests/command/command_test_support.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

void recordNotice(void *context, const char *text, NoticeKind kind) {
  static_cast<Conversation *>(context)->notices.push_back(Shown{text, kind});
}

bool recordQuestion(void *context, const char *text) {
  auto *conversation = static_cast<Conversation *>(context);
  conversation->questions.push_back(text);
  if (conversation->whileAsking)
    conversation->whileAsking();
  return conversation->answer;
}

} // namespace

UserPrompt recordingPrompt(Conversation *conversation) {
  return UserPrompt{recordNotice, recordQuestion, conversation};
}

Conversation convert(const std::string &path, bool answer, std::function<void()> whileAsking) {
  Conversation conversation;
  conversation.answer = answer;
  conversation.whileAsking = std::move(whileAsking);
  convertPath(path.c_str(), recordingPrompt(&conversation));
  return conversation;
}

PathReport convertOnePath(const char *path, PathSettings settings, TagInspector inspect,
                          void *context) {
  FilePlace place;
  PathReport failure{};
  if (!placeOfPathFor(path, &place, &failure))
    return failure;
  return convertFileAt(place, settings, inspect, context);
}

WriteResult copyConverted(const char *path, FolderHandle folder, const char *name) {
  WriteResult written{WriteOutcome::CannotWrite, FileProblem::Other};
  FilePlace place;
  PathReport failure{};
  if (!placeOfPathFor(path, &place, &failure))
    return written;
  FileConversion conversion{};
  if (openConversion(conversion, place, FileUse::Read)) {
    convertOpenFile(conversion, RewriteSettings{}, false);
    if (conversion.report.outcome == PathOutcome::WouldConvert)
      written = writeCopy(folder, name, convertedContent(conversion), conversion.source,
                          conversion.whenOpened, NEVER_STOP);
  }
  releaseConversion(conversion);
  return written;
}

fs::path makeFolder(const char *name) {
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path folder =
      fs::temp_directory_path() / (std::string("sorabun-") + name + "-" + std::to_string(stamp));
  fs::create_directories(folder);
  return folder;
}

void removeFolder(const fs::path &folder) {
  std::error_code ignored;
  for (const auto &entry : fs::recursive_directory_iterator(folder, ignored))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(folder, ignored);
}

void writeFile(const fs::path &path, const Bytes &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> folderEntries(const fs::path &folder) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes taggedSong() {
  Bytes title = Bytes{0x01} + BOM_LE + utf16le(u"\u3042\u3044") + ZERO16;
  Bytes artist = ZERO + ascii("abc") + ZERO;
  return buildTag(3, {frame(3, "TIT2", title), frame(3, "TPE1", artist)}, 20);
}
