#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

// The windows' language. Their texts are written in Chinese, which they speak
// unless a language the program is translated into is asked for; the
// toolkit's own texts (the buttons of its boxes, the edit fields' menus)
// then follow in that language from the toolkit's translations.
class TTranslations {
 public:
  // The language asked for, as a locale name (en_GB, zh_CN), or empty when
  // none of ours is asked for: DRAVIK_LANG when it is not empty, else the locale
  // as programs translated with gettext read it (LANGUAGE, a list, before
  // the first of LC_ALL, LC_MESSAGES and LANG; nothing under the C or POSIX
  // locale).
  static QString Chosen();
  // The first of APreferred (locale names, most wanted first) that names a
  // language of ours, without its code set and modifier; empty when none.
  static QString ChosenFrom(const QStringList& APreferred);

  // Installs the translations for ALanguage (a name Chosen gives; empty
  // installs nothing) from AFolder; they are in use while the object lives.
  explicit TTranslations(const QString& ALanguage, const QString& AFolder = Folder());
  ~TTranslations();
  TTranslations(const TTranslations&) = delete;
  TTranslations& operator=(const TTranslations&) = delete;

  // Whether the program's own translation was found and is in use.
  bool Loaded() const { return FLoaded; }

  // Whether the windows speak English: texts that do not come from the
  // translations (the dial-up error texts) follow.
  static bool English();

  // Where the program's translations are: beside the executable in a build,
  // in the shared data folder where it is installed.
  static QString Folder();

 private:
  QTranslator FProgram;
  QTranslator FToolkit;
  bool FLoaded = false;
  bool FEnglish = false;
};
