// Where the composer keeps its settings, and their values before any load.
#pragma once

namespace quorvel {

/// The registry key of all composer settings (the trailing backslash belongs
/// to it).
inline constexpr const char* regroot = "HKEY_CURRENT_USER\\Software\\Kavri\\Nemora\\Outlook\\";

/// Value names, in the order they are loaded and saved.
inline constexpr const char* regServerURL = "eServerURL";
inline constexpr const char* regUserName = "eUserName";
inline constexpr const char* regPassword = "eUserPass";
inline constexpr const char* regNotifPhone = "eNotifPhoneNumber";
inline constexpr const char* regEventSel = "cbEventSel";
inline constexpr const char* regNotify = "cbNotify";

/// The field texts before anything is loaded; the server URL is the one the
/// bundled gateway answers on.
inline constexpr const char* defaultServerURL = "http://127.0.0.1:9333";
inline constexpr const char* defaultUserName = "nobody";
inline constexpr const char* defaultPassword = "pqr456";
inline constexpr const char* defaultNotifPhone = "+36201234567";

/// The three choices of "Notify on"; the first is the default.
inline constexpr const char* eventSelImportant = "Important events and tasks";
inline constexpr const char* eventSelAll = "All events and tasks";
inline constexpr const char* eventSelNever = "Never";

} // namespace quorvel
