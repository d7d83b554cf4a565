#include "Unit1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>
#include <algorithm>
#include <utility>
#include <vector>

#include "ButtonPictures.h"
#include "DesignedFont.h"
#include "Exception.h"
#include "IniFile.h"
#include "Maker.h"
#include "MemoLines.h"
#include "RasErrorText.h"
#include "RasProviderName.h"
#include "TApplication.h"
#include "TTranslations.h"
#include "TimeText.h"
#include "uAboutBox.h"

namespace {

const char* const Section = "config";

// The designed outer size: the client area of 537 x 406 inside the border
// and the caption.
constexpr int OuterWidth = 545;
constexpr int OuterHeight = 433;
constexpr int ClientWidth = 537;

// The panels' fields that stretch with the window keep their designed gap to
// the right edge.
class TStretchToRight : public QObject {
 public:
  TStretchToRight(QWidget* AField, int ADesignedPanelWidth)
      : QObject(AField),
        FField(AField),
        FRightGap(ADesignedPanelWidth - AField->geometry().right() - 1) {
    AField->parentWidget()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override {
    if (AEvent->type() == QEvent::Resize) {
      const int Width = FField->parentWidget()->width() - FField->x() - FRightGap;
      FField->resize(std::max(Width, 0), FField->height());
    }
    return QObject::eventFilter(AWatched, AEvent);
  }

 private:
  QWidget* FField;
  int FRightGap;
};

QString FromSystem(const std::string& AText) { return QString::fromLocal8Bit(AText.c_str()); }

// The dial-up error's short text in the windows' language.
QString DialErrorText(DWORD AError) {
  return QString::fromUtf8(TTranslations::English() ? RasErrorTextEnglish(AError)
                                                    : RasErrorText(AError));
}

}  // namespace

TForm1::TForm1(const std::string& AExePath, QWidget* AParent)
    : QWidget(AParent), TComponent(nullptr), FExePath(AExePath) {
  SetName("Form1");
  setupUi(this);
  setWindowTitle(QStringLiteral("【Dravik】 V2.0       ") + QString::fromUtf8(Maker::HomePage));
  setWindowIcon(WindowPicture());
  UseDesignedFont(this);
  msend->setIcon(ButtonPicture(TButtonPicture::Connect));
  mstop->setIcon(ButtonPicture(TButtonPicture::Disconnect));
  SpeedButton3->setIcon(ButtonPicture(TButtonPicture::Mail));
  SpeedButton5->setIcon(ButtonPicture(TButtonPicture::HomePage));
  SpeedButton7->setIcon(ButtonPicture(TButtonPicture::About));
  StatusBar1->addWidget(StatusPanel1, 0);
  StatusBar1->addWidget(StatusPanel2, 1);
  StatusPanel1->setText(Maker::Text(Maker::NameLine));
  StatusPanel2->setText(Maker::Text(Maker::ContactLine));
  new TStretchToRight(ip, ClientWidth);
  new TStretchToRight(Edit2, ClientWidth);
  new TStretchToRight(SpinEdit2, ClientWidth);
  // A pick fires activated(); an edit of the box's text fires textEdited()
  // of its edit field. A selection by program fires neither.
  connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this,
          qOverload<>(&TForm1::ComboBox1Change));

  resize(ClientWidth, 406);
  if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
    const QRect Desktop = Screen->geometry();
    move(Desktop.x() + (Desktop.width() - OuterWidth) / 2,
         Desktop.y() + (Desktop.height() - OuterHeight) / 2);
  }

  ApplyStoredValues();
  for (TComponent* Component : Components()) Component->Loaded();
  // The creation handler's errors are shown; the window is created all the same.
  TApplication::Guarded([this] { FormCreate(this); });
}

TForm1::~TForm1() {
  // The minimise notification must not outlive the window it was bound to.
  Application().OnMinimize.Unbind();
  if (Application().MainForm() == this) Application().SetMainForm(nullptr);
}

// The non-visual components with the values and bindings the window was
// designed with, applied in the order the designer stored them, each one's
// values right after its creation. The monitor refuses its stored Enabled
// when the dial-up library is missing: that exception ends the creation.
void TForm1::ApplyStoredValues() {
  CreateTrayComponents();

  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->SetInterval(15000);
  Timer1->OnTimer.Bind(this, &TForm1::Timer1Timer);

  Timer2 = new TTimer(this);
  Timer2->SetName("Timer2");
  Timer2->SetEnabled(false);
  Timer2->SetInterval(15000);
  Timer2->OnTimer.Bind(this, &TForm1::Timer2Timer);

  rasm1 = new TRASManager(this);
  rasm1->SetName("rasm1");
  rasm1->SetDialAsync(true);
  rasm1->SetTimeout(0);
  rasm1->OnError.Bind(this, &TForm1::rasm1Error);

  Ras = new TRasMonitor(this);
  Ras->SetName("Ras");
  Ras->SetEnabled(false);
  Ras->SetPollInterval(1000);
  // Report-only properties: stored, and ignored when written.
  Ras->SetOnline(false);
  Ras->SetRasApiLoaded(true);
  Ras->SetLocalIP("127.0.0.1");
  Ras->SetLocalHost("localhost");
  Ras->OnRasConnected.Bind(this, &TForm1::RasRasConnected);
  Ras->OnRasDisconnected.Bind(this, &TForm1::RasRasDisconnected);
}

