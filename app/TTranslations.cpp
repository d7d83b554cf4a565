#include "TTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>

#include "ExecutablePath.h"

namespace {

// The English translator in use, if any.
const TTranslations* EnglishInUse = nullptr;

QString Variable(const char* AName) { return QString::fromLocal8Bit(qgetenv(AName)); }

// A locale name's language: the letters before the territory, code set or
// modifier (en of en_GB.UTF-8), in lower case.
QString LanguageOf(const QString& ALocale) {
  return ALocale.section(QRegularExpression(QStringLiteral("[_.@-]")), 0, 0).toLower();
}

}  // namespace

QString TTranslations::Chosen() {
  if (!qEnvironmentVariableIsEmpty("DRAVIK_LANG")) return ChosenFrom({Variable("DRAVIK_LANG")});
  QString Locale;
  for (const char* Name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    Locale = Variable(Name);
    if (!Locale.isEmpty()) break;
  }
  // Under the C locale gettext translates nothing, LANGUAGE or not.
  const QString Language = LanguageOf(Locale);
  if (Language.isEmpty() || Language == QLatin1String("c") || Language == QLatin1String("posix"))
    return QString();
  QStringList Preferred = Variable("LANGUAGE").split(QLatin1Char(':'), Qt::SkipEmptyParts);
  Preferred << Locale;
  return ChosenFrom(Preferred);
}

QString TTranslations::ChosenFrom(const QStringList& APreferred) {
  for (const QString& Locale : APreferred) {
    const QString Language = LanguageOf(Locale);
    if (Language != QLatin1String("en") && Language != QLatin1String("zh")) continue;
    // Without code set and modifier; a territory only in its usual form.
    static const QRegularExpression Name(QStringLiteral("^([A-Za-z]{2})(?:[_-]([A-Za-z]{2}))?"));
    const QRegularExpressionMatch Match = Name.match(Locale);
    if (!Match.hasMatch()) continue;
    QString Result = Match.captured(1).toLower();
    if (!Match.captured(2).isEmpty()) Result += QLatin1Char('_') + Match.captured(2).toUpper();
    return Result;
  }
  return QString();
}

TTranslations::TTranslations(const QString& ALanguage, const QString& AFolder) {
  const QString Language = LanguageOf(ALanguage);
  if (Language != QLatin1String("en") && Language != QLatin1String("zh")) return;
  // Our Chinese is the simplified one, whichever territory asked for it.
  const QString File = Language == QLatin1String("en") ? QStringLiteral("dravik_en")
                                                       : QStringLiteral("dravik_zh_CN");
  FLoaded = FProgram.load(File, AFolder) && QCoreApplication::installTranslator(&FProgram);
  if (!FLoaded) return;
  if (FToolkit.load(QLocale(ALanguage), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&FToolkit);
  FEnglish = Language == QLatin1String("en");
  if (FEnglish) EnglishInUse = this;
}

TTranslations::~TTranslations() {
  QCoreApplication::removeTranslator(&FToolkit);
  QCoreApplication::removeTranslator(&FProgram);
  if (EnglishInUse == this) EnglishInUse = nullptr;
}

bool TTranslations::English() { return EnglishInUse != nullptr; }

QString TTranslations::Folder() {
  const QDir Beside = QFileInfo(QString::fromStdString(ExecutablePath())).dir();
  const QString Built = Beside.filePath(QStringLiteral("translations"));
#ifdef DRAVIK_INSTALLED_TRANSLATIONS
  if (!QFileInfo(Built).isDir())
    return QDir::cleanPath(Beside.filePath(QStringLiteral(DRAVIK_INSTALLED_TRANSLATIONS)));
#endif
  return Built;
}
