#include "cwHyperLink.h"

#include "ShellApi.h"
#include "TApplication.h"

namespace {
QString FromSystem(const std::string& AText) { return QString::fromLocal8Bit(AText.c_str()); }
std::string ToSystem(const QString& AText) { return AText.toLocal8Bit().toStdString(); }
}  // namespace

TcwHyperLink::TcwHyperLink(QWidget* AParent, TComponent* AOwner)
    : TGraphicControl(AParent, AOwner) {
  // No address of its own: a label shows and opens what its form gives it.
  FURL.clear();
  FCaption = FURL;
  SetWidth(100);
  SetHeight(10);
  Canvas()->Font().SetStyle(fsBold | fsUnderline);
  FLinkColor = clBlue;
  Canvas()->Font().SetColor(clBlue);
  SetColor(clBtnFace);
  SetCursor(crHandPoint);
  Invalidate();
}

void TcwHyperLink::SetURL(const std::string& AURL) {
  if (AURL != FURL) FURL = AURL;
}

void TcwHyperLink::SetCaption(const std::string& ACaption) {
  if (ACaption == FCaption) return;
  FCaption = ACaption;
  Invalidate();
}

void TcwHyperLink::SetColor(TColor AColor) {
  if (AColor == FColor) return;
  FColor = AColor;
  Canvas()->Brush().SetColor(AColor);
  Invalidate();
}

void TcwHyperLink::SetFontName(const std::string& AName) {
  if (AName == FFontName) return;
  FFontName = AName;
  Canvas()->Font().SetName(AName);
  Invalidate();
}

void TcwHyperLink::MouseEnter() {
  Canvas()->Font().SetColor(clRed);
  Invalidate();
}

void TcwHyperLink::MouseLeave() {
  Canvas()->Font().SetColor(FLinkColor);
  Invalidate();
}

void TcwHyperLink::WndProc(TMessage& AMessage) {
  // The press opens, not the release; a double click's second press comes as
  // WM_LBUTTONDBLCLK and opens nothing.
  if (AMessage.Msg == WM_LBUTTONDOWN && !Designing()) {
    ShellExecuteA(Application().Handle(), "open", FURL.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    FLinkColor = clFuchsia;
  }
  TGraphicControl::WndProc(AMessage);
}

void TcwHyperLink::Paint() {
  SetHeight(Canvas()->TextHeight(FCaption) + 2);
  SetWidth(Canvas()->TextWidth(FCaption) + 6);
  Canvas()->FillRect(Canvas()->ClipRect());
  Canvas()->TextOut(3, 1, FCaption);
}

QString TcwHyperLink::URLText() const { return FromSystem(FURL); }
void TcwHyperLink::SetURLText(const QString& AText) { SetURL(ToSystem(AText)); }
QString TcwHyperLink::CaptionText() const { return FromSystem(FCaption); }
void TcwHyperLink::SetCaptionText(const QString& AText) { SetCaption(ToSystem(AText)); }
QString TcwHyperLink::FontNameText() const { return FromSystem(FFontName); }
void TcwHyperLink::SetFontNameText(const QString& AText) { SetFontName(ToSystem(AText)); }
