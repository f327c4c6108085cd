// The main window: the lists of entries, the commands, locking and the window's behaviour.
#pragma once

#include <QWidget>

class frmMain : public QWidget
{
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
};
