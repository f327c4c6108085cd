// The list of the data file's backups and the way back to one of them.
#include "ui/dialogs/frmRestore.h"

#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/modBackup.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "platform/WaitCursor.h"
#include "ui/login/frmLogin.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QToolTip>
#include <QTreeWidget>

namespace {

constexpr int kPathRole = Qt::UserRole;

// The time a backup was made, in local time (newer names hold it in UTC).
QString madeText(const QDateTime& made)
{
    return made.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
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

    auto* label = new QLabel(QStringLiteral("&Backups of the data file, newest first:"), this);
    label->setGeometry(modGeneral::TwipsToPixels(120, 120, 6360, 255));
    lstBackups = new QTreeWidget(this);
    lstBackups->setObjectName(QStringLiteral("lstBackups"));
    lstBackups->setGeometry(modGeneral::TwipsToPixels(120, 420, 6360, 3090));
    lstBackups->setHeaderLabels({QStringLiteral("Made"), QStringLiteral("Password entries"),
                                 QStringLiteral("File folders"), QStringLiteral("Reason")});
    lstBackups->setRootIsDecorated(false);
    lstBackups->setSelectionMode(QAbstractItemView::SingleSelection);
    label->setBuddy(lstBackups);
    lstBackups->setAccessibleName(QStringLiteral("Backups of the data file"));

    cmdRestore = new QPushButton(QStringLiteral("&Restore"), this);
    cmdRestore->setGeometry(modGeneral::TwipsToPixels(4155, 3660, 1080, 375));
    cmdRestore->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setGeometry(modGeneral::TwipsToPixels(5400, 3660, 1080, 375));
    connect(cmdRestore, &QPushButton::clicked, this, &frmRestore::cmdRestore_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRestore::reject);
    connect(lstBackups, &QTreeWidget::itemSelectionChanged, this, &frmRestore::updateRestore);
    // Enter on a row reaches the default button, Restore; a double click restores as well.
    connect(lstBackups, &QTreeWidget::itemDoubleClicked, this, &frmRestore::cmdRestore_Click);
    lstBackups->viewport()->installEventFilter(this);
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
        item->setText(3, entry.reason);
        if (entry.Readable()) {
            item->setText(1, QString::number(entry.passwords));
            item->setText(2, QString::number(entry.folders));
        } else if (m_use == Use::DamagedFile && modProtection::LooksProtected(entry.path)) {
            item->setText(1, QStringLiteral("protected"));
        } else {
            // A backup under another key, or with other tables, cannot be chosen.
            item->setText(1, entry.problem);
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

bool frmRestore::eventFilter(QObject* watched, QEvent* event)
{
    // A cell whose text its column, or the list's edge, cuts shows the whole text as its tip.
    if (watched != lstBackups->viewport() || event->type() != QEvent::ToolTip) {
        return QDialog::eventFilter(watched, event);
    }
    const QPoint pos = static_cast<QHelpEvent*>(event)->pos();
    const QModelIndex index = lstBackups->indexAt(pos);
    const QString text = index.data().toString();
    const QRect shown = lstBackups->visualRect(index) & lstBackups->viewport()->rect();
    const int margin =
        2 *
        (lstBackups->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lstBackups) + 1);
    if (index.isValid() &&
        lstBackups->fontMetrics().horizontalAdvance(text) + margin > shown.width()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text,
                           lstBackups->viewport(), shown);
    } else {
        QToolTip::hideText();
    }
    return true;
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
    const QString question = QStringLiteral("Replace the current data with the backup of %1? The "
                                            "current data is kept as a backup.")
                                 .arg(madeText(made));
    bool sameMaster = true;
    try {
        sameMaster = modBackup::SameMaster(path, db.Key, db.KdfIter);
    } catch (const AppError&) {
        // The restore itself says why the backup cannot be used.
    }
    if (sameMaster) {
        if (MsgBox::Show(question, MsgBox::vbQuestion | MsgBox::vbYesNo, QString(), this) !=
            MsgBox::vbYes) {
            return;
        }
    } else if (MsgBox::Show(question + QStringLiteral("\r\n\r\nThe backup has another master "
                                                      "password: it becomes your master "
                                                      "password. You are asked for it first."),
                            MsgBox::vbQuestion | MsgBox::vbYesNo | MsgBox::vbDefaultButton2,
                            QString(), this) != MsgBox::vbYes ||
               !backupPasswordKnown(path, made)) {
        return;
    }
    int removed = 0;
    try {
        const WaitCursor busy;
        removed = modBackup::Restore(path);
    } catch (const AppError& error) {
        if (!error.Told()) {
            MsgBox::Show(QStringLiteral("The backup could not be restored: ") + error.Description(),
                         MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
        }
        fill();
        return;
    }
    if (removed > 0) {
        MsgBox::Show(modBackup::RemovedText(removed), MsgBox::vbExclamation | MsgBox::vbOKOnly,
                     QString(), this);
    }
    m_restored = true;
    accept();
}

bool frmRestore::AskBackupPassword(QWidget* parent, const QString& sLabel, QString& rsTyped)
{
    QInputDialog prompt(parent);
    prompt.setObjectName(QStringLiteral("dlgBackupPassword"));
    prompt.setWindowTitle(parent ? parent->windowTitle() : MsgBox::AppTitle());
    prompt.setLabelText(sLabel);
    prompt.setTextEchoMode(QLineEdit::Password);
    const bool accepted = prompt.exec() == QDialog::Accepted;
    const QString shown = prompt.textValue();
    // A copy of its own: the box's text is zeroed now.
    rsTyped = QString(shown.constData(), shown.size());
    for (QLineEdit* box : prompt.findChildren<QLineEdit*>()) {
        frmLogin::WipeBox(box);
    }
    return accepted;
}

bool frmRestore::backupPasswordKnown(const QString& sPath, const QDateTime& made)
{
    QString typed;
    const auto wipe = qScopeGuard([&typed] { SecretText::Wipe(typed); });
    if (!AskBackupPassword(
            this, QStringLiteral("The master password of the backup of %1:").arg(madeText(made)),
            typed)) {
        return false;
    }
    bool known = false;
    try {
        const clsDB& db = clsDB::shared();
        known = modBackup::MasterIs(sPath, db.Key, db.KdfIter, typed);
    } catch (const AppError&) {
    }
    if (!known) {
        MsgBox::Show(QStringLiteral("That is not the master password of the backup. Nothing was "
                                    "restored."),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
    }
    return known;
}
