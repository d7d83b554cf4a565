#pragma once

#include <QWidget>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "CPRasMonitor.h"
#include "IniFileName.h"
#include "RASManager.h"
#include "TComponent.h"
#include "TTimer.h"
#include "antTaskbarIcon.h"
#include "ui_Unit1.h"

class QCloseEvent;
class TAboutBox;
class TMenuItem;
class TPopupMenu;

// The main window: the entry list with the entry's stored credentials, the
// manual connect and disconnect, the timed reconnect cycle, the address field
// and the event log. It owns every working component of the program.
class TForm1 : public QWidget, public TComponent, public Ui_TForm1 {
  Q_OBJECT
 public:
  // The settings file lives beside AExePath (the running executable unless a
  // caller names another). Creating the window applies the components'
  // stored values and runs FormCreate; a stored value the platform refuses
  // (the monitor without its dial-up library) ends the creation with its
  // exception.
  explicit TForm1(const std::string& AExePath = ExecutablePath(), QWidget* AParent = nullptr);
  ~TForm1() override;

  // The non-visual components, under their designed names (the names the
  // stored form and the tests use).
  TTimer* Timer1 = nullptr;                    // hang-up timer: ends the online phase of the cycle
  TTimer* Timer2 = nullptr;                    // redial timer: ends the offline phase of the cycle
  TRASManager* rasm1 = nullptr;                // the dialler: dials and hangs up the selected entry
  TRasMonitor* Ras = nullptr;                  // the monitor: reports the line going up and down
  TantTaskbarIcon* antTaskbarIcon1 = nullptr;  // the icon in the notification area
  TPopupMenu* PopupMenu1 = nullptr;            // the icon's menu: N1, N2, N3
  TMenuItem* N1 = nullptr;
  TMenuItem* N2 = nullptr;
  TMenuItem* N3 = nullptr;
  // The About window start-up showed as a splash; hidden ever since.
  TAboutBox* SplashAboutBox() const { return FSplashAboutBox.get(); }

  // The settings file's name without directory, worked out by FormCreate.
  const std::string& IniFileName() const { return FIniFileName; }
  // Where the settings file is read and written, worked out by FormCreate:
  // beside the executable, or in the user's configuration folder when the
  // executable's folder cannot hold it.
  const std::string& SettingsFilePath() const { return FSettingsFilePath; }

  // The last dial-up failure as StatusBar2 shows it (time, entry, code and
  // text); empty when none since the last connect.
  const QString& LastDialFailure() const { return FLastDialFailure; }
  // What StatusBar2 says while it shows no failure and the simulated
  // dial-up service backs the program.
  static QString SimulatedServiceNotice();

  // Start-up: reads the settings, fills the entry list, switches the monitor
  // on, shows the address, shows the About window as a splash and arms the
  // hang-up timer when the cycle is on.
  void FormCreate(TObject* ASender);
  // Writes the settings; an exception abandons the close.
  void FormClose(TObject* ASender);
  // The entry list's selection: hands the chosen entry to the dialler and
  // shows its stored credentials.
  void ComboBox1Change(TObject* ASender);
  // The connect action: re-reads the phonebook and dials its first entry
  // unless the dialler's entry is connected.
  void msendClick(TObject* ASender);
  // The disconnect action: hangs up only while the entry is connected.
  void mstopClick(TObject* ASender);
  // The dialler's failure report: hangs up when the code is not 0.
  void rasm1Error(TObject* ASender, int AError);

  // The reconnect cycle: Timer1 ends the online phase, Timer2 the offline one.
  // The cycle's check box: arms the hang-up timer or stops both timers.
  void CheckBox1Click(TObject* ASender);
  // Online time is up: disconnect, then arm the redial timer.
  void Timer1Timer(TObject* ASender);
  // Offline time is up: connect, then arm the hang-up timer again.
  void Timer2Timer(TObject* ASender);
  // The monitor found the line up: show its address and log " connected".
  void RasRasConnected(TObject* ASender, TRasConnectionDetails AConnectionDetails);
  // The monitor found the line gone: log " disconnected".
  void RasRasDisconnected(TObject* ASender, TRasConnectionDetails AConnectionDetails);

  // The tray menu, the icon's click, the web and mail buttons and the About
  // button.
  void N1Click(TObject* ASender);
  void N2Click(TObject* ASender);
  void N3Click(TObject* ASender);
  void SpeedButton3Click(TObject* ASender);
  void SpeedButton5Click(TObject* ASender);
  void SpeedButton7Click(TObject* ASender);

  // More lines than this, after a disconnect line, empty the log.
  static constexpr int MaxLogLines = 500;

  // A timer interval from a spin value in seconds: the product in signed
  // 32-bit arithmetic, read as unsigned milliseconds (-1 gives 4294966296).
  static uint32_t IntervalOf(int32_t ASeconds);

 public slots:
  // The controls' signals reach the handlers through these; an exception
  // never unwinds through the toolkit.
  void msendClick();
  void mstopClick();
  void ComboBox1Change();
  void CheckBox1Click();
  void SpeedButton3Click();
  void SpeedButton5Click();
  void SpeedButton7Click();

 protected:
  void closeEvent(QCloseEvent* AEvent) override;

 private:
  void ApplyStoredValues();
  void CreateTrayComponents();
  void ShowSplash();
  void RunFromControl(void (TForm1::*AHandler)(TObject*));
  void SetCheckBox1Checked(bool AChecked);
  void FillEntryList();
  void ShowAddress();
  void AppendLogLine(const QString& AText);
  void ShowDialStatus();

  std::string FExePath;
  std::unique_ptr<TAboutBox> FSplashAboutBox;
  std::string FIniFileName;
  std::string FSettingsFilePath;
  // Set when a close could not write the settings: the next close tries
  // once more, quietly, and ends the program either way.
  bool FSettingsWriteFailed = false;
  QString FLastDialFailure;
  // Whether the simulated service serves the dial-up library.
  bool FSimulatedService = false;
  // While FormCreate changes the check box, an exception of the click handler
  // is kept here and raised again in FormCreate, as if the handler had been
  // called directly.
  bool FKeepControlError = false;
  std::exception_ptr FControlError;
};
