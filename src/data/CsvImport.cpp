// Import of password entries from comma-separated files.
#include "data/CsvImport.h"

#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/modData.h"
#include "platform/AppError.h"
#include "platform/SecretText.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

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
        // The personal export starts with folder and favorite, an organisation's with
        // collections.
        {"Bitwarden",
         names({"type", "name", "notes", "fields", "login_uri", "login_username", "login_password",
                "login_totp"}),
         names({"folder", "favorite", "collections", "reprompt"}), D::Standard,
         [](const RowView& value, Mapped& m) {
             QStringList addresses = V("login_uri").split(u',', Qt::SkipEmptyParts);
             for (QString& address : addresses) {
                 address = address.trimmed();
             }
             m = {V("name"),           V("login_username"),
                  V("login_password"), addresses.isEmpty() ? QString() : addresses.takeFirst(),
                  V("notes"),          {}};
             m.extras = {{QStringLiteral("Folder"), V("folder")},
                         {QStringLiteral("Collections"), V("collections")},
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
        names({"url", "web", "web site", "website", "web address", "address", "uri", "login_uri"}),
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
    return std::all_of(record.begin(), record.end(),
                       [](const QString& value) { return value.trimmed().isEmpty(); });
}

// Whether a line names columns rather than holding an entry: every value filled, none twice,
// none with "@" or "://", none mostly digits and none longer than 40 characters.
bool looksLikeHeader(const QStringList& record)
{
    QSet<QString> seen;
    for (const QString& value : record) {
        const QString name = normalised(value);
        const auto digits =
            std::count_if(name.begin(), name.end(), [](QChar ch) { return ch.isDigit(); });
        if (name.isEmpty() || seen.contains(name) || name.contains(u"://") || name.contains(u'@') ||
            name.size() > 40 || 2 * digits > name.size()) {
            return false;
        }
        seen.insert(name);
    }
    return !record.isEmpty();
}

// The host of an address, also of one written without a scheme.
QString hostOf(const QString& sAddress)
{
    const QString host = QUrl(sAddress).host();
    return host.isEmpty() ? QUrl::fromUserInput(sAddress).host() : host;
}

const QString kCancelled = QStringLiteral("The import was cancelled; nothing was imported.");

// Ends the transaction without its changes. After a failed commit the library may have rolled
// back already, and the statement then fails harmlessly.
void rollBack()
{
    try {
        modData::ExecuteRequired(QStringLiteral("ROLLBACK"));
    } catch (const AppError&) {
    }
}

// Raises a failure of an import for the user: "Nothing was imported: " and its cause, unless
// the user has been told already (a backup they chose not to go without).
[[noreturn]] void nothingImported(const AppError& error)
{
    if (error.Told()) {
        throw error;
    }
    throw AppError(error.Number(), QStringLiteral("Nothing was imported: ") + error.Description());
}

} // namespace

// A record's fields and the entry made of them; every text is wiped when it goes.
struct CsvImport::Mapping
{
    QStringList record;
    std::array<QString, CsvImport::FieldCount> fields;
    Mapping() = default;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping()
    {
        for (QString& text : fields) {
            SecretText::Wipe(text);
        }
        SecretText::Wipe(QList<QStringList>{record});
    }
};

namespace {

std::size_t hashOf(const std::array<QString, CsvImport::FieldCount>& fields)
{
    return qHashMulti(0x4b43, fields[0], fields[1], fields[2], fields[3], fields[4]);
}

// A copy with a buffer of its own, which outlives the wipe of what it was copied from.
QString own(const QString& sText)
{
    return QString(sText.constData(), sText.size());
}

} // namespace

CsvImport::~CsvImport()
{
    Wipe();
}

void CsvImport::Wipe()
{
    SecretText::Wipe(m_bytes);
    SecretText::Wipe(m_text);
    for (Fields& fields : m_existing) {
        for (QString& text : fields) {
            SecretText::Wipe(text);
        }
    }
    m_existing.clear();
    SecretText::Wipe({m_columnNames});
    m_columnNames.clear();
    m_secretNames.clear();
    m_index.clear();
    m_first.clear();
    m_badLines.clear();
    m_starts = {};
    m_flags = {};
    m_lines = {};
    m_width = 0;
    m_headerFields = 0;
    m_detected = -1;
    m_hasHeader = false;
    m_keepOthers = false;
    m_columns = {None, None, None, None, None};
    m_counts = {};
    m_backedUp = false;
}

void CsvImport::Load(const QString& sPath)
{
    Wipe();
    LoadBytes(CsvFile::ReadBytes(sPath));
}

void CsvImport::LoadText(const QString& sText)
{
    LoadBytes(sText.toUtf8());
}

void CsvImport::LoadBytes(QByteArray abBytes)
{
    Wipe();
    m_bytes = std::move(abBytes);
    try {
        m_encoding = CsvFile::Detect(m_bytes);
        decode();
        if (FileFolders()) {
            if (const auto folders = clsMY_FILE().OpenRecords()) {
                for (const clsMY_FILE& folder : *folders) {
                    m_existing.append({folder.MY_FILE_NM, QString(), QString(),
                                       folder.MY_FILE_PATH_TX, folder.NOTES_TX});
                }
            }
        } else if (const auto entries = clsPWD().OpenRecords()) {
            for (const clsPWD& e : *entries) {
                m_existing.append(
                    {e.TITLE_TX, e.USER_NM, e.PASSWORD_TX, e.WEB_SITE_TX, e.NOTES_TX});
            }
        }
        map();
    } catch (const AppError&) {
        Wipe();
        throw;
    }
}

void CsvImport::SetEncoding(CsvFile::Encoding eEncoding)
{
    m_encoding = eEncoding;
    decode();
    map();
}

void CsvImport::decode()
{
    SecretText::Wipe(m_text);
    m_badLines.clear();
    report(0);
    m_text = CsvFile::Decode(m_bytes, m_encoding,
                             m_encoding == CsvFile::Encoding::Utf8 ? &m_badLines : nullptr);
    m_delimiter = CsvFile::Delimiter(m_text);
    // The format by the first line's names; the line may hold an entry rather than names.
    m_detected = -1;
    QStringList first;
    CsvFile::ScanRecord(m_text, 0, m_delimiter, CsvFile::Dialect::Standard, &first);
    QStringList header;
    for (const QString& name : std::as_const(first)) {
        header.append(own(normalised(name)));
    }
    const QSet<QString> given(header.begin(), header.end());
    for (qsizetype i = 0; i < formats().size() && !first.isEmpty(); ++i) {
        const Format& format = formats()[i];
        const QSet<QString> required(format.required.begin(), format.required.end());
        QSet<QString> allowed = required;
        allowed.unite(QSet<QString>(format.optional.begin(), format.optional.end()));
        if (given.contains(required) && allowed.contains(given)) {
            m_detected = int(i);
            break;
        }
    }
    SecretText::Wipe(QList<QStringList>{header});
    split();
    m_hasHeader =
        m_detected >= 0 || (!m_starts.empty() && looksLikeHeader(first) && !isBlank(first));
    SecretText::Wipe(QList<QStringList>{first});
    recognise();
}

void CsvImport::split()
{
    m_starts.clear();
    m_flags.clear();
    m_lines.clear();
    m_width = 0;
    const CsvFile::Dialect dialect =
        m_detected >= 0 ? formats()[m_detected].dialect : CsvFile::Dialect::Standard;
    const qsizetype n = m_text.size();
    qsizetype pos = 0;
    qsizetype line = 1;
    qsizetype previous = 0;
    while (pos < n) {
        const qsizetype r = qsizetype(m_starts.size());
        CsvFile::Scan scan = CsvFile::ScanRecord(m_text, pos, m_delimiter, dialect);
        std::uint8_t flags = 0;
        // A line the backslash dialect cannot read as wide as the header (a spreadsheet writes
        // a backslash before a closing quote as it is) is read after RFC 4180.
        if (dialect == CsvFile::Dialect::Backslash && r > 0 &&
            (!scan.closed || scan.fields != m_headerFields)) {
            const CsvFile::Scan standard =
                CsvFile::ScanRecord(m_text, pos, m_delimiter, CsvFile::Dialect::Standard);
            if (standard.closed) {
                flags = StandardDialect | (standard.fields == m_headerFields ? 0 : Unparseable);
                scan = standard;
            } else if (scan.closed) {
                flags = Unparseable;
            }
        }
        if (!scan.closed) {
            flags |= Unclosed;
            m_unclosedLine = line + scan.unclosedLine;
        }
        if (r == 0) {
            m_headerFields = scan.fields;
        }
        // The last line the record spans: a record at the end of the text may end without a
        // line break.
        const QChar end = m_text[scan.end - 1];
        const qsizetype last = line + scan.lines - (end == u'\n' || end == u'\r' ? 1 : 0);
        const auto bad = std::lower_bound(m_badLines.cbegin(), m_badLines.cend(), line);
        if (bad != m_badLines.cend() && *bad <= last) {
            flags |= BadEncoding;
        }
        if (line != previous + 1) {
            m_lines.emplace_back(qint32(r), qint32(line));
        }
        m_starts.push_back(qint32(pos));
        m_flags.push_back(flags);
        m_width = std::max(m_width, std::min(scan.fields, MaxColumns));
        previous = line;
        line += scan.lines;
        pos = scan.end;
        if (r % 65536 == 0) {
            report(int(300 * pos / n));
        }
    }
}

void CsvImport::recognise()
{
    SecretText::Wipe({m_columnNames});
    m_columnNames.clear();
    m_secretNames.clear();
    m_index.clear();
    const QStringList first = m_hasHeader ? record(0) : QStringList();
    for (qsizetype i = 0; i < m_width; ++i) {
        const QString name = first.value(i).trimmed();
        m_columnNames.append(name.isEmpty() ? QStringLiteral("Column %1").arg(i + 1) : own(name));
        m_secretNames.push_back(SecretName(m_columnNames.back()));
    }
    if (active() >= 0) {
        for (qsizetype i = 0; i < first.size(); ++i) {
            m_index.insert(own(normalised(first[i])), int(i));
        }
    }
    SecretText::Wipe(QList<QStringList>{first});
    m_keepOthers = active() >= 0;
    guessColumns();
}

void CsvImport::guessColumns()
{
    m_columns = {None, None, None, None, None};
    if (active() >= 0) {
        return;
    }
    // A first guess: columns named as a field is usually named, a secret's name for the
    // password; without names, the fields in the order most files give them.
    for (int field = 0; field < FieldCount; ++field) {
        if (!m_hasHeader) {
            m_columns[field] = field < m_width ? field : None;
            continue;
        }
        for (qsizetype i = 0; i < m_width && m_columns[field] == None; ++i) {
            if (fieldNames()[field].contains(normalised(m_columnNames[i]))) {
                m_columns[field] = int(i);
            }
        }
    }
    for (qsizetype i = 0; i < m_width && m_hasHeader && m_columns[Password] == None; ++i) {
        if (SecretColumn(int(i)) && !std::count(m_columns.begin(), m_columns.end(), int(i))) {
            m_columns[Password] = int(i);
        }
    }
}

void CsvImport::SetHeader(bool bHeader)
{
    m_hasHeader = bHeader && !m_starts.empty();
    recognise();
    map();
}

void CsvImport::SetColumns(const Columns& columns)
{
    m_columns = columns;
    map();
}

void CsvImport::SetKeepOthers(bool bKeep)
{
    m_keepOthers = bKeep;
    map();
}

QString CsvImport::FormatName() const
{
    return active() >= 0 ? QString::fromLatin1(formats()[active()].name) : QString();
}

bool CsvImport::FileFolders() const
{
    return active() >= 0 && formats()[active()].folders;
}

bool CsvImport::SecretName(const QString& sName)
{
    // Parts of names, and words that are secrets only on their own ("pin", not "shipping").
    static const QStringList parts = {
        u"pass"_s,         u"pwd"_s,         u"passwort"_s,   u"kennwort"_s, u"contraseña"_s,
        u"contrasena"_s,   u"senha"_s,       u"wachtwoord"_s, u"secret"_s,   u"geheim"_s,
        u"token"_s,        u"salasana"_s,    u"hasło"_s,      u"haslo"_s,    u"lösenord"_s,
        u"losenord"_s,     u"adgangskode"_s, u"parola"_s,     u"heslo"_s,    u"jelszó"_s,
        u"şifre"_s,        u"sifre"_s,       u"пароль"_s,     u"密码"_s,     u"密碼"_s,
        u"パスワード"_s,   u"비밀번호"_s,    u"κωδικός"_s,    u"סיסמה"_s,    u"كلمة المرور"_s,
        u"security code"_s};
    // "code" alone is no secret ("Country code", "Postal code").
    static const QStringList words = {u"pin"_s, u"key"_s, u"clave"_s, u"cvv"_s, u"cvc"_s, u"otp"_s};
    static const QRegularExpression separators(QStringLiteral("[^\\p{L}\\p{N}]+"));
    const QString name = sName.toLower();
    for (const QString& part : parts) {
        if (name.contains(part)) {
            return true;
        }
    }
    for (const QString& word : name.split(separators, Qt::SkipEmptyParts)) {
        if (words.contains(word)) {
            return true;
        }
    }
    return false;
}

bool CsvImport::SecretColumn(int lColumn) const
{
    return lColumn == m_columns[Password] ||
           (lColumn >= 0 && std::size_t(lColumn) < m_secretNames.size() && m_secretNames[lColumn]);
}

QStringList CsvImport::Samples() const
{
    QStringList samples;
    const qsizetype r = m_hasHeader ? 1 : 0;
    QStringList values = r < qsizetype(m_starts.size()) ? record(r) : QStringList();
    for (qsizetype i = 0; i < m_columnNames.size(); ++i) {
        const QString value = values.value(i);
        samples.append(QString(value.constData(), std::min<qsizetype>(value.size(), 40)));
    }
    SecretText::Wipe(QList<QStringList>{values});
    return samples;
}

QStringList CsvImport::record(qsizetype lRecord) const
{
    QStringList fields;
    const bool standard = (m_flags[lRecord] & StandardDialect) != 0;
    const CsvFile::Dialect dialect =
        m_detected >= 0 && !standard ? formats()[m_detected].dialect : CsvFile::Dialect::Standard;
    CsvFile::ScanRecord(m_text, m_starts[lRecord], m_delimiter, dialect, &fields);
    return fields;
}

bool CsvImport::mapRecord(qsizetype lRecord, Mapping& m, bool* pBlank) const
{
    Fields& rFields = m.fields;
    m.record = record(lRecord);
    if (pBlank) {
        *pBlank = isBlank(m.record);
    }
    if (isBlank(m.record)) {
        return false;
    }
    Mapped mapped;
    if (active() >= 0) {
        formats()[active()].map(RowView(m.record, m_index), mapped);
    } else {
        auto column = [&m](int i) { return i >= 0 ? m.record.value(i) : QString(); };
        mapped = {column(m_columns[Title]),    column(m_columns[UserName]),
                  column(m_columns[Password]), column(m_columns[WebAddress]),
                  column(m_columns[Notes]),    {}};
        for (qsizetype i = 0; i < m.record.size(); ++i) {
            if (std::find(m_columns.begin(), m_columns.end(), int(i)) == m_columns.end() &&
                !SecretColumn(int(i))) {
                mapped.extras.append(std::make_pair(i < m_columnNames.size()
                                                        ? m_columnNames[i]
                                                        : QStringLiteral("Column %1").arg(i + 1),
                                                    m.record[i]));
            }
        }
    }
    if (!m_keepOthers) {
        mapped.extras.clear();
    }
    // The notes are made in one piece; the lines they are made of are wiped.
    QStringList lines;
    for (const auto& [label, value] : std::as_const(mapped.extras)) {
        if (!value.isEmpty()) {
            lines.append(label + QStringLiteral(": ") + value);
        }
    }
    if (!lines.isEmpty()) {
        QStringList all = lines;
        if (!mapped.notes.isEmpty()) {
            all.prepend(mapped.notes);
        }
        mapped.notes = all.join(QStringLiteral("\r\n"));
        SecretText::Wipe(QList<QStringList>{lines});
    }
    rFields = {mapped.title, mapped.user, mapped.password, mapped.web, mapped.notes};
    if (std::all_of(rFields.begin(), rFields.end(), [](const QString& s) { return s.isEmpty(); })) {
        return false;
    }
    // The title is never empty.
    QString& title = rFields[Title];
    if (title.isEmpty()) {
        title = hostOf(rFields[WebAddress]);
    }
    if (title.isEmpty()) {
        title = rFields[UserName];
    }
    if (title.isEmpty()) {
        const QString& notes = rFields[Notes];
        static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n]"));
        const qsizetype end = notes.indexOf(lineBreak);
        title = notes.left(std::min<qsizetype>(end < 0 ? notes.size() : end, 50)).trimmed();
    }
    if (title.isEmpty()) {
        title = QStringLiteral("(no title)");
    }
    return true;
}

