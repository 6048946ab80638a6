#include "linkindicator.h"

#include <QFontInfo>
#include <QPalette>
#include <QTest>
#include <QWidget>

// The link mark: each state in a colour of its own that stands out from the
// window, in a light palette and a dark one, at the caption text's size.
class tst_LinkIndicator : public QObject
{
    Q_OBJECT

private slots:
    void everyStateStandsOutInItsOwnColour_data();
    void everyStateStandsOutInItsOwnColour();
    void theMarkIsAsLargeAsTheCaptionText();
};

namespace {

QPalette paletteOf(const QColor &window, const QColor &text, const QColor &link)
{
    QPalette palette; // each colour in every group
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Link, link);
    return palette;
}

} // namespace

void tst_LinkIndicator::everyStateStandsOutInItsOwnColour_data()
{
    QTest::addColumn<QPalette>("palette");
    // The grey the closed mark used to be drawn in barely showed on this one.
    QTest::newRow("light") << paletteOf(QColor(0xEF, 0xEF, 0xEF), Qt::black, QColor(0x00, 0x00, 0xFF));
    // A dark one whose link colour barely shows on it.
    QTest::newRow("dark") << paletteOf(Qt::black, Qt::white, QColor(0x00, 0x00, 0xAA));
}

void tst_LinkIndicator::everyStateStandsOutInItsOwnColour()
{
    QFETCH(QPalette, palette);
    const QColor window = palette.color(QPalette::Window);
    QList<QColor> seen;
    for (const CLinkIndicator::State state :
         {CLinkIndicator::PortClosed, CLinkIndicator::Waiting, CLinkIndicator::NoAnswer, CLinkIndicator::Linked}) {
        const QColor color = CLinkIndicator::stateColor(state, palette);
        QVERIFY2(ContrastRatio(color, window) >= CLinkIndicator::kMinContrast,
                 qPrintable(QStringLiteral("state %1: %2 on %3").arg(int(state)).arg(color.name(), window.name())));
        QVERIFY2(!seen.contains(color), qPrintable(color.name()));
        seen.append(color);
    }
    // Linked is green, no answer amber, whatever the palette.
    const int linkedHue = CLinkIndicator::stateColor(CLinkIndicator::Linked, palette).hslHue();
    QVERIFY2(linkedHue >= 90 && linkedHue <= 150, qPrintable(QString::number(linkedHue)));
    const int noAnswerHue = CLinkIndicator::stateColor(CLinkIndicator::NoAnswer, palette).hslHue();
    QVERIFY2(noAnswerHue >= 25 && noAnswerHue <= 50, qPrintable(QString::number(noAnswerHue)));
}

void tst_LinkIndicator::theMarkIsAsLargeAsTheCaptionText()
{
    QWidget window;
    QFont font = window.font();
    font.setPointSize(9); // the dialog's
    window.setFont(font);
    auto *indicator = new CLinkIndicator(&window);
    indicator->setGeometry(0, 0, 24, 23); // its place in the dialog at this size
    QCOMPARE(indicator->markSize(), QFontInfo(font).pixelSize());
}

QTEST_MAIN(tst_LinkIndicator)
#include "tst_linkindicator.moc"
