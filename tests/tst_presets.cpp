#include "presetfile.h"

#include <QTemporaryDir>
#include <QTest>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {
// A file as the programs write it, its presets from the fourth line.
QByteArray presetsFile(const QByteArrayList &entries)
{
    return "{\n    \"format\": 1,\n    \"presets\": [\n        " + entries.join(",\n        ") + "\n    ]\n}\n";
}
const QByteArray kA = R"({"name": "A", "ch1": 1})", kB = R"({"name": "B", "frequency": 200000})";
} // namespace

// The user's presets file: what reading it takes and tells, what saving and
// deleting leave in it. %1 in a message stands for the file's path.
class tst_Presets : public QObject
{
    Q_OBJECT

private slots:
    void readingTakesTheGoodPresetsAndTellsTheRest_data();
    void readingTakesTheGoodPresetsAndTellsTheRest();
    void changingWritesTheWholeFileOrLeavesItAsItWas_data();
    void changingWritesTheWholeFileOrLeavesItAsItWas();
};

void tst_Presets::readingTakesTheGoodPresetsAndTellsTheRest_data()
{
    QTest::addColumn<QByteArray>("text"); // null: no file
    QTest::addColumn<QString>("presets"); // name frequency ch1 ch2 ch3, -1 for a value not set
    QTest::addColumn<QStringList>("told"); // the error, or each preset left out
    QTest::newRow("no file") << QByteArray() << "" << QStringList();
    QTest::newRow("in the file's order") << presetsFile({R"({"name": "Part A", "frequency": 20000, "ch1": 40, "ch2": 60, "ch3": 0})",
                                                         R"({"ch2": 5, "name": "B"})"}) << "Part A 20000 40 60 0, B -1 -1 5 -1" << QStringList();
    QTest::newRow("Chinese, after a byte order mark")
        << "\xEF\xBB\xBF" + presetsFile({R"({"name": "显微镜暗场", "ch3": 85})"}) << "显微镜暗场 -1 -1 -1 85" << QStringList();
    QTest::newRow("bad JSON") << presetsFile({R"({"name": "A" "ch1": 1})"}) << "" << QStringList{"%1:4:23: unterminated object"};
    QTest::newRow("wrong shape") << QByteArray("{\"format\": 1,\n\"presets\": {}}") << "" << QStringList{"%1:2:12: \"presets\" is a list"};
#ifdef Q_OS_UNIX
    QTest::newRow("a pipe, which no one writes") << QByteArray("|") << "" << QStringList{"%1 is a folder, a device or a pipe"};
#endif
    QTest::newRow("newer format") << QByteArray(R"({"presets": [], "format": 2})") << "" << QStringList{"%1:1:27: the file is in format 2, of a newer"};
    QTest::newRow("presets wrong in themselves") // the first name of 64 characters beyond 16 bits
        << presetsFile({kA, kB, R"({"name": "A\u001b[2J", "ch1": 1})", R"({"name": "C"})", R"({"name": "D", "ch1": 4e1})", kA,
                        R"({"name": "E", "ch1": 1, "ch1": 2})", "{\"name\": \"" + QByteArray("😀").repeated(64) + "\", \"ch1\": 1}",
                        "{\"name\": \"" + QByteArray("光").repeated(65) + "\", \"ch1\": 1}"})
        << "A -1 1 -1 -1, " + QString("😀").repeated(64) + " -1 1 -1 -1"
        << QStringList{"%1:5: preset \"B\" is left out: frequency 200000 is outside 25 to 150000 Hz",
                       "%1:6: preset \"A\\x1b[2J\" is left out: the name holds a control character", "%1:7: preset \"C\" is left out: it sets nothing",
                       "%1:8: preset \"D\" is left out: ch1: 4e1 is not a whole number", "%1:9: preset \"A\" is left out: the name is taken by the preset on line 4",
                       "%1:10: preset \"E\" is left out: \"ch1\" is given twice",
                       "%1:12: preset \"" + QString("光").repeated(65) + "\" is left out: the name is 65 characters long"};
}

void tst_Presets::readingTakesTheGoodPresetsAndTellsTheRest()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, presets);
    QFETCH(QStringList, told);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("100%2 presets.json")); // its %2 stays as it is
    QFile out(path);
#ifdef Q_OS_UNIX
    if (text == "|" && mkfifo(QFile::encodeName(path).constData(), 0600) == 0)
        text = QByteArray();
