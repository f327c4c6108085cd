// Import of password entries from comma-separated files.
#include "data/CsvImport.h"

#include "data/CsvFile.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/modData.h"
#include "platform/AppError.h"
#include "platform/SecretText.h"

#include <QHash>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace {

// A row's values by lower-case column name; a column the row lacks gives empty text.
class RowView
{
public:
    RowView(const QStringList& record, const QHash<QString, int>& index)
        : m_record(record), m_index(index)
    {
    }
    QString operator()(const QString& sName) const
    {
        const int i = m_index.value(sName, -1);
        return i >= 0 && i < m_record.size() ? m_record[i] : QString();
    }

private:
    const QStringList& m_record;
    const QHash<QString, int>& m_index;
};

// One row mapped to the five fields; what has no field of its own goes to the notes as
// "Label: value" lines.
struct Mapped
{
    QString title, user, password, web, notes;
    QList<std::pair<QString, QString>> extras;
};

struct Format
{
    const char* name;
    QStringList required;
    QStringList optional;
    CsvFile::Dialect dialect;
    void (*map)(const RowView& value, Mapped& m);
    bool folders = false;
};

QStringList names(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* name : list) {
        out.append(QString::fromLatin1(name));
    }
    return out;
}

#define V(name) value(QStringLiteral(name))

const QList<Format>& formats()
{
    using D = CsvFile::Dialect;
    static const QList<Format> list = {
        {"KeePassXC or KeyCask", names({"group", "title", "username", "password", "url", "notes"}),
         names({"totp", "icon", "last modified", "created"}), D::Standard,
         [](const RowView& value, Mapped& m) {
             m = {V("title"), V("username"), V("password"), V("url"), V("notes"), {}};
             QString group = V("group");
             if (group == QLatin1String("Root")) {
                 group.clear();
             } else if (group.startsWith(u"Root/")) {
                 group.remove(0, 5);
             }
             m.extras = {{QStringLiteral("Group"), group}, {QStringLiteral("TOTP"), V("totp")}};
         }},
        {"Bitwarden",
         names({"folder", "favorite", "type", "name", "notes", "fields", "login_uri",
                "login_username", "login_password", "login_totp"}),
         names({"reprompt"}), D::Standard,
         [](const RowView& value, Mapped& m) {
             QStringList addresses = V("login_uri").split(u',', Qt::SkipEmptyParts);
             for (QString& address : addresses) {
                 address = address.trimmed();
             }
             m = {V("name"),           V("login_username"),
                  V("login_password"), addresses.isEmpty() ? QString() : addresses.takeFirst(),
                  V("notes"),          {}};
             m.extras = {{QStringLiteral("Folder"), V("folder")},
                         {QStringLiteral("Other addresses"), addresses.join(QStringLiteral(", "))},
                         {QStringLiteral("TOTP"), V("login_totp")},
                         {QStringLiteral("Fields"), V("fields")}};
         }},
        {"Chrome or another Chromium-based browser", names({"name", "url", "username", "password"}),
         names({"note"}), D::Standard,
         [](const RowView& value, Mapped& m) {
             m = {V("name"), V("username"), V("password"), V("url"), V("note"), {}};
         }},
        {"Firefox",
         names({"url", "username", "password", "httprealm", "formactionorigin", "guid",
                "timecreated", "timelastused", "timepasswordchanged"}),
         {},
         D::Standard,
         [](const RowView& value, Mapped& m) {
             m = {QString(), V("username"), V("password"), V("url"), QString(), {}};
             m.extras = {{QStringLiteral("HTTP realm"), V("httprealm")}};
         }},
        {"KeePass 1.x",
         names({"account", "login name", "password", "web site", "comments"}),
         {},
         D::Backslash,
         [](const RowView& value, Mapped& m) {
             m = {V("account"), V("login name"), V("password"), V("web site"), V("comments"), {}};
         }},
        {"LastPass", names({"url", "username", "password", "extra", "name", "grouping", "fav"}),
         names({"totp"}), D::Standard,
         [](const RowView& value, Mapped& m) {
             // Secure notes carry this address in place of none.
             const QString url = V("url") == QLatin1String("http://sn") ? QString() : V("url");
             m = {V("name"), V("username"), V("password"), url, V("extra"), {}};
             m.extras = {{QStringLiteral("Grouping"), V("grouping")},
                         {QStringLiteral("TOTP"), V("totp")}};
         }},
        {"1Password",
         names({"title", "url", "username", "password", "otpauth", "favorite", "archived", "tags",
                "notes"}),
         {},
         D::Standard,
         [](const RowView& value, Mapped& m) {
             m = {V("title"), V("username"), V("password"), V("url"), V("notes"), {}};
             m.extras = {{QStringLiteral("TOTP"), V("otpauth")},
                         {QStringLiteral("Tags"), V("tags")}};
         }},
        {"KeyCask file folders",
         names({"name", "folder", "notes"}),
         {},
         D::Standard,
         [](const RowView& value, Mapped& m) {
             m = {V("name"), QString(), QString(), V("folder"), V("notes"), {}};
         },
         true},
    };
    return list;
}

