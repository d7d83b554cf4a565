// A status bar as assistive technology reads it through the toolkit's
// accessibility interface. The announcements of its changes need a platform
// with accessibility: they are checked through AT-SPI on a real X server
// (tests/app/TestWindowDesktop.cpp).

#include <QAccessible>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <memory>

#include "TAccessibleStatusBar.h"
#include "TestSupport.h"

namespace {

// A shown bar with two panels, as the main window's lower bar.
struct TBar {
  std::unique_ptr<QStatusBar> Bar = std::make_unique<QStatusBar>();
  QLabel* First = new QLabel(Bar.get());
  QLabel* Second = new QLabel(Bar.get());

  TBar(const QString& AName, const QString& AFirst, const QString& ASecond) {
    Bar->setAccessibleName(AName);
    Bar->addWidget(First);
    Bar->addWidget(Second, 1);
    First->setText(AFirst);
    Second->setText(ASecond);
    Bar->resize(400, 19);
    Bar->show();
  }
  QAccessibleInterface* Interface() const {
    return QAccessible::queryAccessibleInterface(Bar.get());
  }
  QString Text() const {
    QAccessibleTextInterface* Text = Interface()->textInterface();
    return Text != nullptr ? Text->text(0, Text->characterCount()) : QStringLiteral("<no text>");
  }
};

}  // namespace

class TestAccessibleStatusBar : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { TAccessibleStatusBar::Install(); }

  // The text is what the bar shows: the message over the panels.
  void Text_data() {
    QTest::addColumn<QString>("Message");
    QTest::addColumn<QString>("First");
    QTest::addColumn<QString>("Second");
    QTest::addColumn<QString>("Text");
    QTest::newRow("panels") << ""
                            << "Dravik 开发组"
                            << "联系: x"
                            << "Dravik 开发组 联系: x";
    QTest::newRow("one empty panel") << ""
                                     << ""
                                     << "联系: x"
                                     << "联系: x";
    QTest::newRow("no panel text") << ""
                                   << ""
                                   << ""
                                   << "";
    QTest::newRow("message over panels") << "错误 691：用户名或密码错误"
                                         << "a"
                                         << "b"
                                         << "错误 691：用户名或密码错误";
  }
  void Text() {
    QFETCH(QString, Message);
    QFETCH(QString, First);
    QFETCH(QString, Second);
    QFETCH(QString, Text);
    TBar Bar("StatusBar2", First, Second);
    if (!Message.isEmpty()) Bar.Bar->showMessage(Message);
    QCOMPARE(Bar.Text(), Text);
    QCOMPARE(Bar.Interface()->role(), QAccessible::StatusBar);
    QVERIFY(Bar.Interface()->state().readOnly);
    // The bar keeps its name; the text is read besides it.
    QCOMPARE(Bar.Interface()->text(QAccessible::Name), QStringLiteral("StatusBar2"));
    QCOMPARE(Bar.Interface()->textInterface()->text(2, 1), QString());
  }

  // Unnamed, the bar is named by what it shows, as the toolkit names it.
  void UnnamedBarIsNamedByItsText() {
    TBar Bar("", "", "");
    Bar.Bar->showMessage("拨号失败");
    QCOMPARE(Bar.Interface()->text(QAccessible::Name), QStringLiteral("拨号失败"));
  }
};

DRAVIK_TEST_MAIN(TestAccessibleStatusBar)

#include "TestAccessibleStatusBar.moc"
