// The import preview window.
#include "ui/dialogs/frmImport.h"

#include "data/CsvImport.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "platform/WaitCursor.h"
#include "ui/dialogs/frmSkipped.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace {

const QStringList kFieldNames = {QStringLiteral("Title"), QStringLiteral("User Name"),
                                 QStringLiteral("Password"), QStringLiteral("Web URL"),
                                 QStringLiteral("Notes")};
const QStringList kFieldLabels = {QStringLiteral("&Title:"), QStringLiteral("&User Name:"),
                                  QStringLiteral("&Password:"), QStringLiteral("&Web URL:"),
                                  QStringLiteral("&Notes:")};

// A password is shown as the same number of dots whatever its length.
const QString kMasked = QString(8, QChar(0x2022));

// A cell shows one line of at most CELL_CHARACTERS characters; line breaks are marked where
// they are. The text is made in one buffer large enough from the start, so that no copy of it
// is left behind unwiped.
QString cellText(const QString& sText)
{
    const qsizetype n = std::min<qsizetype>(sText.size(), frmImport::CELL_CHARACTERS);
    QString text;
    text.reserve(3 * n);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = sText[i];
        if (ch == u'\r' && i + 1 < n && sText[i + 1] == u'\n') {
            continue;
        }
        if (ch == u'\r' || ch == u'\n') {
            text.append(QStringView(u" \u21B5 "));
        } else {
            text.append(ch);
        }
    }
    return text;
}

QString number(qsizetype n)
{
    return QLocale().toString(qlonglong(n));
}

// A progress dialog that shows itself only for work that lasts longer than half a second.
class Progress
{
public:
    Progress(QWidget* parent, const QString& sLabel, int lMaximum)
        : m_dialog(sLabel, QStringLiteral("Cancel"), 0, lMaximum, parent)
    {
        m_dialog.setWindowTitle(MsgBox::AppTitle());
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoReset(false);
        m_dialog.setAutoClose(false);
        m_dialog.setValue(0);
    }
    bool step(int lValue)
    {
        m_dialog.setValue(lValue);
        return !m_dialog.wasCanceled();
    }
    // Hides the dialog for good (a message box shown next keeps the keyboard); whether the
    // user cancelled.
    bool close()
    {
        const bool cancelled = m_dialog.wasCanceled();
        m_dialog.reset();
        m_dialog.hide();
        return cancelled;
    }

private:
    QProgressDialog m_dialog;
};

// Tells why the work ended: a cancel of the user's own without a warning.
void tell(const AppError& error, bool bCancelled, QWidget* parent)
{
    // A refusal the user has answered already (a backup that could not be made) is not told again.
    if (error.Told()) {
        return;
    }
    MsgBox::Show(error.Description(),
                 (bCancelled ? MsgBox::vbInformation : MsgBox::vbExclamation) | MsgBox::vbOKOnly,
                 QString(), parent);
}

} // namespace

void frmImport::Run(const QString& sPath, QWidget* parent)
{
    CsvImport csv;
    {
        Progress progress(parent, QStringLiteral("Reading and checking the file…"), 1000);
        csv.SetProgress([&progress](int lPermille) { return progress.step(lPermille); });
        try {
            const WaitCursor busy;
            csv.Load(sPath);
        } catch (const AppError& error) {
            const bool cancelled = progress.close();
            csv.SetProgress({});
            tell(error, cancelled, parent);
            return;
        }
        csv.SetProgress({});
    }
    frmImport preview(csv, parent);
    preview.exec();
}

