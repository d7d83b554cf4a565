#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

#include "RASManager.h"
#include "TManualClock.h"
#include "TScriptedRasProvider.h"
#include "TestSupport.h"

Q_DECLARE_METATYPE(std::vector<uint64_t>)
Q_DECLARE_METATYPE(std::vector<HRASCONN>)

namespace {

// A dialler on "Broadband" against a scripted service whose phonebook holds
// "Broadband", "broadband" and "Backup"; every event it raises is logged.
struct TDiallerFixture {
  std::shared_ptr<TScriptedRasProvider> Provider = std::make_shared<TScriptedRasProvider>();
  std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
  TRASManager* Dialler = nullptr;
  QStringList Events;
  std::vector<uint64_t> TimedOut;
  uint64_t Start = TClock::Instance().Now();

  TDiallerFixture() {
    dravik::ras::SetProviderForTesting(Provider);
    Provider->Entries = {
        {"Broadband", "alice", "s3cret"}, {"broadband", "bob", "other"}, {"Backup", "carol", ""}};
    Dialler = new TRASManager(Owner.get());
    Dialler->OnConnecting.Bind([this](TObject* ASender, int AMsg, int AState, int AError) {
      Events << QString("connecting %1 %2 %3%4")
                    .arg(AMsg)
                    .arg(AState)
                    .arg(AError)
                    .arg(Checked(ASender));
    });
    Dialler->OnError.Bind([this](TObject* ASender, int AError) {
      Events << QString("error %1%2").arg(AError).arg(Checked(ASender));
    });
    Dialler->OnTimeout.Bind([this](TObject* ASender) {
      TimedOut.push_back(TClock::Instance().Now() - Start);
      Events << QString("timeout%1").arg(Checked(ASender));
    });
    Dialler->SetEntryName("Broadband");
  }

  ~TDiallerFixture() {
    Provider->JoinNotifier();
    Owner.reset();
    // Whatever is still queued must find nobody, and not leak into the next test.
    QCoreApplication::processEvents();
    dravik::ras::SetProviderForTesting(nullptr);
  }

  // Marks an event raised with a wrong sender or off the GUI thread.
  QString Checked(TObject* ASender) const {
    QString Faults;
    if (ASender != Dialler) Faults += " (wrong sender)";
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
      Faults += " (off the GUI thread)";
    return Faults;
  }

  // Steps: "d" Dial, "h" HangUp, "t<n>" write Timeout, "e<name>" write
  // EntryName, "s" dial asynchronously, "a<ms>" advance the clock, and on the
  // service's side: "c<name>:<handle>" list a connection, "x" drop every
  // line, "g" remove "Broadband" from the phonebook, "f<code>" let the next
  // dials return <code> without connecting.
  void Run(const QStringList& ASteps) {
    for (const QString& Step : ASteps) {
      const QString Arg = Step.mid(1);
      switch (Step.at(0).toLatin1()) {
        case 'd':
          Dialler->Dial();
          break;
        case 'h':
          Dialler->HangUp();
          break;
        case 't':
          Dialler->SetTimeout(Arg.toInt());
          break;
        case 'e':
          Dialler->SetEntryName(Arg.toStdString());
          break;
        case 's':
          Dialler->SetDialAsync(true);
          break;
        case 'a':
          TManualClock::Instance().Advance(Arg.toULongLong());
          break;
        case 'c':
          Provider->AddConnection(Arg.section(':', 0, 0).toStdString(),
                                  Arg.section(':', 1).toUInt());
          break;
        case 'x':
          Provider->Connections.clear();
          break;
        case 'g':
          Provider->Entries.erase(Provider->Entries.begin());
          break;
        case 'f':
          Provider->DialResult = Arg.toUInt();
          Provider->DialConnects = false;
          break;
        default:
          QFAIL(qPrintable("unknown step " + Step));
      }
    }
  }
};

QStringList Names(const std::vector<std::string>& AList) {
  QStringList Result;
  for (const std::string& Name : AList) Result << QString::fromStdString(Name);
  return Result;
}

}  // namespace

class TestRASManager : public QObject {
  Q_OBJECT
 private slots:
  void init() { TModalRecorder::Instance().Clear(); }

