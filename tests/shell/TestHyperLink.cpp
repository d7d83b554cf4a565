// The hyperlink label on the offscreen screen: its colours, its size, what a
// press opens (through a recording stand-in of the shell) and its repaints.

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QImage>
#include <memory>

#include "TApplication.h"
#include "TRecordingDesktop.h"
#include "TestSupport.h"
#include "cwHyperLink.h"

namespace {

// A label that counts its requests for a repaint.
class TCountedLink : public TcwHyperLink {
 public:
  using TcwHyperLink::TcwHyperLink;
  void Invalidate() override {
    ++Repaints;
    TcwHyperLink::Invalidate();
  }
  int Repaints = 0;
};

void Enter(QWidget* AWidget) {
  QEnterEvent Event(QPointF(2, 2), QPointF(2, 2), AWidget->mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(AWidget, &Event);
}

void Leave(QWidget* AWidget) {
  QEvent Event(QEvent::Leave);
  QApplication::sendEvent(AWidget, &Event);
}

bool Contains(const QImage& AImage, const QColor& AColor) {
  for (int Y = 0; Y < AImage.height(); ++Y)
    for (int X = 0; X < AImage.width(); ++X)
      if (AImage.pixelColor(X, Y) == AColor) return true;
  return false;
}

}  // namespace

class TestHyperLink : public QObject {
  Q_OBJECT

  std::unique_ptr<TRecordingDesktop> Desktop;
  std::unique_ptr<QWidget> Window;
  TCountedLink* Link = nullptr;

  QStringList Opened() const {
    QStringList Files;
    for (const auto& Request : Desktop->OpenRequests) Files << QString::fromStdString(Request.File);
    return Files;
  }

 private slots:
  void init() {
    Desktop = std::make_unique<TRecordingDesktop>();
    Window = std::make_unique<QWidget>();
    Window->resize(400, 100);
    Link = new TCountedLink(Window.get());
    Link->move(10, 10);
    Window->show();
    QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
  }
  void cleanup() {
    Window.reset();
    Desktop.reset();
  }

  void newLabelLooksLikeALink() {
    Link->SetCaption("Dravik");
    QCOMPARE(Link->Canvas()->Font().Style(), fsBold | fsUnderline);
    QCOMPARE(Link->Canvas()->Font().Color(), clBlue);
    QCOMPARE(Link->LinkColor(), clBlue);
    QCOMPARE(Link->Color(), clBtnFace);
    QCOMPARE(Link->Cursor(), crHandPoint);
    QCOMPARE(Link->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(Link->URL().empty());
    // As drawn: blue writing on the button face.
    const QImage Drawn = Link->grab().toImage();
    QCOMPARE(Drawn.pixelColor(0, 0), QApplication::palette().color(QPalette::Button));
    QVERIFY(Contains(Drawn, QColor(0, 0, 255)));
    QVERIFY(!Contains(Drawn, QColor(255, 0, 0)));
  }

  void colours_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QList<int>>("fontColours");
    QTest::addColumn<TColor>("linkColour");
    QTest::newRow("hover") << "enter leave" << QList<int>{clRed, clBlue} << clBlue;
    QTest::newRow("press, leave, come back, leave")
        << "enter press leave enter leave" << QList<int>{clRed, clRed, clFuchsia, clRed, clFuchsia}
        << clFuchsia;
    QTest::newRow("release alone")
        << "enter release leave" << QList<int>{clRed, clRed, clBlue} << clBlue;
  }
  void colours() {
    QFETCH(QString, steps);
    QFETCH(QList<int>, fontColours);
    QFETCH(TColor, linkColour);
    Link->SetCaption("Dravik");
    QList<int> Seen;
    for (const QString& Step : steps.split(' ')) {
      if (Step == "enter") Enter(Link);
      if (Step == "leave") Leave(Link);
      if (Step == "press") QTest::mousePress(Link, Qt::LeftButton, {}, QPoint(3, 3));
      if (Step == "release") QTest::mouseRelease(Link, Qt::LeftButton, {}, QPoint(3, 3));
      Seen << Link->Canvas()->Font().Color();
    }
    QCOMPARE(Seen, fontColours);
    QCOMPARE(Link->LinkColor(), linkColour);
    // The screen shows the last colour.
    const QColor Last = ColorToQColor(fontColours.last());
    QVERIFY(Contains(Link->grab().toImage(), Last));
  }