frmImport::frmImport(CsvImport& import, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_import(import)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import"));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    setFont(font);

    auto* layout = new QVBoxLayout(this);
    lblFormat = new QLabel(this);
    lblFormat->setObjectName(QStringLiteral("lblFormat"));
    lblFormat->setWordWrap(true);
    layout->addWidget(lblFormat);

    auto* reading = new QHBoxLayout;
    cboEncoding = new QComboBox(this);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    using E = CsvFile::Encoding;
    QList<E> encodings = {E::Utf8, E::Utf16LE, E::Utf16BE, E::Windows1252, E::Iso885915};
    if (!encodings.contains(m_import.Encoding())) {
        encodings.append(m_import.Encoding());
    }
    for (const E encoding : encodings) {
        cboEncoding->addItem(CsvFile::EncodingName(encoding), int(encoding));
    }
    cboEncoding->setCurrentIndex(cboEncoding->findData(int(m_import.Encoding())));
    auto* lblEncoding = new QLabel(QStringLiteral("&Encoding:"), this);
    lblEncoding->setBuddy(cboEncoding);
    reading->addWidget(lblEncoding);
    reading->addWidget(cboEncoding);
    reading->addSpacing(fontMetrics().averageCharWidth() * 3);
    chkHeader = new QCheckBox(QStringLiteral("&First line holds column names"), this);
    chkHeader->setObjectName(QStringLiteral("chkHeader"));
    reading->addWidget(chkHeader);
    reading->addSpacing(fontMetrics().averageCharWidth() * 3);
    chkKeepOthers = new QCheckBox(QStringLiteral("&Keep other columns in the notes"), this);
    chkKeepOthers->setObjectName(QStringLiteral("chkKeepOthers"));
    reading->addWidget(chkKeepOthers);
    reading->addStretch(1);
    layout->addLayout(reading);

    // One drop-down per field when the file's format is not known.
    picColumns = new QWidget(this);
    auto* form = new QFormLayout(picColumns);
    form->setContentsMargins(0, 0, 0, 0);
    for (int field = 0; field < CsvImport::FieldCount; ++field) {
        auto* combo = new QComboBox(picColumns);
        cboColumn[field] = combo;
        form->addRow(kFieldLabels[field], combo);
    }
    layout->addWidget(picColumns);

    const auto table = [this](const QString& sName, const QStringList& headers) {
        auto* grid = new QTableWidget(0, int(headers.size()), this);
        grid->setObjectName(sName);
        grid->setHorizontalHeaderLabels(headers);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionMode(QAbstractItemView::NoSelection);
        grid->verticalHeader()->setVisible(false);
        grid->setWordWrap(false);
        grid->horizontalHeader()->setStretchLastSection(true);
        // One Tab stop: the arrows move within the table.
        grid->setTabKeyNavigation(false);
        grid->viewport()->installEventFilter(this);
        return grid;
    };
    grdPreview = table(QStringLiteral("grdPreview"), kFieldNames);
    grdPreview->setAccessibleName(QStringLiteral("Entries to add"));
    auto* lblPreview = new QLabel(QStringLiteral("Entries to &add:"), this);
    lblPreview->setBuddy(grdPreview);
    layout->addWidget(lblPreview);
    layout->addWidget(grdPreview, 3);

    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    layout->addWidget(lblCounts);

    grdSkipped =
        table(QStringLiteral("grdSkipped"), {QStringLiteral("Line"), QStringLiteral("Reason")});
    grdSkipped->setAccessibleName(QStringLiteral("Rows to skip"));
    lblSkipped = new QLabel(this);
    lblSkipped->setObjectName(QStringLiteral("lblSkipped"));
    lblSkipped->setBuddy(grdSkipped);
    layout->addWidget(lblSkipped);
    layout->addWidget(grdSkipped, 2);

    auto* buttons = new QHBoxLayout;
    cmdShowSkipped = new QPushButton(QStringLiteral("&Show all skipped rows…"), this);
    cmdShowSkipped->setObjectName(QStringLiteral("cmdShowSkipped"));
    cmdShowSkipped->setAutoDefault(false);
    buttons->addWidget(cmdShowSkipped);
    buttons->addStretch(1);
    cmdImport = new QPushButton(QStringLiteral("&Import"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);

    for (QComboBox* combo : cboColumn) {
        connect(combo, &QComboBox::currentIndexChanged, this, &frmImport::cboColumn_Change);
    }
    connect(cboEncoding, &QComboBox::currentIndexChanged, this, [this] {
        const auto encoding = CsvFile::Encoding(cboEncoding->currentData().toInt());
        const auto previous = m_import.Encoding();
        change([this, encoding] { m_import.SetEncoding(encoding); },
               [this, previous] {
                   const QSignalBlocker block(cboEncoding);
                   cboEncoding->setCurrentIndex(cboEncoding->findData(int(previous)));
                   m_import.SetEncoding(previous);
               });
    });
    connect(chkHeader, &QCheckBox::toggled, this,
            [this](bool bChecked) { change([this, bChecked] { m_import.SetHeader(bChecked); }); });
    connect(chkKeepOthers, &QCheckBox::toggled, this, [this](bool bChecked) {
        change([this, bChecked] { m_import.SetKeepOthers(bChecked); });
    });
    connect(cmdShowSkipped, &QPushButton::clicked, this, &frmImport::cmdShowSkipped_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    resize(fontMetrics().averageCharWidth() * 120, fontMetrics().height() * 44);
    fillColumns();
    fillPreview();
}

frmImport::~frmImport()
{
    wipePreview();
    for (QComboBox* combo : cboColumn) {
        for (int i = 0; i < combo->count(); ++i) {
            QString text = combo->itemText(i);
            combo->setItemText(i, QString());
            SecretText::Release(text);
        }
    }
}

void frmImport::fillColumns()
{
    const QSignalBlocker blockHeader(chkHeader);
    const QSignalBlocker blockKeep(chkKeepOthers);
    chkHeader->setChecked(m_import.HasHeader());
    chkKeepOthers->setChecked(m_import.KeepOthers());
    // Each column by its name and its value in the first row, a secret's masked.
    const QStringList names = m_import.ColumnNames();
    QStringList samples = m_import.Samples();
    QStringList items;
    for (int i = 0; i < names.size(); ++i) {
        QString shown;
        if (!samples[i].isEmpty()) {
            shown = m_import.SecretColumn(i) ? kMasked : cellText(samples[i]);
            shown.truncate(30);
        }
        items.append(shown.isEmpty()
                         ? names[i]
                         : QStringLiteral("%1 \u2014 \u201C%2\u201D").arg(names[i], shown));
        SecretText::Release(shown);
    }
    const CsvImport::Columns chosen = m_import.ChosenColumns();
    for (int field = 0; field < CsvImport::FieldCount; ++field) {
        QComboBox* combo = cboColumn[field];
        const QSignalBlocker block(combo);
        for (int i = 0; i < combo->count(); ++i) {
            QString text = combo->itemText(i);
            combo->setItemText(i, QString());
            SecretText::Release(text);
        }
        combo->clear();
        combo->addItem(QStringLiteral("(none)"));
        combo->addItems(items);
        combo->setCurrentIndex(chosen[field] + 1);
    }
    for (QString& item : items) {
        SecretText::Release(item);
    }
    for (QString& sample : samples) {
        SecretText::Release(sample);
    }
    const QString format = m_import.FormatName();
    picColumns->setVisible(format.isEmpty());
    lblFormat->setText(format.isEmpty() ? QStringLiteral("The format of this file is not known. "
                                                         "Choose the column that fills each field:")
                                        : QStringLiteral("Format: ") + format);
    const bool folders = m_import.FileFolders();
    // A file of file folders fills a name, a folder and notes.
    grdPreview->setHorizontalHeaderLabels(
        folders ? QStringList{QStringLiteral("Name"), QString(), QString(),
                              QStringLiteral("File Folder"), QStringLiteral("Notes")}
                : kFieldNames);
    grdPreview->setColumnHidden(CsvImport::UserName, folders);
    grdPreview->setColumnHidden(CsvImport::Password, folders);
}

void frmImport::wipePreview()
{
    for (QTableWidget* grid : {grdPreview, grdSkipped}) {
        for (int r = 0; r < grid->rowCount(); ++r) {
            for (int c = 0; c < grid->columnCount(); ++c) {
                if (QTableWidgetItem* item = grid->item(r, c)) {
                    QString text = item->text();
                    item->setText(QString());
                    SecretText::Release(text);
                }
            }
        }
        grid->setRowCount(0);
    }
}

void frmImport::fillPreview()
{
    wipePreview();
    const int skipped = m_import.Count(CsvImport::Status::Duplicate) +
                        m_import.Count(CsvImport::Status::Empty) +
                        m_import.Count(CsvImport::Status::Unreadable);
    const int add = m_import.Count(CsvImport::Status::Add);
    const qsizetype rows = m_import.RowCount();
    for (qsizetype i = 0; i < rows && (grdPreview->rowCount() < std::min(add, PREVIEW_ROWS) ||
                                       grdSkipped->rowCount() < std::min(skipped, PREVIEW_ROWS));
         ++i) {
        const bool adding = m_import.StatusOf(i) == CsvImport::Status::Add;
        QTableWidget* grid = adding ? grdPreview : grdSkipped;
        if (grid->rowCount() == PREVIEW_ROWS) {
            continue;
        }
        const int r = grid->rowCount();
        grid->insertRow(r);
        if (!adding) {
            grid->setItem(r, 0, new QTableWidgetItem(number(m_import.Line(i))));
            grid->setItem(r, 1, new QTableWidgetItem(m_import.Reason(i)));
            continue;
        }
        CsvImport::Row row = m_import.RowAt(i);
        QStringList cells = {cellText(row.entry.TITLE_TX), cellText(row.entry.USER_NM),
                             row.entry.PASSWORD_TX.isEmpty() ? QString() : kMasked,
                             cellText(row.entry.WEB_SITE_TX), cellText(row.entry.NOTES_TX)};
        for (int c = 0; c < CsvImport::FieldCount; ++c) {
            grid->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        for (QString* text : {&row.entry.TITLE_TX, &row.entry.USER_NM, &row.entry.PASSWORD_TX,
                              &row.entry.WEB_SITE_TX, &row.entry.NOTES_TX}) {
            SecretText::Release(*text);
        }
        for (QString& cell : cells) {
            SecretText::Release(cell);
        }
    }
    for (int c = 0; c + 1 < CsvImport::FieldCount; ++c) {
        grdPreview->setColumnWidth(c, fontMetrics().averageCharWidth() * 20);
    }
    grdSkipped->setColumnWidth(0, fontMetrics().averageCharWidth() * 10);
    lblCounts->setText(QStringLiteral("Rows to add: %1    Skipped as duplicates: %2    "
                                      "Skipped as empty or unreadable: %3")
                           .arg(number(add), number(m_import.Count(CsvImport::Status::Duplicate)),
                                number(m_import.Count(CsvImport::Status::Empty) +
                                       m_import.Count(CsvImport::Status::Unreadable))));
    lblSkipped->setText(skipped > PREVIEW_ROWS
                            ? QStringLiteral("Skipped &rows (the first %1 of %2 rows):")
                                  .arg(number(PREVIEW_ROWS), number(skipped))
                            : QStringLiteral("Skipped &rows:"));
    cmdShowSkipped->setEnabled(skipped > 0);
    cmdImport->setEnabled(add > 0);
}

bool frmImport::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        for (QTableWidget* grid : {grdPreview, grdSkipped}) {
            if (watched != grid->viewport()) {
                continue;
            }
            const auto* help = static_cast<QHelpEvent*>(event);
            const QTableWidgetItem* item = grid->itemAt(help->pos());
            const int room = item ? grid->visualItemRect(item).width() - 6 : 0;
            if (item && grid->fontMetrics().horizontalAdvance(item->text()) > room) {
                QToolTip::showText(help->globalPos(),
                                   QStringLiteral("<p style='white-space:pre-wrap'>%1</p>")
                                       .arg(item->text().toHtmlEscaped()),
                                   grid->viewport(), grid->visualItemRect(item));
            } else {
                QToolTip::hideText();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmImport::change(const std::function<void()>& step, const std::function<void()>& undo)
{
    wipePreview();
    bool failed = false;
    {
        Progress progress(this, QStringLiteral("Checking the rows…"), 1000);
        m_import.SetProgress([&progress](int lPermille) { return progress.step(lPermille); });
        try {
            const WaitCursor busy;
            step();
        } catch (const AppError& error) {
            const bool cancelled = progress.close();
            m_import.SetProgress({});
            tell(error, cancelled, this);
            if (cancelled || !undo) {
                reject();
                return;
            }
            failed = true;
        }
        m_import.SetProgress({});
    }
    // A failure that can be undone leaves the window open as it was.
    if (failed) {
        try {
            const WaitCursor busy;
            undo();
        } catch (const AppError& error) {
            tell(error, false, this);
            reject();
            return;
        }
    }
    fillColumns();
    fillPreview();
}

void frmImport::cboColumn_Change()
{
    CsvImport::Columns columns;
    for (int field = 0; field < CsvImport::FieldCount; ++field) {
        columns[field] = cboColumn[field]->currentIndex() - 1;
    }
    change([this, columns] { m_import.SetColumns(columns); });
}

void frmImport::cmdShowSkipped_Click()
{
    frmSkipped list(m_import, this);
    list.exec();
    activateWindow();
    cmdShowSkipped->setFocus();
}

void frmImport::cmdImport_Click()
{
    const int add = m_import.Count(CsvImport::Status::Add);
    CsvImport::Result result;
    // The backup may ask a question: before the progress dialog, which would cover it.
    try {
        m_import.Backup();
    } catch (const AppError& error) {
        tell(error, false, this);
        reject();
        return;
    }
    {
        Progress progress(this, QStringLiteral("Importing entries…"), add);
        try {
            result = m_import.Store([&progress, add](int lDone) {
                // Showing progress lets the window take the Cancel click.
                return lDone % 100 != 0 && lDone != add ? true : progress.step(lDone);
            });
        } catch (const AppError& error) {
            const bool cancelled = progress.close();
            tell(error, cancelled, this);
            reject();
            return;
        }
    }
    const QString text = CsvImport::ResultText(result);
    if (result.duplicates + result.otherSkipped == 0) {
        MsgBox::Show(text, MsgBox::vbInformation | MsgBox::vbOKOnly, QString(), this);
    } else if (MsgBox::Show(text,
                            MsgBox::vbInformation | MsgBox::vbYesNo | MsgBox::vbDefaultButton2,
                            QString(), this,
                            {QStringLiteral("&Show skipped rows…"), QStringLiteral("OK")}) ==
               MsgBox::vbYes) {
        frmSkipped list(m_import, this);
        list.exec();
    }
    accept();
}