  // Step 1 of every test: what Dial does, and whether it starts the count.
  void Dial_data() {
    QTest::addColumn<QStringList>("Steps");
    QTest::addColumn<QStringList>("Events");
    QTest::addColumn<QStringList>("Dialled");
    QTest::addColumn<bool>("Connected");
    QTest::addColumn<int>("Elapsed");

    QTest::newRow("connects and counts from 0")
        << QStringList{"d", "a3000"} << QStringList{} << QStringList{"Broadband"} << true << 3;
    QTest::newRow("while connected does nothing, the count goes on")
        << QStringList{"d", "a2000", "d", "a3000"} << QStringList{} << QStringList{"Broadband"}
        << true << 5;
    QTest::newRow("while connected by someone else does nothing")
        << QStringList{"cBroadband:7", "d"} << QStringList{} << QStringList{} << true << 0;
    QTest::newRow("entry gone from the phonebook: one error, no dial")
        << QStringList{"g", "d", "a3000"} << QStringList{"error 623"} << QStringList{} << false
        << 0;
    QTest::newRow("entry gone while counting: the timer is left alone")
        << QStringList{"d", "a2000", "x", "g", "d", "a3000"} << QStringList{"error 623"}
        << QStringList{"Broadband"} << false << 5;
    QTest::newRow("returns 0 while not listed: error 0")
        << QStringList{"f0", "d", "a3000"} << QStringList{"error 0"} << QStringList{"Broadband"}
        << false << 0;
    QTest::newRow("asynchronous, returns 0 while not yet listed: error 0")
        << QStringList{"s", "f0", "d"} << QStringList{"error 0"} << QStringList{"Broadband"}
        << false << 0;
    QTest::newRow("fails: the code goes out unchanged")
        << QStringList{"f678", "d"} << QStringList{"error 678"} << QStringList{"Broadband"} << false
        << 0;
    QTest::newRow("redial after the line dropped restarts the count")
        << QStringList{"d", "a2000", "x", "d", "a3000"} << QStringList{}
        << QStringList{"Broadband", "Broadband"} << true << 3;
  }
  void Dial() {
    QFETCH(QStringList, Steps);
    QFETCH(QStringList, Events);
    QFETCH(QStringList, Dialled);
    QFETCH(bool, Connected);
    QFETCH(int, Elapsed);
    TDiallerFixture F;
    F.Run(Steps);
    QCOMPARE(F.Events, Events);
    QCOMPARE(Names(F.Provider->Dialled), Dialled);
    QCOMPARE(F.Dialler->Connected(), Connected);
    QCOMPARE(F.Dialler->ElapsedSeconds(), Elapsed);
    // A dial that did not connect hangs nothing up: nothing is listed.
    QVERIFY(F.Provider->HungUp.empty());
  }

  void Timeout_data() {
    QTest::addColumn<QStringList>("Steps");
    QTest::addColumn<std::vector<uint64_t>>("Fired");
    QTest::addColumn<int>("Timeout");
    QTest::addColumn<int>("Boxes");

    QTest::newRow("0 never fires")
        << QStringList{"t0", "d", "a100000"} << std::vector<uint64_t>{} << 0 << 0;
    QTest::newRow("5 fires once, at the fifth tick, then reads 0")
        << QStringList{"t5", "d", "a4999", "a1", "a60000"} << std::vector<uint64_t>{5000} << 0 << 0;
    QTest::newRow("written at or below the count fires at the next tick")
        << QStringList{"d", "a7000", "t3", "a1000"} << std::vector<uint64_t>{8000} << 0 << 0;
    QTest::newRow("each new setting fires once more")
        << QStringList{"t2", "d", "a2000", "t4", "a3000"} << std::vector<uint64_t>{2000, 4000} << 0
        << 0;
    QTest::newRow("-1 is refused with a box and the old value stays")
        << QStringList{"t5", "t-1", "d", "a5000"} << std::vector<uint64_t>{5000} << 0 << 1;
    QTest::newRow("-1 while counting keeps the limit")
        << QStringList{"t9", "d", "a1000", "t-1"} << std::vector<uint64_t>{} << 9 << 1;
    QTest::newRow("hang-up stops the count")
        << QStringList{"t5", "d", "a2000", "h", "a10000"} << std::vector<uint64_t>{} << 5 << 0;
    QTest::newRow("a dropped line goes on counting")
        << QStringList{"t5", "d", "a2000", "x", "a3000"} << std::vector<uint64_t>{5000} << 0 << 0;
  }
  void Timeout() {
    QFETCH(QStringList, Steps);
    QFETCH(std::vector<uint64_t>, Fired);
    QFETCH(int, Timeout);
    QFETCH(int, Boxes);
    TDiallerFixture F;
    F.Run(Steps);
    QCOMPARE(F.TimedOut, Fired);
    QCOMPARE(F.Dialler->Timeout(), Timeout);
    const auto& Shown = TModalRecorder::Instance().Shown();
    QCOMPARE(static_cast<int>(Shown.size()), Boxes);
    for (const TModalRequest& Box : Shown) {
      QCOMPARE(Box.Text, std::string("RASManager: Invalid Timeout value (0..MaxInt)"));
      QVERIFY(Box.Type == TMsgDlgType::mtError);
    }
  }