void CsvImport::report(int lPermille) const
{
    if (m_progress && !m_progress(std::clamp(lPermille, 0, 1000))) {
        throw AppError(AppError::InvalidProcedureCall, kCancelled);
    }
}

void CsvImport::map()
{
    m_first.clear();
    m_counts = {};
    for (qsizetype i = 0; i < m_existing.size(); ++i) {
        m_first.insert(hashOf(m_existing[i]), qint32(-1 - i));
    }
    const qsizetype count = qsizetype(m_starts.size());
    for (qsizetype r = m_hasHeader ? 1 : 0; r < count; ++r) {
        Status status = Status::Add;
        if (m_flags[r] & (Unparseable | BadEncoding | Unclosed)) {
            status = Status::Unreadable;
        } else {
            Mapping m;
            if (!mapRecord(r, m)) {
                status = Status::Empty;
            } else {
                const std::size_t hash = hashOf(m.fields);
                const auto found = m_first.constFind(hash);
                if (found == m_first.cend()) {
                    m_first.insert(hash, qint32(r));
                } else if (sameAs(found.value(), m.fields)) {
                    status = Status::Duplicate;
                }
            }
        }
        m_flags[r] = std::uint8_t((m_flags[r] & 0x0F) | (std::uint8_t(status) << StatusShift));
        ++m_counts[std::size_t(status)];
        if (r % 4096 == 0) {
            report(300 + int(700 * r / count));
        }
    }
    report(1000);
}

