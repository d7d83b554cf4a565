// The user's long time format as the C library's locales give it.

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "TimeText.h"

namespace {

constexpr size_t MaxLocaleNameLength = 255;

// A locale text in the codeset of the locale it came from.
QString Decode(const char* AText, const char* ACodeset) {
  if (AText == nullptr) return {};
  const size_t Length = std::strlen(AText);
  if (ACodeset == nullptr || *ACodeset == '\0' || std::strcmp(ACodeset, "UTF-8") == 0 ||
      std::strcmp(ACodeset, "ANSI_X3.4-1968") == 0)
    return QString::fromUtf8(AText, static_cast<qsizetype>(Length));
  iconv_t Converter = iconv_open("UTF-8", ACodeset);
  if (Converter == reinterpret_cast<iconv_t>(-1))
    return QString::fromLatin1(AText, static_cast<qsizetype>(Length));
  std::string In(AText, Length);
  std::string Out(Length * 4 + 4, '\0');
  char* InPtr = In.data();
  size_t InLeft = In.size();
  char* OutPtr = Out.data();
  size_t OutLeft = Out.size();
  const size_t Result = iconv(Converter, &InPtr, &InLeft, &OutPtr, &OutLeft);
  iconv_close(Converter);
  if (Result == static_cast<size_t>(-1))
    return QString::fromLatin1(AText, static_cast<qsizetype>(Length));
  return QString::fromUtf8(Out.data(), static_cast<qsizetype>(Out.size() - OutLeft));
}

// The locale the environment names for the time category, by the POSIX
// order of precedence; empty variables count as unset.
std::string TimeLocaleName() {
  for (const char* Variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* Value = std::getenv(Variable);
    if (Value != nullptr && *Value != '\0') {
      if (std::strlen(Value) > MaxLocaleNameLength) break;
      return Value;
    }
  }
  return "C";
}

}  // namespace

TLongTimeFormat TLongTimeFormat::FromLocale() {
  // The locale's own codeset comes with its time texts, so that a GB2312 or
  // Latin-1 locale decodes right.
  const std::string Name = TimeLocaleName();
  locale_t Locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, Name.c_str(), nullptr);
  if (Locale == nullptr) Locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", nullptr);
  if (Locale == nullptr) return TLongTimeFormat();
  const char* Codeset = nl_langinfo_l(CODESET, Locale);
  auto Text = [Locale, Codeset](nl_item AItem) {
    return Decode(nl_langinfo_l(AItem, Locale), Codeset);
  };
  const TLongTimeFormat Result =
      FromStrftime(Text(T_FMT), Text(T_FMT_AMPM), Text(AM_STR), Text(PM_STR));
  freelocale(Locale);
  return Result;
}
