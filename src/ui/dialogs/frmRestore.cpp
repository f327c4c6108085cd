// The list of the data file's backups and the way back to one of them.
#include "ui/dialogs/frmRestore.h"

#include "app/modGeneral.h"
#include "data/clsDB.h"
#include "data/modBackup.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "platform/SqlConnection.h"
#include "platform/WaitCursor.h"
#include "ui/login/frmLogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
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
        restoreOverDamaged(path, made);
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

void frmRestore::restoreOverDamaged(const QString& sPath, const QDateTime& made)
{
    clsDB& db = clsDB::shared();
    const bool damaged = QFileInfo::exists(db.Database);
    QString question =
        QStringLiteral("Restore the backup of %1 as the data file?").arg(madeText(made));
    if (damaged) {
        question += QStringLiteral(" The damaged data file is kept beside it.");
    }
    if (MsgBox::Show(question, MsgBox::vbQuestion | MsgBox::vbYesNo, QString(), this) !=
        MsgBox::vbYes) {
        return;
    }
    QString key = clsDB::DatabasePassword();
    int kdfIter = 0;
    if (!modProtection::OpensWithBuiltInPassword(sPath)) {
        QInputDialog ask(this);
        ask.setWindowTitle(windowTitle());
        ask.setLabelText(QStringLiteral("The backup of %1 is protected. Its master password:")
                             .arg(madeText(made)));
        ask.setTextEchoMode(QLineEdit::Password);
        const bool accepted = ask.exec() == QDialog::Accepted;
        const QString shown = ask.textValue();
        // A copy of its own: the box's text is zeroed now.
        QString typed(shown.constData(), shown.size());
        for (QLineEdit* box : ask.findChildren<QLineEdit*>()) {
            frmLogin::WipeBox(box);
        }
        const auto wipe = qScopeGuard([&typed] { SecretText::Wipe(typed); });
        if (!accepted || typed.isEmpty()) {
            return;
        }
        kdfIter = modProtection::PROTECTED_KDF_ITER;
        try {
            // The key is derived once, over the backup's salt, which the restored file keeps.
            const WaitCursor busy;
            QFile backup(sPath);
            const QByteArray salt =
                backup.open(QIODevice::ReadOnly) ? backup.read(SqlConnection::SaltBytes) : "";
            key = SqlConnection::RawKey(typed, kdfIter, salt);
            modBackup::Count(sPath, key, kdfIter);
        } catch (const AppError&) {
            MsgBox::Show(QStringLiteral("The password is wrong, or the backup is damaged."),
                         MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
            return;
        }
    }
    QString kept;
    try {
        const WaitCursor busy;
        db.CloseConnection();
        kept = modBackup::RestoreOverDamaged(sPath, db.Database, key, kdfIter);
        db.AcceptFile(key, kdfIter);
    } catch (const AppError& error) {
        db.CloseConnection();
        db.Key = clsDB::DatabasePassword();
        db.KdfIter = 0;
        MsgBox::Show(QStringLiteral("The backup could not be restored: ") + error.Description(),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
        return;
    }
    if (!kept.isEmpty()) {
        MsgBox::Show(QStringLiteral("The backup of %1 is the data file now. The damaged data "
                                    "file is kept as %2.")
                         .arg(madeText(made), QDir::toNativeSeparators(kept)),
                     MsgBox::vbInformation | MsgBox::vbOKOnly, QString(), this);
    }
    m_restored = true;
    accept();
}