  void HangUp_data() {
    QTest::addColumn<QStringList>("Steps");
    QTest::addColumn<std::vector<HRASCONN>>("HungUp");
    QTest::addColumn<int>("Elapsed");
    QTest::addColumn<HRASCONN>("Handle");

    // The scripted service hands out handles from 100.
    QTest::newRow("while connected: the dialled handle, the count stops, the handle stays")
        << QStringList{"d", "a2000", "h", "a3000"} << std::vector<HRASCONN>{100} << 2
        << HRASCONN(100);
    QTest::newRow("while not connected: no call, the count goes on")
        << QStringList{"d", "a2000", "x", "h", "a3000"} << std::vector<HRASCONN>{} << 5
        << HRASCONN(100);
    QTest::newRow("a connection found by name is hung up by its handle")
        << QStringList{"cBackup:42", "eBackup", "h"} << std::vector<HRASCONN>{42} << 0
        << HRASCONN(42);
    QTest::newRow("own handle gone, the entry redialled from outside: its connection goes")
        << QStringList{"d", "x", "cBackup:7", "cBroadband:300", "h"} << std::vector<HRASCONN>{300}
        << 0 << HRASCONN(300);
    QTest::newRow("own handle still listed beside another of the entry: the own one goes")
        << QStringList{"d", "cBroadband:300", "h"} << std::vector<HRASCONN>{100} << 0
        << HRASCONN(100);
    QTest::newRow("twice: the second finds nothing listed")
        << QStringList{"d", "h", "h"} << std::vector<HRASCONN>{100} << 0 << HRASCONN(100);
  }
  void HangUp() {
    QFETCH(QStringList, Steps);
    QFETCH(std::vector<HRASCONN>, HungUp);
    QFETCH(int, Elapsed);
    QFETCH(HRASCONN, Handle);
    TDiallerFixture F;
    F.Run(Steps);
    QCOMPARE(F.Provider->HungUp, HungUp);
    QCOMPARE(F.Dialler->ElapsedSeconds(), Elapsed);
    QCOMPARE(F.Dialler->ConnectionHandle(), Handle);
    QVERIFY(F.Events.isEmpty());
  }

  // Which connection belongs to the entry: exact names, the last one wins.
  void Handle_data() {
    QTest::addColumn<QStringList>("Listed");
    QTest::addColumn<DWORD>("ListingResult");
    QTest::addColumn<bool>("Connected");
    QTest::addColumn<HRASCONN>("Handle");

    QTest::newRow("one connection")
        << QStringList{"Backup:3", "Broadband:5"} << DWORD(0) << true << HRASCONN(5);
    QTest::newRow("two under one name: the last wins")
        << QStringList{"Broadband:5", "Backup:6", "Broadband:9"} << DWORD(0) << true << HRASCONN(9);
    QTest::newRow("only the other letter case is listed")
        << QStringList{"broadband:5", "BROADBAND:6"} << DWORD(0) << false << HRASCONN(0);
    QTest::newRow("both cases listed") << QStringList{"broadband:5", "Broadband:6", "broadband:7"}
                                       << DWORD(0) << true << HRASCONN(6);
    QTest::newRow("nothing listed") << QStringList{} << DWORD(0) << false << HRASCONN(0);
    QTest::newRow("listing fails")
        << QStringList{"Broadband:5"} << ERROR_CANNOT_LOAD_PHONEBOOK << false << HRASCONN(0);
    QStringList Many;
    for (int I = 1; I <= 101; ++I) Many << QString("Broadband:%1").arg(I);
    QTest::newRow("more than 100 listed counts as none")
        << Many << DWORD(0) << false << HRASCONN(0);
    Many.removeLast();
    QTest::newRow("100 listed fit") << Many << DWORD(0) << true << HRASCONN(100);
  }
  void Handle() {
    QFETCH(QStringList, Listed);
    QFETCH(DWORD, ListingResult);
    QFETCH(bool, Connected);
    QFETCH(HRASCONN, Handle);
    TDiallerFixture F;
    for (const QString& Connection : Listed)
      F.Provider->AddConnection(Connection.section(':', 0, 0).toStdString(),
                                Connection.section(':', 1).toUInt());
    F.Provider->EnumConnectionsResult = ListingResult;
    F.Dialler->SetEntryName("Broadband");
    QCOMPARE(F.Dialler->ConnectionHandle(), Handle);
    QCOMPARE(F.Dialler->Connected(), Connected);
    QCOMPARE(IsEntryConnected("Broadband"), Connected);
    QVERIFY(F.Events.isEmpty());
  }

