#include "TAccessibleStatusBar.h"

#include <QLabel>
#include <QStatusBar>
#include <QStringList>

namespace {

QAccessibleInterface* StatusBarFactory(const QString&, QObject* AObject) {
  auto* Bar = qobject_cast<QStatusBar*>(AObject);
  return Bar != nullptr ? new TAccessibleStatusBar(Bar) : nullptr;
}

}  // namespace

TAccessibleStatusBar::TAccessibleStatusBar(QStatusBar* ABar)
    : QAccessibleWidget(ABar, QAccessible::StatusBar), FAnnounced(ShownText(ABar)) {
  // The toolkit's interfaces live as long as their object, so the bar's own
  // signal can find this one again; it is made once per bar.
  QObject::connect(ABar, &QStatusBar::messageChanged, ABar, [ABar] {
    auto* Self = static_cast<TAccessibleStatusBar*>(QAccessible::queryAccessibleInterface(ABar));
    if (Self != nullptr) Self->Announce();
  });
}

void TAccessibleStatusBar::Install() { QAccessible::installFactory(&StatusBarFactory); }

QString TAccessibleStatusBar::ShownText(const QStatusBar* ABar) {
  const QString Message = ABar->currentMessage();
  if (!Message.isEmpty()) return Message;
  QStringList Panels;
  for (const QLabel* Panel : ABar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    if (Panel->isVisibleTo(ABar) && !Panel->text().isEmpty()) Panels << Panel->text();
  return Panels.join(QLatin1Char(' '));
}

QStatusBar* TAccessibleStatusBar::Bar() const { return static_cast<QStatusBar*>(object()); }

QAccessible::State TAccessibleStatusBar::state() const {
  QAccessible::State State = QAccessibleWidget::state();
  State.readOnly = true;
  return State;
}

QString TAccessibleStatusBar::text(QAccessible::Text AText) const {
  const QString Text = QAccessibleWidget::text(AText);
  // An unnamed bar is named by what it shows, as the toolkit does.
  if (AText == QAccessible::Name && Text.isEmpty()) return ShownText(Bar());
  return Text;
}

void* TAccessibleStatusBar::interface_cast(QAccessible::InterfaceType AType) {
  if (AType == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(AType);
}

void TAccessibleStatusBar::selection(int, int* AStart, int* AEnd) const {
  *AStart = 0;
  *AEnd = 0;
}

QString TAccessibleStatusBar::text(int AStart, int AEnd) const {
  if (AStart > AEnd) return QString();
  return ShownText(Bar()).mid(AStart, AEnd - AStart);
}

int TAccessibleStatusBar::characterCount() const {
  return static_cast<int>(ShownText(Bar()).size());
}

QString TAccessibleStatusBar::attributes(int AOffset, int* AStart, int* AEnd) const {
  *AStart = AOffset;
  *AEnd = AOffset;
  return QString();
}

void TAccessibleStatusBar::Announce() {
  const QString Shown = ShownText(Bar());
  if (Shown == FAnnounced) return;
  QAccessibleTextUpdateEvent Event(Bar(), 0, FAnnounced, Shown);
  FAnnounced = Shown;
  QAccessible::updateAccessibility(&Event);
}
