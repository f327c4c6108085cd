// The settings store: named text values under a registry-style key path. On Windows the values
// live in the registry under HKEY_CURRENT_USER; elsewhere in one INI file per user. Key paths and
// value names ignore letter case, as they do in the registry.
#pragma once

#include <QString>

class SettingsStore
{
public:
    // The one shared store, created on first use.
    static SettingsStore& shared();

    // The stored text, or sDefault when the value does not exist. An INI file larger than
    // MAX_FILE_SIZE is never read nor written: every value is missing, each save does nothing
    // and gives false, and a message says so once.
    QString GetStoredSetting(const QString& sKeyPath, const QString& sValueName,
                             const QString& sDefault) const;
    // Creates or overwrites the value, creating a missing key path. Returns true when stored.
    bool SaveStoredSetting(const QString& sKeyPath, const QString& sValueName,
                           const QString& sValue);

    // The key path of the product, under which every setting of KeyCask lives.
    static QString ProductKeyPath();

    static constexpr qint64 MAX_FILE_SIZE = 1024 * 1024;
    static QString OversizedMessage(const QString& sPath);

private:
    SettingsStore() = default;
};
