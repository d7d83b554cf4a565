// The windows' language: which one the environment asks for, the English
// face (every text English and fitting its control at the designed size, the
// dial-up failures with the English texts of the error codes), the Chinese
// one exactly as written, and the toolkit's own texts following the
// language. The main window runs against the simulated dial-up service.

#include <QAbstractButton>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>

#include "RasErrorText.h"
#include "TMenuItem.h"
#include "TSimService.h"
#include "TSimServiceDir.h"
#include "TTranslations.h"
#include "TestSupport.h"
#include "Unit1.h"
#include "uAboutBox.h"

namespace {

const QByteArray Phonebook = "[Broadband]\nUserName=alice\nPassword=s3cret\nDialSeconds=0\n";

// Sets the variables the language is chosen from for one test (unset when
// given empty) and puts the old ones back.
class TLanguageVariables {
 public:
  explicit TLanguageVariables(const QStringList& AValues) {
    for (int Index = 0; Index < Names.size(); ++Index) {
      const QByteArray Name = Names[Index].toLatin1();
      FSaved << (qEnvironmentVariableIsSet(Name) ? qgetenv(Name) : QByteArray());
      FWasSet << qEnvironmentVariableIsSet(Name);
      if (AValues.value(Index).isEmpty())
        qunsetenv(Name);
      else
        qputenv(Name, AValues[Index].toLocal8Bit());
    }
  }
  ~TLanguageVariables() {
    for (int Index = 0; Index < Names.size(); ++Index) {
      const QByteArray Name = Names[Index].toLatin1();
      if (FWasSet[Index])
        qputenv(Name, FSaved[Index]);
      else
        qunsetenv(Name);
    }
  }
  static inline const QStringList Names = {"DRAVIK_LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES",
                                           "LANG"};

 private:
  QList<QByteArray> FSaved;
  QList<bool> FWasSet;
};

// Every text the windows show, each as "name: text": the controls' captions,
// the status bars, the window titles and the tray menu's items.
QStringList ShownTexts(TForm1& AForm, TAboutBox& AAbout) {
  QStringList Texts;
  for (QWidget* Window : {static_cast<QWidget*>(&AForm), static_cast<QWidget*>(&AAbout)}) {
    Texts << Window->objectName() + ": " + Window->windowTitle();
    for (const QLabel* Label : Window->findChildren<QLabel*>())
      if (!Label->text().isEmpty()) Texts << Label->objectName() + ": " + Label->text();
    for (const QAbstractButton* Button : Window->findChildren<QAbstractButton*>())
      if (!Button->text().isEmpty()) Texts << Button->objectName() + ": " + Button->text();
  }
  Texts << "StatusBar2: " + AForm.StatusBar2->currentMessage();
  for (const TMenuItem* Item : {AForm.N1, AForm.N2, AForm.N3})
    Texts << QString::fromStdString(Item->Name()) + ": " + QString::fromStdString(Item->Caption());
  return Texts;
}

// How much ink a control's text leaves when the control is drawn at ASize:
// the difference between its pictures with and without the text, whatever
// the style draws around the text.
qint64 TextInk(QWidget& AControl, const QSize& ASize, const std::function<void(bool)>& AShowText) {
  const QSize Minimum = AControl.minimumSize();
  const QSize Maximum = AControl.maximumSize();
  const QSize Designed = AControl.size();
  AControl.setFixedSize(ASize);
  const QImage With = AControl.grab().toImage().convertToFormat(QImage::Format_RGB32);
  AShowText(false);
  const QImage Without = AControl.grab().toImage().convertToFormat(QImage::Format_RGB32);
  AShowText(true);
  AControl.setMinimumSize(Minimum);
  AControl.setMaximumSize(Maximum);
  AControl.resize(Designed);
  qint64 Ink = 0;
  for (int Y = 0; Y < With.height(); ++Y)
    for (int X = 0; X < With.width(); ++X)
      Ink += std::abs(qGray(With.pixel(X, Y)) - qGray(Without.pixel(X, Y)));
  return Ink;
}

// The controls whose text is clipped at their designed size, each as
// "name: ink at the designed size < ink with room to spare". Room to spare
// moves the text by whole pixels only, so that nothing but clipping can
// change its ink.
QStringList Clipped(QWidget& AWindow) {
  QStringList Found;
  auto Check = [&](QWidget* AControl, const std::function<void(bool)>& AShowText) {
    const qint64 Designed = TextInk(*AControl, AControl->size(), AShowText);
    const qint64 Roomy = TextInk(*AControl, AControl->size() + QSize(400, 40), AShowText);
    if (Roomy == 0 || Designed * 100 < Roomy * 99)
      Found << QStringLiteral("%1: %2 < %3").arg(AControl->objectName()).arg(Designed).arg(Roomy);
  };
  for (QLabel* Label : AWindow.findChildren<QLabel*>()) {
    const QString Text = Label->text();
    if (!Text.isEmpty())
      Check(Label, [=](bool AShow) { Label->setText(AShow ? Text : QString()); });
  }
  for (QAbstractButton* Button : AWindow.findChildren<QAbstractButton*>()) {
    const QString Text = Button->text();
    if (!Text.isEmpty())
      Check(Button, [=](bool AShow) { Button->setText(AShow ? Text : QString()); });
  }
  for (QStatusBar* Bar : AWindow.findChildren<QStatusBar*>()) {
    const QString Message = Bar->currentMessage();
    if (!Message.isEmpty())
      Check(Bar, [=](bool AShow) {
        if (AShow)
          Bar->showMessage(Message);
        else
          Bar->clearMessage();
      });
  }
  return Found;
}

}  // namespace

