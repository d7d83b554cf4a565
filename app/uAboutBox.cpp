#include "uAboutBox.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "ButtonPictures.h"
#include "DesignedFont.h"
#include "Maker.h"
#include "TJPEGImage.h"
#include "cwHyperLink.h"

TAboutBox* AboutBox = nullptr;

std::string TAboutBox::PictureFile = ":/pictures/about.jpg";

namespace {

// The designed outer size; the border and caption take 8 x 27 of it.
constexpr int OuterWidth = 307;
constexpr int OuterHeight = 216;

}  // namespace

TAboutBox::TAboutBox(QWidget* AParent) : QDialog(AParent) {
  setupUi(this);
  // Only the close box: no minimise, no maximise, no help button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(OuterWidth - 8, OuterHeight - 27);
  setWindowIcon(WindowPicture());
  UseDesignedFont(this);
  ProductName->setText(Maker::Text(Maker::NameLine));
  SpeedButton1->setIcon(ButtonPicture(TButtonPicture::Close));
  // A picture that cannot be decoded leaves the control empty; the window
  // opens all the same.
  TJPEGImage Picture;
  if (Picture.LoadFromFile(PictureFile)) {
    ProgramIcon->setPixmap(QPixmap::fromImage(Picture.Image()));
    ProgramIcon->resize(Picture.Width(), Picture.Height());
  }
  for (TcwHyperLink* Link : findChildren<TcwHyperLink*>()) Link->SetFontName("宋体");
  if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
    const QRect Desktop = Screen->geometry();
    move(Desktop.x() + (Desktop.width() - OuterWidth) / 2,
         Desktop.y() + (Desktop.height() - OuterHeight) / 2);
  }
}

int TAboutBox::ShowModal() { return exec(); }

void TAboutBox::SpeedButton1Click(TObject*) { close(); }

void TAboutBox::SpeedButton1Click() { SpeedButton1Click(nullptr); }
