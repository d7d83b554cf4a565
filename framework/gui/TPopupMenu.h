#pragma once

#include <memory>
#include <vector>

#include "TComponent.h"
#include "TEvent.h"

class QMenu;
class TMenuItem;

// A menu that opens at a point of the screen.
class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // Appends an item; the menu refers to it and lets go of it when it goes.
  void Add(TMenuItem* AItem);
  const std::vector<TMenuItem*>& Items() const { return FItems; }

  // Raises OnPopup, opens the menu with its top-left corner at (X, Y) in
  // screen coordinates and returns once it has closed; a chosen item has run
  // by then.
  virtual void Popup(int X, int Y);
  // Where the menu last opened.
  int PopupX() const { return FPopupX; }
  int PopupY() const { return FPopupY; }

  // Raised just before the menu opens.
  TNotifyEvent OnPopup;

  QMenu* Menu() const { return FMenu.get(); }

  void Notification(TComponent* AComponent, TOperation AOperation) override;

 private:
  std::unique_ptr<QMenu> FMenu;
  std::vector<TMenuItem*> FItems;
  int FPopupX = 0;
  int FPopupY = 0;
};