#endif
    QVERIFY(text.isNull() || (out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.flush()));
    const CPresetFile file(path);
    QStringList read;
    for (const Preset &preset : file.presets()) {
        read << preset.name;
        for (const int code : CDimraProtocol::kValueCodes)
            read.last() += QLatin1Char(' ') + QString::number(preset.values[code].value_or(-1));
    }
    QCOMPARE(read.join(QLatin1String(", ")), presets);
    const QString all = (QStringList{file.error()} + file.problems()).join(QLatin1Char('\n'));
    QCOMPARE(file.problems().size() + !file.error().isEmpty(), told.size());
    for (const QString &part : told)
        QVERIFY2(all.contains(QString(part).replace(QLatin1String("%1"), QDir::toNativeSeparators(path))), qPrintable(all));
}

void tst_Presets::changingWritesTheWholeFileOrLeavesItAsItWas_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file, nor its folder
    QTest::addColumn<QString>("name");      // saved with ch1, or deleted when ch1 is -1
    QTest::addColumn<int>("ch1");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArray>("after"); // null: as before
    QTest::addColumn<QString>("error");
    const int done = PresetChange::Done;
    QTest::newRow("save into a new folder") << QByteArray() << "暗场" << 5 << done << presetsFile({R"({"name": "暗场", "ch1": 5})"}) << "";
    QTest::newRow("save in its place, one left out kept as written")
        << presetsFile({kA, kB}) << "A" << 0 << done << presetsFile({R"({"name": "A", "ch1": 0})", kB}) << "";
    QTest::newRow("delete") << presetsFile({kA, kB}) << "A" << -1 << done << presetsFile({kB}) << "";
    QTest::newRow("delete one left out") << presetsFile({kA, kB}) << "B" << -1 << done << presetsFile({kA}) << "";
    QTest::newRow("delete a name not there") << presetsFile({kA}) << "a" << -1 << int(PresetChange::NoSuchPreset) << QByteArray()
                                             << R"(there is no preset "a"; the presets are "A")";
    QTest::newRow("save in place of the first, the second of that name dropped")
        << presetsFile({kA, kB, kA}) << "A" << 7 << done << presetsFile({R"({"name": "A", "ch1": 7})", kB}) << "";
    QTest::newRow("save, a name that may not be") << presetsFile({kA}) << "A\x1b" << 1 << int(PresetChange::BadPreset) << QByteArray()
                                                  << R"(preset "A\x1b": the name holds a control character; nothing was saved)";
    QTest::newRow("delete, the file unreadable") << QByteArray("{\"format\": 1,") << "A" << -1 << int(PresetChange::Unreadable)
                                                 << QByteArray() << "presets.json:1:14: unterminated object";
    QTest::newRow("save, the file unreadable") << QByteArray("{\"format\": 1,") << "A" << 1 << int(PresetChange::Unreadable)
                                               << QByteArray() << "presets.json:1:14: unterminated object";
    // The system takes only the old file's size, as a full disk would.
    QTest::newRow("save, the write cut off") << presetsFile({kA}) << QString(60, 'C') << 1 << int(PresetChange::NotWritten)
                                             << QByteArray() << "File too large; the file is as it was";
}

void tst_Presets::changingWritesTheWholeFileOrLeavesItAsItWas()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, name);
    QFETCH(int, ch1);
    QFETCH(int, outcome);
    QFETCH(QByteArray, after);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QFile file(dir.filePath(before.isNull() ? QStringLiteral("new/presets.json") : QStringLiteral("presets.json")));
    QVERIFY(before.isNull() || (file.open(QIODevice::WriteOnly) && file.write(before) == before.size()));
    file.close();
    CPresetFile presets(file.fileName());
    Preset preset{name, {}};
    preset.values[CDimraProtocol::CmdChannel1] = ch1;
#ifdef Q_OS_UNIX
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit cut{outcome == PresetChange::NotWritten ? rlim_t(before.size()) : limit.rlim_cur, limit.rlim_max};
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &cut), 0);
#else
    if (outcome == PresetChange::NotWritten)
        QSKIP("a limit to a file's size is set on POSIX systems");
#endif
    const PresetChange change = ch1 < 0 ? presets.remove(name) : presets.save(preset);
#ifdef Q_OS_UNIX
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
#endif
    QVERIFY2(error.isEmpty() ? change.error.isEmpty() : change.error.contains(error), qPrintable(change.error));
    QCOMPARE(int(change.outcome), outcome);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), after.isNull() ? before : after);
}

QTEST_GUILESS_MAIN(tst_Presets)
#include "tst_presets.moc"
