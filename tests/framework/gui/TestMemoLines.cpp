#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>
#include <memory>

#include "MemoLines.h"
#include "TestSupport.h"

namespace {

// A window whose memo fills it, like the log below the main window's panels.
struct TMemoWindow {
  std::unique_ptr<QWidget> Window = std::make_unique<QWidget>();
  QPlainTextEdit* Memo = new QPlainTextEdit;

  TMemoWindow() {
    auto* Layout = new QVBoxLayout(Window.get());
    Layout->addWidget(Memo);
    Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Window->resize(320, 240);
  }

  void Show() {
    Window->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
  }
};

// What the shown memo draws: the lines of its own document layout, without
// an empty last line.
int DisplayedLines(QPlainTextEdit* AMemo) {
  QTextDocument* Document = AMemo->document();
  int Lines = 0;
  for (QTextBlock Block = Document->begin(); Block.isValid(); Block = Block.next()) {
    Document->documentLayout()->blockBoundingRect(Block);  // lays the block out
    if (Block.next().isValid() || Block.length() > 1) Lines += Block.layout()->lineCount();
  }
  return Lines;
}

QString Words(int ACount) { return QStringLiteral("word ").repeated(ACount).trimmed(); }

QString ShortLines(int ACount, const QString& AEnd) {
  QStringList Lines;
  for (int I = 1; I <= ACount; ++I) Lines << QStringLiteral("12:00:%1 connected").arg(I % 60);
  return Lines.join(u'\n') + AEnd;
}

}  // namespace

class TestMemoLines : public QObject {
  Q_OBJECT
 private slots:
  void Count_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<bool>("Typed");
    QTest::addColumn<int>("Expected");
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("one line") << "9:05:07 connected" << false << 1;
    QTest::newRow("empty last line is not counted") << "a\n" << false << 1;
    QTest::newRow("empty line before the last counts") << "a\n\n" << false << 2;
    QTest::newRow("a single line break") << "\n" << false << 1;
    QTest::newRow("empty line in the middle") << "a\n\nb" << false << 3;
    QTest::newRow("501 lines") << ShortLines(501, "") << false << 501;
    QTest::newRow("501 lines and a line break") << ShortLines(501, "\n") << false << 501;
    QTest::newRow("typed lines") << "first\nsecond\nthird" << true << 3;
    QTest::newRow("typed line break at the end") << "typed\n" << true << 1;
  }
  void Count() {
    QFETCH(QString, Text);
    QFETCH(bool, Typed);
    QFETCH(int, Expected);
    TMemoWindow Fixture;
    Fixture.Show();
    if (Typed) {
      Fixture.Memo->setFocus();
      const QStringList Lines = Text.split(u'\n');
      for (int I = 0; I < Lines.size(); ++I) {
        if (I > 0) QTest::keyClick(Fixture.Memo, Qt::Key_Return);
        QTest::keyClicks(Fixture.Memo, Lines[I]);
      }
      QCOMPARE(Fixture.Memo->toPlainText(), Text);
    } else {
      Fixture.Memo->setPlainText(Text);
    }
    QCOMPARE(MemoLineCount(Fixture.Memo), Expected);
  }

  // Lines that wrap, counted while the window is not shown yet, shown,
  // hidden in the tray, written to while hidden, and widened: the count is
  // what the memo displays each time it is shown.
  void Wrapping_data() {
    QTest::addColumn<QString>("Text");
    QTest::newRow("a long line of words") << Words(80);
    QTest::newRow("one long word") << QStringLiteral("x").repeated(400);
    QTest::newRow("long, short, empty and long lines")
        << Words(60) + "\nshort\n\n" + Words(45) + "\n";
    QTest::newRow("wide characters") << QStringLiteral("断网多少秒后重连").repeated(20);
  }
  void Wrapping() {
    QFETCH(QString, Text);
    TMemoWindow Fixture;
    QPlainTextEdit* Memo = Fixture.Memo;
    Memo->setPlainText(Text);
    const int NeverShown = MemoLineCount(Memo);

    Fixture.Show();
    const int Displayed = DisplayedLines(Memo);
    QVERIFY2(Displayed > Text.count(u'\n') + 1, "the text must wrap at this width");
    QCOMPARE(MemoLineCount(Memo), Displayed);
    QCOMPARE(NeverShown, Displayed);

    Fixture.Window->hide();
    QCOMPARE(MemoLineCount(Memo), Displayed);
    Memo->appendPlainText(Words(50));
    const int AppendedHidden = MemoLineCount(Memo);
    QVERIFY(AppendedHidden > Displayed + 1);
    Fixture.Show();
    QCOMPARE(DisplayedLines(Memo), AppendedHidden);

    Fixture.Window->resize(640, 240);
    QTRY_COMPARE(Memo->viewport()->width(), Memo->contentsRect().width());
    QVERIFY(DisplayedLines(Memo) < AppendedHidden);
    QCOMPARE(MemoLineCount(Memo), DisplayedLines(Memo));
  }
};

DRAVIK_TEST_MAIN(TestMemoLines)
#include "TestMemoLines.moc"
