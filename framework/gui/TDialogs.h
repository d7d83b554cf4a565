#pragma once

#include <functional>
#include <string>

#include "UserMessage.h"

// Every modal box of the program goes through here, so that a test can answer
// it without a person: with an answerer set, the box is not shown and the
// answerer's result stands for the button pressed.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

struct TModalRequest {
  TMsgDlgType Type;
  std::string Title;
  std::string Text;
};

using TModalAnswerer = std::function<int(const TModalRequest&)>;

// Installs AAnswerer for every box to come (an empty one restores real boxes).
void SetModalAnswerer(TModalAnswerer AAnswerer);

// Shows a box with one OK button and waits for it to be closed.
int ShowModalBox(const TModalRequest& ARequest);

// The framework's message dialog: a box with the given type and one OK
// button, titled after its type.
int MessageDlg(const std::string& AMessage, TMsgDlgType AType);