#undef V

// Column names that fill each field, for a first guess at a file of no known format.
const std::array<QStringList, CsvImport::FieldCount>& fieldNames()
{
    static const std::array<QStringList, CsvImport::FieldCount> list = {
        names({"title", "name", "account", "entry"}),
        names({"username", "user name", "user", "login", "login name", "email", "e-mail"}),
        names({"password", "pass", "pwd"}),
        names({"url", "web site", "website", "web address", "address", "uri", "login_uri"}),
        names({"notes", "note", "comments", "comment", "extra"}),
    };
    return list;
}

QString normalised(const QString& sName)
{
    return sName.trimmed().toLower();
}

bool isBlank(const QStringList& record)
{
    for (const QString& value : record) {
        if (!value.trimmed().isEmpty()) {
            return false;
        }
    }
    return true;
}

// Whether the first line of a file of no known format names its columns: every value filled,
// none twice, none that looks like an address or a mail address.
bool looksLikeHeader(const QStringList& record)
{
    QSet<QString> seen;
    for (const QString& value : record) {
        const QString name = normalised(value);
        if (name.isEmpty() || seen.contains(name) || name.contains(u"://") || name.contains(u'@')) {
            return false;
        }
        seen.insert(name);
    }
    return true;
}

// The host of an address, also of one written without a scheme.
QString hostOf(const QString& sAddress)
{
    const QString host = QUrl(sAddress).host();
    return host.isEmpty() ? QUrl::fromUserInput(sAddress).host() : host;
}

QStringList key(const clsPWD& entry)
{
    return {entry.TITLE_TX, entry.USER_NM, entry.PASSWORD_TX, entry.WEB_SITE_TX};
}

// Ends the transaction without its changes. After a failed commit the library may have rolled
// back already, and the statement then fails harmlessly.
void rollBack()
{
    try {
        modData::ExecuteRequired(QStringLiteral("ROLLBACK"));
    } catch (const AppError&) {
    }
}

// The texts of an entry as an import fills them.
std::array<QString*, 5> texts(clsPWD& entry)
{
    return {&entry.TITLE_TX, &entry.USER_NM, &entry.PASSWORD_TX, &entry.WEB_SITE_TX,
            &entry.NOTES_TX};
}

} // namespace

CsvImport::~CsvImport()
{
    Wipe();
}

void CsvImport::Wipe()
{
    for (Row& row : m_rows) {
        for (QString* text : texts(row.entry)) {
            SecretText::Wipe(*text);
        }
    }
    m_rows.clear();
    SecretText::Wipe(m_existing.values());
    m_existing.clear();
    SecretText::Wipe(m_records);
    m_records.clear();
    SecretText::Wipe({m_columnNames});
    m_columnNames.clear();
    m_firstRecord = 0;
    m_format.clear();
    m_formatIndex = -1;
    m_columns = {None, None, None, None, None};
}

void CsvImport::Load(const QString& sPath)
{
    const SecretText::Scoped text(CsvFile::Read(sPath));
    LoadText(text.text());
}

