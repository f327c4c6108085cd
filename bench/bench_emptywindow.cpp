// The floor of start-up to a first window: an application object and one empty window of the
// sign-in window's size, shown. bench/startup.sh times it against the program.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("EmptyWindow"));
    window.setFixedSize(310, 184);
    window.show();
    return QApplication::exec();
}
