// The program's persistent user settings, its fixed paths and its version text.
#pragma once

#include <QString>

class clsApp
{
public:
    // The one shared instance, created on first use.
    static clsApp& shared();

    bool AlwaysOnTop() const;
    void setAlwaysOnTop(bool bValue);
    bool BalloonShown() const;
    void setBalloonShown(bool bValue);
    bool LockOnMinimize() const;
    void setLockOnMinimize(bool bValue);
    bool ShowNotesOwnColumn() const;
    void setShowNotesOwnColumn(bool bValue);

    QString DatabasePath() const;
    QString ReportPath() const;
    QString MajorMinorRevision() const;
    QString Release() const;

    // True while the data file has no master row. The first read loads that row.
    bool FirstTime();

    // Creates the report folder, one level; every failure is ignored.
    void MakeReportPath() const;

    // The folder that holds the program file, with no trailing separator.
    static QString ApplicationFolder();
    // Puts the application folder elsewhere (tests run each in their own folder). An empty
    // text returns to the program's own folder. The first-time check starts over.
    void SetApplicationFolder(const QString& sFolder);

    // The stored-text-to-Boolean rule: "0" is false, any other number true, True and False in
    // any case; anything else raises a type-mismatch error naming the value.
    static bool TextToBoolean(const QString& sValueName, const QString& sText);
    static QString BooleanToText(bool bValue);

private:
    clsApp() = default;
    bool readBoolean(const QString& sValueName, const QString& sDefault) const;
    void writeBoolean(const QString& sValueName, bool bValue) const;

    bool m_firstTimeChecked = false;
};
