#pragma once

#include <QLatin1String>
#include <QString>

// A key of ClientConfig.ini and what a reader gets when no level holds it.
struct SettingKey
{
    const char *name;
    const char *fallback;
    // Read from the user's own file only: the system-wide file is readable by
    // every account, so it must not hand out a secret.
    bool userOnly = false;

    QString key() const { return QLatin1String(name); }
    QString defaultValue() const { return QLatin1String(fallback); }
};

// Every key the launcher reads, in one place. A new key is one line here,
// added to the list below.
namespace Setting {
inline constexpr SettingKey serviceIP {"serviceIP", ""};
inline constexpr SettingKey language {"language", "0"};
inline constexpr SettingKey user {"user", ""};
inline constexpr SettingKey password {"password", "", true};
inline constexpr SettingKey recordpass {"recordpass", ""};
inline constexpr SettingKey autologin {"autologin", ""};
// Days a daily log file is kept; 0 keeps all.
inline constexpr SettingKey logDays {"logDays", "30"};
// How server certificates are judged: remember, any or strict.
inline constexpr SettingKey certificateCheck {"certificateCheck", "remember"};
// FreeRDP's floating bar on full-screen desktops: 1 shows the way out, 0 keeps
// a machine in full screen.
inline constexpr SettingKey floatbar {"floatbar", "1"};
// The launcher as the whole session of a shared machine.
inline constexpr SettingKey kiosk {"kiosk", "0"};
// Minutes without input after which a kiosk's portal closes; 0 never.
inline constexpr SettingKey kioskIdleMinutes {"kioskIdleMinutes", "10"};

inline constexpr const SettingKey *all[] = {&serviceIP, &language, &user, &password, &recordpass, &autologin,
    &logDays, &certificateCheck, &floatbar, &kiosk, &kioskIdleMinutes};
} // namespace Setting
