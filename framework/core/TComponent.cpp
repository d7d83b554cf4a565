#include "TComponent.h"

#include <algorithm>

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner != nullptr) FOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  while (!FFreeNotifies.empty()) {
    TComponent* Other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Other->RemoveFreeNotification(this);
    Other->Notification(this, TOperation::opRemove);
  }
  // Each owned component removes itself from the list while it is destroyed.
  while (!FComponents.empty()) delete FComponents.back();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
  for (TComponent* Component : FComponents)
    if (Component->FName == AName) return Component;
  return nullptr;
}

void TComponent::Notification(TComponent* AComponent, TOperation AOperation) {
  // A copy: a component told here may not change the list, but one removed
  // while being told must not derail the others.
  const std::vector<TComponent*> Owned = FComponents;
  for (TComponent* Component : Owned) Component->Notification(AComponent, AOperation);
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(AComponent);
    AComponent->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent),
                      FFreeNotifies.end());
}

void TComponent::InsertComponent(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  Notification(AComponent, TOperation::opRemove);
  auto Found = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (Found != FComponents.end()) FComponents.erase(Found);
}
