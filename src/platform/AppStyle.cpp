// The program's style over the platform's.
#include "platform/AppStyle.h"

#include <QApplication>
#include <QIcon>

AppStyle::AppStyle() : QProxyStyle() {}

int AppStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                        QStyleHintReturn* returnData) const
{
    // The built-in button pictures are 16-pixel bitmaps, blurred on a dense screen; the captions
    // say it all.
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) {
        return 0;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QIcon AppStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                             const QWidget* widget) const
{
    // The message signs, and the pictures of folders, files and file dialogs, as SVG: each is
    // drawn at its screen's pixel density.
    const char* image = nullptr;
    switch (standardIcon) {
    case SP_MessageBoxWarning:
        image = "msg_warning";
        break;
    case SP_MessageBoxQuestion:
        image = "msg_question";
        break;
    case SP_MessageBoxInformation:
        image = "msg_information";
        break;
    case SP_MessageBoxCritical:
        image = "msg_critical";
        break;
    case SP_DirIcon:
    case SP_DirOpenIcon:
    case SP_DirClosedIcon:
    case SP_DirLinkIcon:
    case SP_DirLinkOpenIcon:
        image = "fs_folder";
        break;
    case SP_FileIcon:
    case SP_FileLinkIcon:
        image = "fs_file";
        break;
    case SP_DriveHDIcon:
    case SP_DriveFDIcon:
    case SP_DriveCDIcon:
    case SP_DriveDVDIcon:
    case SP_DriveNetIcon:
        image = "fs_drive";
        break;
    case SP_ComputerIcon:
    case SP_DesktopIcon:
        image = "fs_computer";
        break;
    case SP_DirHomeIcon:
        image = "fs_home";
        break;
    case SP_ArrowBack:
    case SP_ArrowLeft:
        image = "fs_back";
        break;
    case SP_ArrowForward:
    case SP_ArrowRight:
        image = "fs_forward";
        break;
    case SP_FileDialogToParent:
    case SP_ArrowUp:
        image = "fs_up";
        break;
    case SP_FileDialogNewFolder:
        image = "fs_newfolder";
        break;
    case SP_FileDialogListView:
        image = "fs_listview";
        break;
    case SP_FileDialogDetailedView:
        image = "fs_detailview";
        break;
    default:
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
    return QIcon(QStringLiteral(":/images/%1.svg").arg(QLatin1String(image)));
}

void AppStyle::Install()
{
    if (!qobject_cast<AppStyle*>(QApplication::style())) {
        QApplication::setStyle(new AppStyle);
    }
}