bool CsvImport::sameAs(qint32 lFirst, const Fields& fields) const
{
    if (lFirst < 0) {
        return m_existing.value(-1 - lFirst) == fields;
    }
    Mapping first;
    return mapRecord(lFirst, first) && first.fields == fields;
}

CsvImport::Status CsvImport::statusOfRecord(qsizetype lRecord) const
{
    return Status(m_flags[lRecord] >> StatusShift);
}

qsizetype CsvImport::lineOf(qsizetype lRecord) const
{
    const auto after = std::upper_bound(
        m_lines.cbegin(), m_lines.cend(), lRecord,
        [](qsizetype r, const std::pair<qint32, qint32>& jump) { return r < jump.first; });
    if (after == m_lines.cbegin()) {
        return lRecord + 1;
    }
    const auto& jump = *std::prev(after);
    return jump.second + (lRecord - jump.first);
}

qsizetype CsvImport::RowCount() const
{
    const qsizetype header = m_hasHeader ? 1 : 0;
    return std::max<qsizetype>(qsizetype(m_starts.size()) - header, 0);
}

CsvImport::Status CsvImport::StatusOf(qsizetype lRow) const
{
    return statusOfRecord(lRow + (m_hasHeader ? 1 : 0));
}

CsvImport::Row CsvImport::RowAt(qsizetype lRow) const
{
    const qsizetype r = lRow + (m_hasHeader ? 1 : 0);
    Row row;
    row.status = statusOfRecord(r);
    row.line = lineOf(r);
    if (row.status == Status::Unreadable) {
        return row;
    }
    Mapping m;
    if (mapRecord(r, m)) {
        row.entry.TITLE_TX = own(m.fields[Title]);
        row.entry.USER_NM = own(m.fields[UserName]);
        row.entry.PASSWORD_TX = own(m.fields[Password]);
        row.entry.WEB_SITE_TX = own(m.fields[WebAddress]);
        row.entry.NOTES_TX = own(m.fields[Notes]);
    }
    return row;
}

