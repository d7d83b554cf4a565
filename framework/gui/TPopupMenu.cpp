#include "TPopupMenu.h"

#include <QMenu>
#include <algorithm>

#include "TMenuItem.h"

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), FMenu(new QMenu) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Add(TMenuItem* AItem) {
  if (AItem == nullptr) return;
  FItems.push_back(AItem);
  FreeNotification(AItem);
  FMenu->addAction(AItem->Action());
}

void TPopupMenu::Popup(int X, int Y) {
  FPopupX = X;
  FPopupY = Y;
  OnPopup(this);
  FMenu->exec(QPoint(X, Y));
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation AOperation) {
  if (AOperation == TOperation::opRemove)
    FItems.erase(std::remove(FItems.begin(), FItems.end(), AComponent), FItems.end());
  TComponent::Notification(AComponent, AOperation);
}