void CsvImport::LoadText(const QString& sText)
{
    Wipe();
    const QChar delimiter = CsvFile::Delimiter(sText);
    // The first line may hold an entry rather than names: its copies are wiped.
    const QList<QStringList> first =
        CsvFile::Parse(sText, delimiter, CsvFile::Dialect::Standard, 1);
    QStringList names;
    for (const QString& name : first.value(0)) {
        names.append(normalised(name));
    }
    QSet<QString> header(names.begin(), names.end());
    for (qsizetype i = 0; i < formats().size(); ++i) {
        const Format& format = formats()[i];
        const QSet<QString> required(format.required.begin(), format.required.end());
        QSet<QString> allowed = required;
        allowed.unite(QSet<QString>(format.optional.begin(), format.optional.end()));
        if (header.contains(required) && allowed.contains(header)) {
            m_formatIndex = int(i);
            m_format = QString::fromLatin1(format.name);
            break;
        }
    }
    header.clear();
    SecretText::Wipe({names});
    SecretText::Wipe(first);
    const CsvFile::Dialect dialect =
        m_formatIndex >= 0 ? formats()[m_formatIndex].dialect : CsvFile::Dialect::Standard;
    try {
        m_records = CsvFile::Parse(sText, delimiter, dialect);
    } catch (const AppError&) {
        Wipe();
        throw;
    }
    recognise();
    if (FileFolders()) {
        if (const auto folders = clsMY_FILE().OpenRecords()) {
            for (const clsMY_FILE& folder : *folders) {
                m_existing.insert(
                    {folder.MY_FILE_NM, QString(), QString(), folder.MY_FILE_PATH_TX});
            }
        }
    } else if (const auto entries = clsPWD().OpenRecords()) {
        for (const clsPWD& entry : *entries) {
            m_existing.insert(key(entry));
        }
    }
    map();
}

void CsvImport::recognise()
{
    qsizetype width = 0;
    for (const QStringList& record : std::as_const(m_records)) {
        width = std::max(width, record.size());
    }
    const QStringList first = m_records.value(0);
    const bool header =
        m_formatIndex >= 0 || (!m_records.isEmpty() && !isBlank(first) && looksLikeHeader(first));
    m_firstRecord = header ? 1 : 0;
    for (qsizetype i = 0; i < width; ++i) {
        const QString name = header ? first.value(i).trimmed() : QString();
        m_columnNames.append(name.isEmpty() ? QStringLiteral("Column %1").arg(i + 1) : name);
    }
    if (m_formatIndex >= 0) {
        return;
    }
    // A first guess: columns named as a field is usually named; without names, the fields in
    // the order most files give them.
    for (int field = 0; field < FieldCount; ++field) {
        if (!header) {
            m_columns[field] = field < width ? field : None;
            continue;
        }
        for (qsizetype i = 0; i < width && m_columns[field] == None; ++i) {
            if (fieldNames()[field].contains(normalised(m_columnNames[i]))) {
                m_columns[field] = int(i);
            }
        }
    }
}

void CsvImport::SetColumns(const Columns& columns)
{
    m_columns = columns;
    map();
}

void CsvImport::map()
{
    // The rows made before share most texts with the records, which stay.
    for (Row& row : m_rows) {
        for (QString* text : texts(row.entry)) {
            SecretText::Release(*text);
        }
    }
    m_rows.clear();
    QSet<QStringList> seen = m_existing;
    QHash<QString, int> index;
    if (m_formatIndex >= 0) {
        const QStringList header = m_records.value(0);
        for (qsizetype i = 0; i < header.size(); ++i) {
            index.insert(normalised(header[i]), int(i));
        }
    }
    for (qsizetype r = m_firstRecord; r < m_records.size(); ++r) {
        const QStringList& record = m_records[r];
        Row& row = m_rows.emplace_back();
        if (isBlank(record)) {
            row.status = Status::Empty;
            continue;
        }
        Mapped m;
        if (m_formatIndex >= 0) {
            formats()[m_formatIndex].map(RowView(record, index), m);
        } else {
            auto column = [&record](int i) { return i >= 0 ? record.value(i) : QString(); };
            m = {column(m_columns[Title]),    column(m_columns[UserName]),
                 column(m_columns[Password]), column(m_columns[WebAddress]),
                 column(m_columns[Notes]),    {}};
            for (qsizetype i = 0; i < record.size(); ++i) {
                if (std::find(m_columns.begin(), m_columns.end(), int(i)) == m_columns.end()) {
                    m.extras.append(std::make_pair(m_columnNames.value(i), record[i]));
                }
            }
        }
        // The notes are made in one piece; the lines they are made of are wiped.
        QStringList lines = {m.notes};
        for (const auto& [label, value] : std::as_const(m.extras)) {
            if (!value.isEmpty()) {
                lines.append(label + QStringLiteral(": ") + value);
            }
        }
        if (lines.size() > 1) {
            if (lines[0].isEmpty()) {
                lines.removeFirst();
            }
            m.notes = lines.join(QStringLiteral("\r\n"));
        }
        for (QString& line : lines) {
            SecretText::Release(line);
        }
        const bool unusable = m.title.isEmpty() && m.web.isEmpty() && m.password.isEmpty();
        if (m.title.isEmpty()) {
            m.title = hostOf(m.web);
        }
        if (m.title.isEmpty()) {
            m.title = m.user;
        }
        row.entry.TITLE_TX = m.title;
        row.entry.USER_NM = m.user;
        row.entry.PASSWORD_TX = m.password;
        row.entry.WEB_SITE_TX = m.web;
        row.entry.NOTES_TX = m.notes;
        if (unusable) {
            row.status = Status::Error;
        } else {
            const qsizetype known = seen.size();
            seen.insert(key(row.entry));
            if (seen.size() == known) {
                row.status = Status::Duplicate;
            }
        }
    }
}

