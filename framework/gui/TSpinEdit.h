#pragma once

#include <QAbstractSpinBox>
#include <cstdint>

// The integer spin edit: free text without bounds. Its value is read from its
// text at the moment of use, and a text that is not a 32-bit integer reads as
// 0. The up and down buttons step by 1.
class TSpinEdit : public QAbstractSpinBox {
 public:
  explicit TSpinEdit(QWidget* AParent = nullptr);

  int32_t Value() const;
  void SetValue(int32_t AValue);

  void stepBy(int ASteps) override;
  QValidator::State validate(QString& AInput, int& APos) const override;

 protected:
  StepEnabled stepEnabled() const override;
};
