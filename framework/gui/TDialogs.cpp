#include "TDialogs.h"

#include <QMessageBox>
#include <QString>
#include <utility>

namespace {

TModalAnswerer& Answerer() {
  static TModalAnswerer Current;
  return Current;
}

QMessageBox::Icon IconOf(TMsgDlgType AType) {
  switch (AType) {
    case TMsgDlgType::mtWarning:
      return QMessageBox::Warning;
    case TMsgDlgType::mtError:
      return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
      return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
      return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void SetModalAnswerer(TModalAnswerer AAnswerer) { Answerer() = std::move(AAnswerer); }

int ShowModalBox(const TModalRequest& ARequest) {
  if (Answerer()) return Answerer()(ARequest);
  QMessageBox Box(IconOf(ARequest.Type), QString::fromLocal8Bit(ARequest.Title.c_str()),
                  QString::fromLocal8Bit(ARequest.Text.c_str()), QMessageBox::Ok);
  Box.exec();
  return mrOk;
}

int MessageDlg(const std::string& AMessage, TMsgDlgType AType) {
  static const char* const Titles[] = {"Warning", "Error", "Information", "Confirm", ""};
  return ShowModalBox({AType, Titles[static_cast<int>(AType)], AMessage});
}
