// How the Convert command talks to the user: two operations supplied by the
// caller (message boxes in the dialog, a recorder in tests).
#pragma once

enum class NoticeKind { Warning, Information };

struct UserPrompt {
  void (*notify)(void *context, const char *text, NoticeKind kind);
  bool (*confirm)(void *context, const char *text); // true only for yes
  void *context;
};
