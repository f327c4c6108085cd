// The settings store over QSettings: the registry on Windows, one INI file per user elsewhere.
#include "platform/SettingsStore.h"

#include "platform/AppError.h"

#include <QSettings>
#include <memory>

namespace {

const QString kProductKeyPath = QStringLiteral("Software\\QuillonSoftware\\KeyCask");

// Opens the store and gives the group path of a key path inside it.
std::unique_ptr<QSettings> openStore(const QString& sKeyPath, QString& rsGroup)
{
    QString path = sKeyPath;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
#ifdef Q_OS_WIN
    rsGroup.clear();
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\") + path,
                                       QSettings::NativeFormat);
#else
    // The INI file belongs to the product; key paths below the product key become groups.
    if (path.compare(kProductKeyPath, Qt::CaseInsensitive) == 0) {
        rsGroup.clear();
    } else if (path.startsWith(kProductKeyPath + QLatin1Char('\\'), Qt::CaseInsensitive)) {
        rsGroup = path.mid(kProductKeyPath.size() + 1);
    } else {
        rsGroup = QStringLiteral("Other\\") + path;
    }
    rsGroup.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("QuillonSoftware"),
                                       QStringLiteral("KeyCask"));
#endif
}

void raiseOnError(const QSettings& settings)
{
    switch (settings.status()) {
    case QSettings::NoError:
        return;
    case QSettings::AccessError:
        throw AppError(AppError::FileError,
                       QStringLiteral("The settings store cannot be accessed: ") +
                           settings.fileName());
    case QSettings::FormatError:
        throw AppError(AppError::FileError,
                       QStringLiteral("The settings store is damaged: ") + settings.fileName());
    }
}

} // namespace

SettingsStore& SettingsStore::shared()
{
    static SettingsStore store;
    return store;
}

QString SettingsStore::ProductKeyPath()
{
    return kProductKeyPath;
}

QString SettingsStore::GetStoredSetting(const QString& sKeyPath, const QString& sValueName,
                                        const QString& sDefault) const
{
    QString group;
    auto settings = openStore(sKeyPath, group);
    raiseOnError(*settings);
    const QString key = group.isEmpty() ? sValueName : group + QLatin1Char('/') + sValueName;
    const QVariant value = settings->value(key);
    if (!value.isValid()) {
        return sDefault;
    }
    return value.toString();
}

bool SettingsStore::SaveStoredSetting(const QString& sKeyPath, const QString& sValueName,
                                      const QString& sValue)
{
    QString group;
    auto settings = openStore(sKeyPath, group);
    const QString key = group.isEmpty() ? sValueName : group + QLatin1Char('/') + sValueName;
    settings->setValue(key, sValue);
    settings->sync();
    raiseOnError(*settings);
    return true;
}
