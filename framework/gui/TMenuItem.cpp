#include "TMenuItem.h"

#include <QAction>
#include <QString>

#include "TApplication.h"

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FAction(new QAction) {
  QObject::connect(FAction.get(), &QAction::triggered,
                   [this] { TApplication::Guarded([this] { Click(); }); });
}

TMenuItem::~TMenuItem() = default;

void TMenuItem::SetCaption(const std::string& ACaption) {
  FCaption = ACaption;
  FAction->setText(QString::fromLocal8Bit(FCaption.c_str()));
}

bool TMenuItem::Enabled() const { return FAction->isEnabled(); }

void TMenuItem::SetEnabled(bool AEnabled) { FAction->setEnabled(AEnabled); }

void TMenuItem::Click() {
  if (Enabled()) OnClick(this);
}
