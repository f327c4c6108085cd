// A login form for the typing test: a window with the given title and two boxes; it reports
// every change of a box and Enter on standard output, one line each ("ready <window>" first).
#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget form;
    form.setWindowTitle(app.arguments().value(1));
    auto* layout = new QFormLayout(&form);
    auto* user = new QLineEdit(&form);
    auto* password = new QLineEdit(&form);
    layout->addRow(QStringLiteral("User"), user);
    layout->addRow(QStringLiteral("Password"), password);
    const auto report = [](const QString& sLine) {
        std::fputs(qPrintable(sLine + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
    };
    QObject::connect(user, &QLineEdit::textChanged,
                     [report](const QString& text) { report(QStringLiteral("user ") + text); });
    QObject::connect(password, &QLineEdit::textChanged,
                     [report](const QString& text) { report(QStringLiteral("password ") + text); });
    QObject::connect(password, &QLineEdit::returnPressed,
                     [report] { report(QStringLiteral("submit")); });
    form.resize(320, 100);
    form.show();
    user->setFocus();
    QTimer::singleShot(0, &form, [&form, report] {
        report(QStringLiteral("ready ") + QString::number(form.winId()));
    });
    return app.exec();
}
