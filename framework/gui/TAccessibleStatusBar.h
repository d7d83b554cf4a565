#pragma once

#include <QAccessibleTextInterface>
#include <QAccessibleWidget>
#include <QString>

class QStatusBar;

// A status bar as assistive technology reads it: besides its name, a text,
// which is what the bar shows (its message while it shows one, else the
// texts of its panels), and an announcement of every change of its message.
// The toolkit's own reading gives a named bar no text at all.
class TAccessibleStatusBar : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit TAccessibleStatusBar(QStatusBar* ABar);

  // Every status bar of the program is read this way from now on; once the
  // application object exists.
  static void Install();

  // What the bar shows: its message, else its visible panels' texts, one
  // blank between two.
  static QString ShownText(const QStatusBar* ABar);

  QAccessible::State state() const override;
  QString text(QAccessible::Text AText) const override;
  void* interface_cast(QAccessible::InterfaceType AType) override;

  // The text, read only: no selection, no cursor.
  void selection(int ASelection, int* AStart, int* AEnd) const override;
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int AStart, int AEnd) const override;
  int characterCount() const override;
  QRect characterRect(int) const override { return QRect(); }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int AOffset, int* AStart, int* AEnd) const override;

 private:
  QStatusBar* Bar() const;
  // Tells the listeners what the text was and what it is now.
  void Announce();

  QString FAnnounced;
};
