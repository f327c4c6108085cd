// The chooser of the entry to type.
#include "ui/dialogs/frmChooseEntry.h"

#include <QApplication>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

frmChooseEntry::frmChooseEntry(const QList<Choice>& aoChoices, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmChooseEntry"));
    setWindowTitle(QStringLiteral("Type which entry?"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    txtFilter = new QLineEdit(this);
    txtFilter->setPlaceholderText(QStringLiteral("Type to filter"));
    txtFilter->setAccessibleName(QStringLiteral("Filter"));
    lstEntries = new QTreeWidget(this);
    lstEntries->setAccessibleName(QStringLiteral("Entries"));
    lstEntries->setColumnCount(2);
    lstEntries->setHeaderLabels({QStringLiteral("Title"), QStringLiteral("User name")});
    lstEntries->setRootIsDecorated(false);
    lstEntries->setFocusPolicy(Qt::NoFocus);
    lstEntries->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (const Choice& choice : aoChoices) {
        auto* item = new QTreeWidgetItem(lstEntries, {choice.title, choice.userName});
        item->setData(0, Qt::UserRole, qlonglong(choice.id));
    }
    layout->addWidget(txtFilter);
    layout->addWidget(lstEntries);
    setStyleSheet(QStringLiteral("frmChooseEntry { border: 1px solid palette(dark); }"));

    connect(txtFilter, &QLineEdit::textChanged, this, &frmChooseEntry::applyFilter);
    connect(txtFilter, &QLineEdit::returnPressed, this, &frmChooseEntry::choose);
    connect(lstEntries, &QTreeWidget::itemActivated, this, &frmChooseEntry::choose);
    // Up and Down move in the list while the filter keeps the keyboard.
    txtFilter->installEventFilter(this);
    applyFilter();

    // At the pointer, inside the screen.
    resize(std::max(320, sizeHint().width()), 220);
    const QPoint at = QCursor::pos();
    if (const QScreen* screen = QGuiApplication::screenAt(at)) {
        const QRect area = screen->availableGeometry();
        move(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())),
             std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    } else {
        move(at);
    }
}

void frmChooseEntry::applyFilter()
{
    const QString text = txtFilter->text().trimmed();
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < lstEntries->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lstEntries->topLevelItem(i);
        const bool shown = item->text(0).contains(text, Qt::CaseInsensitive) ||
                           item->text(1).contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first) {
            first = item;
        }
    }
    lstEntries->setCurrentItem(first);
}

void frmChooseEntry::choose()
{
    const QTreeWidgetItem* item = lstEntries->currentItem();
    if (!item || item->isHidden()) {
        return;
    }
    m_selected = item->data(0, Qt::UserRole).toLongLong();
    accept();
}

bool frmChooseEntry::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtFilter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            QApplication::sendEvent(lstEntries, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
