#include "TComponent.h"

#include <algorithm>

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner != nullptr) FOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  // Each owned component removes itself from the list while it is destroyed.
  while (!FComponents.empty()) delete FComponents.back();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
  for (TComponent* Component : FComponents)
    if (Component->FName == AName) return Component;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) { FComponents.push_back(AComponent); }

void TComponent::RemoveComponent(TComponent* AComponent) {
  auto Found = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (Found != FComponents.end()) FComponents.erase(Found);
}
