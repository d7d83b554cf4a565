// The main window's life in the notification area and its outward links:
// the tray icon and its menu, hiding and showing the window, the mail and
// home page buttons, the About window and the start-up splash.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QWindow>
#include <string>

#include "ButtonPictures.h"
#include "Maker.h"
#include "ShellApi.h"
#include "TApplication.h"
#include "TClock.h"
#include "TIcon.h"
#include "TMenuItem.h"
#include "TPopupMenu.h"
#include "Unit1.h"
#include "uAboutBox.h"

namespace {

// The splash shows this long while start-up waits.
constexpr uint64_t SplashMilliseconds = 2000;
// How long start-up waits at most for the window system to expose the
// splash: real time, since it is the window system's time and not the
// program's.
constexpr qint64 ExposeMilliseconds = 1000;

// Handles the window system's events until AWindow is exposed, or the bound
// has passed. Neither input nor timers are served: the user's clicks and the
// program's timers wait for the end of the splash, as they always have.
void WaitUntilExposed(QWidget& AWindow) {
  QElapsedTimer Waited;
  Waited.start();
  const QEventLoop::ProcessEventsFlags Flags =
      QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers;
  for (;;) {
    QCoreApplication::processEvents(Flags);
    const QWindow* Handle = AWindow.windowHandle();
    if ((Handle != nullptr && Handle->isExposed()) || Waited.elapsed() >= ExposeMilliseconds)
      return;
    // The next event is the window system's to send: no need to spin.
    QThread::msleep(2);
  }
}

// Where no notification area exists the window was only minimised: when the
// user brings it back from the taskbar the menu's items follow.
class TRestoreWatcher : public QObject {
 public:
  TRestoreWatcher(QWidget* AForm, TMenuItem* AShow, TMenuItem* AHide)
      : QObject(AForm), FForm(AForm), FShow(AShow), FHide(AHide) {
    AForm->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override {
    if (AWatched == FForm && AEvent->type() == QEvent::WindowStateChange && !FForm->isMinimized() &&
        FForm->isVisible() && FShow->Enabled()) {
      FHide->SetEnabled(true);
      FShow->SetEnabled(false);
    }
    return QObject::eventFilter(AWatched, AEvent);
  }

 private:
  QWidget* FForm;
  TMenuItem* FShow;
  TMenuItem* FHide;
};

TMenuItem* NewItem(TComponent* AOwner, const char* AName, const QString& ACaption, bool AEnabled) {
  auto* Item = new TMenuItem(AOwner);
  Item->SetName(AName);
  Item->SetCaption(ACaption.toStdString());
  Item->SetEnabled(AEnabled);
  return Item;
}

}  // namespace

// The tray icon and its menu with the values and bindings they were designed
// with. The visible icon is added while its values are still being applied,
// and once more when the window has been read, as the icon component does.
void TForm1::CreateTrayComponents() {
  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  N1 = NewItem(this, "N1", tr("显示主窗口"), false);
  N1->OnClick.Bind(this, &TForm1::N1Click);
  N2 = NewItem(this, "N2", tr("最小化显示"), true);
  N2->OnClick.Bind(this, &TForm1::N2Click);
  N3 = NewItem(this, "N3", tr("登陆Dravik网"), true);
  N3->OnClick.Bind(this, &TForm1::N3Click);
  PopupMenu1->Add(N1);
  PopupMenu1->Add(N2);
  PopupMenu1->Add(N3);

  antTaskbarIcon1 = new TantTaskbarIcon(this);
  antTaskbarIcon1->SetName("antTaskbarIcon1");
  TIcon Picture;
  Picture.SetImage(ProgramPicture());
  antTaskbarIcon1->Icon()->Assign(&Picture);
  antTaskbarIcon1->SetVisible(true);
  antTaskbarIcon1->SetHint("【Dravik】 V2.0");
  antTaskbarIcon1->SetPopupMenu(PopupMenu1);
  antTaskbarIcon1->OnClick.Bind(this, &TForm1::N1Click);

  new TRestoreWatcher(this, N1, N2);
}

void TForm1::N1Click(TObject*) {
  N2->SetEnabled(true);
  N1->SetEnabled(false);
  Application().ShowTaskbarButton(true);
  Application().Restore();
  // A window that is not the application's main one restores itself.
  if (isMinimized()) showNormal();
  setVisible(true);
  raise();
  activateWindow();
}

void TForm1::N2Click(TObject*) {
  N2->SetEnabled(false);
  N1->SetEnabled(true);
  if (!NotificationAreaExists()) {
    // No notification area to come back from: hidden, the window could be
    // neither shown again nor closed. It stays minimised in the taskbar.
    if (isHidden() || !isMinimized()) showMinimized();
    return;
  }
  Application().ShowTaskbarButton(false);
  setVisible(false);
}

void TForm1::N3Click(TObject*) {
  ShellExecuteA(reinterpret_cast<HWND>(winId()), "open", Maker::SiteAddress, "", "", SW_SHOW);
}

void TForm1::SpeedButton3Click(TObject*) {
  const std::string Address = std::string("mailto:") + Maker::MailAddress;
  ShellExecuteA(reinterpret_cast<HWND>(winId()), "open", Address.c_str(), "", "", SW_SHOW);
}

void TForm1::SpeedButton5Click(TObject*) {
  ShellExecuteA(reinterpret_cast<HWND>(winId()), "open", Maker::HomePage, "", "", SW_SHOW);
}

void TForm1::SpeedButton7Click(TObject*) {
  if (AboutBox != nullptr) AboutBox->ShowModal();
}

// Start-up's splash: a second About window without owner, shown while the
// GUI thread sleeps; nothing else runs meanwhile, and timers that fall due
// are served afterwards.
void TForm1::ShowSplash() {
  FSplashAboutBox = std::make_unique<TAboutBox>(nullptr);
  FSplashAboutBox->show();
  // A window system that maps windows asynchronously (X11) draws nothing
  // into a window before it reports it exposed; the sleep would leave an
  // empty frame on the screen.
  WaitUntilExposed(*FSplashAboutBox);
  FSplashAboutBox->repaint();
  TClock::Instance().Sleep(SplashMilliseconds);
  FSplashAboutBox->repaint();
  FSplashAboutBox->close();
}

void TForm1::SpeedButton3Click() { RunFromControl(&TForm1::SpeedButton3Click); }
void TForm1::SpeedButton5Click() { RunFromControl(&TForm1::SpeedButton5Click); }
void TForm1::SpeedButton7Click() { RunFromControl(&TForm1::SpeedButton7Click); }
