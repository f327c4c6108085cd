// The settings store over QSettings: the registry on Windows, one INI file per user elsewhere.
#include "platform/SettingsStore.h"

#include "platform/AppError.h"
#include "platform/MsgBox.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <memory>

namespace {

const QString kProductKeyPath = QStringLiteral("Software\\QuillonSoftware\\KeyCask");

#ifndef Q_OS_WIN
// The INI file of the product, found without reading it: Qt names the user's settings folder only
// through a settings object, which reads its files as it is made, so one of a name that no file
// has gives the folder.
QString iniFilePath()
{
    const QSettings probe(QSettings::IniFormat, QSettings::UserScope,
                          QStringLiteral("KeyCask-settings-folder"), QStringLiteral("none"));
    return QFileInfo(QFileInfo(probe.fileName()).absolutePath()).absolutePath() +
           QStringLiteral("/QuillonSoftware/KeyCask.ini");
}

// True when the INI file is too large to be a settings file of KeyCask's: it is then left alone
// and the defaults apply. Says so once per file.
bool oversized(const QString& sPath)
{
    const QFileInfo info(sPath);
    if (!info.isFile() || info.size() <= SettingsStore::MAX_FILE_SIZE) {
        return false;
    }
    static QSet<QString> told;
    if (!told.contains(sPath)) {
        told.insert(sPath);
        MsgBox::Show(SettingsStore::OversizedMessage(sPath),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly);
    }
    return true;
}
#endif

// Opens the store and gives the group path of a key path inside it; nothing when the store is an
// INI file too large to read.
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
    const QString file = iniFilePath();
    if (oversized(file)) {
        return nullptr;
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
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

QString SettingsStore::OversizedMessage(const QString& sPath)
{
    return QStringLiteral("The settings file %1 is larger than 1 MB. KeyCask leaves it as it is "
                          "and uses its default settings.")
        .arg(QDir::toNativeSeparators(sPath));
}

QString SettingsStore::GetStoredSetting(const QString& sKeyPath, const QString& sValueName,
                                        const QString& sDefault) const
{
    QString group;
    auto settings = openStore(sKeyPath, group);
    if (!settings) {
        return sDefault;
    }
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
    if (!settings) {
        return false;
    }
    settings->setValue(storedKey(*settings, group, sValueName), sValue);
    settings->sync();
    raiseOnError(*settings);
    return true;
}
