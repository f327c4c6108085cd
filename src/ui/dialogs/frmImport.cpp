// The import preview window.
#include "ui/dialogs/frmImport.h"

#include "data/CsvImport.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

const QStringList kFieldNames = {QStringLiteral("Title"), QStringLiteral("User Name"),
                                 QStringLiteral("Password"), QStringLiteral("Web URL"),
                                 QStringLiteral("Notes")};

// A password is shown as the same number of dots whatever its length.
const QString kMasked = QString(8, QChar(0x2022));

// A cell shows one line; line breaks in the notes are marked where they are.
QString oneLine(QString sText)
{
    sText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    sText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return sText.replace(QLatin1Char('\n'), QStringLiteral(" \u21B5 "));
}

} // namespace

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

    // One drop-down per field when the file's format is not known.
    picColumns = new QWidget(this);
    auto* form = new QFormLayout(picColumns);
    form->setContentsMargins(0, 0, 0, 0);
    const QStringList columns = m_import.ColumnNames();
    const CsvImport::Columns chosen = m_import.ChosenColumns();
    for (int field = 0; field < CsvImport::FieldCount; ++field) {
        auto* combo = new QComboBox(picColumns);
        combo->addItem(QStringLiteral("(none)"));
        combo->addItems(columns);
        combo->setCurrentIndex(chosen[field] + 1);
        cboColumn[field] = combo;
        form->addRow(kFieldNames[field], combo);
        connect(combo, &QComboBox::currentIndexChanged, this, &frmImport::cboColumn_Change);
    }
    picColumns->setVisible(m_import.FormatName().isEmpty());
    layout->addWidget(picColumns);
    lblFormat->setText(m_import.FormatName().isEmpty()
                           ? QStringLiteral("The format of this file is not known. Choose the "
                                            "column that fills each field:")
                           : QStringLiteral("Format: ") + m_import.FormatName());

    grdPreview = new QTableWidget(0, CsvImport::FieldCount, this);
    grdPreview->setObjectName(QStringLiteral("grdPreview"));
    grdPreview->setHorizontalHeaderLabels(kFieldNames);
    if (m_import.FileFolders()) {
        // A file of file folders fills a name, a folder and notes.
        grdPreview->setHorizontalHeaderLabels({QStringLiteral("Name"), QString(), QString(),
                                               QStringLiteral("File Folder"),
                                               QStringLiteral("Notes")});
        grdPreview->hideColumn(CsvImport::UserName);
        grdPreview->hideColumn(CsvImport::Password);
    }
    grdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPreview->setSelectionMode(QAbstractItemView::NoSelection);
    grdPreview->verticalHeader()->setVisible(false);
    grdPreview->setWordWrap(false);
    grdPreview->horizontalHeader()->setStretchLastSection(true);
    grdPreview->setAccessibleName(QStringLiteral("Entries to add"));
    layout->addWidget(grdPreview, 1);

    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    layout->addWidget(lblCounts);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdImport = new QPushButton(QStringLiteral("Import"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);

    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    resize(fontMetrics().averageCharWidth() * 110, fontMetrics().height() * 34);
    fillPreview();
}

frmImport::~frmImport()
{
    wipePreview();
}

void frmImport::wipePreview()
{
    for (int r = 0; r < grdPreview->rowCount(); ++r) {
        for (int c = 0; c < grdPreview->columnCount(); ++c) {
            if (QTableWidgetItem* item = grdPreview->item(r, c)) {
                QString text = item->text();
                item->setText(QString());
                SecretText::Release(text);
            }
        }
    }
    grdPreview->setRowCount(0);
}

void frmImport::fillPreview()
{
    wipePreview();
    for (const CsvImport::Row& row : m_import.Rows()) {
        if (row.status != CsvImport::Status::Add) {
            continue;
        }
        if (grdPreview->rowCount() == PREVIEW_ROWS) {
            break;
        }
        const int r = grdPreview->rowCount();
        grdPreview->insertRow(r);
        const QStringList cells = {row.entry.TITLE_TX, row.entry.USER_NM,
                                   row.entry.PASSWORD_TX.isEmpty() ? QString() : kMasked,
                                   row.entry.WEB_SITE_TX, oneLine(row.entry.NOTES_TX)};
        for (int c = 0; c < CsvImport::FieldCount; ++c) {
            grdPreview->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    }
    for (int c = 0; c + 1 < CsvImport::FieldCount; ++c) {
        grdPreview->setColumnWidth(c, fontMetrics().averageCharWidth() * 20);
    }
    const int add = m_import.Count(CsvImport::Status::Add);
    lblCounts->setText(QStringLiteral("Rows to add: %1    Skipped as duplicates: %2    "
                                      "Rows with errors: %3")
                           .arg(add)
                           .arg(m_import.Count(CsvImport::Status::Duplicate))
                           .arg(m_import.Count(CsvImport::Status::Error)));
    cmdImport->setEnabled(add > 0);
}

void frmImport::cboColumn_Change()
{
    CsvImport::Columns columns;
    for (int field = 0; field < CsvImport::FieldCount; ++field) {
        columns[field] = cboColumn[field]->currentIndex() - 1;
    }
    m_import.SetColumns(columns);
    fillPreview();
}

void frmImport::cmdImport_Click()
{
    const int add = m_import.Count(CsvImport::Status::Add);
    std::unique_ptr<QProgressDialog> progress;
    if (add > PROGRESS_ROWS) {
        progress = std::make_unique<QProgressDialog>(QStringLiteral("Importing entries…"),
                                                     QStringLiteral("Cancel"), 0, add, this);
        progress->setWindowTitle(MsgBox::AppTitle());
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setAutoReset(false);
        progress->setValue(0);
    }
    CsvImport::Result result;
    try {
        result = m_import.Store([&progress](int lDone) {
            if (!progress) {
                return true;
            }
            // Showing progress lets the window take the Cancel click.
            if (lDone % 100 == 0 || lDone == progress->maximum()) {
                progress->setValue(lDone);
            }
            return !progress->wasCanceled();
        });
    } catch (const AppError& error) {
        progress.reset();
        if (!error.Told()) {
            MsgBox::Show(error.Description(), MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(),
                         this);
        }
        reject();
        return;
    }
    progress.reset();
    MsgBox::Show(CsvImport::ResultText(result), MsgBox::vbInformation | MsgBox::vbOKOnly, QString(),
                 this);
    accept();
}
