#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QStringDecoder>
#include <QSystemTrayIcon>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "IconTable.h"
#include "ShellApi.h"

namespace {

// One icon of ours in the desktop's notification area, and where its mouse
// activity goes.
struct TTrayEntry {
  // A child of the application object, so that an icon never outlives it.
  QPointer<QSystemTrayIcon> Icon;
  bool Notifies = false;
  UINT CallbackMessage = 0;
};

using TTrayKey = std::pair<HWND, UINT>;

// Only the GUI thread makes requests, as on Windows for a window of its own.
std::map<TTrayKey, TTrayEntry>& TrayEntries() {
  static std::map<TTrayKey, TTrayEntry> Entries;
  return Entries;
}

bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

// The tooltip as the host gets it: at most 63 bytes up to the first zero; a
// character cut by that limit is left out rather than shown broken.
QString TipText(const NOTIFYICONDATAA& AData) {
  const size_t Length = strnlen(AData.szTip, sizeof(AData.szTip) - 1);
  QStringDecoder Decoder(QStringDecoder::System);
  return Decoder(QByteArrayView(AData.szTip, static_cast<qsizetype>(Length)));
}

QIcon PictureOf(HICON AIcon) {
  const QImage Picture = IconImage(AIcon);
  return Picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(Picture));
}

// The mouse messages Windows would post for what the host reports.
std::vector<UINT> MouseMessagesFor(QSystemTrayIcon::ActivationReason AReason) {
  switch (AReason) {
    case QSystemTrayIcon::Trigger:
      return {WM_LBUTTONDOWN, WM_LBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
      return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    case QSystemTrayIcon::Context:
      return {WM_RBUTTONDOWN, WM_RBUTTONUP};
    case QSystemTrayIcon::MiddleClick:
      return {WM_MBUTTONDOWN, WM_MBUTTONUP};
    default:
      return {};
  }
}

void Apply(TTrayEntry& AEntry, const NOTIFYICONDATAA& AData) {
  if (AData.uFlags & NIF_MESSAGE) {
    AEntry.Notifies = true;
    AEntry.CallbackMessage = AData.uCallbackMessage;
  }
  if (AData.uFlags & NIF_ICON) AEntry.Icon->setIcon(PictureOf(AData.hIcon));
  if (AData.uFlags & NIF_TIP) AEntry.Icon->setToolTip(TipText(AData));
}

BOOL Add(const NOTIFYICONDATAA& AData) {
  const TTrayKey Key{AData.hWnd, AData.uID};
  if (!HaveWidgets() || TrayEntries().count(Key) != 0) return 0;
  TTrayEntry& Entry = TrayEntries()[Key];
  Entry.Icon = new QSystemTrayIcon(QCoreApplication::instance());
  Apply(Entry, AData);
  QObject::connect(Entry.Icon, &QSystemTrayIcon::activated, Entry.Icon,
                   [Key](QSystemTrayIcon::ActivationReason AReason) {
                     const auto Found = TrayEntries().find(Key);
                     if (Found == TrayEntries().end() || !Found->second.Notifies) return;
                     for (UINT Message : MouseMessagesFor(AReason))
                       PostMessageA(Key.first, Found->second.CallbackMessage, Key.second,
                                    static_cast<LPARAM>(Message));
                   });
  Entry.Icon->show();
  // Shown where an area exists; where none does yet, the toolkit shows the
  // icon once one appears, but the request did not succeed.
  return QSystemTrayIcon::isSystemTrayAvailable() ? 1 : 0;
}

BOOL Modify(const NOTIFYICONDATAA& AData) {
  const auto Found = TrayEntries().find({AData.hWnd, AData.uID});
  if (Found == TrayEntries().end() || Found->second.Icon.isNull()) return 0;
  Apply(Found->second, AData);
  return 1;
}

BOOL Delete(const NOTIFYICONDATAA& AData) {
  const auto Found = TrayEntries().find({AData.hWnd, AData.uID});
  if (Found == TrayEntries().end()) return 0;
  delete Found->second.Icon;
  TrayEntries().erase(Found);
  return 1;
}

}  // namespace

TShellStandIns& ShellStandIns() {
  static TShellStandIns StandIns;
  return StandIns;
}

BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) {
  if (lpData == nullptr || lpData->cbSize < sizeof(NOTIFYICONDATAA)) return 0;
  if (ShellStandIns().NotifyIcon) return ShellStandIns().NotifyIcon(dwMessage, *lpData);
  switch (dwMessage) {
    case NIM_ADD:
      return Add(*lpData);
    case NIM_MODIFY:
      return Modify(*lpData);
    case NIM_DELETE:
      return Delete(*lpData);
    default:
      return 0;
  }
}

bool NotificationAreaExists() {
  if (ShellStandIns().NotificationAreaExists) return ShellStandIns().NotificationAreaExists();
  return HaveWidgets() && QSystemTrayIcon::isSystemTrayAvailable();
}
