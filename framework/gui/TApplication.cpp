#include "TApplication.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include "Exception.h"
#include "TDialogs.h"
#include "Windows.h"

// Turns the main window's minimise into the application's notification.
class TMinimizeWatcher : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override {
    if (AEvent->type() == QEvent::WindowStateChange) {
      auto* Form = static_cast<QWidget*>(AWatched);
      if (Form->isMinimized()) {
        Guarded([] { Application().OnMinimize(&Application()); });
      }
    }
    return QObject::eventFilter(AWatched, AEvent);
  }
};

TApplication::TApplication() : TComponent(nullptr), FHandle(reinterpret_cast<HWND>(this)) {}

TApplication& TApplication::Instance() {
  static TApplication App;
  return App;
}

void TApplication::SetMainForm(QWidget* AForm) {
  FMainForm = AForm;
  if (FMainForm != nullptr) FMainForm->installEventFilter(new TMinimizeWatcher(FMainForm));
}

bool TApplication::StartedMinimized() {
  STARTUPINFOA StartupInfo{};
  StartupInfo.cb = sizeof(StartupInfo);
  GetStartupInfoA(&StartupInfo);
  return (StartupInfo.dwFlags & STARTF_USESHOWWINDOW) != 0 &&
         StartupInfo.wShowWindow == SW_SHOWMINNOACTIVE;
}

void TApplication::ShowMainForm() {
  if (FMainForm == nullptr) return;
  if (StartedMinimized())
    Minimize();
  else
    FMainForm->show();
}

void TApplication::Minimize() {
  if (FMainForm == nullptr) return;
  // Minimising an already minimised program changes nothing; otherwise the
  // state change reaches OnMinimize through the watcher.
  if (FMainForm->isMinimized()) return;
  if (FMainForm->isHidden()) {
    // Not shown yet (a minimised start): the handler decides where the
    // window goes. The window's own state stays untouched, so that showing
    // it later shows it normally; without a handler it shows minimised.
    if (OnMinimize.Assigned())
      Guarded([this] { OnMinimize(this); });
    else
      FMainForm->showMinimized();
    return;
  }
  // The state change alone reaches OnMinimize, whose handler decides where
  // the window goes (showing it here as well would undo a handler that hid
  // it).
  FMainForm->setWindowState(FMainForm->windowState() | Qt::WindowMinimized);
}

void TApplication::Restore() {
  if (FMainForm != nullptr && FMainForm->isMinimized()) FMainForm->showNormal();
}

bool TApplication::Minimized() const { return FMainForm != nullptr && FMainForm->isMinimized(); }

void TApplication::ShowTaskbarButton(bool AVisible) {
  FTaskbarButtonVisible = AVisible;
  ShowWindow(Handle(), AVisible ? SW_SHOW : SW_HIDE);
}

void TApplication::ShowException(std::exception_ptr AError) {
  ShowModalBox({TMsgDlgType::mtError, Instance().FTitle, ErrorText(AError)});
}
