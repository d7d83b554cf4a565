#pragma once

#include <QDialog>
#include <string>

#include "ui_uAboutBox.h"

// The About window: the product's picture, the maker's name and five links
// to the maker's site. It keeps no state and does no work when created.
class TAboutBox : public QDialog, public Ui_TAboutBox {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* AParent = nullptr);

  // Shown modally: returns once the window is closed, by SpeedButton1 or by
  // its close box.
  int ShowModal();

  // Ends the modal display; shown without modality, hides the window.
  void SpeedButton1Click(TObject* ASender);

  // The picture's file, decoded when a window is created: the one shipped
  // with the program (a resource) unless a test names another.
  static std::string PictureFile;

 public slots:
  void SpeedButton1Click();
};

// The About window for the About button, created at program start.
extern TAboutBox* AboutBox;