QString TForm1::SimulatedServiceNotice() {
  return tr("模拟拨号服务：没有驱动真实线路，显示的地址是模拟地址");
}

uint32_t TForm1::IntervalOf(int32_t ASeconds) {
  // Wrap-around kept on purpose: a negative or huge spin value gives a long
  // wait, as the cycle has always done, rather than an error; unsigned
  // arithmetic wraps exactly as the signed product does, without the
  // undefined behaviour of a signed overflow.
  return static_cast<uint32_t>(ASeconds) * 1000u;
}

void TForm1::FormCreate(TObject*) {
  Application().OnMinimize.Bind(this, &TForm1::N2Click);

  QPalette TipColours = QToolTip::palette();
  TipColours.setColor(QPalette::ToolTipBase, QColor(0, 255, 0));
  QToolTip::setPalette(TipColours);

  FIniFileName = IniFileNameFor(FExePath);
  FSettingsFilePath = SettingsFilePathFor(FExePath);
  const TIniFile Settings(FSettingsFilePath);
  // Something that cannot be a settings file is refused with the error box;
  // the defaults stand in for its values.
  if (Settings.Unreadable())
    TApplication::HandleException(
        std::make_exception_ptr(Exception("Unable to read " + FSettingsFilePath)));
  SpinEdit1->SetValue(Settings.ReadInteger(Section, "hanguptime", 60));
  SpinEdit2->SetValue(Settings.ReadInteger(Section, "connecttime", 20));
  // A ticked box runs CheckBox1Click here, which arms Timer1 with the
  // hang-up time just read.
  SetCheckBox1Checked((Settings.ReadInteger(Section, "change", 0) & 0xFF) != 0);

  // Told by the dial-up library itself, before the first call can fail.
  FSimulatedService = RasProviderName() == "sim";
  ShowDialStatus();

  FillEntryList();
  ComboBox1Change(this);

  Ras->SetEnabled(true);
  ShowAddress();

  ShowSplash();

  if (CheckBox1->isChecked()) {
    Timer1->SetInterval(IntervalOf(SpinEdit1->Value()));
    Timer1->SetEnabled(true);
  } else {
    Timer1->SetEnabled(false);
  }
}

void TForm1::FormClose(TObject*) {
  // The user's configuration folder may not exist yet.
  QDir().mkpath(QFileInfo(QString::fromStdString(FSettingsFilePath)).absolutePath());
  TIniFile Settings(FSettingsFilePath);
  // One replacement for the three keys: the file is wholly old or wholly new.
  Settings.WriteStrings(Section, {{"hanguptime", std::to_string(SpinEdit1->Value())},
                                  {"connecttime", std::to_string(SpinEdit2->Value())},
                                  {"change", CheckBox1->isChecked() ? "1" : "0"}});
}

void TForm1::closeEvent(QCloseEvent* AEvent) {
  try {
    FormClose(this);
  } catch (...) {
    // The settings could not be written: the window stays open, once. The
    // user has been told; the next close ends the program all the same, so
    // that it can always be ended from its own window.
    if (!FSettingsWriteFailed) {
      FSettingsWriteFailed = true;
      AEvent->ignore();
      TApplication::HandleException(std::current_exception());
      return;
    }
  }
  AEvent->accept();
  if (Application().MainForm() == this) QCoreApplication::quit();
}

void TForm1::FillEntryList() {
  std::vector<std::string> Names;
  ListPhonebookEntries(Names);
  ComboBox1->clear();
  // Each item keeps the name's bytes as the platform gave them, so that the
  // dialler gets back exactly the name it listed.
  for (const std::string& Name : Names)
    ComboBox1->addItem(FromSystem(Name), QByteArray(Name.data(), static_cast<int>(Name.size())));
  if (ComboBox1->count() > 0) ComboBox1->setCurrentIndex(0);
}

void TForm1::ComboBox1Change(TObject*) {
  // The selected item's name; what the user typed into the box is not a name.
  const int Index = ComboBox1->currentIndex();
  const QByteArray Name = Index >= 0 ? ComboBox1->itemData(Index).toByteArray() : QByteArray();
  rasm1->SetEntryName(Name.toStdString());
  Edit1->setText(FromSystem(rasm1->UserName()));
  Edit2->setText(FromSystem(rasm1->Password()));
  const bool Connected = rasm1->Connected();
  msend->setEnabled(!Connected);
  mstop->setEnabled(Connected);
}

