#pragma once

#include <QCoreApplication>
#include <QString>

// The maker's addresses and contact texts, as the windows show them.
namespace Maker {

inline constexpr const char* HomePage = "https://dravik.example.org/";
// What the tray menu's site item and the About window's links open.
inline constexpr const char* SiteAddress = "https://dravik.example.org/";
inline constexpr const char* MailAddress = "dravik@example.org";
// Texts of the windows, shown through Text in the windows' language.
inline constexpr const char* NameLine = QT_TRANSLATE_NOOP("Maker", "Dravik 开发组");
inline constexpr const char* ContactLine =
    QT_TRANSLATE_NOOP("Maker", "联系: dravik@example.org  主页: https://dravik.example.org/");

inline QString Text(const char* AText) { return QCoreApplication::translate("Maker", AText); }

}  // namespace Maker
