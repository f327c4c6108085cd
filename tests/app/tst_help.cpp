// Tests of the help shipped with the program: the address F1 opens names a page the build put
// beside the program, its topic is one the page can show, and every link between pages leads on.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

const QString HelpDir = QStringLiteral(KEYCASK_BUILD_HELP_DIR);
const QString ContentsPage = QStringLiteral("keycask/keycask.htm");

QString readText(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The values of one attribute in every tag of an HTML text.
QStringList attributes(const QString& sHtml, const QString& sName)
{
    QStringList values;
    const QRegularExpression re(QStringLiteral("\\s%1\\s*=\\s*\"([^\"]*)\"").arg(sName));
    for (const auto& m : re.globalMatch(sHtml)) {
        values << m.captured(1);
    }
    return values;
}

// The topics the contents list offers (paths below help/), each checked against its link.
QSet<QString> contentsTopics()
{
    const QString html = readText(HelpDir + QLatin1Char('/') + ContentsPage);
    const QString nav =
        html.section(QStringLiteral("<nav id=\"contents\""), 1).section("</nav>", 0, 0);
    const QRegularExpression link(QStringLiteral("<a href=\"([^\"]*)\" data-topic=\"([^\"]*)\""));
    QSet<QString> topics;
    for (const auto& m : link.globalMatch(nav)) {
        const QString file = QDir::cleanPath(HelpDir + "/keycask/" + m.captured(1));
        if (file == QDir::cleanPath(HelpDir + QLatin1Char('/') + m.captured(2)) &&
            QFileInfo(file).isFile()) {
            topics << m.captured(2);
        } else {
            qWarning("contents link %s does not lead to its topic %s", qPrintable(m.captured(1)),
                     qPrintable(m.captured(2)));
            topics << QStringLiteral("<broken>");
        }
    }
    return topics;
}

void copyTree(const QString& sFrom, const QString& sTo)
{
    QDirIterator it(sFrom, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = sTo + QLatin1Char('/') + QDir(sFrom).relativeFilePath(file);
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        QVERIFY(QFile::copy(file, target));
    }
}

} // namespace

class tst_Help : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Folder names that an address written without encoding would break.
    void address_data()
    {
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("welcome") << 1 << ""
                                 << "keycask/welcome.htm";
        QTest::newRow("file folders") << 13 << ""
                                      << "file_folders/about_file_folders.htm";
        QTest::newRow("passwords") << 17 << ""
                                   << "passwords/about_passwords.htm";
        QTest::newRow("no topic: the contents") << 2 << ""
                                                << "";
        QTest::newRow("spaces") << 1 << "Program Files/Key Cask"
                                << "keycask/welcome.htm";
        QTest::newRow("# ? % in the name") << 17 << "a#b?c%20d"
                                           << "passwords/about_passwords.htm";
        QTest::newRow("non-ASCII") << 13 << "Schlüssel Ω"
                                   << "file_folders/about_file_folders.htm";
    }

    // The address handed to the opener names the copy beside the program and keeps its topic.
    void address()
    {
        QFETCH(int, topic);
        QFETCH(QString, folder);
        QFETCH(QString, fragment);
        TestEnv env(false);
        const QString app = QDir(env.AppFolder()).filePath(folder);
        if (!QDir().mkpath(app)) {
            QSKIP("this file system refuses the folder name");
        }
        copyTree(HelpDir, app + QStringLiteral("/help"));
        QFile marker(app + QStringLiteral("/") + clsApp::PORTABLE_MARKER);
        QVERIFY(marker.open(QIODevice::WriteOnly));
        clsApp::shared().SetApplicationFolder(app);

        modGeneral::ShowHelpTopic(topic);
        QCOMPARE(env.launches.size(), 1);
        const QUrl url = env.launches.first();
        QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
        QVERIFY(url.path().endsWith(QStringLiteral("/help/keycask/keycask.htm")));
        QCOMPARE(QFileInfo(url.toLocalFile()).canonicalFilePath(),
                 QFileInfo(app + QStringLiteral("/help/keycask/keycask.htm")).canonicalFilePath());
        QCOMPARE(url.query(), QStringLiteral("?"));
        QCOMPARE(url.fragment(), fragment);
        QVERIFY(url.toEncoded().endsWith(("??#" + fragment).toUtf8()));
        if (!fragment.isEmpty()) {
            QVERIFY(QFileInfo(app + QStringLiteral("/help/") + fragment).isFile());
            QVERIFY2(contentsTopics().contains(fragment), qPrintable(fragment));
        }
    }

    // Every topic the program can ask for is in the contents list, and every entry there leads
    // to its topic.
    void contents()
    {
        const QSet<QString> listed = contentsTopics();
        QSet<QString> asked;
        for (int topic = 0; topic < 1000; ++topic) {
            if (const QString path = modGeneral::GetHelpTopicPath(topic); !path.isEmpty()) {
                asked << path;
            }
        }
        QVERIFY(!asked.isEmpty());
        QVERIFY2(asked.subtract(listed).isEmpty(), qPrintable(asked.values().join(", ")));
        QVERIFY(!listed.contains(QStringLiteral("<broken>")));
    }

    void links_data()
    {
        QTest::addColumn<QString>("page");
        QVERIFY2(QFileInfo(HelpDir + "/" + ContentsPage).isFile(), "the build copied no help");
        QDirIterator it(HelpDir, {"*.htm", "*.css"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString page = QDir(HelpDir).relativeFilePath(it.next());
            QTest::newRow(qPrintable(page)) << page;
        }
    }

    // The copy beside the program is the one in the repository; every link and source of a page
    // leads to a file of the help, an anchor leads to an id, a topic after "#" is listed; one
    // shared stylesheet; nothing is loaded from elsewhere.
    void links()
    {
        QFETCH(QString, page);
        const QString path = HelpDir + QLatin1Char('/') + page;
        const QString text = readText(path);
        QCOMPARE(text, readText(QStringLiteral(KEYCASK_TEST_SOURCE_DIR "/../help/") + page));
        if (page.endsWith(QStringLiteral(".css"))) {
            QVERIFY(!text.contains(QStringLiteral("@import")) && !text.contains("url("));
            return;
        }
        const QStringList sheets = attributes(text, QStringLiteral("rel"));
        QCOMPARE(sheets, QStringList{QStringLiteral("stylesheet")});
        const QSet<QString> topics = contentsTopics();
        for (const QString& link : attributes(text, "href") + attributes(text, "src")) {
            QVERIFY2(!link.contains(QStringLiteral("//")) && !link.contains(QLatin1Char(':')),
                     qPrintable(link));
            const QString file = link.section(QLatin1Char('#'), 0, 0);
            const QString anchor = link.section(QLatin1Char('#'), 1);
            const QString target =
                file.isEmpty() ? path : QDir::cleanPath(QFileInfo(path).path() + "/" + file);
            QVERIFY2(target.startsWith(HelpDir + "/") && QFileInfo(target).isFile(),
                     qPrintable(link));
            if (file.endsWith(QStringLiteral(".css"))) {
                QCOMPARE(target, HelpDir + QStringLiteral("/keycask.css"));
            } else if (target.endsWith(ContentsPage) && !anchor.isEmpty()) {
                QVERIFY2(topics.contains(anchor), qPrintable(link));
            } else if (!anchor.isEmpty()) {
                QVERIFY2(attributes(readText(target), "id").contains(anchor), qPrintable(link));
            }
        }
    }
};

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
