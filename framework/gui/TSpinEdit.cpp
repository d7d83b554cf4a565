#include "TSpinEdit.h"

#include <QLineEdit>
#include <algorithm>
#include <limits>

#include "StrToInt.h"

TSpinEdit::TSpinEdit(QWidget* AParent) : QAbstractSpinBox(AParent) {
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(true);
}

int32_t TSpinEdit::Value() const { return StrToIntDef(text().toStdString(), 0); }

void TSpinEdit::SetValue(int32_t AValue) { lineEdit()->setText(QString::number(AValue)); }

void TSpinEdit::stepBy(int ASteps) {
  const int64_t Stepped = static_cast<int64_t>(Value()) + ASteps;
  SetValue(static_cast<int32_t>(std::clamp<int64_t>(Stepped, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max())));
}

QValidator::State TSpinEdit::validate(QString&, int&) const { return QValidator::Acceptable; }

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
  return StepUpEnabled | StepDownEnabled;
}
