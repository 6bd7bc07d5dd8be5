#include "tests/ui/window_probe.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

std::wstring windowsPath(const char *path) {
  std::string text = path;
  // Wine shows the Unix root as drive Z:.
  if (!text.empty() && text[0] == '/') {
    text = "Z:" + text;
  }
  std::replace(text.begin(), text.end(), '/', '\\');
  std::wstring wide(text.size() + 1, L'\0');
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
  return wide;
}

std::string narrow(const std::wstring &text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

std::wstring lower(std::wstring text) {
  for (wchar_t &c : text) {
    c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
  return text;
}

PROCESS_INFORMATION startProgram(const std::wstring &program, const std::wstring &folder) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return PROCESS_INFORMATION{};
  }
  return process;
}

std::wstring windowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring controlText(HWND control) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      &copied);
  return text;
}

std::wstring className(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring comboText(HWND combo, int index) {
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) {
    return L"";
  }
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(length));
  return text;
}

namespace {

struct DescendantQuery {
  const wchar_t *className;
  HWND found;
};

BOOL CALLBACK matchDescendant(HWND window, LPARAM context) {
  auto *query = reinterpret_cast<DescendantQuery *>(context);
  if (lower(className(window)) == lower(query->className)) {
    query->found = window;
    return FALSE;
  }
  return TRUE;
}

struct DialogQuery {
  DWORD process;
  const wchar_t *title; // null: any title
  HWND owner;
  HWND exclude;
  bool anyOwner;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM context) {
  auto *query = reinterpret_cast<DialogQuery *>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const bool wanted = process == query->process && window != query->exclude &&
                      IsWindowVisible(window) && className(window) == L"#32770" &&
                      (query->anyOwner || GetWindow(window, GW_OWNER) == query->owner) &&
                      (query->title == nullptr || windowText(window) == query->title);
  if (wanted) {
    query->found = window;
    return FALSE;
  }
  return TRUE;
}

} // namespace

HWND findDescendant(HWND parent, const wchar_t *name) {
  if (parent == nullptr) {
    return nullptr;
  }
  DescendantQuery query = {name, nullptr};
  EnumChildWindows(parent, matchDescendant, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND findProcessDialog(DWORD process, const wchar_t *title, HWND owner) {
  DialogQuery query = {process, title, owner, nullptr, false, nullptr};
  EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND waitForProcessDialog(DWORD process, const wchar_t *title, HWND owner, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 50) {
    HWND found = findProcessDialog(process, title, owner);
    if (found != nullptr) {
      Sleep(200); // let it finish painting before anyone looks at it
      return found;
    }
    Sleep(50);
  }
  return nullptr;
}

HWND findOtherProcessDialog(DWORD process, HWND mainDialog) {
  DialogQuery query = {process, nullptr, nullptr, mainDialog, true, nullptr};
  EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

bool waitUntilGone(HWND window, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 20) {
    if (!IsWindow(window)) {
      return true;
    }
    Sleep(20);
  }
  return false;
}

RECT windowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

RECT clientRectOf(HWND child, HWND parent) {
  RECT rect = windowRect(child);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&rect), 2);
  return rect;
}

std::string describe(const RECT &rect) {
  char text[96];
  snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", static_cast<long>(rect.left),
           static_cast<long>(rect.top), static_cast<long>(rect.right),
           static_cast<long>(rect.bottom));
  return text;
}

// The dialog manager turns dialog units into pixels as MulDiv(x, baseX, 4)
// and MulDiv(y, baseY, 8) with whole-pixel base units.
DialogUnits dialogUnits(HWND dialog, int widthUnits, int heightUnits) {
  RECT client = {};
  GetClientRect(dialog, &client);
  DialogUnits units = {false, 0, 0};
  for (int baseX = 1; baseX < 64 && units.baseX == 0; ++baseX) {
    if (MulDiv(widthUnits, baseX, 4) == client.right) {
      units.baseX = baseX;
    }
  }
  for (int baseY = 1; baseY < 128 && units.baseY == 0; ++baseY) {
    if (MulDiv(heightUnits, baseY, 8) == client.bottom) {
      units.baseY = baseY;
    }
  }
  units.found = units.baseX != 0 && units.baseY != 0;
  return units;
}

