// The settings store over QSettings: the registry on Windows, one INI file per user elsewhere.
#include "platform/SettingsStore.h"

#include "platform/AppError.h"

#include <QSettings>
#include <QStringList>
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

// The key of a value as the store holds it. Registry keys and value names ignore letter case:
// each group and the value name take the spelling already stored, ignoring case, so that a key
// path or name in another case reads and overwrites the same value. Parts not stored yet keep
// the spelling given.
QString storedKey(QSettings& settings, const QString& sGroup, const QString& sValueName)
{
#ifdef Q_OS_WIN
    // The registry itself ignores case.
    return sGroup.isEmpty() ? sValueName : sGroup + QLatin1Char('/') + sValueName;
#else
    const auto spelling = [](const QStringList& stored, const QString& sName) {
        for (const QString& candidate : stored) {
            if (candidate.compare(sName, Qt::CaseInsensitive) == 0) {
                return candidate;
            }
        }
        return sName;
    };
    QStringList parts;
    for (const QString& part : sGroup.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        parts << spelling(settings.childGroups(), part);
        settings.beginGroup(parts.last());
    }
    parts << spelling(settings.childKeys(), sValueName);
    for (qsizetype level = 1; level < parts.size(); ++level) {
        settings.endGroup();
    }
    return parts.join(QLatin1Char('/'));
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
    const QVariant value = settings->value(storedKey(*settings, group, sValueName));
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
    settings->setValue(storedKey(*settings, group, sValueName), sValue);
    settings->sync();
    raiseOnError(*settings);
    return true;
}