bool CsvImport::FileFolders() const
{
    return m_formatIndex >= 0 && formats()[m_formatIndex].folders;
}

int CsvImport::Count(Status eStatus) const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(),
                             [eStatus](const Row& row) { return row.status == eStatus; }));
}

CsvImport::Result CsvImport::Store(const std::function<bool(int)>& bKeepGoing)
{
    Result result;
    result.duplicates = Count(Status::Duplicate);
    result.errors = Count(Status::Error);
    try {
        clsDB::shared().BackupBefore(modBackup::Reason::Import);
        modData::ExecuteRequired(QStringLiteral("BEGIN"));
    } catch (const AppError& error) {
        if (error.Told()) {
            throw;
        }
        throw AppError(error.Number(),
                       QStringLiteral("Nothing was imported: ") + error.Description());
    }
    bool cancelled = false;
    try {
        // Within the transaction no one else writes: the identifiers after the first one
        // (the largest plus 1) are counted on here.
        QString nextID;
        for (const Row& row : std::as_const(m_rows)) {
            if (row.status != Status::Add) {
                continue;
            }
            if (FileFolders()) {
                clsMY_FILE folder;
                folder.MY_FILE_ID = nextID;
                folder.MY_FILE_NM = row.entry.TITLE_TX;
                folder.MY_FILE_PATH_TX = row.entry.WEB_SITE_TX;
                folder.NOTES_TX = row.entry.NOTES_TX;
                folder.Add();
                nextID = QString::number(folder.MY_FILE_ID.toLongLong() + 1);
            } else {
                clsPWD entry = row.entry;
                entry.PASSWORD_ID = nextID;
                entry.Add();
                nextID = QString::number(entry.PASSWORD_ID.toLongLong() + 1);
            }
            ++result.imported;
            if (bKeepGoing && !bKeepGoing(result.imported)) {
                cancelled = true;
                break;
            }
        }
        if (!cancelled) {
            modData::ExecuteRequired(QStringLiteral("COMMIT"));
        }
    } catch (const AppError& error) {
        rollBack();
        throw AppError(error.Number(),
                       QStringLiteral("Nothing was imported: ") + error.Description());
    }
    if (cancelled) {
        rollBack();
        throw AppError(AppError::InvalidProcedureCall,
                       QStringLiteral("The import was cancelled; nothing was imported."));
    }
    return result;
}

QString CsvImport::ResultText(const Result& result)
{
    QString text =
        QStringLiteral("%1 %2 imported, %3 skipped as duplicates")
            .arg(result.imported)
            .arg(result.imported == 1 ? QStringLiteral("entry") : QStringLiteral("entries"))
            .arg(result.duplicates);
    if (result.errors > 0) {
        text += QStringLiteral(", %1 %2 with errors")
                    .arg(result.errors)
                    .arg(result.errors == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
    }
    return text + QLatin1Char('.');
}
