// The fixed texts of the composer window's pages, shared by every toolkit.
#pragma once

namespace quorvel::composerText {

/// The three pages, in order.
inline constexpr const char* pageComposer = "SMS Composer";
inline constexpr const char* pageSettings = "SMS Settings";
inline constexpr const char* pageComlog = "Communication Log";

/// Page "SMS Settings".
inline constexpr const char* serverGroup = " Server settings ";
inline constexpr const char* serverInfo =
    "Please specify the SMS Server URL, the login name and the password \n"
    "to connect to the KAVRI SMS Server. ";
inline constexpr const char* serverURL = "Server URL:";
inline constexpr const char* userName = "User name:";
inline constexpr const char* password = "Password:";
inline constexpr const char* testConnection = "&Test connection";
inline constexpr const char* apply = "&Apply";
inline constexpr const char* notificationsGroup = " SMS Notifications ";
inline constexpr const char* notificationsInfo =
    "SMS Notification can be sent on events and tasks. Please set the \n"
    "phone numer of the person, who should receive these notifications.\n"
    "You may also select when should Outlook send out SMS notifications.";
inline constexpr const char* phone = "Phone:";
inline constexpr const char* notifyOn = "Notify on: ";
inline constexpr const char* notifyAll = "Notify all participants";

/// Page "Communication Log".
inline constexpr const char* comlogCaption = "Communication with the server:";
inline constexpr const char* outboxCaption = "Outgoing messages waiting to be sent:";

} // namespace quorvel::composerText