QString CsvImport::Reason(qsizetype lRow) const
{
    const qsizetype r = lRow + (m_hasHeader ? 1 : 0);
    switch (statusOfRecord(r)) {
    case Status::Add:
        return QString();
    case Status::Empty: {
        Mapping m;
        bool blank = true;
        mapRecord(r, m, &blank);
        return blank ? QStringLiteral("empty row")
                     : QStringLiteral("no value in the chosen columns");
    }
    case Status::Unreadable: {
        if (m_flags[r] & Unclosed) {
            return QStringLiteral("line %1: a quote that is never closed").arg(m_unclosedLine);
        }
        if (m_flags[r] & BadEncoding) {
            const auto bad = std::lower_bound(m_badLines.cbegin(), m_badLines.cend(), lineOf(r));
            return QStringLiteral("line %1: not valid UTF-8")
                .arg(bad == m_badLines.cend() ? lineOf(r) : *bad);
        }
        return QStringLiteral("line %1: its fields do not match the header's").arg(lineOf(r));
    }
    case Status::Duplicate:
        break;
    }
    Mapping m;
    mapRecord(r, m);
    const qint32 first = m_first.value(hashOf(m.fields), qint32(r));
    if (first < 0) {
        return QStringLiteral("same as the entry '%1' already stored")
            .arg(m_existing.value(-1 - first)[Title]);
    }
    return QStringLiteral("same as line %1").arg(lineOf(first));
}

