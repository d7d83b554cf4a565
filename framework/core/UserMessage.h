#pragma once

#include <functional>
#include <string>

// The kinds of message a component can have for the user; the window program
// shows each in a message box of that type.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// How a component's message reaches the user. The window program installs a
// handler that shows a message box and waits for it to be closed; a program
// without a window installs its own (a log line). Until one is installed, the
// message is written to the standard error.
using TUserMessageHandler = std::function<void(const std::string&, TMsgDlgType)>;

// Installs AHandler for every message to come; an empty one restores the
// standard error.
void SetUserMessageHandler(TUserMessageHandler AHandler);

// Hands the message to the installed handler and returns when it is done.
void ShowUserMessage(const std::string& AMessage, TMsgDlgType AType);
