// The main window: its designed form, the settings file it reads at start and
// writes at close, the entry list and the manual connect and disconnect,
// against the simulated dial-up service; and the program's start without the
// dial-up library, as a process of its own.

#include <sys/stat.h>

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include "RASManager.h"
#include "RasControl.h"
#include "RasProvider.h"
#include "TApplication.h"
#include "TPlantedFile.h"
#include "TSimService.h"
#include "TSimServiceDir.h"
#include "TestSupport.h"
#include "TimeText.h"
#include "Unit1.h"

namespace {

const QByteArray Phonebook =
    "[Broadband]\nUserName=alice@isp\nPassword=s3cret\nDialSeconds=0\n\n"
    "[Backup line]\nUserName=bob\nPassword=other\nDialSeconds=0\n\n"
    "[Refused]\nUserName=carol\nPassword=x\nDialSeconds=0\nErrorCode=691\n";

const char* const Title = "【Dravik】 V2.0";

QString Shown(int AIndex) {
  const auto& Boxes = TModalRecorder::Instance().Shown();
  return AIndex < static_cast<int>(Boxes.size()) ? QString::fromStdString(Boxes[AIndex].Text)
                                                 : QStringLiteral("<no box>");
}

// The buttons as "send stop" with + for enabled and - for disabled.
QString Buttons(const TForm1& AForm) {
  return QStringLiteral("%1send %2stop")
      .arg(AForm.msend->isEnabled() ? '+' : '-')
      .arg(AForm.mstop->isEnabled() ? '+' : '-');
}

// A dial-up service that cannot start: every call fails with 711.
class TUnusableService : public dravik::ras::RasProvider {
 public:
  std::string Name() const override { return "unusable"; }
  DWORD EnumEntries(std::vector<std::string>&) override { return Fail; }
  DWORD GetEntryDialParams(RASDIALPARAMSA&) override { return Fail; }
  DWORD Dial(const RASDIALPARAMSA&, dravik::ras::TDialNotifier, HRASCONN&) override { return Fail; }
  DWORD HangUp(HRASCONN) override { return Fail; }
  DWORD EnumConnections(std::vector<RASCONNA>&) override { return Fail; }
  DWORD GetConnectStatus(HRASCONN, RASCONNSTATUSA&) override { return Fail; }
  DWORD GetPppIpProjection(HRASCONN, RASPPPIPA&) override { return Fail; }

 private:
  static constexpr DWORD Fail = ERROR_RASMAN_CANNOT_INITIALIZE;
};

// Sets the locale variables for one test and puts the old ones back.
class TLocaleVariables {
 public:
  explicit TLocaleVariables(const QByteArray& AAll) : FSaved(qgetenv("LC_ALL")) {
    qputenv("LC_ALL", AAll);
  }
  ~TLocaleVariables() { qputenv("LC_ALL", FSaved); }

 private:
  QByteArray FSaved;
};

void SetButtons(TForm1& AForm, const QString& AState) {
  AForm.msend->setEnabled(AState.startsWith('+'));
  AForm.mstop->setEnabled(AState.contains(QStringLiteral("+stop")));
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
  TSimServiceDir FService;

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    Application().SetTitle(Title);
  }

  void init() {
    FService.WritePhonebook(Phonebook);
    QVERIFY(TSimService::HangUpEverything());
    TModalRecorder::Instance().Clear();
  }

