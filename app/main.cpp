#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "TApplication.h"
#include "TDialogs.h"
#include "TGuiApplication.h"
#include "TTranslations.h"
#include "Unit1.h"
#include "WinUser.h"
#include "uAboutBox.h"

int main(int argc, char** argv) {
  if (!DesktopAvailable()) {
    std::fprintf(stderr, "dravik: no display: set DISPLAY (or run under xvfb-run) to start it.\n");
    return 1;
  }
  TGuiApplication App(argc, argv);
  // Before any window: the windows take their texts as they are made.
  const TTranslations Translations(TTranslations::Chosen());
  // For tests that run the program unattended: every box is answered at once
  // and its text goes to the standard error instead.
  const char* AnswerBoxes = std::getenv("DRAVIK_TEST_ANSWER_BOXES");
  if (AnswerBoxes != nullptr && std::strcmp(AnswerBoxes, "1") == 0) {
    SetModalAnswerer([](const TModalRequest& ARequest) {
      std::fprintf(stderr, "dravik: box: %s\n", ARequest.Text.c_str());
      return static_cast<int>(mrOk);
    });
  }
  try {
    Application().SetTitle("【Dravik】 V2.0");
    TForm1 Form1;
    Application().SetMainForm(&Form1);
    // Hidden until the About button shows it; it lives as long as the program.
    TAboutBox About;
    AboutBox = &About;
    Application().ShowMainForm();
    return App.exec();
  } catch (...) {
    // The last-chance handler: an error before the message loop ends the program.
    const std::string Text = TApplication::ErrorText(std::current_exception());
    std::fprintf(stderr, "dravik: %s\n", Text.c_str());
    ShowModalBox({TMsgDlgType::mtError, Application().Title(), Text});
    return 1;
  }
}
