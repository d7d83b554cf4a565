#pragma once

#include <set>
#include <string>
#include <vector>

#include "ShellApi.h"

// Stands in, while it lives, for the desktop behind the shell and input
// calls: it records every notification-area request with its record, every
// open request and every foreground request, and answers the cursor and key
// queries as the test sets them. Calls holds one line per call in the order
// made; a test's handlers may add their own lines to see the order of both.
class TRecordingDesktop {
 public:
  struct TNotifyRequest {
    DWORD Request;
    NOTIFYICONDATAA Data;
    std::string Tip() const;
  };
  struct TOpenRequest {
    HWND Owner;
    std::string Operation;
    std::string File;
    std::string Parameters;
    std::string Directory;
    int ShowCommand;
  };

  TRecordingDesktop();
  ~TRecordingDesktop();
  TRecordingDesktop(const TRecordingDesktop&) = delete;
  TRecordingDesktop& operator=(const TRecordingDesktop&) = delete;

  void Clear();

  std::vector<TNotifyRequest> NotifyRequests;
  std::vector<TOpenRequest> OpenRequests;
  std::vector<HWND> ForegroundRequests;
  std::vector<std::string> Calls;

  // What the calls answer.
  POINT Cursor{0, 0};
  std::set<int> KeysDown;
  bool NotificationArea = true;
  BOOL NotifyResult = 1;
  uintptr_t OpenResult = 42;
  // The next notification-area request raises an error instead of being made.
  bool FailNextNotify = false;
};

// The name of a request code, as Calls shows it ("NIM_ADD").
std::string NotifyRequestName(DWORD ARequest);
