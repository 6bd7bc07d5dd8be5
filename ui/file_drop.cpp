#include "ui/file_drop.h"

#include "command/convert_command.h"
#include "resources/resource_ids.h"
#include "ui/dialog_binding.h"

// Index 0xFFFFFFFF asks DragQueryFile for the number of files.
constexpr UINT DROPPED_FILE_COUNT = 0xFFFFFFFF;

// The name is read as Windows holds it, in UTF-16, so that one the code page
// cannot spell is found rather than put in the field as another name.
void takeDroppedFile(HWND dialog, HDROP drop) {
  if (DragQueryFileW(drop, DROPPED_FILE_COUNT, nullptr, 0) == 0) {
    DragFinish(drop);
    return;
  }
  // Several files: the first counts.
  const UINT count = DragQueryFileW(drop, 0, nullptr, 0);
  wchar_t wide[PATH_BUFFER_SIZE] = {};
  if (count < PATH_BUFFER_SIZE) {
    DragQueryFileW(drop, 0, wide, PATH_BUFFER_SIZE);
  }
  DragFinish(drop);
  char path[PATH_BUFFER_SIZE];
  const PathCheck check = ansiPathOf(wide, count, path);
  SetDlgItemTextA(dialog, IDC_FILE_PATH, path);
  warnAboutPath(dialog, check);
}