  void Listings_data() {
    QTest::addColumn<bool>("Phonebook");
    QTest::addColumn<QStringList>("Names");
    QTest::addColumn<DWORD>("Result");
    QTest::addColumn<QStringList>("Listed");

    const QStringList Three{"Zeta", "alpha", "Mid line"};
    const QString Longest(256, QChar('n'));
    QStringList Hundred;
    for (int I = 0; I < 100; ++I) Hundred << QString("Entry %1").arg(I);
    const QStringList HundredOne = Hundred + QStringList{"One too many"};
    for (bool Phonebook : {true, false}) {
      const char* Which = Phonebook ? "phonebook" : "connections";
      QTest::addRow("%s: in the platform's order", Which)
          << Phonebook << Three << DWORD(0) << Three;
      QTest::addRow("%s: a 256-character name whole", Which)
          << Phonebook << QStringList{Longest} << DWORD(0) << QStringList{Longest};
      QTest::addRow("%s: 100 fit", Which) << Phonebook << Hundred << DWORD(0) << Hundred;
      QTest::addRow("%s: 101 give an empty list", Which)
          << Phonebook << HundredOne << DWORD(0) << QStringList{};
      QTest::addRow("%s: a failing listing gives an empty list", Which)
          << Phonebook << Three << ERROR_CANNOT_LOAD_PHONEBOOK << QStringList{};
    }
  }
  void Listings() {
    QFETCH(bool, Phonebook);
    QFETCH(QStringList, Names);
    QFETCH(DWORD, Result);
    QFETCH(QStringList, Listed);
    TDiallerFixture F;
    F.Provider->Entries.clear();
    HRASCONN Handle = 1;
    for (const QString& Name : Names) {
      if (Phonebook)
        F.Provider->Entries.push_back({Name.toStdString(), "", ""});
      else
        F.Provider->AddConnection(Name.toStdString(), Handle++);
    }
    (Phonebook ? F.Provider->EnumEntriesResult : F.Provider->EnumConnectionsResult) = Result;
    // Whatever the list held before is replaced.
    std::vector<std::string> List{"stale"};
    if (Phonebook)
      ListPhonebookEntries(List);
    else
      ListActiveConnections(List);
    QCOMPARE(::Names(List), Listed);
  }

  void Credentials_data() {
    QTest::addColumn<QStringList>("Steps");
    QTest::addColumn<QString>("UserName");
    QTest::addColumn<QString>("Password");
    QTest::addColumn<QStringList>("Events");

    QTest::newRow("stored ones") << QStringList{} << "alice"
                                 << "s3cret" << QStringList{};
    QTest::newRow("the entry with the other letter case") << QStringList{"ebroadband"} << "bob"
                                                          << "other" << QStringList{};
    QTest::newRow("no password stored") << QStringList{"eBackup"} << "carol"
                                        << "" << QStringList{};
    QTest::newRow("entry gone: empty, one error per read")
        << QStringList{"g"} << ""
        << "" << QStringList{"error 623", "error 623"};
  }
  void Credentials() {
    QFETCH(QStringList, Steps);
    QFETCH(QString, UserName);
    QFETCH(QString, Password);
    QFETCH(QStringList, Events);
    TDiallerFixture F;
    F.Run(Steps);
    QCOMPARE(QString::fromStdString(F.Dialler->UserName()), UserName);
    QCOMPARE(QString::fromStdString(F.Dialler->Password()), Password);
    QCOMPARE(F.Events, Events);
  }

  void EntryName_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QString>("EntryName");
    QTest::addColumn<QStringList>("Events");
    QTest::addColumn<int>("Lookups");

