#pragma once

#include <memory>
#include <string>

#include "Exception.h"
#include "ShellApi.h"
#include "TComponent.h"
#include "TEvent.h"
#include "TMessageWindow.h"
#include "TMouseEvent.h"

class TIcon;
class TImageList;
class TPopupMenu;

// A request to the shell that could not be prepared or sent.
class EantTaskbarIcon : public Exception {
 public:
  using Exception::Exception;
};

// The message the shell posts to the icon's window for mouse activity over it.
constexpr UINT WM_TASKBARICON = WM_USER + 1;

// Keeps one icon with a tooltip in the notification area, turns the shell's
// mouse notifications for it into events, and opens its menu on a right
// click.
class TantTaskbarIcon : public TComponent {
 public:
  explicit TantTaskbarIcon(TComponent* AOwner);
  ~TantTaskbarIcon() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;

  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnPopupMenu;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

  HWND WindowHandle() const { return FWindow->Handle(); }
  const NOTIFYICONDATAA& IconData() const { return FIconData; }
  TIcon* Icon() const { return FIcon.get(); }
  TImageList* ImageList() const { return FImageList; }
  int ImageIndex() const { return FImageIndex; }
  int IconID() const { return FIconID; }
  UINT IconFlags() const { return FIconFlags; }
  bool Visible() const { return FVisible; }
  bool Enabled() const { return FEnabled; }
  const std::string& Hint() const { return FHint; }
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  // Written straight into the field; the menu's removal clears it.
  void SetPopupMenu(TPopupMenu* AMenu);
  bool LeftButtonDown() const { return FLeftButtonDown; }

 protected:
  virtual void HandleWindowMessage(TMessage& AMessage);
  virtual void FillIconData();
  virtual void AddToTaskbar();
  virtual void DeleteFromTaskbar();
  virtual void TakeImageListIcon();
  virtual void MouseDown(TMouseButton AButton, TShiftState AShift, int X, int Y);
  virtual void MouseUp(TMouseButton AButton, TShiftState AShift, int X, int Y);
  virtual void Click();
  virtual void DblClick();

 public:
  virtual void SetIcon(const TIcon* APicture);
  virtual void SetImageList(TImageList* AList);
  virtual void SetImageIndex(int AIndex);
  virtual void SetIconID(int AId);
  virtual void SetVisible(bool AVisible);
  virtual void SetEnabled(bool AEnabled);
  virtual void SetHint(const std::string& AText);
  virtual void UpDate();
  virtual void ShowIcon();
  virtual void HideIcon();
  virtual void ShowPopupMenu();

 private:
  // Fills the record and sends ARequest; an error on the way becomes an
  // EantTaskbarIcon naming the operation.
  void Send(DWORD ARequest, const char* AOperation);

  std::unique_ptr<TMessageWindow> FWindow;
  NOTIFYICONDATAA FIconData{};
  std::unique_ptr<TIcon> FIcon;
  TImageList* FImageList = nullptr;
  int FImageIndex = 0;
  int FIconID = 0;
  UINT FIconFlags = NIF_MESSAGE | NIF_TIP;
  bool FVisible = false;
  bool FEnabled = true;
  std::string FHint;
  TPopupMenu* FPopupMenu = nullptr;
  bool FLeftButtonDown = false;
};

// The keys held now: Shift, Ctrl and Alt, as the shift state of a mouse event.
TShiftState CurrentShiftState();
