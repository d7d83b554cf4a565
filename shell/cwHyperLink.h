#pragma once

#include <QString>
#include <string>

#include "TColor.h"
#include "TGraphicControl.h"

// A line of text in link style (bold, underlined, blue) that asks the shell
// to open its address when pressed with the left button: red while the
// pointer is over it, fuchsia once pressed whenever it is not.
class TcwHyperLink : public TGraphicControl {
  Q_OBJECT
  // For forms made with Qt Designer (as properties with stdset="0").
  Q_PROPERTY(QString URL READ URLText WRITE SetURLText)
  Q_PROPERTY(QString Caption READ CaptionText WRITE SetCaptionText)
  Q_PROPERTY(QString FontName READ FontNameText WRITE SetFontNameText)

 public:
  explicit TcwHyperLink(QWidget* AParent = nullptr, TComponent* AOwner = nullptr);

  const std::string& URL() const { return FURL; }
  void SetURL(const std::string& AURL);
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& ACaption);
  TColor Color() const { return FColor; }
  void SetColor(TColor AColor);
  const std::string& FontName() const { return FFontName; }
  void SetFontName(const std::string& AName);
  // The colour shown while the pointer is not over the label.
  TColor LinkColor() const { return FLinkColor; }

 protected:
  void Paint() override;
  void WndProc(TMessage& AMessage) override;
  void MouseEnter() override;
  void MouseLeave() override;

 private:
  QString URLText() const;
  void SetURLText(const QString& AText);
  QString CaptionText() const;
  void SetCaptionText(const QString& AText);
  QString FontNameText() const;
  void SetFontNameText(const QString& AText);

  TColor FLinkColor = clBlue;
  std::string FURL;
  std::string FCaption;
  TColor FColor = clBlack;
  std::string FFontName;
};