void CsvImport::Backup()
{
    try {
        clsDB::shared().BackupBefore(modBackup::Reason::Import);
    } catch (const AppError& error) {
        nothingImported(error);
    }
    m_backedUp = true;
}

CsvImport::Result CsvImport::Store(const std::function<bool(int)>& bKeepGoing)
{
    Result result;
    result.duplicates = Count(Status::Duplicate);
    result.otherSkipped = Count(Status::Empty) + Count(Status::Unreadable);
    if (!m_backedUp) {
        Backup();
    }
    m_backedUp = false;
    try {
        modData::ExecuteRequired(QStringLiteral("BEGIN"));
    } catch (const AppError& error) {
        nothingImported(error);
    }
    bool cancelled = false;
    try {
        // Within the transaction no one else writes: the identifiers after the first one
        // (the largest plus 1) are counted on here.
        QString nextID;
        const qsizetype count = qsizetype(m_starts.size());
        for (qsizetype r = m_hasHeader ? 1 : 0; r < count && !cancelled; ++r) {
            if (statusOfRecord(r) != Status::Add) {
                continue;
            }
            Mapping m;
            mapRecord(r, m);
            if (FileFolders()) {
                clsMY_FILE folder;
                folder.MY_FILE_ID = nextID;
                folder.MY_FILE_NM = m.fields[Title];
                folder.MY_FILE_PATH_TX = m.fields[WebAddress];
                folder.NOTES_TX = m.fields[Notes];
                folder.Add();
                nextID = QString::number(folder.MY_FILE_ID.toLongLong() + 1);
            } else {
                clsPWD entry;
                entry.PASSWORD_ID = nextID;
                entry.TITLE_TX = m.fields[Title];
                entry.USER_NM = m.fields[UserName];
                entry.PASSWORD_TX = m.fields[Password];
                entry.WEB_SITE_TX = m.fields[WebAddress];
                entry.NOTES_TX = m.fields[Notes];
                entry.Add();
                nextID = QString::number(entry.PASSWORD_ID.toLongLong() + 1);
            }
            ++result.imported;
            cancelled = bKeepGoing && !bKeepGoing(result.imported);
        }
        if (!cancelled) {
            modData::ExecuteRequired(QStringLiteral("COMMIT"));
        }
    } catch (const AppError& error) {
        rollBack();
        nothingImported(error);
    }
    if (cancelled) {
        rollBack();
        throw AppError(AppError::InvalidProcedureCall, kCancelled);
    }
    return result;
}

QString CsvImport::ResultText(const Result& result)
{
    const QLocale locale;
    QString text =
        QStringLiteral("%1 %2 imported, %3 skipped as duplicates")
            .arg(locale.toString(result.imported),
                 result.imported == 1 ? QStringLiteral("entry") : QStringLiteral("entries"),
                 locale.toString(result.duplicates));
    if (result.otherSkipped > 0) {
        text += QStringLiteral(", %1 empty or unreadable %2 skipped")
                    .arg(locale.toString(result.otherSkipped),
                         result.otherSkipped == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
    }
    return text + QLatin1Char('.');
}
