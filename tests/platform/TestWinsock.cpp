// The socket layer's stand-ins: start-up, the host's name and address.

#include <arpa/inet.h>

#include <QHostAddress>
#include <QNetworkInterface>
#include <QSysInfo>
#include <QTest>
#include <thread>

#include "TestSupport.h"
#include "Winsock.h"

namespace {

QString AddressText(const char* ABytes) {
  const auto* Bytes = reinterpret_cast<const unsigned char*>(ABytes);
  return QString("%1.%2.%3.%4").arg(Bytes[0]).arg(Bytes[1]).arg(Bytes[2]).arg(Bytes[3]);
}

// The IPv4 addresses of interfaces that are up and not loopback, as Qt sees
// them.
QStringList InterfaceAddresses() {
  QStringList Result;
  for (const QNetworkInterface& Interface : QNetworkInterface::allInterfaces()) {
    const auto Flags = Interface.flags();
    if (!(Flags & QNetworkInterface::IsUp) || (Flags & QNetworkInterface::IsLoopBack)) continue;
    for (const QNetworkAddressEntry& Entry : Interface.addressEntries()) {
      const QHostAddress Address = Entry.ip();
      if (Address.protocol() == QAbstractSocket::IPv4Protocol && !Address.isLoopback()) {
        Result << Address.toString();
      }
    }
  }
  return Result;
}

}  // namespace

class TestWinsock : public QObject {
  Q_OBJECT

 private:
  WSADATA FData{};

 private slots:
  void init() { QCOMPARE(WSAStartup(MAKEWORD(1, 1), &FData), 0); }
  void cleanup() {
    while (WSACleanup() == 0) {
    }
  }

  void Startup_data() {
    QTest::addColumn<int>("Requested");
    QTest::addColumn<int>("Result");
    QTest::addColumn<int>("Version");
    QTest::newRow("1.1") << int(MAKEWORD(1, 1)) << 0 << int(MAKEWORD(1, 1));
    QTest::newRow("2.2") << int(MAKEWORD(2, 2)) << 0 << int(MAKEWORD(2, 2));
    QTest::newRow("3.0 gets 2.2") << int(MAKEWORD(3, 0)) << 0 << int(MAKEWORD(2, 2));
    QTest::newRow("1.0") << int(MAKEWORD(1, 0)) << WSAVERNOTSUPPORTED << 0;
    QTest::newRow("0.0") << 0 << WSAVERNOTSUPPORTED << 0;
  }
  void Startup() {
    QFETCH(int, Requested);
    QFETCH(int, Result);
    QFETCH(int, Version);
    cleanup();
    WSADATA Data;
    std::memset(&Data, 0xAB, sizeof Data);
    QCOMPARE(WSAStartup(static_cast<WORD>(Requested), &Data), Result);
    QCOMPARE(int(Data.wVersion), Version);
    QCOMPARE(int(Data.wHighVersion), int(MAKEWORD(2, 2)));
    char Name[255] = {};
    QCOMPARE(gethostname(Name, sizeof Name), Result == 0 ? 0 : SOCKET_ERROR);
  }

  // Until started, and after the last clean-up, the host queries fail.
  void NotStarted() {
    QCOMPARE(WSAStartup(MAKEWORD(1, 1), &FData), 0);
    QCOMPARE(WSACleanup(), 0);
    char Name[255] = {};
    QCOMPARE(gethostname(Name, 255), 0);  // one start is still in force
    QCOMPARE(WSACleanup(), 0);
    QCOMPARE(gethostname(Name, 255), SOCKET_ERROR);
    QCOMPARE(WSAGetLastError(), WSANOTINITIALISED);
    QVERIFY(gethostbyname("localhost") == nullptr);
    QCOMPARE(WSACleanup(), SOCKET_ERROR);
  }

  void HostName_data() {
    QTest::addColumn<int>("Length");
    QTest::addColumn<int>("Result");
    const int Needed = QSysInfo::machineHostName().toLocal8Bit().size() + 1;
    QTest::newRow("255") << 255 << 0;
    QTest::newRow("exactly enough") << Needed << 0;
    QTest::newRow("one short") << Needed - 1 << SOCKET_ERROR;
    QTest::newRow("zero") << 0 << SOCKET_ERROR;
  }
  void HostName() {
    QFETCH(int, Length);
    QFETCH(int, Result);
    char Name[256];
    std::memset(Name, 'x', sizeof Name);
    QCOMPARE(gethostname(Name, Length), Result);
    if (Result == 0) QCOMPARE(QString(Name), QSysInfo::machineHostName());
    if (Result != 0) QCOMPARE(WSAGetLastError(), WSAEFAULT);
  }

  // The host's own name gives an interface address that is not loopback,
  // as the platform's resolver does, whatever the hosts file maps it to.
  void OwnAddress_data() {
    QTest::addColumn<QString>("Name");
    QTest::newRow("host name") << QSysInfo::machineHostName();
    QTest::newRow("host name in capitals") << QSysInfo::machineHostName().toUpper();
    QTest::newRow("empty name") << QString();
  }
  void OwnAddress() {
    QFETCH(QString, Name);
    const QStringList Interfaces = InterfaceAddresses();
    if (Interfaces.isEmpty()) QSKIP("this machine has no IPv4 interface besides loopback");
    const hostent* Host = gethostbyname(Name.toLocal8Bit().constData());
    QVERIFY(Host != nullptr);
    QCOMPARE(Host->h_addrtype, short(2));
    QCOMPARE(Host->h_length, short(4));
    QVERIFY(Host->h_addr_list[0] != nullptr);
    QCOMPARE(AddressText(Host->h_addr_list[0]), Interfaces.first());
    int Count = 0;
    while (Host->h_addr_list[Count] != nullptr) {
      QVERIFY(Interfaces.contains(AddressText(Host->h_addr_list[Count])));
      ++Count;
    }
    QCOMPARE(Count, Interfaces.size());
  }

  // Other names go to the resolver.
  void OtherNames() {
    const hostent* Host = gethostbyname("localhost");
    QVERIFY(Host != nullptr);
    QCOMPARE(AddressText(Host->h_addr_list[0]), QString("127.0.0.1"));
    QCOMPARE(QByteArray(Host->h_name), QByteArray("localhost"));
    QVERIFY(gethostbyname(QByteArray(300, 'a').constData()) == nullptr);
    QCOMPARE(WSAGetLastError(), WSAEFAULT);
  }

  // Each thread has its own answer record, as on the platform.
  void AnswerPerThread() {
    const hostent* Mine = gethostbyname("localhost");
    const hostent* Theirs = nullptr;
    std::thread Other([&] { Theirs = gethostbyname("localhost"); });
    Other.join();
    QVERIFY(Mine != nullptr && Theirs != nullptr);
    QVERIFY(Mine != Theirs);
    QCOMPARE(AddressText(Mine->h_addr_list[0]), QString("127.0.0.1"));
  }
};

DRAVIK_TEST_MAIN(TestWinsock)
#include "TestWinsock.moc"
