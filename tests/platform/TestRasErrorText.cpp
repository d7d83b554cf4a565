// The one table of texts for the dial-up error codes: each code a provider
// reports reads the same in the window (Chinese) and in the tools and the
// service's log (English), and the provider's advice follows the English.

#include <QTest>
#include <memory>

#include "NmCodes.h"
#include "RasErrorText.h"
#include "RasProvider.h"
#include "TestSupport.h"

namespace {

// Stands in for a provider that knows what a refused request needs.
class TAdvisingProvider : public dravik::ras::RasProvider {
 public:
  std::string Name() const override { return "advising"; }
  DWORD EnumEntries(std::vector<std::string>&) override { return ERROR_SUCCESS; }
  DWORD GetEntryDialParams(RASDIALPARAMSA&) override { return ERROR_SUCCESS; }
  DWORD Dial(const RASDIALPARAMSA&, dravik::ras::TDialNotifier, HRASCONN&) override {
    return ERROR_NOT_SUPPORTED;
  }
  DWORD HangUp(HRASCONN) override { return ERROR_ACCESS_DENIED; }
  DWORD EnumConnections(std::vector<RASCONNA>&) override { return ERROR_SUCCESS; }
  DWORD GetConnectStatus(HRASCONN, RASCONNSTATUSA&) override { return ERROR_INVALID_HANDLE; }
  DWORD GetPppIpProjection(HRASCONN, RASPPPIPA&) override { return ERROR_INVALID_HANDLE; }
  std::string ErrorAdvice(DWORD AError) const override {
    return AError == ERROR_ACCESS_DENIED ? "ask for the permission" : std::string();
  }
};

}  // namespace

class TestRasErrorText : public QObject {
  Q_OBJECT

 private slots:
  void Texts_data() {
    QTest::addColumn<uint>("Code");
    QTest::addColumn<QString>("Chinese");
    QTest::addColumn<QString>("English");
    QTest::newRow("access denied") << 5u << "没有权限"
                                   << "permission denied";
    QTest::newRow("stale handle") << 6u << "无效的连接句柄"
                                  << "the connection handle is not valid";
    QTest::newRow("not supported") << 50u << "不支持此操作"
                                   << "the dial-up provider in use does not support this";
    QTest::newRow("credentials differ")
        << 604u << "指定的信息有误"
        << "the dial parameters differ from the entry's stored ones";
    QTest::newRow("no entry") << 623u << "电话簿中没有此连接"
                              << "the phonebook has no such entry";
    QTest::newRow("cut") << 628u << "连接已断开"
                         << "the line was cut";
    QTest::newRow("no progress") << 638u << "请求超时"
                                 << "the dial made no progress in time";
    QTest::newRow("busy") << 676u << "线路忙"
                          << "the line is busy";
    QTest::newRow("password") << 691u << "用户名或密码错误"
                              << "the user name or password was not accepted";
    QTest::newRow("service") << 711u << "拨号服务无法启动"
                             << "the dial-up service cannot start";
    QTest::newRow("lcp") << 734u << "远程计算机终止了链路"
                         << "the remote end ended the link";
    QTest::newRow("unknown code") << 4242u << "未知错误"
                                  << "the dial-up service reported an error";
  }
  void Texts() {
    QFETCH(uint, Code);
    QFETCH(QString, Chinese);
    QFETCH(QString, English);
    QCOMPARE(QString::fromUtf8(RasErrorText(Code)), Chinese);
    QCOMPARE(QString::fromUtf8(RasErrorTextEnglish(Code)), English);
  }

  // Every code the NetworkManager provider maps a reason or a bus error to
  // has a text of its own in both languages.
  void EveryProviderCodeHasText() {
    using namespace dravik::ras::nm;
    std::vector<DWORD> Codes;
    for (uint32_t Reason = 0; Reason < 80; ++Reason) {
      Codes.push_back(CodeOfDeviceReason(Reason));
      Codes.push_back(CodeOfActiveReason(Reason));
    }
    for (const char* Name :
         {"org.freedesktop.NetworkManager.PermissionDenied", "org.freedesktop.DBus.Error.NoReply",
          "org.freedesktop.NetworkManager.UnknownConnection", "org.freedesktop.Other"})
      Codes.push_back(CodeOfBusError(Name));
    Codes.push_back(ErrorRequestTimeout);
    for (DWORD Code : Codes) {
      if (Code == 0) continue;
      QVERIFY2(RasErrorTextKnown(Code), qPrintable(QString::number(Code)));
    }
  }

  void DescriptionCarriesTheProvidersAdvice() {
    dravik::ras::SetProviderForTesting(std::make_shared<TAdvisingProvider>());
    QCOMPARE(QString::fromStdString(RasErrorDescription(ERROR_ACCESS_DENIED)),
             QString("error 5: permission denied; ask for the permission"));
    QCOMPARE(QString::fromStdString(RasErrorDescription(ERROR_AUTHENTICATION_FAILURE)),
             QString("error 691: the user name or password was not accepted"));
    dravik::ras::SetProviderForTesting(nullptr);
  }
};

DRAVIK_TEST_MAIN(TestRasErrorText)
#include "TestRasErrorText.moc"