  void sizesItselfToItsCaption() {
    Link->SetCaption("Dravik");
    QTest::qWait(0);
    Link->grab();
    // The toolkit's default face and size, bold and underlined.
    QFont Font = QApplication::font();
    Font.setBold(true);
    Font.setUnderline(true);
    const QFontMetrics Metrics(Font);
    QCOMPARE(Link->Width(), Metrics.horizontalAdvance("Dravik") + 6);
    QCOMPARE(Link->Height(), Metrics.height() + 2);
    const int ShortWidth = Link->Width();
    Link->SetCaption("Dravik keeps rotating, day and night");
    QCOMPARE(Link->Width(), ShortWidth);  // until the next paint
    Link->grab();
    QCOMPARE(Link->Width(), Metrics.horizontalAdvance("Dravik keeps rotating, day and night") + 6);
    QVERIFY(Link->Width() > ShortWidth);
  }

  void pressOpensTheAddress() {
    Link->SetCaption("Home page");
    Link->SetURL("https://dravik.example.org/");
    QTest::mousePress(Link, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(Opened(), QStringList{"https://dravik.example.org/"});
    const auto& Request = Desktop->OpenRequests.at(0);
    QCOMPARE(Request.Owner, Application().Handle());
    QCOMPARE(Request.Operation, std::string("open"));
    QCOMPARE(Request.Parameters, std::string());
    QCOMPARE(Request.Directory, std::string());
    QCOMPARE(Request.ShowCommand, SW_SHOWNORMAL);
    // The release opens nothing more; a second press opens again.
    QTest::mouseRelease(Link, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(Opened().size(), 1);
    QTest::mouseClick(Link, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(Opened().size(), 2);
    // Another button opens nothing.
    QTest::mouseClick(Link, Qt::RightButton, {}, QPoint(3, 3));
    QCOMPARE(Opened().size(), 2);
  }

  void doubleClickOpensOnce() {
    Link->SetURL("https://dravik.example.org/");
    // Through the window, as the window system reports it: press, release,
    // press, release in quick succession, which the toolkit makes a double
    // click.
    const QPoint Where = Link->mapTo(Window.get(), QPoint(3, 3));
    QTest::mouseDClick(Window->windowHandle(), Qt::LeftButton, {}, Where);
    QCOMPARE(Opened(), QStringList{"https://dravik.example.org/"});
    // Two clicks apart are two presses.
    QTest::mouseClick(Window->windowHandle(), Qt::LeftButton, {}, Where);
    QTest::mouseClick(Window->windowHandle(), Qt::LeftButton, {}, Where);
    QCOMPARE(Opened().size(), 3);
  }

  void designerPressOpensNothing() {
    Link->SetURL("https://dravik.example.org/");
    Link->SetDesigning(true);
    QTest::mousePress(Link, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(Opened(), QStringList{});
    QCOMPARE(Link->LinkColor(), clBlue);
  }

  void setters_data() {
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("repaintsForNewValue");
    QTest::newRow("URL") << "URL" << 0;
    QTest::newRow("Caption") << "Caption" << 1;
    QTest::newRow("FontName") << "FontName" << 1;
    QTest::newRow("Color") << "Color" << 1;
  }
  void setters() {
    QFETCH(QString, property);
    QFETCH(int, repaintsForNewValue);
    auto Set = [&](int AValue) {
      const std::string Text = "value " + std::to_string(AValue);
      if (property == "URL") Link->SetURL(Text);
      if (property == "Caption") Link->SetCaption(Text);
      if (property == "FontName") Link->SetFontName(AValue == 1 ? "DejaVu Sans" : "DejaVu Serif");
      if (property == "Color") Link->SetColor(AValue == 1 ? clWhite : clLime);
    };
    Set(1);
    Link->Repaints = 0;
    Set(1);
    QCOMPARE(Link->Repaints, 0);
    Set(2);
    QCOMPARE(Link->Repaints, repaintsForNewValue);
  }

  void emptyFontNameKeepsTheFace() {
    Link->SetFontName("DejaVu Serif");
    Link->SetFontName("");
    QCOMPARE(Link->FontName(), std::string());
    QCOMPARE(Link->Canvas()->Font().Name(), std::string("DejaVu Serif"));
  }

  void designerPropertiesReachTheSetters() {
    Link->setProperty("Caption", QStringLiteral("主页"));
    Link->setProperty("URL", QStringLiteral("https://dravik.example.org/"));
    QCOMPARE(QString::fromLocal8Bit(Link->Caption().c_str()), QStringLiteral("主页"));
    QCOMPARE(Link->URL(), std::string("https://dravik.example.org/"));
  }
};

DRAVIK_TEST_MAIN(TestHyperLink)
#include "TestHyperLink.moc"
