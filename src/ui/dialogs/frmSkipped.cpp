// The list of skipped rows, read from the import as it is shown.
#include "ui/dialogs/frmSkipped.h"

#include "data/CsvImport.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <vector>

namespace {

// The skipped rows; each reason is made when the view asks for it.
class SkippedModel : public QAbstractTableModel
{
public:
    SkippedModel(const CsvImport& import, QObject* parent)
        : QAbstractTableModel(parent), m_import(import)
    {
        for (qsizetype i = 0; i < import.RowCount(); ++i) {
            if (import.StatusOf(i) != CsvImport::Status::Add) {
                m_rows.push_back(i);
            }
        }
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid()) {
            return {};
        }
        return index.column() == 0 ? Line(index.row()) : Reason(index.row());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
            return {};
        }
        return section == 0 ? QStringLiteral("Line") : QStringLiteral("Reason");
    }
    QString Line(int r) const
    {
        return QLocale().toString(qlonglong(m_import.Line(m_rows[std::size_t(r)])));
    }
    QString Reason(int r) const { return m_import.Reason(m_rows[std::size_t(r)]); }

private:
    const CsvImport& m_import;
    std::vector<qsizetype> m_rows;
};

} // namespace

frmSkipped::frmSkipped(const CsvImport& import, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSkipped"));
    setWindowTitle(QStringLiteral("Skipped Rows"));
    setFont(parent ? parent->font() : font());
    auto* layout = new QVBoxLayout(this);
    grdRows = new QTableView(this);
    grdRows->setObjectName(QStringLiteral("grdRows"));
    auto* model = new SkippedModel(import, grdRows);
    grdRows->setModel(model);
    grdRows->verticalHeader()->setVisible(false);
    grdRows->horizontalHeader()->setStretchLastSection(true);
    grdRows->setColumnWidth(0, fontMetrics().averageCharWidth() * 10);
    grdRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRows->setTabKeyNavigation(false);
    grdRows->setWordWrap(false);
    auto* label = new QLabel(
        QStringLiteral("&Skipped rows (%1):").arg(QLocale().toString(model->rowCount())), this);
    label->setBuddy(grdRows);
    layout->addWidget(label);
    layout->addWidget(grdRows, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdCopy = new QPushButton(QStringLiteral("Copy &all"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setAutoDefault(false);
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    connect(cmdCopy, &QPushButton::clicked, this, &frmSkipped::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    resize(fontMetrics().averageCharWidth() * 80, fontMetrics().height() * 30);
}

QString frmSkipped::Text() const
{
    const auto* model = static_cast<const SkippedModel*>(grdRows->model());
    QString text;
    for (int r = 0; r < model->rowCount(); ++r) {
        text += model->Line(r) + QLatin1Char('\t') + model->Reason(r) + QLatin1Char('\n');
    }
    return text;
}

void frmSkipped::cmdCopy_Click()
{
    QApplication::clipboard()->setText(Text());
}
