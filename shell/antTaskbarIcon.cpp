#include "antTaskbarIcon.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "TApplication.h"
#include "TIcon.h"
#include "TImageList.h"
#include "TPopupMenu.h"

namespace {
// The tooltip member holds 64 bytes with the terminating zero.
constexpr size_t MaxHint = sizeof(NOTIFYICONDATAA::szTip) - 1;
}  // namespace

TShiftState CurrentShiftState() {
  TShiftState Shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) Shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) Shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) Shift |= ssAlt;
  return Shift;
}

TantTaskbarIcon::TantTaskbarIcon(TComponent* AOwner)
    : TComponent(AOwner), FIcon(std::make_unique<TIcon>()) {
  FWindow = std::make_unique<TMessageWindow>(
      [this](TMessage& AMessage) { HandleWindowMessage(AMessage); });
}

TantTaskbarIcon::~TantTaskbarIcon() {
  // A destructor must not throw: a failed removal is shown to the user and the
  // component still goes.
  TApplication::Guarded([this] { SetVisible(false); });
  FWindow.reset();
}

void TantTaskbarIcon::Loaded() {
  TComponent::Loaded();
  if (FVisible) ShowIcon();
}

void TantTaskbarIcon::Notification(TComponent* AComponent, TOperation AOperation) {
  if (AOperation == TOperation::opRemove) {
    if (AComponent == FPopupMenu) FPopupMenu = nullptr;
    // A list that is gone must never be asked for a picture again.
    if (AComponent == FImageList) FImageList = nullptr;
  }
  TComponent::Notification(AComponent, AOperation);
}

void TantTaskbarIcon::SetPopupMenu(TPopupMenu* AMenu) {
  FPopupMenu = AMenu;
  if (AMenu != nullptr) FreeNotification(AMenu);
}

void TantTaskbarIcon::HandleWindowMessage(TMessage& AMessage) {
  if (AMessage.Msg != WM_TASKBARICON || !FEnabled) {
    AMessage.Result =
        DefWindowProcA(WindowHandle(), AMessage.Msg, AMessage.WParam, AMessage.LParam);
    return;
  }
  POINT Cursor{0, 0};
  GetCursorPos(&Cursor);
  switch (static_cast<UINT>(AMessage.LParam)) {
    case WM_LBUTTONDOWN:
      FLeftButtonDown = true;
      MouseDown(TMouseButton::mbLeft, CurrentShiftState() | ssLeft, Cursor.x, Cursor.y);
      break;
    case WM_LBUTTONUP:
      MouseUp(TMouseButton::mbLeft, CurrentShiftState() | ssLeft, Cursor.x, Cursor.y);
      if (FLeftButtonDown) Click();
      FLeftButtonDown = false;
      break;
    case WM_LBUTTONDBLCLK:
      DblClick();
      break;
    case WM_RBUTTONDOWN:
      SetForegroundWindow(WindowHandle());
      MouseDown(TMouseButton::mbRight, CurrentShiftState() | ssRight, Cursor.x, Cursor.y);
      break;
    case WM_RBUTTONUP:
      ShowPopupMenu();
      MouseUp(TMouseButton::mbRight, CurrentShiftState() | ssRight, Cursor.x, Cursor.y);
      break;
    default:
      break;
  }
  AMessage.Result = 0;
}

void TantTaskbarIcon::FillIconData() {
  FIconData.cbSize = sizeof(NOTIFYICONDATAA);
  FIconData.hWnd = WindowHandle();
  FIconData.uID = static_cast<UINT>(FIconID);
  FIconData.uFlags = FIconFlags;
  FIconData.uCallbackMessage = WM_TASKBARICON;
  FIconData.hIcon = FIcon->Handle();
  const size_t Length = std::min(FHint.size(), MaxHint);
  std::memcpy(FIconData.szTip, FHint.data(), Length);
  FIconData.szTip[Length] = '\0';
}

void TantTaskbarIcon::Send(DWORD ARequest, const char* AOperation) {
  try {
    FillIconData();
    Shell_NotifyIconA(ARequest, &FIconData);
  } catch (...) {
    throw EantTaskbarIcon(Name() + "." + AOperation + " failed");
  }
}

void TantTaskbarIcon::AddToTaskbar() { Send(NIM_ADD, "AddToTaskbar"); }

void TantTaskbarIcon::DeleteFromTaskbar() { Send(NIM_DELETE, "DeleteFromTaskbar"); }

void TantTaskbarIcon::UpDate() { Send(NIM_MODIFY, "UpDate"); }

void TantTaskbarIcon::TakeImageListIcon() {
  if (FImageList == nullptr) return;
  FIcon->Assign(nullptr);
  FImageList->GetIcon(FImageIndex, FIcon.get());
  UpDate();
}

void TantTaskbarIcon::MouseDown(TMouseButton AButton, TShiftState AShift, int X, int Y) {
  OnMouseDown(this, AButton, AShift, X, Y);
}

void TantTaskbarIcon::MouseUp(TMouseButton AButton, TShiftState AShift, int X, int Y) {
  SetForegroundWindow(Application().Handle());
  OnMouseUp(this, AButton, AShift, X, Y);
}

void TantTaskbarIcon::Click() { OnClick(this); }

void TantTaskbarIcon::DblClick() { OnDblClick(this); }

void TantTaskbarIcon::SetIcon(const TIcon* APicture) {
  FIcon->Assign(APicture);
  UpDate();
}

void TantTaskbarIcon::SetImageList(TImageList* AList) {
  FImageList = AList;
  if (AList != nullptr) FreeNotification(AList);
  TakeImageListIcon();
}

void TantTaskbarIcon::SetImageIndex(int AIndex) {
  FImageIndex = AIndex;
  TakeImageListIcon();
}

void TantTaskbarIcon::SetIconID(int AId) {
  if (AId == FIconID) return;
  const bool WasVisible = FVisible;
  SetVisible(false);
  FIconID = AId;
  SetVisible(WasVisible);
}

void TantTaskbarIcon::SetVisible(bool AVisible) {
  if (AVisible == FVisible) return;
  FVisible = AVisible;
  if (AVisible)
    ShowIcon();
  else
    HideIcon();
}

void TantTaskbarIcon::SetEnabled(bool AEnabled) { FEnabled = AEnabled; }

void TantTaskbarIcon::SetHint(const std::string& AText) {
  FHint = AText.substr(0, MaxHint);
  UpDate();
}

void TantTaskbarIcon::ShowIcon() {
  FIconFlags |= NIF_ICON;
  AddToTaskbar();
  FVisible = true;
  OnShow(this);
}

void TantTaskbarIcon::HideIcon() {
  FIconFlags &= ~NIF_ICON;
  DeleteFromTaskbar();
  FVisible = false;
  OnHide(this);
}

void TantTaskbarIcon::ShowPopupMenu() {
  if (FPopupMenu == nullptr) return;
  POINT Cursor{0, 0};
  GetCursorPos(&Cursor);
  FPopupMenu->Popup(Cursor.x, Cursor.y);
  PostMessageA(WindowHandle(), WM_NULL, 0, 0);
  OnPopupMenu(this);
}
