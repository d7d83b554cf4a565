#include "TestSupport.h"

TModalRecorder& TModalRecorder::Instance() {
  static TModalRecorder Recorder;
  return Recorder;
}

void TModalRecorder::Install() {
  SetModalAnswerer([this](const TModalRequest& ARequest) {
    FShown.push_back(ARequest);
    const int Answer = FNextAnswer;
    FNextAnswer = mrOk;
    return Answer;
  });
}
