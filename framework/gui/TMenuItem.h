#pragma once

#include <memory>
#include <string>

#include "TComponent.h"
#include "TEvent.h"

class QAction;

// One command of a menu: its caption, whether it can be chosen, and what
// choosing it runs.
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& ACaption);
  bool Enabled() const;
  void SetEnabled(bool AEnabled);

  // Runs the item as choosing it in its menu does.
  void Click();

  TNotifyEvent OnClick;

  QAction* Action() const { return FAction.get(); }

 private:
  std::string FCaption;
  std::unique_ptr<QAction> FAction;
};
