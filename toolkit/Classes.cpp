#include "toolkit/Classes.h"

#include <algorithm>

TComponent::TComponent(TComponent* AOwner) {
  if (!AOwner) return;
  AOwner->InsertComponent(this);
  FLoading = AOwner->FLoading;  // created inside a layout that is being applied
}

TComponent::~TComponent() {
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* Component) {
  Component->FOwner = this;
  FComponents.push_back(Component);
}

void TComponent::RemoveComponent(TComponent* Component) {
  auto It = std::find(FComponents.begin(), FComponents.end(), Component);
  if (It != FComponents.end()) FComponents.erase(It);
  Component->FOwner = nullptr;
}

void TComponent::BeginDestruction() {
  if (FToldDestroying) return;
  // The whole tree stops raising events before the first component is told:
  // telling one may handle messages (the shell's icon removal does), and
  // none may then reach a component that is not told yet.
  MarkDestroying();
  TellDestructionBegun();
}

void TComponent::MarkDestroying() {
  FDestroying = true;
  for (TComponent* C : FComponents) C->MarkDestroying();
}

void TComponent::TellDestructionBegun() {
  for (TComponent* C : FComponents) C->TellDestructionBegun();
  if (FToldDestroying) return;
  FToldDestroying = true;
  DestructionBegun();
}

void TComponent::DestroyComponents() {
  // Every owned component stops raising events before the first is freed:
  // freeing one may handle messages (the shell's icon removal does), and
  // nothing may then reach the half-freed rest.
  for (TComponent* C : FComponents) C->BeginDestruction();
  while (!FComponents.empty()) {
    TComponent* Last = FComponents.back();
    RemoveComponent(Last);
    delete Last;
  }
}

void TComponent::BeginLoading() {
  FLoading = true;
  for (TComponent* C : FComponents) C->BeginLoading();
}

void TComponent::EndLoading() {
  if (!FLoading) return;
  FLoading = false;
  for (TComponent* C : FComponents) C->EndLoading();
  Loaded();
}
