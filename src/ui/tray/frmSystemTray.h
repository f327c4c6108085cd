// The tray window: one icon in the notification area while the object lives, with a popup menu
// built at run time, balloon tips, a tip text, and the icon's clicks and menu choices as events.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <memory>

class QAction;
class QMenu;

class frmSystemTray : public QObject
{
    Q_OBJECT

public:
    explicit frmSystemTray(QObject* parent = nullptr);
    ~frmSystemTray() override;

    // The popup menu; its actions are the menu items, item i being action i. Item 0 is there
    // from the start, with an empty caption.
    QMenu* mnuPopup() const { return m_menu.get(); }

    // Adds an item and gives its index: the first call takes item 0, later calls append. A
    // caption of "-" makes a separator; the key is kept as the item's tag (the action's data).
    int AddMenuItem(const QString& sCaption, const QString& sKey = QString(),
                    bool bDefault = false);
    // Index 0 only loses its caption; a later index is removed and the items after it move one
    // place down. An index without an item changes nothing. Always gives 0.
    int RemoveMenuItem(int iIndex);
    // Enables or disables an item; an index without an item changes nothing.
    void EnableMenuItem(int lIndex, bool bState);

    // The item shown bold as the menu's default. An index without an item is stored as 0.
    int DefaultMenuIndex() const { return m_defaultIndex; }
    void setDefaultMenuIndex(int lIndex);

    // Pops the menu up at the mouse position.
    void ShowMenu();

    // Shows a balloon where the platform can show messages; elsewhere does nothing. eIcon: 0 no
    // icon, 1 information, 2 warning, 3 error.
    void ShowBalloonTip(const QString& sMessage, const QString& sTitle, int eIcon, int lTimeOutMs);

    // The icon shown in the notification area. Setting the icon it already has does nothing.
    QIcon IconHandle() const { return m_icon; }
    void setIconHandle(const QIcon& hIcon);

    // The tip text, up to its first NUL and cut to 127 characters.
    QString ToolTip() const { return m_tip; }
    void setToolTip(const QString& sTip);

    // The longest tip the notification area takes.
    static constexpr int TIP_LENGTH = 127;

Q_SIGNALS:
    // eButton: 1 left, 2 right.
    void SysTrayMouseDown(int eButton);
    void SysTrayMouseUp(int eButton);
    void SysTrayDoubleClick(int eButton);
    void MenuClick(int lIndex, const QString& sKey);
    void BalloonClicked();

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void onMenuTriggered(QAction* action);
    void setCaption(QAction* action, const QString& sCaption);
    void markDefaultItem();

    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<QMenu> m_menu;
    // Whether the platform shows balloon messages; fixed at construction.
    bool m_balloons = false;
    // False until the first AddMenuItem, which then takes item 0.
    bool m_firstItemUsed = false;
    int m_defaultIndex = 0;
    QIcon m_icon;
    QString m_tip;
};