  // The designed places, sizes and captions, at the designed window size.
  void Layout_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QRect>("Place");
    QTest::addColumn<QString>("Caption");
    QTest::newRow("Panel1") << "Panel1" << QRect(0, 0, 537, 65) << "";
    QTest::newRow("msend") << "msend" << QRect(8, 8, 81, 49) << "连接";
    QTest::newRow("mstop") << "mstop" << QRect(96, 8, 81, 49) << "断开";
    QTest::newRow("SpeedButton3") << "SpeedButton3" << QRect(184, 8, 81, 49) << "邮箱";
    QTest::newRow("SpeedButton5") << "SpeedButton5" << QRect(272, 8, 81, 49) << "主页";
    QTest::newRow("SpeedButton7") << "SpeedButton7" << QRect(448, 8, 81, 49) << "关于";
    QTest::newRow("Panel2") << "Panel2" << QRect(0, 65, 537, 40) << "";
    QTest::newRow("Label1") << "Label1" << QRect(8, 16, 62, 14) << "拨号连接：";
    QTest::newRow("ComboBox1") << "ComboBox1" << QRect(72, 12, 185, 20) << "";
    QTest::newRow("Label4") << "Label4" << QRect(264, 16, 62, 14) << "联网IP号：";
    QTest::newRow("ip") << "ip" << QRect(328, 12, 201, 21) << "";
    QTest::newRow("Panel3") << "Panel3" << QRect(0, 105, 537, 40) << "";
    QTest::newRow("Label2") << "Label2" << QRect(8, 12, 62, 14) << "用户名称：";
    QTest::newRow("Edit1") << "Edit1" << QRect(72, 10, 185, 21) << "";
    QTest::newRow("Label3") << "Label3" << QRect(264, 12, 62, 14) << "用户密码：";
    QTest::newRow("Edit2") << "Edit2" << QRect(328, 10, 201, 21) << "";
    QTest::newRow("Panel4") << "Panel4" << QRect(0, 145, 537, 40) << "";
    QTest::newRow("CheckBox1") << "CheckBox1" << QRect(8, 12, 129, 17) << "开始启动IP定时变换";
    QTest::newRow("Label5") << "Label5" << QRect(152, 16, 100, 14) << "间隔多少秒后挂断";
    QTest::newRow("SpinEdit1") << "SpinEdit1" << QRect(256, 10, 73, 21) << "";
    QTest::newRow("Label6") << "Label6" << QRect(344, 16, 100, 14) << "断网多少秒后重连";
    QTest::newRow("SpinEdit2") << "SpinEdit2" << QRect(448, 10, 81, 21) << "";
    QTest::newRow("Memo1") << "Memo1" << QRect(0, 185, 537, 406 - 185 - 38) << "";
    QTest::newRow("StatusBar2") << "StatusBar2" << QRect(0, 368, 537, 19) << "";
    QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 387, 537, 19) << "";
  }
  void Layout() {
    QFETCH(QString, Name);
    QFETCH(QRect, Place);
    QFETCH(QString, Caption);
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(Form.size(), QSize(537, 406));
    auto* Control = Form.findChild<QWidget*>(Name);
    QVERIFY(Control != nullptr);
    QCOMPARE(Control->geometry(), Place);
    if (!Caption.isEmpty()) QCOMPARE(Control->property("text").toString(), Caption);
    QCOMPARE(Control->font().family(), QStringLiteral("宋体"));
    QCOMPARE(Control->font().pixelSize(), 12);
  }

  void WindowAndStartUpSettings() {
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QVERIFY(Form.windowTitle().startsWith(QStringLiteral("【Dravik】 V2.0       http")));
    QVERIFY(!Form.windowIcon().isNull());
    QCOMPARE(Form.Edit2->echoMode(), QLineEdit::Normal);
    QVERIFY(Form.msend->autoRaise() && !Form.msend->icon().isNull());
    QCOMPARE(QToolTip::palette().color(QPalette::ToolTipBase), QColor(0, 255, 0));
    // The controls' events: a pick or an edit of the entry box, every change
    // of the check box.
    QCOMPARE(Form.ComboBox1->isEditable(), true);
    QCOMPARE(Form.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(Form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!Form.Memo1->isReadOnly());
  }

  void FieldsStretchWithTheWindow() {
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    Form.resize(737, 506);
    QCOMPARE(Form.ip->geometry(), QRect(328, 12, 401, 21));
    QCOMPARE(Form.Edit2->geometry(), QRect(328, 10, 401, 21));
    QCOMPARE(Form.SpinEdit2->geometry(), QRect(448, 10, 281, 21));
    QCOMPARE(Form.ComboBox1->geometry(), QRect(72, 12, 185, 20));
    QCOMPARE(Form.SpinEdit1->geometry(), QRect(256, 10, 73, 21));
    QCOMPARE(Form.Panel4->height(), 40);
    QCOMPARE(Form.Memo1->height(), 506 - 185 - 38);
  }

  // Each field is labelled by its label, and named by it too, except the
  // editable drop-down list, which the toolkit names by its text on this
  // platform; the unlabelled controls are named by their designed names.
  void AccessibleNames_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QString>("Label");
    QTest::addColumn<QString>("Accessible");
    QTest::newRow("ComboBox1") << "ComboBox1"
                               << "拨号连接："
                               << "Broadband";
    QTest::newRow("ip") << "ip"
                        << "联网IP号："
                        << "联网IP号：";
    QTest::newRow("Edit1") << "Edit1"
                           << "用户名称："
                           << "用户名称：";
    QTest::newRow("Edit2") << "Edit2"
                           << "用户密码："
                           << "用户密码：";
    QTest::newRow("SpinEdit1") << "SpinEdit1"
                               << "间隔多少秒后挂断"
                               << "间隔多少秒后挂断";
    QTest::newRow("SpinEdit2") << "SpinEdit2"
                               << "断网多少秒后重连"
                               << "断网多少秒后重连";
    QTest::newRow("CheckBox1") << "CheckBox1"
                               << ""
                               << "开始启动IP定时变换";
    QTest::newRow("Memo1") << "Memo1"
                           << ""
                           << "Memo1";
    QTest::newRow("StatusBar1") << "StatusBar1"
                                << ""
                                << "StatusBar1";
    QTest::newRow("StatusBar2") << "StatusBar2"
                                << ""
                                << "StatusBar2";
  }
  void AccessibleNames() {
    QFETCH(QString, Name);
    QFETCH(QString, Label);
    QFETCH(QString, Accessible);
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QAccessibleInterface* Interface =
        QAccessible::queryAccessibleInterface(Form.findChild<QWidget*>(Name));
    QVERIFY(Interface != nullptr);
    QCOMPARE(Interface->text(QAccessible::Name), Accessible);
    QStringList LabelledBy;
    for (const auto& Relation : Interface->relations(QAccessible::Label))
      LabelledBy << Relation.first->text(QAccessible::Name);
    QCOMPARE(LabelledBy, Label.isEmpty() ? QStringList{} : QStringList{Label});
  }

  // What start-up makes of the settings file's values.
  void SettingsAreRead_data() {
    QTest::addColumn<QByteArray>("Settings");
    QTest::addColumn<int>("HangUp");
    QTest::addColumn<int>("Connect");
    QTest::addColumn<bool>("Ticked");
    auto Row = [](const char* AName, const QByteArray& AHangUp, int AValue) {
      QTest::newRow(AName) << "[config]\nhanguptime=" + AHangUp + "\nconnecttime=7\n"
                           << AValue << 7 << false;
    };
    Row("60", "60", 60);
    Row("leading blank", " 60", 60);
    Row("plus sign", "+60", 60);
    Row("negative", "-5", -5);
    Row("0x prefix", "0x3C", 60);
    Row("$ prefix", "$3C", 60);
    Row("x prefix", "x3C", 60);
    Row("letters", "abc", 60);
    Row("empty", "", 60);
    Row("beyond 32 bits", "4294967296", 60);
    QTest::newRow("change 1") << QByteArray("[config]\nchange=1\n") << 60 << 20 << true;
    QTest::newRow("change 2") << QByteArray("[config]\nchange=2\n") << 60 << 20 << true;
    QTest::newRow("change 256: low 8 bits are 0")
        << QByteArray("[config]\nchange=256\n") << 60 << 20 << false;
    QTest::newRow("change -1") << QByteArray("[config]\nchange=-1\n") << 60 << 20 << true;
    QTest::newRow("other section only")
        << QByteArray("[other]\nhanguptime=5\nchange=1\n") << 60 << 20 << false;
  }
  void SettingsAreRead() {
    QFETCH(QByteArray, Settings);
    QFETCH(int, HangUp);
    QFETCH(int, Connect);
    QFETCH(bool, Ticked);
    TWindowUnderTest Window;
    Window.WriteSettings(Settings);
    TForm1& Form = Window.Create();
    QCOMPARE(Form.SpinEdit1->Value(), HangUp);
    QCOMPARE(Form.SpinEdit2->Value(), Connect);
    QCOMPARE(Form.CheckBox1->isChecked(), Ticked);
  }

  void WithoutSettingsFileCloseCreatesIt() {
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(Form.SpinEdit1->Value(), 60);
    QCOMPARE(Form.SpinEdit2->Value(), 20);
    QVERIFY(!Form.CheckBox1->isChecked());
    QVERIFY(!QFile::exists(Window.SettingsPath()));
    QVERIFY(Window.Close());
    QCOMPARE(Window.ReadSettings(),
             QByteArray("[config]\nhanguptime=60\nconnecttime=20\nchange=0\n"));
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(0));
  }

  void CloseKeepsTheRestOfTheFile() {
    TWindowUnderTest Window;
    Window.WriteSettings(
        "; written by hand\n[window]\nleft=5\n\n[CONFIG]\nChange=0\nHangUpTime=30\nextra=yes\n\n"
        "[last]\nx=1");
    TForm1& Form = Window.Create();
    QCOMPARE(Form.SpinEdit1->Value(), 30);
    Form.SpinEdit2->SetValue(45);
    QTest::mouseClick(Form.CheckBox1, Qt::LeftButton);
    QVERIFY(Window.Close());
    QCOMPARE(Window.ReadSettings(),
             QByteArray("; written by hand\n[window]\nleft=5\n\n[CONFIG]\nchange=1\nhanguptime=30\n"
                        "extra=yes\nconnecttime=45\n\n[last]\nx=1"));
  }

  // A spin edit holding text that is not a number writes 0 for its key.
  void SpinEditsWriteWhatTheyRead_data() {
    QTest::addColumn<QString>("Text1");
    QTest::addColumn<QString>("Text2");
    QTest::addColumn<QByteArray>("Written");
    QTest::newRow("numbers") << "90"
                             << "-3" << QByteArray("hanguptime=90\nconnecttime=-3\n");
    QTest::newRow("not numbers") << "abc"
                                 << "" << QByteArray("hanguptime=0\nconnecttime=0\n");
    QTest::newRow("hexadecimal and blanks") << "$10"
                                            << " 5" << QByteArray("hanguptime=16\nconnecttime=5\n");
  }
  void SpinEditsWriteWhatTheyRead() {
    QFETCH(QString, Text1);
    QFETCH(QString, Text2);
    QFETCH(QByteArray, Written);
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    Form.SpinEdit1->findChild<QLineEdit*>()->setText(Text1);
    Form.SpinEdit2->findChild<QLineEdit*>()->setText(Text2);
    QVERIFY(Window.Close());
    QCOMPARE(Window.ReadSettings(), "[config]\n" + Written + "change=0\n");
  }

  void UnwritableSettingsKeepTheWindowOpen() {
    TWindowUnderTest Window;
    Window.WriteSettings("[config]\nhanguptime=30\n");
    ::chmod(Window.SettingsPath().toLocal8Bit().constData(), 0444);
    TForm1& Form = Window.Create();
    Form.SpinEdit1->SetValue(99);
    QVERIFY(!Window.Close());
    QVERIFY(Form.isVisible());
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(1));
    QCOMPARE(TModalRecorder::Instance().Shown()[0].Title, std::string(Title));
    QCOMPARE(Shown(0), "Unable to write to " + Window.SettingsPath() + ".");
    QCOMPARE(Window.ReadSettings(), QByteArray("[config]\nhanguptime=30\n"));
    // Once the file can be written, the next close goes through.
    ::chmod(Window.SettingsPath().toLocal8Bit().constData(), 0644);
    QVERIFY(Window.Close());
    QCOMPARE(Window.ReadSettings(),
             QByteArray("[config]\nhanguptime=99\nconnecttime=20\nchange=0\n"));
  }

  void SettingsFileIsNamedAfterTheExecutable_data() {
    QTest::addColumn<QString>("Executable");
    QTest::addColumn<QString>("Settings");
    QTest::newRow("Cycler.EXE") << "Cycler.EXE"
                                << "cycler.ini";
    QTest::newRow("tool") << "tool"
                          << "tini";
  }
  void SettingsFileIsNamedAfterTheExecutable() {
    QFETCH(QString, Executable);
    QFETCH(QString, Settings);
    TWindowUnderTest Window;
    Window.ExeName = Executable;
    QFile File(Window.SettingsPath(Settings));
    QVERIFY(File.open(QIODevice::WriteOnly));
    File.write("[config]\nhanguptime=33\n");
    File.close();
    TForm1& Form = Window.Create();
    QCOMPARE(QString::fromStdString(Form.IniFileName()), Settings);
    QCOMPARE(Form.SpinEdit1->Value(), 33);
    QVERIFY(Window.Close());
    QVERIFY(File.open(QIODevice::ReadOnly));
    QCOMPARE(File.readAll(), QByteArray("[config]\nhanguptime=33\nconnecttime=20\nchange=0\n"));
    QCOMPARE(QDir(Window.Folder.path()).entryList(QDir::Files), QStringList{Settings});
  }

  // The user picks the second entry and types over the credentials; connect
  // reads the phonebook again and dials its first entry with the stored ones.
  void ConnectDialsTheFirstEntry() {
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(Form.ComboBox1->count(), 3);
    QCOMPARE(Form.ComboBox1->currentText(), QStringLiteral("Broadband"));
    QCOMPARE(Form.Edit1->text(), QStringLiteral("alice@isp"));
    QCOMPARE(Form.Edit2->text(), QStringLiteral("s3cret"));
    QTest::keyClick(Form.ComboBox1, Qt::Key_Down);
    QCOMPARE(Form.ComboBox1->currentIndex(), 1);
    QCOMPARE(Form.rasm1->EntryName(), std::string("Backup line"));
    QCOMPARE(Form.Edit1->text(), QStringLiteral("bob"));
    QCOMPARE(Form.Edit2->text(), QStringLiteral("other"));
    Form.Edit1->setText(QStringLiteral("mallory"));
    Form.Edit2->setText(QStringLiteral("guess"));
    // The phonebook changes meanwhile: connect lists it afresh.
    FService.WritePhonebook("[Broadband]\nUserName=alice2\nPassword=new\nDialSeconds=0\n" +
                            Phonebook.mid(Phonebook.indexOf("[Backup line]")));
    QTest::mouseClick(Form.msend, Qt::LeftButton);
    QCOMPARE(Form.ComboBox1->currentIndex(), 0);
    QCOMPARE(Form.rasm1->EntryName(), std::string("Broadband"));
    QCOMPARE(Form.Edit1->text(), QStringLiteral("alice2"));
    QCOMPARE(Form.Edit2->text(), QStringLiteral("new"));
    // The simulated line accepts only the stored credentials.
    QTRY_COMPARE(TSimService::ConnectedEntries(), QStringList{"Broadband"});
    QCOMPARE(Buttons(Form), QStringLiteral("-send +stop"));
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(0));
  }

  // Editing the box's text counts as a change, but only the selected item's
  // name reaches the dialler.
  void TypedEntryNameIsNotUsed() {
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    Form.Edit1->clear();
    QTest::keyClicks(Form.ComboBox1->lineEdit(), QStringLiteral("X"));
    QCOMPARE(Form.Edit1->text(), QStringLiteral("alice@isp"));
    QCOMPARE(Form.rasm1->EntryName(), std::string("Broadband"));
  }

  void EmptyPhonebook() {
    FService.WritePhonebook("; no entries\n");
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(Form.ComboBox1->count(), 0);
    QCOMPARE(Form.ComboBox1->currentIndex(), -1);
    QCOMPARE(Form.Edit1->text(), QString());
    QCOMPARE(Buttons(Form), QStringLiteral("+send -stop"));
    QTest::mouseClick(Form.msend, Qt::LeftButton);
    QCOMPARE(Buttons(Form), QStringLiteral("-send +stop"));
    QCOMPARE(TSimService::ConnectedEntries(), QStringList{});
  }

  // The buttons after each operation that sets them, from the opposite state.
  void ButtonStates_data() {
    QTest::addColumn<bool>("LineUp");
    QTest::addColumn<QString>("Before");
    QTest::addColumn<QString>("Operation");
    QTest::addColumn<QString>("After");
    QTest::newRow("entry picked while connected") << true << "+send -stop"
                                                  << "pick"
                                                  << "-send +stop";
    QTest::newRow("entry picked while not connected") << false << "-send +stop"
                                                      << "pick"
                                                      << "+send -stop";
    QTest::newRow("connect") << false << "+send -stop"
                             << "connect"
                             << "-send +stop";
    QTest::newRow("connect, the dial fails") << false << "+send -stop"
                                             << "connect failing"
                                             << "-send +stop";
    QTest::newRow("disconnect") << true << "-send +stop"
                                << "disconnect"
                                << "+send -stop";
    QTest::newRow("connect while connected: unchanged") << true << "+send -stop"
                                                        << "connect"
                                                        << "+send -stop";
    QTest::newRow("disconnect while not connected: unchanged") << false << "-send +stop"
                                                               << "disconnect"
                                                               << "-send +stop";
    QTest::newRow("line drops: the monitor leaves them") << true << "-send +stop"
                                                         << "drop"
                                                         << "-send +stop";
  }
  void ButtonStates() {
    QFETCH(bool, LineUp);
    QFETCH(QString, Before);
    QFETCH(QString, Operation);
    QFETCH(QString, After);
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    if (LineUp) QCOMPARE(TSimService::RunTool({"dial", "Broadband"}), 0);
    SetButtons(Form, Before);
    if (Operation == "pick") {
      // Picking the entry that is selected already is a pick all the same.
      QTest::keyClick(Form.ComboBox1, Qt::Key_Down);
      QTest::keyClick(Form.ComboBox1, Qt::Key_Up);
      QCOMPARE(Form.ComboBox1->currentIndex(), 0);
    } else if (Operation == "connect") {
      QTest::mouseClick(Form.msend, Qt::LeftButton);
    } else if (Operation == "connect failing") {
      QCOMPARE(TSimService::RunTool({"fail", "Broadband", "678"}), 0);
      QTest::mouseClick(Form.msend, Qt::LeftButton);
      QTRY_COMPARE(TSimService::ConnectedEntries(), QStringList{});
    } else if (Operation == "disconnect") {
      QTest::mouseClick(Form.mstop, Qt::LeftButton);
    } else if (Operation == "drop") {
      TManualClock::Instance().Advance(1000);
      QCOMPARE(TSimService::RunTool({"drop", "Broadband"}), 0);
      TManualClock::Instance().Advance(1000);
      QVERIFY(Form.Memo1->toPlainText().endsWith(QStringLiteral(" disconnected")));
    }
    TWindowUnderTest::Settle();
    QCOMPARE(Buttons(Form), After);
  }

  // The connect and disconnect actions that find nothing to do leave
  // everything as it was: the pick, the typed credentials, the line.
  void ActionsWithNothingToDo_data() {
    QTest::addColumn<bool>("LineUp");
    QTest::addColumn<QString>("Button");
    QTest::newRow("connect while connected") << true << "msend";
    QTest::newRow("disconnect while not connected") << false << "mstop";
  }
  void ActionsWithNothingToDo() {
    QFETCH(bool, LineUp);
    QFETCH(QString, Button);
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QTest::keyClick(Form.ComboBox1, Qt::Key_Down);
    if (LineUp) QCOMPARE(TSimService::RunTool({"dial", "Backup line"}), 0);
    Form.Edit1->setText(QStringLiteral("typed"));
    Form.msend->setEnabled(true);
    Form.mstop->setEnabled(true);
    const QString Address = LineUp ? TSimService::AddressOf(QStringLiteral("Backup line")) : "";
    QTest::mouseClick(Form.findChild<QToolButton*>(Button), Qt::LeftButton);
    TWindowUnderTest::Settle();
    QCOMPARE(Buttons(Form), QStringLiteral("+send +stop"));
    QCOMPARE(Form.ComboBox1->currentIndex(), 1);
    QCOMPARE(Form.Edit1->text(), QStringLiteral("typed"));
    QCOMPARE(TSimService::ConnectedEntries(), LineUp ? QStringList{"Backup line"} : QStringList{});
    QCOMPARE(TSimService::AddressOf(QStringLiteral("Backup line")), Address);
  }

  // The dialler's error hangs up a connection that is still listed, unless
  // the code is 0.
  void DiallerErrorHangsUp_data() {
    QTest::addColumn<int>("Code");
    QTest::addColumn<QStringList>("Connected");
    QTest::newRow("code 0") << 0 << QStringList{"Broadband"};
    QTest::newRow("code 678") << 678 << QStringList{};
  }
  void DiallerErrorHangsUp() {
    QFETCH(int, Code);
    QFETCH(QStringList, Connected);
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(TSimService::RunTool({"dial", "Broadband"}), 0);
    Form.rasm1->OnError(Form.rasm1, Code);
    QTRY_COMPARE(TSimService::ConnectedEntries(), Connected);
  }

  void ClosingWhileConnectedLeavesTheLineUp() {
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QTest::mouseClick(Form.msend, Qt::LeftButton);
    QTRY_COMPARE(TSimService::ConnectedEntries(), QStringList{"Broadband"});
    const QString Address = TSimService::AddressOf(QStringLiteral("Broadband"));
    QVERIFY(Window.Close());
    Window.Form.reset();
    TWindowUnderTest::Settle();
    QCOMPARE(TSimService::ConnectedEntries(), QStringList{"Broadband"});
    QCOMPARE(TSimService::AddressOf(QStringLiteral("Broadband")), Address);
  }

  // StatusBar2: the last dial-up failure with its time, entry, code and
  // text until the next connect; otherwise, on the simulated service, that
  // no real line is driven.
  void StatusBar2ShowsTheLastFailure() {
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(Form.StatusBar2->currentMessage(), TForm1::SimulatedServiceNotice());
    QCOMPARE(TSimService::RunTool({"fail", "Broadband", "691"}), 0);
    QTest::mouseClick(Form.msend, Qt::LeftButton);
    QTRY_VERIFY(!Form.LastDialFailure().isEmpty());
    const QRegularExpression Failure(QStringLiteral(
        "^\\d\\d:\\d\\d:\\d\\d 拨号连接“Broadband”失败，错误 691：用户名或密码错误$"));
    QVERIFY2(Failure.match(Form.StatusBar2->currentMessage()).hasMatch(),
             qPrintable(Form.StatusBar2->currentMessage()));
    // No box stops an unattended cycle.
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(0));
    // The next dial connects; the monitor's connected event ends the failure.
    Form.msendClick(&Form);
    QTRY_COMPARE(TSimService::ConnectedEntries(), QStringList{"Broadband"});
    TManualClock::Instance().Advance(1000);
    TWindowUnderTest::Settle();
    QTRY_COMPARE(Form.StatusBar2->currentMessage(), TForm1::SimulatedServiceNotice());
    QVERIFY(Form.LastDialFailure().isEmpty());
  }

  void StatusBar2WithAnUnusableService() {
    dravik::ras::SetProviderForTesting(std::make_shared<TUnusableService>());
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    const QString Shown = Form.StatusBar2->currentMessage();
    dravik::ras::SetProviderForTesting(nullptr);
    QCOMPARE(Form.ComboBox1->count(), 0);
    const QRegularExpression Failure(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d 拨号失败，错误 711：拨号服务无法启动$"));
    QVERIFY2(Failure.match(Shown).hasMatch(), qPrintable(Shown));
  }

  // A FIFO in the phonebook's place blocks neither the window nor the tool:
  // the phonebook cannot be read, and the window says so.
  void AFifoPhonebookBlocksNothing() {
    QVERIFY(QFile::remove(FService.Phonebook()));
    QCOMPARE(::mkfifo(FService.Phonebook().toLocal8Bit().constData(), 0600), 0);
    const int Tool = TSimService::RunTool({"entries"});
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    const QString Shown = Form.StatusBar2->currentMessage();
    QVERIFY(QFile::remove(FService.Phonebook()));
    QVERIFY2(Tool > 0, qPrintable(QString::number(Tool)));
    QCOMPARE(Form.ComboBox1->count(), 0);
    QVERIFY2(Shown.endsWith(QStringLiteral("错误 622：无法读取电话簿")), qPrintable(Shown));
  }

  // Something that cannot be a settings file (a folder in its place) is
  // refused with a box at start and at close; the close after that box ends
  // the program all the same.
  void AFolderInPlaceOfTheSettings() {
    TWindowUnderTest Window;
    QVERIFY(QDir().mkdir(Window.SettingsPath()));
    TForm1& Form = Window.Create();
    QCOMPARE(Form.SpinEdit1->Value(), 60);
    QCOMPARE(Shown(0), "Unable to read " + Window.SettingsPath() + ".");
    QVERIFY(!Window.Close());
    QCOMPARE(Shown(1), "Unable to write to " + Window.SettingsPath() + ".");
    QVERIFY(Window.Close());
    QVERIFY(!Form.isVisible());
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(2));
    QVERIFY(QFileInfo(Window.SettingsPath()).isDir());
  }

  // Whatever a user may have under the settings file's name: the window
  // shows the file's values or the defaults, says at start what it cannot
  // read, and closing either writes the settings (through a link, at the
  // link's target) or says "Unable to write to ..." once and changes nothing
  // of the user's. A folder and a read-only file are the tests above.
  void BadSettingsFiles_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<int>("HangUp");
    QTest::addColumn<int>("Connect");
    QTest::addColumn<bool>("ReadRefused");
    // Null: the close is refused and nothing changes.
    QTest::addColumn<QByteArray>("Written");
    const QByteArray Ours = "[config]\nhanguptime=45\n";
    const QByteArray Closed = "[config]\nhanguptime=77\nconnecttime=20\nchange=0\n";
    const QByteArray Garbage = "this is no\x1b[31m settings file\n=\n[[[\n";
    QByteArray Binary;
    for (int Byte = 0; Byte < 256; ++Byte) Binary += char(Byte);
    QTest::newRow("garbage text") << "file" << Garbage << 60 << 20 << false << Garbage + Closed;
    QTest::newRow("binary") << "file" << Binary << 60 << 20 << false << Binary + "\n" + Closed;
    QTest::newRow("truncated inside a key")
        << "file" << QByteArray("[config]\nconnecttime=33\nhangupt") << 60 << 33 << false
        << QByteArray("[config]\nconnecttime=33\nhangupt\nhanguptime=77\nchange=0\n");
    QTest::newRow("huge") << "huge" << Ours << 60 << 20 << true << QByteArray();
    QTest::newRow("unreadable") << "unreadable" << Ours << 60 << 20 << true << QByteArray();
    QTest::newRow("link to a file elsewhere")
        << "link" << Ours << 45 << 20 << false << QByteArray(Closed);
    QTest::newRow("link to a read-only file")
        << "link to a read-only file" << Ours << 45 << 20 << false << QByteArray();
    QTest::newRow("link to a folder")
        << "link to a folder" << Ours << 60 << 20 << true << QByteArray();
    QTest::newRow("dangling link: the file is made at its target")
        << "dangling link" << Ours << 60 << 20 << false << QByteArray(Closed);
    QTest::newRow("link into a missing folder")
        << "link into a missing folder" << Ours << 60 << 20 << false << QByteArray();
    QTest::newRow("link loop") << "link loop" << Ours << 60 << 20 << true << QByteArray();
  }
  void BadSettingsFiles() {
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Content);
    QFETCH(int, HangUp);
    QFETCH(int, Connect);
    QFETCH(bool, ReadRefused);
    QFETCH(QByteArray, Written);
    if (!TPlantedFile::MeaningfulFor(Kind)) QSKIP("root reads a file without read permission");
    TWindowUnderTest Window;
    const QString Settings = Window.SettingsPath();
    QVERIFY(TPlantedFile::Plant(Settings, Kind, Content));
    const QStringList Before = TPlantedFile::Snapshot(Window.Folder.path());
    TForm1& Form = Window.Create();
    QCOMPARE(Form.SpinEdit1->Value(), HangUp);
    QCOMPARE(Form.SpinEdit2->Value(), Connect);
    QCOMPARE(Shown(0), ReadRefused ? "Unable to read " + Settings + "." : "<no box>");
    const size_t AtStart = TModalRecorder::Instance().Shown().size();
    Form.SpinEdit1->SetValue(77);
    if (Written.isNull()) {
      QVERIFY(!Window.Close());
      QCOMPARE(Shown(int(AtStart)), "Unable to write to " + Settings + ".");
      QVERIFY(Window.Close());
      QCOMPARE(TModalRecorder::Instance().Shown().size(), AtStart + 1);
      QCOMPARE(TPlantedFile::Snapshot(Window.Folder.path()), Before);
      return;
    }
    QVERIFY(Window.Close());
    QCOMPARE(TModalRecorder::Instance().Shown().size(), AtStart);
    QCOMPARE(Window.ReadSettings(), Written);
    // A link stays a link to the same place.
    const bool Link = Kind.contains("link");
    QCOMPARE(QFileInfo(Settings).isSymLink(), Link);
    if (Link) QCOMPARE(QFileInfo(Settings).symLinkTarget(), TPlantedFile::Elsewhere(Settings));
  }

  // The log's time text under real locales, from the monitor's event to the
  // memo: the locale's own long time format.
  void LogTimeUnderRealLocales_data() {
    QTest::addColumn<QByteArray>("Locale");
    QTest::addColumn<QString>("Format");
    QTest::newRow("en_US: 12-hour, AM/PM after") << QByteArray("en_US.UTF-8") << "hh:mm:ss AP";
    // glibc's Chinese time format ("%H时%M分%S秒") is a 24-hour one.
    QTest::newRow("zh_CN: 24-hour") << QByteArray("zh_CN.UTF-8") << "HH:mm:ss";
    QTest::newRow("de_DE: 24-hour") << QByteArray("de_DE.UTF-8") << "HH:mm:ss";
  }
  void LogTimeUnderRealLocales() {
    QFETCH(QByteArray, Locale);
    QFETCH(QString, Format);
    {
      const TLocaleVariables Variables(Locale);
      SetLongTimeFormat(TLongTimeFormat::FromLocale());
    }
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QCOMPARE(TSimService::RunTool({"dial", "Broadband"}), 0);
    const QTime Before = QTime::currentTime();
    TManualClock::Instance().Advance(1000);
    TWindowUnderTest::Settle();
    QTRY_VERIFY(!Form.Memo1->toPlainText().isEmpty());
    const QTime After = QTime::currentTime();
    SetLongTimeFormat(TLongTimeFormat());
    const QString Line = Form.Memo1->toPlainText();
    const QLocale C = QLocale::c();
    QVERIFY2(Line == C.toString(Before, Format) + " connected" ||
                 Line == C.toString(After, Format) + " connected",
             qPrintable(Line));
  }

  // The program itself, started with a dial-up library beside it that lacks
  // the dial-up calls: the monitor's stored value is refused while the window
  // is created, the error is shown, and the program ends without a window.
  // With the real library the same copy starts and runs.
  void StartWithoutTheDialUpLibrary_data() {
    QTest::addColumn<bool>("StandIn");
    QTest::newRow("library without the dial-up calls") << true;
    QTest::newRow("the dial-up library") << false;
  }
  void StartWithoutTheDialUpLibrary() {
    QFETCH(bool, StandIn);
    QTemporaryDir Folder;
    const QString Program = Folder.filePath(QStringLiteral("dravik.bin"));
    QVERIFY(QFile::copy(QStringLiteral(DRAVIK_PROGRAM), Program));
    if (StandIn)
      QVERIFY(QFile::copy(QStringLiteral(DRAVIK_NOT_RASAPI),
                          Folder.filePath(QStringLiteral("librasapi32.so"))));
    QProcess Dravik;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    Environment.insert(QStringLiteral("DRAVIK_TEST_ANSWER_BOXES"), QStringLiteral("1"));
    Environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
    Dravik.setProcessEnvironment(Environment);
    Dravik.start(Program, {});
    QVERIFY(Dravik.waitForStarted());
    const bool Ended = Dravik.waitForFinished(StandIn ? 30000 : 1500);
    const QString Errors = QString::fromLocal8Bit(Dravik.readAllStandardError());
    if (StandIn) {
      QVERIFY(Ended);
      QCOMPARE(Dravik.exitStatus(), QProcess::NormalExit);
      QCOMPARE(Dravik.exitCode(), 1);
      QVERIFY2(Errors.contains(QStringLiteral(
                   "dravik: box: RASAPI Not Loaded, unable to access RAS Functions.\n")),
               qPrintable(Errors));
    } else {
      QVERIFY2(!Ended, qPrintable(Errors));
      QVERIFY(!Errors.contains(QStringLiteral("RASAPI")));
      Dravik.kill();
      Dravik.waitForFinished();
    }
    // The creation handler never ran far enough to name a settings file, and
    // nothing was closed: no file appears.
    QVERIFY(!QFile::exists(Folder.filePath(QStringLiteral("dravik.ini"))));
  }
};

DRAVIK_TEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
