#pragma once

// Asks a web address for the public address of the line: the answer is plain
// text holding one IPv4 or IPv6 address. Behind carrier-grade NAT the line's
// own address is not the one the world sees.

#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "TComponent.h"

class QNetworkAccessManager;
class QNetworkReply;
class TTimer;

class TAddressCheck : public TComponent {
 public:
  // The answer's address, or empty with the reason.
  using TDone = std::function<void(const std::string& AAddress, const std::string& AProblem)>;

  TAddressCheck(TComponent* AOwner, std::string AUrl, int ATimeoutSeconds);
  ~TAddressCheck() override;

  // Starts a check; ADone is called once, from the event loop, unless the
  // check is cancelled first. A check still running is cancelled.
  void Fetch(TDone ADone);
  void Cancel();
  bool Busy() const { return static_cast<bool>(FDone); }

  // The address an answer holds, or empty when it holds anything else.
  static std::string AddressFromAnswer(const QByteArray& AAnswer);

 private:
  void Finish(const std::string& AAddress, const std::string& AProblem);
  void TimeUp(TObject* ASender);

  std::string FUrl;
  int FTimeoutSeconds;
  std::unique_ptr<QNetworkAccessManager> FManager;
  QPointer<QNetworkReply> FReply;
  TTimer* FTimer = nullptr;
  TDone FDone;
};