void TForm1::msendClick(TObject* ASender) {
  if (rasm1->Connected()) return;
  FillEntryList();
  ComboBox1Change(ASender);
  rasm1->Dial();
  // Whatever the dial achieved: its outcome arrives later, from the monitor
  // or as an error.
  mstop->setEnabled(true);
  msend->setEnabled(false);
}

void TForm1::mstopClick(TObject*) {
  if (!rasm1->Connected()) return;
  rasm1->HangUp();
  mstop->setEnabled(false);
  msend->setEnabled(true);
}

void TForm1::rasm1Error(TObject*, int AError) {
  if (AError == 0) return;
  // Shown where an unattended cycle needs no answer: no box.
  const QString Entry = FromSystem(rasm1->EntryName());
  const QString What = Entry.isEmpty() ? tr("拨号失败") : tr("拨号连接“%1”失败").arg(Entry);
  FLastDialFailure = tr("%1 %2，错误 %3：%4")
                         .arg(TimeText(), What)
                         .arg(AError)
                         .arg(DialErrorText(static_cast<DWORD>(AError)));
  ShowDialStatus();
  // A connection still listed after a failed dial is hung up.
  rasm1->HangUp();
}

void TForm1::ShowDialStatus() {
  if (!FLastDialFailure.isEmpty())
    StatusBar2->showMessage(FLastDialFailure);
  else if (FSimulatedService)
    StatusBar2->showMessage(SimulatedServiceNotice());
  else
    StatusBar2->clearMessage();
}

void TForm1::CheckBox1Click(TObject*) {
  if (CheckBox1->isChecked()) {
    Timer1->SetInterval(IntervalOf(SpinEdit1->Value()));
    Timer1->SetEnabled(true);
  } else {
    // An offline phase already running goes on to its redial.
    Timer1->SetEnabled(false);
  }
}

void TForm1::Timer1Timer(TObject* ASender) {
  Timer1->SetEnabled(false);
  mstopClick(ASender);
  Timer2->SetInterval(IntervalOf(SpinEdit2->Value()));
  Timer2->SetEnabled(true);
}

void TForm1::Timer2Timer(TObject* ASender) {
  Timer2->SetEnabled(false);
  msendClick(ASender);
  // The cycle goes on whether or not the box is still ticked.
  Timer1->SetInterval(IntervalOf(SpinEdit1->Value()));
  Timer1->SetEnabled(true);
}

void TForm1::ShowAddress() {
  ip->clear();
  ip->setText(FromSystem(FieldText(Ras->ConnectionDetails().IPAddress)));
  if (ip->text().isEmpty()) ip->setText(FromSystem(Ras->LocalIP()));
}

void TForm1::RasRasConnected(TObject*, TRasConnectionDetails) {
  // The monitor's current record carries the address only in the poll that
  // went online, which is the one raising this event.
  ShowAddress();
  // A connect ends the failure shown.
  FLastDialFailure.clear();
  ShowDialStatus();
  repaint();
  AppendLogLine(TimeText() + QStringLiteral(" connected"));
}

void TForm1::RasRasDisconnected(TObject*, TRasConnectionDetails) {
  AppendLogLine(TimeText() + QStringLiteral(" disconnected"));
  if (MemoLineCount(Memo1) > MaxLogLines) Memo1->clear();
  // The address field keeps the address of the connection that ended.
}

void TForm1::AppendLogLine(const QString& AText) {
  // An empty last line (text that ends in a line break, the user's included)
  // is not a line of the log: the new line takes its place.
  const QTextBlock Last = Memo1->document()->lastBlock();
  if (Memo1->document()->blockCount() > 1 && Last.length() <= 1) {
    QTextCursor Cursor(Last);
    Cursor.insertText(AText);
    Memo1->ensureCursorVisible();
  } else {
    Memo1->appendPlainText(AText);
  }
}

void TForm1::RunFromControl(void (TForm1::*AHandler)(TObject*)) {
  try {
    (this->*AHandler)(this);
  } catch (...) {
    if (FKeepControlError) {
      if (!FControlError) FControlError = std::current_exception();
    } else {
      TApplication::HandleException(std::current_exception());
    }
  }
}

void TForm1::SetCheckBox1Checked(bool AChecked) {
  FKeepControlError = true;
  CheckBox1->setChecked(AChecked);
  FKeepControlError = false;
  if (FControlError) std::rethrow_exception(std::exchange(FControlError, nullptr));
}

void TForm1::msendClick() { RunFromControl(&TForm1::msendClick); }
void TForm1::mstopClick() { RunFromControl(&TForm1::mstopClick); }
void TForm1::ComboBox1Change() { RunFromControl(&TForm1::ComboBox1Change); }
void TForm1::CheckBox1Click() { RunFromControl(&TForm1::CheckBox1Click); }
