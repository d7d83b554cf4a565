// The dial-up calls' contract as callers rely on it: record layouts, size
// checks, buffer sizes, argument checks.

#include <QTest>
#include <cstddef>
#include <functional>

#include "Ras.h"
#include "RasControl.h"
#include "RasTestSupport.h"
#include "TestSupport.h"

namespace {
void WINAPI IgnoreNotification(UINT, RASCONNSTATE, DWORD) {}
}  // namespace

class TestRasContract : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir{TSimServiceDir::ServiceChoosesProvider};

  // An entry name of ALength characters, distinct per length.
  static QByteArray NameOfLength(int ALength) { return QByteArray(ALength, 'n'); }

 private slots:
  void initTestCase() {
    QByteArray Book = "[Home]\nUserName=alice\nPassword=pw\nDialSeconds=0\n";
    Book += "[Other]\nDialSeconds=0\n";
    FDir.WritePhonebook(Book);
  }
  void init() { HangUpAll(); }

  // Offsets as the platform lays the records out; a caller built for it
  // exchanges them byte for byte.
  void RecordLayout_data() {
    QTest::addColumn<size_t>("Actual");
    QTest::addColumn<size_t>("Expected");
    QTest::newRow("RASDIALPARAMSA size") << sizeof(RASDIALPARAMSA) << size_t(1052);
    QTest::newRow("RASDIALPARAMSA.szEntryName")
        << offsetof(RASDIALPARAMSA, szEntryName) << size_t(4);
    QTest::newRow("RASDIALPARAMSA.szUserName")
        << offsetof(RASDIALPARAMSA, szUserName) << size_t(519);
    QTest::newRow("RASDIALPARAMSA.szPassword")
        << offsetof(RASDIALPARAMSA, szPassword) << size_t(776);
    QTest::newRow("RASDIALPARAMSA.szDomain") << offsetof(RASDIALPARAMSA, szDomain) << size_t(1033);
    QTest::newRow("RASCONNA size") << sizeof(RASCONNA) << size_t(412);
    QTest::newRow("RASCONNA.hrasconn") << offsetof(RASCONNA, hrasconn) << size_t(4);
    QTest::newRow("RASCONNA.szEntryName") << offsetof(RASCONNA, szEntryName) << size_t(8);
    QTest::newRow("RASCONNA.szDeviceType") << offsetof(RASCONNA, szDeviceType) << size_t(265);
    QTest::newRow("RASCONNA.szDeviceName") << offsetof(RASCONNA, szDeviceName) << size_t(282);
    QTest::newRow("RASENTRYNAMEA size") << sizeof(RASENTRYNAMEA) << size_t(264);
    QTest::newRow("RASCONNSTATUSA size") << sizeof(RASCONNSTATUSA) << size_t(160);
    QTest::newRow("RASCONNSTATUSA.dwError") << offsetof(RASCONNSTATUSA, dwError) << size_t(8);
    QTest::newRow("RASCONNSTATUSA.szDeviceName")
        << offsetof(RASCONNSTATUSA, szDeviceName) << size_t(29);
    QTest::newRow("RASPPPIPA size") << sizeof(RASPPPIPA) << size_t(40);
    QTest::newRow("RASPPPIPA.szIpAddress") << offsetof(RASPPPIPA, szIpAddress) << size_t(8);
    QTest::newRow("RASPPPIPA.szServerIpAddress")
        << offsetof(RASPPPIPA, szServerIpAddress) << size_t(24);
  }
  void RecordLayout() {
    QFETCH(size_t, Actual);
    QFETCH(size_t, Expected);
    QCOMPARE(Actual, Expected);
  }

  // Every call that takes a record refuses one of another size with 632
  // and leaves the caller's record as it was.
  void WrongRecordSize_data() {
    QTest::addColumn<QString>("Call");
    QTest::addColumn<int>("SizeDelta");
    for (const char* Call : {"RasGetEntryDialParamsA", "RasDialA", "RasEnumConnectionsA",
                             "RasEnumEntriesA", "RasGetConnectStatusA", "RasGetProjectionInfoA"}) {
      for (int Delta : {-4, 4}) {
        QTest::newRow(qPrintable(QString("%1 %2%3").arg(Call).arg(Delta > 0 ? "+" : "").arg(Delta)))
            << QString(Call) << Delta;
      }
    }
    QTest::newRow("RasEnumConnectionsA zero") << "RasEnumConnectionsA" << -412;
  }
  void WrongRecordSize() {
    QFETCH(QString, Call);
    QFETCH(int, SizeDelta);
    // A connected connection, so that the handle calls would otherwise answer.
    RASDIALPARAMSA Params = DialParamsFor("Home");
    HRASCONN Handle = 0;
    QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, nullptr), ERROR_SUCCESS);
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);

    alignas(8) char Buffer[8 * 1052] = {};
    auto Record = [&](size_t ASize) {
      std::memset(Buffer, 0x5A, sizeof Buffer);
      *reinterpret_cast<DWORD*>(Buffer) = static_cast<DWORD>(static_cast<int>(ASize) + SizeDelta);
      return Buffer;
    };
    DWORD Bytes = sizeof Buffer;
    DWORD Count = 0;
    DWORD Result = 0;
    if (Call == "RasGetEntryDialParamsA") {
      Record(sizeof(RASDIALPARAMSA));
      std::memcpy(Buffer + 4, "Home", 5);
      Result = RasGetEntryDialParamsA(nullptr, reinterpret_cast<LPRASDIALPARAMSA>(Buffer), nullptr);
    } else if (Call == "RasDialA") {
      Record(sizeof(RASDIALPARAMSA));
      std::memcpy(Buffer + 4, "Other", 6);
      HRASCONN NewHandle = 77;
      Result = RasDialA(nullptr, nullptr, reinterpret_cast<LPRASDIALPARAMSA>(Buffer), 0, nullptr,
                        &NewHandle);
      QCOMPARE(NewHandle, HRASCONN(77));
      QCOMPARE(ListedEntryNames(), std::vector<std::string>{"Home"});
    } else if (Call == "RasEnumConnectionsA") {
      Record(sizeof(RASCONNA));
      Result = RasEnumConnectionsA(reinterpret_cast<LPRASCONNA>(Buffer), &Bytes, &Count);
    } else if (Call == "RasEnumEntriesA") {
      Record(sizeof(RASENTRYNAMEA));
      Result = RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(Buffer), &Bytes,
                               &Count);
    } else if (Call == "RasGetConnectStatusA") {
      Record(sizeof(RASCONNSTATUSA));
      Result = RasGetConnectStatusA(Handle, reinterpret_cast<LPRASCONNSTATUSA>(Buffer));
    } else {
      Record(sizeof(RASPPPIPA));
      Bytes = sizeof(RASPPPIPA) + 64;
      Result = RasGetProjectionInfoA(Handle, RASP_PppIp, Buffer, &Bytes);
    }
    QCOMPARE(Result, ERROR_INVALID_SIZE);
    // Past the size member nothing was written.
    for (size_t Index = 4; Index < sizeof Buffer; ++Index) {
      if (Index >= 4 && Index < 4 + 257 && Buffer[Index] != 0x5A) continue;  // the name we put
      QCOMPARE(Buffer[Index], char(0x5A));
    }
  }

  // Too small a buffer: 603 with the bytes and records needed, the size the
  // monitor (8) and the dialler (100) pass both at the limit and one past it.
  void BufferTooSmall_data() {
    QTest::addColumn<QString>("Call");
    QTest::addColumn<int>("Listed");
    QTest::addColumn<int>("BufferRecords");
    QTest::addColumn<DWORD>("Expected");
    QTest::newRow("connections 8 in 8") << "connections" << 8 << 8 << ERROR_SUCCESS;
    QTest::newRow("connections 9 in 8") << "connections" << 9 << 8 << ERROR_BUFFER_TOO_SMALL;
    QTest::newRow("connections 100 in 100") << "connections" << 100 << 100 << ERROR_SUCCESS;
    QTest::newRow("connections 101 in 100")
        << "connections" << 101 << 100 << ERROR_BUFFER_TOO_SMALL;
    QTest::newRow("connections size query") << "connections" << 3 << 0 << ERROR_BUFFER_TOO_SMALL;
    QTest::newRow("connections none, no buffer") << "connections" << 0 << 0 << ERROR_SUCCESS;
    QTest::newRow("entries 100 in 100") << "entries" << 100 << 100 << ERROR_SUCCESS;
    QTest::newRow("entries 101 in 100") << "entries" << 101 << 100 << ERROR_BUFFER_TOO_SMALL;
    QTest::newRow("entries size query") << "entries" << 2 << 0 << ERROR_BUFFER_TOO_SMALL;
  }
  void BufferTooSmall() {
    QFETCH(QString, Call);
    QFETCH(int, Listed);
    QFETCH(int, BufferRecords);
    QFETCH(DWORD, Expected);
    const bool Connections = Call == "connections";
    const size_t RecordSize = Connections ? sizeof(RASCONNA) : sizeof(RASENTRYNAMEA);
    if (Connections) {
      if (Listed > 0) QCOMPARE(DravikRasAddConnected("Home", DWORD(Listed)), ERROR_SUCCESS);
    } else {
      QByteArray Book;
      for (int Index = 0; Index < Listed; ++Index)
        Book += "[Entry " + QByteArray::number(Index) + "]\n";
      FDir.WritePhonebook(Book);
    }
    std::vector<char> Buffer(RecordSize * std::max(BufferRecords, 1), 0);
    *reinterpret_cast<DWORD*>(Buffer.data()) = static_cast<DWORD>(RecordSize);
    DWORD Bytes = static_cast<DWORD>(RecordSize * BufferRecords);
    DWORD Count = 12345;
    void* Pointer = BufferRecords > 0 ? Buffer.data() : nullptr;
    const DWORD Result =
        Connections ? RasEnumConnectionsA(static_cast<LPRASCONNA>(Pointer), &Bytes, &Count)
                    : RasEnumEntriesA(nullptr, nullptr, static_cast<LPRASENTRYNAMEA>(Pointer),
                                      &Bytes, &Count);
    if (!Connections) initTestCase();
    QCOMPARE(Result, Expected);
    QCOMPARE(Bytes, DWORD(Listed * RecordSize));
    QCOMPARE(Count, DWORD(Listed));
    if (Result == ERROR_SUCCESS && Listed > 0) {
      // Every record filled carries its size, the last one included.
      const char* Last = Buffer.data() + (Listed - 1) * RecordSize;
      QCOMPARE(*reinterpret_cast<const DWORD*>(Last), DWORD(RecordSize));
      if (Connections) QCOMPARE(QByteArray(Last + 8), QByteArray("Home"));
      if (!Connections) QCOMPARE(QByteArray(Last + 4), "Entry " + QByteArray::number(Listed - 1));
    }
  }

  // Arguments the platform refuses, each with its code; nothing is dialled.
  void BadArguments_data() {
    QTest::addColumn<QString>("Case");
    QTest::addColumn<DWORD>("Expected");
    QTest::newRow("dial params null") << "params-null" << ERROR_INVALID_PARAMETER;
    QTest::newRow("dial handle pointer null") << "dial-handle-null" << ERROR_INVALID_PARAMETER;
    QTest::newRow("entry name without end") << "name-unterminated" << ERROR_INVALID_PARAMETER;
    QTest::newRow("notifier of another type") << "notifier-type" << ERROR_INVALID_PARAMETER;
    QTest::newRow("unknown entry, params") << "unknown-params" << ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    QTest::newRow("unknown entry, dial") << "unknown-dial" << ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    QTest::newRow("entry differing in case") << "case" << ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    QTest::newRow("other phonebook") << "phonebook" << ERROR_CANNOT_OPEN_PHONEBOOK;
    QTest::newRow("entries reserved set") << "reserved" << ERROR_INVALID_PARAMETER;
    QTest::newRow("count pointer null") << "count-null" << ERROR_INVALID_PARAMETER;
    QTest::newRow("projection of another kind")
        << "projection-kind" << ERROR_PROTOCOL_NOT_CONFIGURED;
    QTest::newRow("projection buffer small") << "projection-small" << ERROR_BUFFER_TOO_SMALL;
    QTest::newRow("hang-up of handle 0") << "hangup-zero" << ERROR_INVALID_HANDLE;
  }
  void BadArguments() {
    QFETCH(QString, Case);
    QFETCH(DWORD, Expected);
    RASDIALPARAMSA Params = DialParamsFor("Home");
    HRASCONN Handle = 0;
    DWORD Bytes = sizeof(RASCONNA);
    DWORD Count = 0;
    DWORD Result = 0;
    if (Case == "params-null") {
      Result = RasDialA(nullptr, nullptr, nullptr, 0, nullptr, &Handle);
    } else if (Case == "dial-handle-null") {
      Result = RasDialA(nullptr, nullptr, &Params, 0, nullptr, nullptr);
    } else if (Case == "name-unterminated") {
      std::memset(Params.szEntryName, 'x', sizeof Params.szEntryName);
      Result = RasGetEntryDialParamsA(nullptr, &Params, nullptr);
    } else if (Case == "notifier-type") {
      Result = RasDialA(nullptr, nullptr, &Params, 1, reinterpret_cast<LPVOID>(&IgnoreNotification),
                        &Handle);
    } else if (Case == "unknown-params" || Case == "case") {
      Params = DialParamsFor(Case == "case" ? "home" : "Nowhere");
      Result = RasGetEntryDialParamsA(nullptr, &Params, nullptr);
    } else if (Case == "unknown-dial") {
      Params = DialParamsFor("Nowhere");
      Result = RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle);
    } else if (Case == "phonebook") {
      Result = RasDialA(nullptr, "/tmp/other.pbk", &Params, 0, nullptr, &Handle);
    } else if (Case == "reserved") {
      RASENTRYNAMEA Entry{};
      Entry.dwSize = sizeof Entry;
      Bytes = sizeof Entry;
      Result = RasEnumEntriesA("x", nullptr, &Entry, &Bytes, &Count);
    } else if (Case == "count-null") {
      RASCONNA Connection{};
      Connection.dwSize = sizeof Connection;
      Result = RasEnumConnectionsA(&Connection, &Bytes, nullptr);
    } else if (Case == "projection-kind" || Case == "projection-small") {
      QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, nullptr), ERROR_SUCCESS);
      QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
      RASPPPIPA Projection{};
      Projection.dwSize = sizeof Projection;
      Bytes = Case == "projection-small" ? sizeof Projection - 1 : sizeof Projection;
      Result = RasGetProjectionInfoA(Handle, Case == "projection-small" ? RASP_PppIp : 0x803F,
                                     &Projection, &Bytes);
      if (Case == "projection-small") QCOMPARE(Bytes, DWORD(sizeof Projection));
      QCOMPARE(Projection.szIpAddress[0], '\0');
      HangUpAll();
    } else if (Case == "hangup-zero") {
      Result = RasHangUpA(0);
    }
    QCOMPARE(Result, Expected);
    QVERIFY(ListedConnections().empty());
  }

  // The credentials lookup fills the stored user name and password and says
  // whether a password is stored.
  void DialParams_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<QString>("UserName");
    QTest::addColumn<QString>("Password");
    QTest::addColumn<BOOL>("PasswordStored");
    QTest::newRow("with credentials") << "Home"
                                      << "alice"
                                      << "pw" << BOOL(1);
    QTest::newRow("without credentials") << "Other"
                                         << ""
                                         << "" << BOOL(0);
  }
  void DialParams() {
    QFETCH(QString, Entry);
    QFETCH(QString, UserName);
    QFETCH(QString, Password);
    QFETCH(BOOL, PasswordStored);
    RASDIALPARAMSA Params = DialParamsFor(Entry.toStdString());
    std::memset(Params.szUserName, 'u', sizeof Params.szUserName);  // stale text of the caller
    BOOL Flag = -1;
    QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, &Flag), ERROR_SUCCESS);
    QCOMPARE(QString(Params.szUserName), UserName);
    QCOMPARE(QString(Params.szPassword), Password);
    QCOMPARE(Flag, PasswordStored);
    QCOMPARE(QString(Params.szEntryName), Entry);
  }
};

DRAVIK_TEST_MAIN(TestRasContract)
#include "TestRasContract.moc"
