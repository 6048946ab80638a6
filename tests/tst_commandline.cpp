#include "boardoptions.h"
#include "bridgeoptions.h"
#include "ctloptions.h"
#include "dimraoptions.h"
#include "language.h"
#include "usertexts.h"

#include <QRegularExpression>
#include <QTest>

#include <functional>

// The command line every program shares: its help reads well in a terminal
// of 80 columns in either language.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void everyProgramsHelpFitsATerminal_data();
    void everyProgramsHelpFitsATerminal();
};

void tst_CommandLine::everyProgramsHelpFitsATerminal_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("program");
    QTest::addColumn<std::function<QString()>>("help");
    const QList<QPair<QString, std::function<QString()>>> programs = {
        {QStringLiteral("dimractl"), CtlHelpText}, {QStringLiteral("dimra-board"), BoardHelpText},
        {QStringLiteral("dimra-mqtt"), BridgeHelpText}, {QStringLiteral("dimra"), DimraHelpText}};
    for (const int language : {int(CRunLanguage::English), int(CRunLanguage::Chinese)})
        for (const auto &[program, help] : programs)
            QTest::addRow("%s, %s", qPrintable(program), language == CRunLanguage::Chinese ? "Chinese" : "English")
                << language << program << help;
}

void tst_CommandLine::everyProgramsHelpFitsATerminal()
{
    QFETCH(int, language);
    QFETCH(QString, program);
    QFETCH(std::function<QString()>, help);
    const CRunLanguage run{CRunLanguage::Language(language)};
    const QString text = help();
    QVERIFY2(text.section(QLatin1Char('\n'), 0, 0).contains(program + QLatin1Char(' ')), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("-h, --help")) && text.contains(QStringLiteral("-v, --version")), qPrintable(text));
    QCOMPARE(UserText::HasCjk(text), language == CRunLanguage::Chinese);
    // A Chinese character takes two columns of a terminal.
    static const QRegularExpression wide(QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{FF00}-\\x{FF60}]"));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const int columns = int(line.size() + line.count(wide));
        QVERIFY2(columns <= 79, qPrintable(QStringLiteral("%1 columns: %2").arg(columns).arg(line)));
    }
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
