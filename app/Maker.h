#pragma once

// The maker's addresses and contact texts, as the windows show them.
namespace Maker {

inline constexpr const char* HomePage = "https://dravik.example.org/";
// What the tray menu's site item and the About window's links open.
inline constexpr const char* SiteAddress = "https://dravik.example.org/";
inline constexpr const char* MailAddress = "dravik@example.org";
inline constexpr const char* NameLine = "Dravik 开发组";
inline constexpr const char* ContactLine =
    "联系: dravik@example.org  主页: https://dravik.example.org/";

}  // namespace Maker
