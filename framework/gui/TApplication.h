#pragma once

#include <exception>
#include <string>
#include <utility>

#include "ErrorHandler.h"
#include "TComponent.h"
#include "TEvent.h"
#include "Windows.h"

class QWidget;

// The application object: its title, its main window, the minimise
// notification, the taskbar presence and the way errors reach the user.
class TApplication : public TComponent {
 public:
  static TApplication& Instance();

  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& ATitle) { FTitle = ATitle; }

  // Raised whenever the main window is minimised, by the user or by Minimize.
  TNotifyEvent OnMinimize;

  QWidget* MainForm() const { return FMainForm; }
  void SetMainForm(QWidget* AForm);

  // Shows the main window the way the program was started: minimised when
  // its start-up show state asks for it, else normally.
  void ShowMainForm();
  void Minimize();
  void Restore();
  bool Minimized() const;

  // The application's own window, which owns the taskbar button.
  HWND Handle() const { return FHandle; }

  // Hides or shows the program's taskbar presence.
  void ShowTaskbarButton(bool AVisible);
  bool TaskbarButtonVisible() const { return FTaskbarButtonVisible; }

  // Whether the program was started with the minimised, inactive show state.
  static bool StartedMinimized();

  // The window program's error handler, installed at start-up: an exception
  // that escaped a handler run from the message loop is shown in an error box
  // titled with the application title; the program runs on.
  static void ShowException(std::exception_ptr AError);
  // Hands an escaped exception to the program's error handler.
  static void HandleException(std::exception_ptr AError) { ::HandleException(AError); }
  // Runs a handler that the toolkit calls (a slot, a notifier), handing on
  // what it throws: an exception must never unwind through the toolkit's frames.
  template <typename Handler>
  static void Guarded(Handler&& AHandler) noexcept {
    ::Guarded(std::forward<Handler>(AHandler));
  }
  // The error text as the box shows it: a full stop is appended when missing.
  static std::string ErrorText(std::exception_ptr AError) { return ::ErrorText(AError); }

 private:
  TApplication();
  friend class TMinimizeWatcher;

  std::string FTitle;
  QWidget* FMainForm = nullptr;
  bool FTaskbarButtonVisible = true;
  HWND FHandle;
};

// Convenience for the global application object.
inline TApplication& Application() { return TApplication::Instance(); }
