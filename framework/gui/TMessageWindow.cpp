#include "TMessageWindow.h"

#include <exception>
#include <utility>

#include "Exception.h"
#include "TApplication.h"

namespace {

constexpr const char* WindowClassName = "DravikMessageWindow";

void RegisterWindowClass(WNDPROC AProc) {
  static const bool Registered = [AProc] {
    WNDCLASSA Class{};
    Class.lpfnWndProc = AProc;
    Class.lpszClassName = WindowClassName;
    return RegisterClassA(&Class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  if (!Registered) throw Exception("Cannot register the message window class");
}

}  // namespace

TMessageWindow::TMessageWindow(TWndMethod AMethod) : FMethod(std::move(AMethod)) {
  RegisterWindowClass(&TMessageWindow::WindowProc);
  FHandle = CreateWindowExA(0, WindowClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                            nullptr);
  if (FHandle == nullptr) throw Exception("Cannot create a message window");
  SetWindowLongPtrA(FHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TMessageWindow::~TMessageWindow() { DestroyWindow(FHandle); }

LRESULT CALLBACK TMessageWindow::WindowProc(HWND AWindow, UINT AMsg, WPARAM AWParam,
                                            LPARAM ALParam) {
  auto* Window = reinterpret_cast<TMessageWindow*>(GetWindowLongPtrA(AWindow, GWLP_USERDATA));
  if (Window == nullptr) return DefWindowProcA(AWindow, AMsg, AWParam, ALParam);
  TMessage Message{AMsg, AWParam, ALParam, 0};
  // An error must not unwind through the platform's message dispatch: it is
  // shown to the user and the program runs on.
  TApplication::Guarded([&] { Window->FMethod(Message); });
  return Message.Result;
}