RECT toPixels(const DialogUnits &units, int x, int y, int width, int height) {
  RECT rect;
  rect.left = MulDiv(x, units.baseX, 4);
  rect.top = MulDiv(y, units.baseY, 8);
  rect.right = rect.left + MulDiv(width, units.baseX, 4);
  rect.bottom = rect.top + MulDiv(height, units.baseY, 8);
  return rect;
}

namespace {

struct Capture {
  int width;
  int height;
  std::vector<BYTE> bits; // 24-bit rows, bottom-up, padded to 4 bytes
};

Capture capture(const RECT &area) {
  Capture shot = {area.right - area.left, area.bottom - area.top, {}};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, shot.width, shot.height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const size_t stride = (static_cast<size_t>(shot.width) * 3 + 3) & ~static_cast<size_t>(3);
  shot.bits.resize(stride * static_cast<size_t>(shot.height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(shot.height), shot.bits.data(), &info,
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

} // namespace

void saveScreenshot(const std::wstring &path, const RECT &area) {
  const Capture shot = capture(area);
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = shot.width;
  header.biHeight = shot.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  file.bfType = 0x4D42; // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + shot.bits.size());
  std::vector<unsigned char> content(reinterpret_cast<const unsigned char *>(&file),
                                     reinterpret_cast<const unsigned char *>(&file) + sizeof file);
  content.insert(content.end(), reinterpret_cast<const unsigned char *>(&header),
                 reinterpret_cast<const unsigned char *>(&header) + sizeof header);
  content.insert(content.end(), shot.bits.begin(), shot.bits.end());
  writeWholeFile(path, content);
}

int countPixels(const RECT &area, bool (*matches)(BYTE red, BYTE green, BYTE blue)) {
  const Capture shot = capture(area);
  const size_t stride = (static_cast<size_t>(shot.width) * 3 + 3) & ~static_cast<size_t>(3);
  int count = 0;
  for (size_t row = 0; row < static_cast<size_t>(shot.height); ++row) {
    for (size_t column = 0; column < static_cast<size_t>(shot.width); ++column) {
      const BYTE *pixel = &shot.bits[row * stride + column * 3];
      if (matches(pixel[2], pixel[1], pixel[0])) {
        ++count;
      }
    }
  }
  return count;
}

std::vector<unsigned char> readWholeFile(const std::wstring &path) {
  std::vector<unsigned char> content;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return content;
  }
  content.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
  content.resize(read);
  CloseHandle(file);
  return content;
}

void writeWholeFile(const std::wstring &path, const std::vector<unsigned char> &content) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

FILETIME lastWriteTime(const std::wstring &path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// An old modification time, so that any write shows as a new one.
void setOldWriteTime(const std::wstring &path) {
  SYSTEMTIME old = {};
  old.wYear = 2001;
  old.wMonth = 2;
  old.wDay = 3;
  old.wHour = 4;
  FILETIME stamp = {};
  SystemTimeToFileTime(&old, &stamp);
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
  }
}

bool canOpenForWriting(const std::wstring &path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  CloseHandle(file);
  return true;
}

bool dropOn(HANDLE process, HWND window, const std::vector<std::wstring> &paths) {
  DROPFILES header = {};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::vector<unsigned char> block(reinterpret_cast<const unsigned char *>(&header),
                                   reinterpret_cast<const unsigned char *>(&header) +
                                       sizeof header);
  for (const std::wstring &path : paths) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(path.c_str());
    block.insert(block.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
  }
  block.resize(block.size() + sizeof(wchar_t), 0);
  void *remote =
      VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  return remote != nullptr &&
         WriteProcessMemory(process, remote, block.data(), block.size(), nullptr) &&
         PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}
