// The program's persistent user settings, its fixed paths, the report folder and its version
// text.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

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

    // Seconds after which a copied password leaves the clipboard; 0 never. Default 30.
    int ClearClipboardSeconds() const;
    void setClearClipboardSeconds(int lValue);
    // Minutes without input after which the main window locks itself; 0 never. Default 0.
    int IdleLockMinutes() const;
    void setIdleLockMinutes(int lValue);
    // How many backups of the data file are kept (0 to 20, default 3); none turns them off.
    int KeepBackups() const;
    void setKeepBackups(int lValue);
    // The generated passwords: their length (8 to 50, default 20) and which classes of
    // characters they draw from (all four by default).
    int GeneratorLength() const;
    void setGeneratorLength(int lValue);
    bool GeneratorUpper() const;
    void setGeneratorUpper(bool bValue);
    bool GeneratorLower() const;
    void setGeneratorLower(bool bValue);
    bool GeneratorDigits() const;
    void setGeneratorDigits(bool bValue);
    bool GeneratorPunctuation() const;
    void setGeneratorPunctuation(bool bValue);
    // The offline breach list the password health report looks passwords up in; empty: none.
    QString BreachListPath() const;
    void setBreachListPath(const QString& sPath);

    // Milliseconds between two keys that KeyCask types into another window (0 to 100, default 10).
    int AutoTypeDelayMs() const;
    void setAutoTypeDelayMs(int lValue);
    // The global shortcut that types into the active window, as portable key-sequence text
    // ("Ctrl+Alt+A" by default); empty turns it off. A text that is no key sequence gives the
    // default.
    QString AutoTypeShortcut() const;
    void setAutoTypeShortcut(const QString& sValue);

    // Limits of the numeric settings.
    static constexpr int MAX_CLEAR_CLIPBOARD_SECONDS = 3600;
    static constexpr int MAX_IDLE_LOCK_MINUTES = 1440;
    static constexpr int MIN_GENERATOR_LENGTH = 8;
    static constexpr int MAX_GENERATOR_LENGTH = 50;
    static constexpr int MAX_AUTO_TYPE_DELAY_MS = 100;

    // Where KeyCask keeps its files. Folder mode keeps everything beside the program; it is
    // chosen by a marker file "keycask.portable" or a data file "Database/pwd.quillondata" in
    // the application folder. Installed mode, every other case, keeps the data file and the
    // reports in the user's own folders and reads help from the installed share folder. The mode
    // is decided once per application folder; a file appearing later does not change it.
    enum class Mode { Folder, Installed };
    Mode RunMode() const;
    static constexpr const char* PORTABLE_MARKER = "keycask.portable";

    QString DatabasePath() const;
    // Whether KeyCask made the data file at DatabasePath() itself (installed mode, first start):
    // a later start that finds it missing asks before making another.
    bool DataFileMade() const;
    void RecordDataFileMade() const;
    // Folder mode: "Reports" beside the program. Installed: a private folder of the session
    // ($XDG_RUNTIME_DIR/keycask, emptied at log-out), else "Reports" in the user's local data.
    // A folder of another user's, or one others can write in, is passed over for the next.
    QString ReportPath() const;
    // Installed, why the data file's folder cannot hold the user's passwords: it belongs to
    // another user, or others can write in it (also through a link). Empty when it can.
    QString DataFolderProblem() const;
    // The folder that holds the help pages (its "keycask/keycask.htm" is the start page).
    QString HelpPath() const;
    QString MajorMinorRevision() const;
    QString Release() const;

    // True while the data file has no master row. The first read loads that row.
    bool FirstTime();

    // Creates the report folder, one level (installed: with the folders above it), or makes an
    // existing one its owner's alone; then removes the reports a run left behind when it ended
    // without closing its window. Every failure is ignored.
    void MakeReportPath() const;
    // Why the report folder cannot take reports: it is a symbolic link, or something other than a
    // folder. Empty when it is a folder of its own, or missing.
    QString ReportPathProblem() const;
    // True for the names KeyCask gives its reports: "PWD_" or "File_Folders_", the time stamp
    // "yyyy-mm-dd_hhmmss", an optional "_<number>" of a next free name, then ".rtf" or ".csv".
    static bool IsReportFileName(const QString& sName);
    // Deletes the reports KeyCask wrote in the report folder, last name first: regular files with
    // a report's name only, none through a symbolic link, and nothing when the folder has a
    // problem. Gives the full paths that could not be deleted, in the order they were tried.
    QStringList DeleteReports() const;

    // The folder that holds the program file, with no trailing separator.
    static QString ApplicationFolder();
    // Puts the application folder elsewhere (tests run each in their own folder). An empty
    // text returns to the program's own folder. The first-time check starts over.
    void SetApplicationFolder(const QString& sFolder);

    // The stored-text-to-Boolean rule: "0" is false, any other number true, True and False in
    // any case; anything else is no Boolean.
    static std::optional<bool> TextToBoolean(const QString& sText);
    static QString BooleanToText(bool bValue);
    // A stored text as a finite number; text that is no number, NaN, an infinity or a number
    // too large for a double is none.
    static std::optional<double> TextToNumber(const QString& sText);

private:
    clsApp() = default;
    // A stored value that cannot be used, like one that is missing, gives the default: an
    // unreadable setting never turns a protection off. Errors of the store pass to the caller.
    bool readBoolean(const QString& sValueName, bool bDefault) const;
    void writeBoolean(const QString& sValueName, bool bValue) const;
    // A whole number setting, rounded to the nearest; a number outside the limits gives the
    // default.
    int readNumber(const QString& sValueName, int lDefault, int lMin, int lMax) const;
    void writeNumber(const QString& sValueName, int lValue) const;

    bool m_firstTimeChecked = false;
    mutable std::optional<Mode> m_mode;
};
