#include "TAddressCheck.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "TTimer.h"

namespace {

// An address is at most 45 characters; some services add a line break.
constexpr qint64 MaxAnswerBytes = 256;

}  // namespace

TAddressCheck::TAddressCheck(TComponent* AOwner, std::string AUrl, int ATimeoutSeconds)
    : TComponent(AOwner),
      FUrl(std::move(AUrl)),
      FTimeoutSeconds(ATimeoutSeconds),
      FManager(std::make_unique<QNetworkAccessManager>()) {
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(static_cast<uint32_t>(FTimeoutSeconds) * 1000u);
  FTimer->OnTimer.Bind(this, &TAddressCheck::TimeUp);
}

TAddressCheck::~TAddressCheck() { Cancel(); }

std::string TAddressCheck::AddressFromAnswer(const QByteArray& AAnswer) {
  const QByteArray Text = AAnswer.trimmed();
  if (Text.isEmpty() || Text.size() > 45) return {};
  for (const char C : Text) {
    const bool Allowed = (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') ||
                         (C >= 'A' && C <= 'F') || C == '.' || C == ':';
    if (!Allowed) return {};
  }
  QHostAddress Address;
  if (!Address.setAddress(QString::fromLatin1(Text))) return {};
  return Address.toString().toStdString();
}

void TAddressCheck::Fetch(TDone ADone) {
  Cancel();
  FDone = std::move(ADone);
  QNetworkRequest Request{QUrl(QString::fromStdString(FUrl))};
  Request.setTransferTimeout(FTimeoutSeconds * 1000);
  QNetworkReply* Reply = FManager->get(Request);
  Reply->setReadBufferSize(MaxAnswerBytes * 4);
  FReply = Reply;
  QObject::connect(Reply, &QNetworkReply::readyRead, Reply, [this, Reply] {
    if (Reply != FReply) return;
    if (Reply->bytesAvailable() > MaxAnswerBytes) {
      Finish({}, "the answer is longer than an address");
    }
  });
  QObject::connect(Reply, &QNetworkReply::finished, Reply, [this, Reply] {
    if (Reply != FReply) return;
    if (Reply->error() != QNetworkReply::NoError) {
      Finish({}, Reply->errorString().toStdString());
      return;
    }
    const QByteArray Answer = Reply->read(MaxAnswerBytes + 1);
    if (Answer.size() > MaxAnswerBytes) {
      Finish({}, "the answer is longer than an address");
      return;
    }
    const std::string Address = AddressFromAnswer(Answer);
    if (Address.empty()) {
      Finish({}, "the answer holds no address");
      return;
    }
    Finish(Address, {});
  });
  FTimer->SetEnabled(true);
}

void TAddressCheck::Cancel() {
  FTimer->SetEnabled(false);
  FDone = nullptr;
  if (QNetworkReply* Reply = FReply.data()) {
    FReply = nullptr;
    Reply->abort();
    Reply->deleteLater();
  }
}

void TAddressCheck::Finish(const std::string& AAddress, const std::string& AProblem) {
  TDone Done = std::move(FDone);
  Cancel();
  if (Done) Done(AAddress, AProblem);
}

void TAddressCheck::TimeUp(TObject*) {
  Finish({}, "no answer within " + std::to_string(FTimeoutSeconds) + " s");
}
