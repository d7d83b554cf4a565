#pragma once

#include <string>
#include <vector>

// The root of everything an event can name as its sender.
class TObject {
 public:
  virtual ~TObject() = default;
};

enum class TOperation { opInsert, opRemove };

// A component has an owner and a name; destroying it destroys, last first,
// every component it owns.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const std::vector<TComponent*>& Components() const { return FComponents; }
  TComponent* FindComponent(const std::string& AName) const;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& AName) { FName = AName; }
  int Tag() const { return FTag; }
  void SetTag(int ATag) { FTag = ATag; }

  // Set while a form designer hosts the component; run-time behaviour that
  // must not happen at design time looks at it.
  bool Designing() const { return FDesigning; }
  void SetDesigning(bool ADesigning) { FDesigning = ADesigning; }

  // Runs once the owner has applied every stored property value.
  virtual void Loaded() {}

  // Told when a component of the same owner, or one asked for through
  // FreeNotification, is inserted or removed; a component that refers to
  // another lets go of it here. The base tells every owned component.
  virtual void Notification(TComponent* AComponent, TOperation AOperation);

  // AComponent is told of this one's removal (and this one of AComponent's),
  // whatever their owners: for references between components of different
  // owners.
  void FreeNotification(TComponent* AComponent);

 private:
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  void RemoveFreeNotification(TComponent* AComponent);

  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  std::string FName;
  int FTag = 0;
  bool FDesigning = false;
};
