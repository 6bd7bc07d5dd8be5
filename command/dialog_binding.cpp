// The main dialog's Convert command: the path field's text, converted with
// message boxes owned by the dialog as the way to talk to the user.
#include "command/dialog_binding.h"

#include "command/convert_command.h"
#include "resources/resource_ids.h"

namespace {

constexpr char CAPTION[] = "Sorabun";

void notifyByMessageBox(void *context, const char *text, NoticeKind kind) {
  UINT icon = kind == NoticeKind::Warning ? MB_ICONWARNING : MB_ICONINFORMATION;
  MessageBoxA(static_cast<HWND>(context), text, CAPTION, MB_OK | icon);
}

bool confirmByMessageBox(void *context, const char *text) {
  return MessageBoxA(static_cast<HWND>(context), text, CAPTION,
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

} // namespace

void convertFile(HWND dialog) {
  char path[PATH_BUFFER_SIZE] = {};
  GetDlgItemTextA(dialog, IDC_FILE_PATH, path, static_cast<int>(sizeof path));
  UserPrompt prompt{notifyByMessageBox, confirmByMessageBox, dialog};
  convertPath(path, prompt);
}