    QTest::newRow("a known entry") << "Backup"
                                   << "Backup" << QStringList{} << 1;
    QTest::newRow("an unknown entry keeps the old name")
        << "Nowhere"
        << "Broadband" << QStringList{"error 623"} << 1;
    QTest::newRow("the empty name is unknown") << ""
                                               << "Broadband" << QStringList{"error 623"} << 1;
    // Cut to fit the record, these would name another entry ("Broadband").
    QTest::newRow("longer than 256 characters: refused without asking")
        << QString("Broadband") + QString(300, QChar(' ')) << "Broadband"
        << QStringList{"error 623"} << 0;
    QTest::newRow("an embedded NUL: refused without asking")
        << QString("Broadband") + QChar(0) + "x"
        << "Broadband" << QStringList{"error 623"} << 0;
  }
  void EntryName() {
    QFETCH(QString, Name);
    QFETCH(QString, EntryName);
    QFETCH(QStringList, Events);
    QFETCH(int, Lookups);
    TDiallerFixture F;
    F.Provider->EntryLookups = 0;
    F.Dialler->SetEntryName(Name.toStdString());
    QCOMPARE(QString::fromStdString(F.Dialler->EntryName()), EntryName);
    QCOMPARE(F.Events, Events);
    QCOMPARE(F.Provider->EntryLookups, Lookups);
  }

  void DestructionLeavesTheConnectionUp() {
    TDiallerFixture F;
    F.Dialler->Dial();
    QVERIFY(IsEntryConnected("Broadband"));
    delete F.Dialler;
    QVERIFY(IsEntryConnected("Broadband"));
    QVERIFY(F.Provider->HungUp.empty());
  }

  // An asynchronous dial's notifications come from the service's own thread
  // and are raised on the GUI thread, in order, OnError after OnConnecting.
  void Notifications_data() {
    QTest::addColumn<QList<QList<int>>>("Script");
    QTest::addColumn<QStringList>("Events");

    const int M = WM_RASDIALEVENT;
    QTest::newRow("progress to connected")
        << QList<QList<int>>{{0, 0}, {1, 0}, {14, 0}, {8192, 0}}
        << QStringList{QString("connecting %1 0 0").arg(M), QString("connecting %1 1 0").arg(M),
                       QString("connecting %1 14 0").arg(M),
                       QString("connecting %1 8192 0").arg(M)};
    QTest::newRow("a failure: OnError follows its OnConnecting")
        << QList<QList<int>>{{2, 0}, {5, 691}, {8193, 0}}
        << QStringList{QString("connecting %1 2 0").arg(M), QString("connecting %1 5 691").arg(M),
                       "error 691", QString("connecting %1 8193 0").arg(M)};
    QTest::newRow("every error once")
        << QList<QList<int>>{{3, 678}, {3, 678}}
        << QStringList{QString("connecting %1 3 678").arg(M), "error 678",
                       QString("connecting %1 3 678").arg(M), "error 678"};
  }
  void Notifications() {
    QFETCH(QList<QList<int>>, Script);
    QFETCH(QStringList, Events);
    TDiallerFixture F;
    for (const QList<int>& Step : Script)
      F.Provider->DialNotifications.emplace_back(WM_RASDIALEVENT, Step[0],
                                                 static_cast<DWORD>(Step[1]));
    F.Dialler->SetDialAsync(true);
    F.Dialler->Dial();
    QCOMPARE(ActiveDialler(), F.Dialler);
    QTRY_COMPARE(F.Events.size(), Events.size());
    F.Provider->JoinNotifier();
    QCoreApplication::processEvents();
    QCOMPARE(F.Events, Events);
  }

  // The notifications of a dial whose dialler is gone reach no other, live
  // dialler: the active one is cleared, not left to the next in line.
  void NotificationsOfADestroyedDiallerReachNothing() {
    TDiallerFixture F;
    TRASManager Other(nullptr);
    QStringList Reached;
    Other.OnConnecting.Bind([&Reached](TObject*, int, int, int) { Reached << "connecting"; });
    Other.OnError.Bind([&Reached](TObject*, int) { Reached << "error"; });
    F.Provider->DialNotifications = {{WM_RASDIALEVENT, 3, 0}, {WM_RASDIALEVENT, 5, 691}};
    F.Dialler->SetDialAsync(true);
    F.Dialler->Dial();
    // Every notification is on its way to the GUI thread before the dialler goes.
    F.Provider->JoinNotifier();
    delete F.Dialler;
    QCOMPARE(ActiveDialler(), nullptr);
    QCoreApplication::processEvents();
    QCOMPARE(Reached, QStringList{});
    QCOMPARE(F.Events, QStringList{});
  }
};

DRAVIK_TEST_MAIN(TestRASManager)
#include "TestRASManager.moc"
