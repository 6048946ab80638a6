#include "language.h"
#include "usertexts.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

// Which language a run speaks, and the catalogues that give it: every text
// of the code is in them and translated.
class tst_Language : public QObject
{
    Q_OBJECT

private slots:
    void runSpeaksTheFirstLanguageItKnows_data();
    void runSpeaksTheFirstLanguageItKnows();
    void qtOwnTextsFollowTheLanguage_data();
    void qtOwnTextsFollowTheLanguage();
    void catalogIsCompleteForTheCode_data();
    void catalogIsCompleteForTheCode();
};

void tst_Language::runSpeaksTheFirstLanguageItKnows_data()
{
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("commandLine");

    const int zh = CRunLanguage::Chinese;
    const int en = CRunLanguage::English;
    // As QLocale::system().uiLanguages() gives them.
    QTest::newRow("zh_CN") << QStringList{"zh-CN", "zh-Hans-CN", "zh"} << zh << zh;
    QTest::newRow("zh_TW") << QStringList{"zh-TW", "zh-Hant-TW", "zh"} << zh << zh;
    QTest::newRow("en_US") << QStringList{"en-US", "en-Latn-US", "en"} << en << en;
    QTest::newRow("de_DE") << QStringList{"de-DE", "de-Latn-DE", "de"} << en << en;
    QTest::newRow("C") << QStringList{"C"} << zh << en;
    QTest::newRow("nothing") << QStringList{} << zh << en;
    QTest::newRow("LANGUAGE=de:zh_CN") << QStringList{"de", "de-Latn-DE", "zh-CN", "zh-Hans-CN"} << zh << zh;
    QTest::newRow("LANGUAGE=en:zh_CN") << QStringList{"en", "en-Latn-US", "zh-CN"} << en << en;
}

void tst_Language::runSpeaksTheFirstLanguageItKnows()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(int, window);
    QFETCH(int, commandLine);
    QCOMPARE(int(CRunLanguage::choose(CRunLanguage::Window, uiLanguages)), window);
    QCOMPARE(int(CRunLanguage::choose(CRunLanguage::CommandLine, uiLanguages)), commandLine);
}

void tst_Language::qtOwnTextsFollowTheLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("ok");      // a message box's button
    QTest::addColumn<QString>("options"); // a --help heading
    QTest::newRow("Chinese") << int(CRunLanguage::Chinese) << QStringLiteral("确定") << QStringLiteral("选项：");
    QTest::newRow("English") << int(CRunLanguage::English) << QStringLiteral("OK") << QStringLiteral("Options:");
}

void tst_Language::qtOwnTextsFollowTheLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, ok);
    QFETCH(QString, options);
    if (language == CRunLanguage::Chinese
        && !QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm")))
        QSKIP("Qt's own Chinese texts are not installed (qt6-translations-l10n)");
    {
        const CRunLanguage run{CRunLanguage::Language(language)};
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), ok);
        QCOMPARE(QCoreApplication::translate("QCommandLineParser", "Options:"), options);
    }
    // Gone with the run's language.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("OK"));
}

void tst_Language::catalogIsCompleteForTheCode_data()
{
    QTest::addColumn<QString>("catalog");
    QTest::newRow("English of the texts written in Chinese") << QStringLiteral("dimra_en");
    QTest::newRow("Chinese of the texts written in English") << QStringLiteral("dimra_zh_CN");
}

namespace {

// The placeholders (%1, %2, ...) a text has, sorted; a translation must
// keep every one, or arg() fills the wrong place.
QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%[0-9]+"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    found.sort();
    found.removeDuplicates();
    return found;
}

// Whether a menu text has a keyboard mnemonic (&A; "&&" is a literal &).
bool hasMnemonic(const QString &text)
{
    return text.contains(QRegularExpression(QStringLiteral("&[^&\\s]"))) && !text.contains(QLatin1String("&&"));
}

// What is wrong with one message, empty when it is finished. English texts,
// written or translated, are what a user of the English interface reads:
// not one Chinese character among them.
QString problemOf(const QString &source, const QString &type, const QStringList &translations, bool toEnglish)
{
    if (!toEnglish && UserText::HasCjk(source))
        return QStringLiteral("Chinese in an English text");
    if (type == QLatin1String("unfinished"))
        return QStringLiteral("not translated yet");
    if (type == QLatin1String("vanished") || type == QLatin1String("obsolete"))
        return QStringLiteral("no longer in the code (%1)").arg(type);
    for (const QString &translation : translations) {
        if (translation.isEmpty())
            return QStringLiteral("empty translation");
        if (placeholders(translation) != placeholders(source))
            return QStringLiteral("translation \"%1\" has other placeholders").arg(translation);
        if (hasMnemonic(translation) != hasMnemonic(source))
            return QStringLiteral("translation \"%1\" gains or loses the keyboard mnemonic").arg(translation);
        if (toEnglish && UserText::HasCjk(translation))
            return QStringLiteral("translation \"%1\" holds Chinese").arg(translation);
    }
    return QString();
}

} // namespace

void tst_Language::catalogIsCompleteForTheCode()
{
    QFETCH(QString, catalog);

    // lupdate brings a copy up to date with the code: a text added since the
    // catalogue was last updated shows as unfinished there, a text removed
    // as vanished.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(catalog + QStringLiteral(".ts"));
    QVERIFY(QFile::copy(QStringLiteral(DIMRA_TRANSLATIONS_DIR "/") + catalog + QStringLiteral(".ts"), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(DIMRA_LUPDATE),
                  {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral("@" DIMRA_CATALOG_SOURCES_DIR "/") + catalog + QStringLiteral(".sources"),
                   QStringLiteral("-ts"), copy});
    QVERIFY2(lupdate.waitForFinished(60000), "lupdate did not finish");
    const QByteArray lupdateOutput = lupdate.readAll();
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0, lupdateOutput.constData());
    // A tr() lupdate cannot place would be missing from the catalogue.
    QVERIFY2(!lupdateOutput.contains("arning"), lupdateOutput.constData());

    QFile file(copy);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList problems;
    int messages = 0;
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
            continue;
        }
        if (xml.name() != QLatin1String("message"))
            continue;
        const bool numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
        QString source;
        QString type;
        QStringList translations;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                type = xml.attributes().value(QLatin1String("type")).toString();
                if (!numerus)
                    translations.append(xml.readElementText());
                else
                    while (xml.readNextStartElement())
                        translations.append(xml.readElementText());
            } else {
                xml.skipCurrentElement();
            }
        }
        ++messages;
        const QString problem = problemOf(source, type, translations, catalog == QLatin1String("dimra_en"));
        if (!problem.isEmpty())
            problems.append(QStringLiteral("%1: \"%2\": %3").arg(context, source, problem));
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY2(problems.isEmpty(),
             qPrintable(QStringLiteral("%1.ts (run the update_translations target, then translate):\n  %2")
                            .arg(catalog, problems.join(QStringLiteral("\n  ")))));
    QVERIFY2(messages > 0, "the catalogue holds no text");
}

QTEST_GUILESS_MAIN(tst_Language)
#include "tst_language.moc"
