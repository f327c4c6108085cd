// The list of the data file's backups and the way back to one of them.
#include "ui/dialogs/frmRestore.h"

#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/modBackup.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/WaitCursor.h"

#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace {

constexpr int kPathRole = Qt::UserRole;

QString madeText(const QDateTime& made)
{
    return made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

frmRestore::frmRestore(QWidget* parent, Use eUse)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_use(eUse)
{
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(QStringLiteral("Restore a Backup"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(modGeneral::TwipsToPixelsX(6600), modGeneral::TwipsToPixelsY(4200));

    auto* label = new QLabel(QStringLiteral("Backups of the data file, newest first:"), this);
    label->setGeometry(modGeneral::TwipsToPixels(120, 120, 6360, 255));
    lstBackups = new QTreeWidget(this);
    lstBackups->setObjectName(QStringLiteral("lstBackups"));
    lstBackups->setGeometry(modGeneral::TwipsToPixels(120, 420, 6360, 3090));
    lstBackups->setHeaderLabels({QStringLiteral("Made"), QStringLiteral("Password entries"),
                                 QStringLiteral("File folders")});
    lstBackups->setRootIsDecorated(false);
    lstBackups->setSelectionMode(QAbstractItemView::SingleSelection);
    label->setBuddy(lstBackups);
    lstBackups->setAccessibleName(QStringLiteral("Backups of the data file"));

    cmdRestore = new QPushButton(QStringLiteral("Restore"), this);
    cmdRestore->setGeometry(modGeneral::TwipsToPixels(4155, 3660, 1080, 375));
    cmdRestore->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setGeometry(modGeneral::TwipsToPixels(5400, 3660, 1080, 375));
    connect(cmdRestore, &QPushButton::clicked, this, &frmRestore::cmdRestore_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRestore::reject);
    connect(lstBackups, &QTreeWidget::itemSelectionChanged, this, &frmRestore::updateRestore);
    connect(lstBackups, &QTreeWidget::itemActivated, this, &frmRestore::cmdRestore_Click);
    fill();
    lstBackups->setFocus();
}

void frmRestore::fill()
{
    lstBackups->clear();
    const clsDB& db = clsDB::shared();
    QList<modBackup::Entry> entries;
    {
        const WaitCursor busy;
        entries = modBackup::List(db.Database, db.Key, db.KdfIter);
    }
    for (const modBackup::Entry& entry : entries) {
        auto* item = new QTreeWidgetItem(lstBackups);
        item->setText(0, madeText(entry.made));
        item->setData(0, kPathRole, entry.path);
        item->setData(0, Qt::UserRole + 1, entry.made);
        if (entry.Readable()) {
            item->setText(1, QString::number(entry.passwords));
            item->setText(2, QString::number(entry.folders));
        } else if (m_use == Use::DamagedFile && modProtection::LooksProtected(entry.path)) {
            item->setText(1, QStringLiteral("protected"));
        } else {
            // A backup under another key cannot be read, so it cannot be chosen either.
            item->setText(1, QStringLiteral("cannot be opened"));
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        }
    }
    for (int column = 0; column < lstBackups->columnCount(); ++column) {
        lstBackups->resizeColumnToContents(column);
    }
    for (int row = 0; row < lstBackups->topLevelItemCount(); ++row) {
        if (QTreeWidgetItem* item = lstBackups->topLevelItem(row);
            item->flags() & Qt::ItemIsSelectable) {
            lstBackups->setCurrentItem(item);
            break;
        }
    }
    updateRestore();
}

void frmRestore::updateRestore()
{
    cmdRestore->setEnabled(!lstBackups->selectedItems().isEmpty());
}

void frmRestore::cmdRestore_Click()
{
    const QList<QTreeWidgetItem*> selected = lstBackups->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QString path = selected.first()->data(0, kPathRole).toString();
    const QDateTime made = selected.first()->data(0, Qt::UserRole + 1).toDateTime();
    if (m_use == Use::DamagedFile) {
        if (modSubMain::RestoreBackupAtStart(path, madeText(made), this)) {
            m_restored = true;
            accept();
        }
        return;
    }
    const clsDB& db = clsDB::shared();
    QString question = QStringLiteral("Replace the current data with the backup of %1? The "
                                      "current data is kept as a backup.")
                           .arg(madeText(made));
    try {
        if (!modBackup::SameMaster(path, db.Key, db.KdfIter)) {
            question += QStringLiteral("\r\n\r\nThe backup has another master password: from "
                                       "then on, unlock KeyCask and sign in with the backup's "
                                       "master password.");
        }
    } catch (const AppError&) {
        // The restore itself says why the backup cannot be used.
    }
    if (MsgBox::Show(question, MsgBox::vbQuestion | MsgBox::vbYesNo, QString(), this) !=
        MsgBox::vbYes) {
        return;
    }
    try {
        const WaitCursor busy;
        modBackup::Restore(path);
    } catch (const AppError& error) {
        MsgBox::Show(QStringLiteral("The backup could not be restored: ") + error.Description(),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
        fill();
        return;
    }
    m_restored = true;
    accept();
}