class TestWindowLanguage : public QObject {
  Q_OBJECT
  TSimServiceDir FService;

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook(Phonebook);
  }
  void init() { QVERIFY(TSimService::HangUpEverything()); }

  // The language asked for, from a list of locale names, most wanted first.
  void ChosenFrom_data() {
    QTest::addColumn<QStringList>("Preferred");
    QTest::addColumn<QString>("Chosen");
    QTest::newRow("English locale") << QStringList{"en_US.UTF-8"} << "en_US";
    QTest::newRow("language only") << QStringList{"en"} << "en";
    QTest::newRow("with modifier") << QStringList{"en_GB.UTF-8@euro"} << "en_GB";
    QTest::newRow("language tag") << QStringList{"en-AU"} << "en_AU";
    QTest::newRow("Chinese") << QStringList{"zh_CN.UTF-8"} << "zh_CN";
    QTest::newRow("traditional Chinese") << QStringList{"zh_TW.Big5"} << "zh_TW";
    QTest::newRow("first of ours") << QStringList{"de_DE.UTF-8", "fr", "en_GB"} << "en_GB";
    QTest::newRow("Chinese before English") << QStringList{"zh", "en"} << "zh";
    QTest::newRow("none of ours") << QStringList{"de_DE.UTF-8", "ja_JP"} << "";
    QTest::newRow("C") << QStringList{"C"} << "";
    QTest::newRow("C.UTF-8") << QStringList{"C.UTF-8"} << "";
    QTest::newRow("POSIX") << QStringList{"POSIX"} << "";
    QTest::newRow("a word, not a locale") << QStringList{"english"} << "";
    QTest::newRow("nothing") << QStringList{} << "";
  }
  void ChosenFrom() {
    QFETCH(QStringList, Preferred);
    QFETCH(QString, Chosen);
    QCOMPARE(TTranslations::ChosenFrom(Preferred), Chosen);
  }

  // DRAVIK_LANG chooses when it is set; else the locale as gettext reads it.
  void Chosen_data() {
    // DRAVIK_LANG, LANGUAGE, LC_ALL, LC_MESSAGES, LANG
    QTest::addColumn<QStringList>("Variables");
    QTest::addColumn<QString>("Chosen");
    QTest::newRow("English locale") << QStringList{"", "", "", "", "en_US.UTF-8"} << "en_US";
    QTest::newRow("Chinese locale") << QStringList{"", "", "", "", "zh_CN.UTF-8"} << "zh_CN";
    QTest::newRow("German locale") << QStringList{"", "", "", "", "de_DE.UTF-8"} << "";
    QTest::newRow("nothing set") << QStringList{"", "", "", "", ""} << "";
    QTest::newRow("C, LANGUAGE ignored") << QStringList{"", "en", "", "", "C"} << "";
    QTest::newRow("POSIX") << QStringList{"", "", "", "", "POSIX"} << "";
    QTest::newRow("LANGUAGE first") << QStringList{"", "fr:en", "", "", "de_DE.UTF-8"} << "en";
    QTest::newRow("LC_ALL over LANG") << QStringList{"", "", "C", "", "en_US.UTF-8"} << "";
    QTest::newRow("LC_MESSAGES over LANG")
        << QStringList{"", "", "", "en_GB.UTF-8", "zh_CN.UTF-8"} << "en_GB";
    QTest::newRow("DRAVIK_LANG over the locale")
        << QStringList{"en", "", "", "", "zh_CN.UTF-8"} << "en";
    QTest::newRow("DRAVIK_LANG Chinese")
        << QStringList{"zh_CN", "en", "", "", "en_US.UTF-8"} << "zh_CN";
    QTest::newRow("DRAVIK_LANG C") << QStringList{"C", "", "", "", "en_US.UTF-8"} << "";
  }
  void Chosen() {
    QFETCH(QStringList, Variables);
    QFETCH(QString, Chosen);
    const TLanguageVariables Set(Variables);
    QCOMPARE(TTranslations::Chosen(), Chosen);
  }

  // In English every text the windows show is English: captions, titles,
  // the status line, the tray menu.
  void EnglishWindow() {
    const TTranslations English(QStringLiteral("en_US"));
    QVERIFY(English.Loaded());
    QVERIFY(TTranslations::English());
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    TAboutBox About;
    const QStringList Texts = ShownTexts(Form, About);
    QStringList Chinese;
    for (const QString& Text : Texts)
      if (HasChinese(Text)) Chinese << Text;
    QVERIFY2(Chinese.isEmpty(), qPrintable(Chinese.join(QStringLiteral(" | "))));
    // A few as the user meets them.
    QVERIFY(Texts.contains(QStringLiteral("msend: Dial")));
    QVERIFY(Texts.contains(QStringLiteral("N1: Show the window")));
    QVERIFY(Texts.contains(QStringLiteral("TAboutBox: About Dravik")));
    QCOMPARE(Form.StatusBar2->currentMessage(), TForm1::SimulatedServiceNotice());
    QVERIFY(Form.StatusBar2->currentMessage().startsWith(QStringLiteral("Simulated")));
  }

  // The status line's failure in English, with the code's English text.
  void EnglishFailure() {
    const TTranslations English(QStringLiteral("en"));
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(TSimService::RunTool({"fail", "Broadband", "691"}), 0);
    Form.msendClick(&Form);
    QTRY_VERIFY(!Form.LastDialFailure().isEmpty());
    const QString Shown = Form.StatusBar2->currentMessage();
    const QString Tail = QStringLiteral(" Dialling “Broadband” failed, error 691: ") +
                         QString::fromUtf8(RasErrorTextEnglish(691));
    QVERIFY2(Shown.endsWith(Tail) && Shown.size() > Tail.size(), qPrintable(Shown));
    QVERIFY(!HasChinese(Form.StatusBar2->currentMessage()));
  }

  // At the designed window size every caption fits its control, in each
  // language; so do the status line's notice and a failure.
  void TextsFit_data() {
    QTest::addColumn<QString>("Language");
    QTest::newRow("Chinese as written") << "";
    QTest::newRow("English") << "en_US";
  }
  void TextsFit() {
    QFETCH(QString, Language);
    const TTranslations Translations(Language);
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(Form.size(), QSize(537, 406));
    QVERIFY2(Clipped(Form).isEmpty(), qPrintable(Clipped(Form).join(" | ")));
    TAboutBox About;
    QVERIFY2(Clipped(About).isEmpty(), qPrintable(Clipped(About).join(" | ")));
    QCOMPARE(TSimService::RunTool({"fail", "Broadband", "691"}), 0);
    Form.msendClick(&Form);
    QTRY_VERIFY(!Form.LastDialFailure().isEmpty());
    QVERIFY2(Clipped(Form).isEmpty(), qPrintable(Clipped(Form).join(" | ")));
  }

  // The Chinese translation is the window as written: under a Chinese
  // locale the windows show exactly what they show without translations.
  void ChineseAsWritten() {
    QStringList Written;
    {
      TWindowUnderTest Window;
      TAboutBox About;
      Written = ShownTexts(Window.Create(), About);
    }
    const TTranslations Chinese(QStringLiteral("zh_CN"));
    QVERIFY(Chinese.Loaded());
    QVERIFY(!TTranslations::English());
    TWindowUnderTest Window;
    TAboutBox About;
    QCOMPARE(ShownTexts(Window.Create(), About), Written);
  }

  // The toolkit's own texts (its boxes' buttons) follow the language chosen;
  // with none chosen they stay the toolkit's own.
  void ToolkitTexts_data() {
    QTest::addColumn<QString>("Language");
    QTest::addColumn<QString>("Cancel");
    QTest::newRow("none") << ""
                          << "Cancel";
    QTest::newRow("English") << "en_US"
                             << "Cancel";
    QTest::newRow("Chinese") << "zh_CN"
                             << "取消";
  }
  void ToolkitTexts() {
    QFETCH(QString, Language);
    QFETCH(QString, Cancel);
    const TTranslations Translations(Language);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), Cancel);
  }

  // A language we have no translation for, or a folder without them: the
  // windows speak Chinese, and so do the error texts.
  void WithoutTranslation_data() {
    QTest::addColumn<QString>("Language");
    QTest::addColumn<bool>("OtherFolder");
    QTest::newRow("German") << "de_DE" << false;
    QTest::newRow("English, no translations") << "en_US" << true;
  }
  void WithoutTranslation() {
    QFETCH(QString, Language);
    QFETCH(bool, OtherFolder);
    QTemporaryDir Empty;
    const TTranslations Translations(Language,
                                     OtherFolder ? Empty.path() : TTranslations::Folder());
    QVERIFY(!Translations.Loaded());
    QVERIFY(!TTranslations::English());
    QCOMPARE(TForm1::SimulatedServiceNotice(),
             QStringLiteral("模拟拨号服务：没有驱动真实线路，显示的地址是模拟地址"));
  }
};

DRAVIK_TEST_MAIN(TestWindowLanguage)

#include "TestWindowLanguage.moc"
