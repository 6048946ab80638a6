#include "aboutdlg.h"
#include "dialogfixture.h"
#include "dimraoptions.h"
#include "language.h"
#include "linkindicator.h"
#include "messages.h"
#include "envoverride.h"
#include "pacedfarend.h"
#include "presetfile.h"
#include "serialerror.h"
#include "usertexts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

using namespace UserText;

// The values a stream of command frames carries, read as the board reads them.
SentValues decodeFrames(const QByteArray &bytes)
{
    return ValuesOf(CFrameReader().feed(bytes));
}

speed_t speedOf(const termios &settings)
{
    return ::cfgetospeed(&settings);
}

// Writing the open-link frame fails once, with the port left open: the
// failure comes as the port has opened, before the frame is written.
class FailingWriteDlg : public CMyDimraDlg
{
public:
    FailingWriteDlg()
    {
        // The open-link frame is written as soon as the port has opened.
        connect(&link(), &CBoardLink::opened, this, [this] {
            controlsEnabledAtWrite.append(findChild<QSlider *>(QStringLiteral("sliderFrequency"))->isEnabled());
            if (failNextWrite) {
                failNextWrite = false;
                throw CSerialError(QStringLiteral("写入失败（测试）"));
            }
        });
    }

    bool failNextWrite = false;
    QList<bool> controlsEnabledAtWrite;
};

// Every text a window shows at rest: its title, its controls' texts and
// tooltips (the port list's entries too), their accessible names and its
// menu.
QStringList shownTexts(const QWidget &window)
{
    QStringList texts{window.windowTitle()};
    for (QWidget *w : window.findChildren<QWidget *>()) {
        texts << w->toolTip() << w->accessibleName();
        if (auto *label = qobject_cast<QLabel *>(w))
            texts << label->text();
        else if (auto *button = qobject_cast<QPushButton *>(w))
            texts << button->text();
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i) << combo->itemData(i, Qt::ToolTipRole).toString();
    }
    for (const QAction *action : window.actions())
        texts << action->text();
    texts.removeAll(QString());
    return texts;
}

// The texts of a window wider than the room their control gives them at
// its own font, each with the control and the widths.
QStringList clippedTexts(QWidget &window)
{
    QStringList clipped;
    const auto check = [&clipped](const QWidget *w, const QFont &font, const QString &text, int room) {
        const int needed = QFontMetrics(font).horizontalAdvance(text);
        if (needed > room)
            clipped << QStringLiteral("%1: \"%2\" needs %3 px, has %4").arg(w->objectName(), text).arg(needed).arg(room);
    };
    for (QWidget *w : window.findChildren<QWidget *>()) {
        const QStyle *style = w->style();
        if (auto *label = qobject_cast<QLabel *>(w); label && label->pixmap().isNull()) {
            check(w, w->font(), label->text(), w->contentsRect().width());
        } else if (auto *button = qobject_cast<QPushButton *>(w)) {
            const int margins = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w)
                                     + style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w));
            check(w, w->font(), QString(button->text()).remove(QLatin1Char('&')), w->width() - margins);
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            // The closed box shows an entry's number and device; the open
            // list, as wide as its entries need, the whole entry.
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const int box = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w).width();
            combo->showPopup();
            const int listRoom = combo->view()->viewport()->width();
            combo->hidePopup();
            for (int i = 0; i < combo->count(); ++i) {
                check(w, w->font(), combo->itemText(i).section(QStringLiteral(" · "), 0, 0), box);
                check(w, combo->view()->font(), combo->itemText(i), listRoom);
            }
        }
    }
    return clipped;
}

} // namespace

class tst_DimraDlg : public QObject, protected DialogFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void initialState();
    void portListShowsWhereEachEntryLeads();
    void controlsKeepTheTemplateArrangement();
    void tabOrderFollowsTheTemplate();
    void connectWritesOpenLinkBeforeUnlockingTheControls();
    void theSelectedPortIsOpenedAndChangesWaitForTheNextConnect();
    void nothingIsSentBeforeTheBoardAnswers();
    void keyboardMovesSendExactFramesOnceLinked_data();
    void keyboardMovesSendExactFramesOnceLinked();
    void validationOrderAndFocus_data();
    void validationOrderAndFocus();
    void refusedTextIsToldOnceAndDroppedWhenTheRowIsLeft_data();
    void refusedTextIsToldOnceAndDroppedWhenTheRowIsLeft();
    void repliesMoveTheSliders_data();
    void repliesMoveTheSliders();
    void reportedValuesAreNotEchoedBack();
    void clampedReportIsSentBackOnce();
    void presetKeyAppliesOnlyTheValuesTheBoardDoesNotHold();
    void presetMenuSavesAndDeletesAsTheUserAnswers_data();
    void presetMenuSavesAndDeletesAsTheUserAnswers();
    void everyReplyOfABurstTakesEffect();
    void disconnectLeavesTheValuesAsTheyAre();
    void deviceLossReturnsToDisconnectedWithOneMessage();
    void failedOpenLinkWriteLeavesTheQuirkyState();
    void deviceLossInTheQuirkyStateForgetsTheLink();
    void openErrorsAreReportedAndTheProgramGoesOn();
    void receivedBytesWaitWhileAValidationMessageIsShown();
    void controlNotificationsAreDroppedDuringAnExchange();
    void enterAppliesOnlyItsOwnRowAndEscapeCloses_data();
    void enterAppliesOnlyItsOwnRowAndEscapeCloses();
    void closeCommandClosesThePortAndTheDialog();
    void everyWayOutLeavesTheBoardAtTheWindowsValues_data();
    void everyWayOutLeavesTheBoardAtTheWindowsValues();
    void aboutBoxOpensFromF1AndLeavesTheDialogUnchanged();
    void replyClampedInPlaceStillRedraws_data();
    void replyClampedInPlaceStillRedraws();
    void portListFollowsHotPlugAndKeepsTheSelection();
    void portChosenAtStart_data();
    void portChosenAtStart();
    void reconnectWaitsForTheSameAdapter_data();
    void reconnectWaitsForTheSameAdapter();
    void aLaterNoticeTakesThePlaceOfOneStillShown();
    void windowSpeaksOneLanguageAndEveryTextFits_data();
    void windowSpeaksOneLanguageAndEveryTextFits();
};

void tst_DimraDlg::init()
{
    QVERIFY(openOnPty());
}

void tst_DimraDlg::cleanup()
{
    close();
}

void tst_DimraDlg::initialState()
{
    QCOMPARE(m_dlg->windowTitle(), kTitle);
    const QComboBox *ports = control<QComboBox>("comboPort");
    QCOMPARE(ports->count(), kCommPortCount);
    // Each entry: its number, then what the number opens.
    QCOMPARE(ports->itemText(0), QStringLiteral("COM1  %1 · DIMRA_COM1").arg(m_line->slavePath().mid(5)));
    for (int i = 1; i < kCommPortCount; ++i)
        QCOMPARE(ports->itemText(i), QStringLiteral("COM%1  %2").arg(i + 1).arg(kNoDeviceEntry));
    QCOMPARE(ports->currentIndex(), 0);

    QCOMPARE(edit("Frequency")->text(), QStringLiteral("25"));
    for (const char *row : {"Channel1", "Channel2", "Channel3"}) {
        QCOMPARE(edit(row)->text(), QStringLiteral("0"));
        QCOMPARE(slider(row)->minimum(), Dimra::kDutyMin);
        QCOMPARE(slider(row)->maximum(), Dimra::kDutyMax);
        QCOMPARE(slider(row)->tickInterval(), Dimra::kDutyTick);
        QCOMPARE(slider(row)->value(), 0);
    }
    QCOMPARE(slider("Frequency")->minimum(), Dimra::kFrequencyMin);
    QCOMPARE(slider("Frequency")->maximum(), Dimra::kFrequencyMax);
    QCOMPARE(slider("Frequency")->tickInterval(), Dimra::kFrequencyTick);
    QCOMPARE(slider("Frequency")->value(), 25);
    QCOMPARE(slider("Frequency")->tickPosition(), QSlider::TicksBothSides);

    // Of the interactive controls only the port list and the connect button work.
    QStringList enabled;
    for (QWidget *w : m_dlg->findChildren<QWidget *>())
        if (w->focusPolicy() != Qt::NoFocus && w->isEnabled() && w->isVisible() && w->parentWidget() == m_dlg.get())
            enabled << w->objectName();
    enabled.sort();
    QCOMPARE(enabled, (QStringList{"buttonConnect", "comboPort"}));
    QCOMPARE(connectButton()->text(), kConnect);
    QCOMPARE(QApplication::focusWidget(), connectButton());
    QVERIFY(!m_dlg->link().isOpen());
    QCOMPARE(control<CLinkIndicator>("linkIndicator")->state(), CLinkIndicator::PortClosed);
    QVERIFY(!m_dlg->windowIcon().isNull());
    QVERIFY(m_messages->messages.isEmpty());
    // A screen reader names each row; shrinking the window never hides a control.
    QCOMPARE(slider("Frequency")->accessibleName(), QStringLiteral("频率"));
    QCOMPARE(edit("Channel3")->accessibleName(), QStringLiteral("通道3"));
    QVERIFY(m_dlg->minimumSize().width() >= connectButton()->geometry().right());
    QVERIFY(m_dlg->minimumSize().height() >= slider("Channel3")->geometry().bottom());
}

void tst_DimraDlg::portListShowsWhereEachEntryLeads()
{
    const QString tip = control<QComboBox>("comboPort")->itemData(0, Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains(m_line->slavePath()), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("DIMRA_COM1")), qPrintable(tip));
    for (int i = 1; i < kCommPortCount; ++i)
        QVERIFY(!control<QComboBox>("comboPort")->itemData(i, Qt::ToolTipRole).toString().isEmpty());
}

void tst_DimraDlg::controlsKeepTheTemplateArrangement()
{
    // Top row: port label, port list and connect button from left to
    // right, the vendor labels at the right.
    const auto geometryOf = [this](const char *name) { return control<QWidget>(name)->geometry(); };
    QVERIFY(geometryOf("labelPort").right() < geometryOf("comboPort").left());
    QVERIFY(geometryOf("comboPort").right() < geometryOf("buttonConnect").left());
    QVERIFY(geometryOf("buttonConnect").right() < geometryOf("labelVendorName").left());
    QVERIFY(geometryOf("labelVendorName").bottom() <= geometryOf("labelVendorWeb").top());

    // Then one row each for the frequency and channels 1 to 3, top to
    // bottom, each with label, slider, edit, unit and button left to right.
    const QList<QStringList> rows = {
        {"labelFrequency", "sliderFrequency", "editFrequency", "labelHz", "buttonConfirmFrequency"},
        {"labelChannel1", "sliderChannel1", "editChannel1", "labelPercent1", "buttonConfirmChannel1"},
        {"labelChannel2", "sliderChannel2", "editChannel2", "labelPercent2", "buttonConfirmChannel2"},
        {"labelChannel3", "sliderChannel3", "editChannel3", "labelPercent3", "buttonConfirmChannel3"},
    };
    int previousEditTop = geometryOf("buttonConnect").bottom();
    for (const QStringList &row : rows) {
        for (int i = 1; i < row.size(); ++i)
            QVERIFY2(geometryOf(qPrintable(row[i - 1])).center().x() < geometryOf(qPrintable(row[i])).left(),
                     qPrintable(row[i - 1] + " / " + row[i]));
        const QRect editRect = geometryOf(qPrintable(row[2]));
        QVERIFY(editRect.top() > previousEditTop);
        previousEditTop = editRect.top();
        // Label and button sit at the edit's height.
        QVERIFY(geometryOf(qPrintable(row[4])).top() == editRect.top());
        QVERIFY(qAbs(geometryOf(qPrintable(row[0])).center().y() - editRect.center().y()) < editRect.height());
    }
    for (QWidget *w : m_dlg->findChildren<QWidget *>())
        if (w->parentWidget() == m_dlg.get())
            QVERIFY2(m_dlg->rect().contains(w->geometry()), qPrintable(w->objectName()));

    // Resizing moves nothing.
    const QRect before = geometryOf("buttonConfirmChannel3");
    m_dlg->resize(m_dlg->width() + 200, m_dlg->height() + 100);
    QVERIFY(settle());
    QCOMPARE(geometryOf("buttonConfirmChannel3"), before);
}

void tst_DimraDlg::tabOrderFollowsTheTemplate()
{
    QVERIFY(connectAndLink());
    const QStringList expected = {
        "sliderChannel1", "sliderChannel2", "sliderChannel3", "editChannel1", "editChannel2", "editChannel3",
        "buttonConnect", "buttonConfirmChannel1", "buttonConfirmChannel2", "buttonConfirmChannel3",
        "comboPort", "sliderFrequency", "editFrequency", "buttonConfirmFrequency", "sliderChannel1",
    };
    slider("Channel3")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("sliderChannel1"));
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void tst_DimraDlg::connectWritesOpenLinkBeforeUnlockingTheControls()
{
    auto *dlg = replaceDialog<FailingWriteDlg>();
    QVERIFY(dlg);

    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_line->readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QCOMPARE(dlg->controlsEnabledAtWrite, QList<bool>{false});
    QCOMPARE(connectButton()->text(), kDisconnect);
    for (const char *row : {"Frequency", "Channel1", "Channel2", "Channel3"}) {
        QVERIFY(slider(row)->isEnabled());
        QVERIFY(edit(row)->isEnabled());
        QVERIFY(confirmButton(row)->isEnabled());
    }
    QVERIFY(control<QComboBox>("comboPort")->isEnabled());
    QVERIFY(m_dlg->link().isOpen());
    QVERIFY(control<CLinkIndicator>("linkIndicator")->state() != CLinkIndicator::Linked);
    // Unlocking the sliders makes them redraw; unlinked, that sends nothing.
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::theSelectedPortIsOpenedAndChangesWaitForTheNextConnect()
{
    PtyPair com2;
    PtyPair com3;
    const PortOverride com2Override(2, com2.slavePath());
    const PortOverride com3Override(3, com3.slavePath());

    QComboBox *ports = control<QComboBox>("comboPort");
    ports->setCurrentIndex(2);
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(com3.readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
    QCOMPARE(m_dlg->link().devicePath(), com3.slavePath());

    ports->setCurrentIndex(1); // no effect while connected
    QVERIFY(com3.write(ChannelReply(1, 5)));
    QTRY_VERIFY(m_dlg->link().isLinked());
    QTest::keyClick(slider("Channel2"), Qt::Key_Right);
    QCOMPARE(com3.readExactly(8), QByteArray::fromHex("3DAA0002000101EB"));
    QVERIFY(settle());
    QCOMPARE(com2.readNow(), QByteArray());

    QTest::mouseClick(connectButton(), Qt::LeftButton); // disconnect
    QTest::mouseClick(connectButton(), Qt::LeftButton); // connect to COM2 now
    QCOMPARE(com2.readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QVERIFY(control<CLinkIndicator>("linkIndicator")->state() != CLinkIndicator::Linked); // forgotten on disconnect
}

void tst_DimraDlg::nothingIsSentBeforeTheBoardAnswers()
{
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_line->readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QTest::keyClick(slider("Channel2"), Qt::Key_PageUp);
    QTest::keyClick(slider("Frequency"), Qt::Key_End);
    QTRY_COMPARE(edit("Channel2")->text(), QString::number(slider("Channel2")->value()));
    QTRY_COMPARE(edit("Frequency")->text(), QStringLiteral("150000"));
    QVERIFY(slider("Channel2")->value() > 0);
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());

    // A reply other than channel 1 moves its slider but does not link.
    QVERIFY(m_line->write(ChannelReply(3, 33)));
    QTRY_COMPARE(slider("Channel3")->value(), 33);
    QVERIFY(!m_dlg->link().isLinked());
    QTest::keyClick(slider("Channel3"), Qt::Key_Right);
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
}

void tst_DimraDlg::keyboardMovesSendExactFramesOnceLinked_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("channel 2 to 40") << QByteArray("Channel2") << 39 << int(Qt::Key_Right)
                                     << QByteArray::fromHex("3DAA000200012812");
    QTest::newRow("channel 2 a tick up to 40") << QByteArray("Channel2") << 30 << int(Qt::Key_PageUp)
                                               << QByteArray::fromHex("3DAA000200012812");
    QTest::newRow("channel 1 to 50") << QByteArray("Channel1") << 49 << int(Qt::Key_Up)
                                     << QByteArray::fromHex("3DAA00010001321B");
    QTest::newRow("channel 1 to 0") << QByteArray("Channel1") << 1 << int(Qt::Key_Home)
                                    << QByteArray::fromHex("3DAA0001000100E9");
    QTest::newRow("channel 2 to 10") << QByteArray("Channel2") << 11 << int(Qt::Key_Left)
                                     << QByteArray::fromHex("3DAA000200010AF4");
    QTest::newRow("channel 3 to 100") << QByteArray("Channel3") << 99 << int(Qt::Key_End)
                                      << QByteArray::fromHex("3DAA00030001644F");
    QTest::newRow("frequency to 999") << QByteArray("Frequency") << 998 << int(Qt::Key_Right)
                                      << QByteArray::fromHex("3DAA000400030003E7D8");
    QTest::newRow("frequency to 1500") << QByteArray("Frequency") << 1501 << int(Qt::Key_Down)
                                       << QByteArray::fromHex("3DAA000400030101F4E4");
    QTest::newRow("frequency to 25") << QByteArray("Frequency") << 30000 << int(Qt::Key_Home)
                                     << QByteArray::fromHex("3DAA0004000300001907");
    QTest::newRow("frequency to 150000") << QByteArray("Frequency") << 149999 << int(Qt::Key_Right)
                                         << QByteArray::fromHex("3DAA0004000396000084");
}

void tst_DimraDlg::keyboardMovesSendExactFramesOnceLinked()
{
    QFETCH(QByteArray, row);
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(QByteArray, frame);
    QVERIFY(connectAndLink(start == 1 ? 7 : 0));
    slider(row)->setValue(start);
    QVERIFY(!decodeFrames(m_line->readExactly(row == "Frequency" ? 10 : 8)).isEmpty());

    QTest::keyClick(slider(row), Qt::Key(key));
    QCOMPARE(m_line->readExactly(frame.size()).toHex(' '), frame.toHex(' '));
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
    QCOMPARE(edit(row)->text(), QString::number(slider(row)->value()));
}

void tst_DimraDlg::validationOrderAndFocus_data()
{
    QTest::addColumn<QStringList>("texts"); // frequency, channel 1, 2, 3
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    QTest::newRow("channel 2 reported, channel 1 never checked")
        << QStringList{"25", "200", "101", "0"} << kChannelRange << "editChannel3";
    QTest::newRow("channel 3") << QStringList{"25", "0", "0", "-1"} << kChannelRange << "editChannel3";
    QTest::newRow("channel 1 after the frequency transfer")
        << QStringList{"25", "200", "0", "0"} << kChannelRange << "editFrequency";
    QTest::newRow("frequency 24") << QStringList{"24", "0", "0", "0"} << kFrequencyRange << "editFrequency";
    QTest::newRow("frequency 150001") << QStringList{"150001", "0", "0", "0"} << kFrequencyRange << "editFrequency";
    QTest::newRow("channel 1 not a number") << QStringList{"x", "abc", "0", "0"} << kAskInteger << "editChannel1";
    QTest::newRow("channel 2 not a number before channel 3 range")
        << QStringList{"25", "0", "abc", "101"} << kAskInteger << "editChannel2";
    QTest::newRow("frequency not a number, channel 1 out of range unchecked")
        << QStringList{"x", "200", "0", "0"} << kAskInteger << "editFrequency";
    QTest::newRow("all valid") << QStringList{"150000", "100", "0", "50"} << QString() << "buttonConnect";
}

void tst_DimraDlg::validationOrderAndFocus()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QVERIFY(connectAndLink()); // the edits take the focus only when enabled
    const char *rows[] = {"Frequency", "Channel1", "Channel2", "Channel3"};
    for (int i = 0; i < 4; ++i)
        edit(rows[i])->setText(texts[i]);

    QCOMPARE(m_dlg->UpdateData(true), message.isEmpty());
    QCOMPARE(m_messages->take(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    if (auto *e = qobject_cast<QLineEdit *>(QApplication::focusWidget()); e && !message.isEmpty())
        QCOMPARE(e->selectedText(), e->text());
    if (QTest::currentDataTag() == QByteArray("channel 2 reported, channel 1 never checked")) {
        // The members keep what was transferred before the failure (shown by a store).
        QVERIFY(m_dlg->UpdateData(false));
        QCOMPARE(edit("Channel1")->text(), QStringLiteral("200"));
        QCOMPARE(edit("Channel2")->text(), QStringLiteral("101"));
        QCOMPARE(edit("Frequency")->text(), QStringLiteral("25"));
    }
}

void tst_DimraDlg::refusedTextIsToldOnceAndDroppedWhenTheRowIsLeft_data()
{
    QTest::addColumn<QString>("refused"); // typed for channel 1, or "Row=text" for another row
    QTest::addColumn<QStringList>("then");
    QTest::addColumn<SentValues>("sent");
    QTest::addColumn<QString>("shown"); // by the refused row's edit afterwards
    QTest::newRow("Set, 60 set on channel 3, three clicks on the channel 2 slider") << "250"
        << QStringList{"Channel1", "\t", "\t", "60", "Channel3", "click", "click", "click"} << SentValues{{3, 60}, {2, 10}, {2, 20}, {2, 30}} << "0";
    QTest::newRow("Set twice: its own button is the row's") << "250" << QStringList{"Channel1", "Channel1"} << SentValues{} << "250";
    QTest::newRow("Set, Enter in another edit") << "abc" << QStringList{"Channel1", "\t", "30\r"} << SentValues{{2, 30}} << "0";
    QTest::newRow("Set, Enter again, a field exchange, corrected")
        << "abc" << QStringList{"Channel1", "\r", "exchange", "25\r"} << SentValues{{1, 25}} << "25";
    // Refused as another slider moves; the focus goes to the frequency edit.
    QTest::newRow("another move") << "250" << QStringList{"wheel", "wheel"} << SentValues{{2, 3}, {2, 6}} << "0";
    QTest::newRow("a field exchange") << "250" << QStringList{"wheel", "exchange"} << SentValues{{2, 3}} << "250";
    QTest::newRow("focus to the next control") << "250" << QStringList{"wheel", "\t", "store"} << SentValues{{2, 3}} << "0";
    // Only the user leaves a row: a slider the board moves does not, nor a
    // message box that takes the focus and gives it back.
    QTest::newRow("another move, a board reply moves it again, a field exchange")
        << "250" << QStringList{"wheel", "reply", "exchange"} << SentValues{{2, 3}} << "250";
    QTest::newRow("Set, a message box comes and goes, a field exchange")
        << "250" << QStringList{"Channel1", "box", "exchange"} << SentValues{} << "250";
    QTest::newRow("frequency: Set twice") << "Frequency=24" << QStringList{"Frequency", "Frequency"} << SentValues{} << "24";
    // Whatever the board sends meanwhile (another client's setting behind a
    // bridge) leaves the text being corrected where it is.
    QTest::newRow("Set, a board reply on another row") << "250" << QStringList{"Channel1", "reply"} << SentValues{} << "250";
    QTest::newRow("Set, not a number, a board reply, a field exchange")
        << "abc" << QStringList{"Channel1", "reply", "exchange"} << SentValues{} << "abc";
}

void tst_DimraDlg::refusedTextIsToldOnceAndDroppedWhenTheRowIsLeft()
{
    QFETCH(QString, refused);
    QFETCH(QStringList, then);
    QFETCH(SentValues, sent);
    QFETCH(QString, shown);
    QVERIFY(connectAndLink());
    const QByteArray row = refused.contains('=') ? refused.section('=', 0, 0).toLatin1() : QByteArray("Channel1");
    const QString text = refused.section('=', -1);
    edit(row)->setText(text);
    QSlider *other = slider("Channel2");
    for (const QString &step : then) {
        if (step.startsWith("Channel") || step == "Frequency") { // that row's Set
            QTest::mouseClick(confirmButton(step.toLatin1()), Qt::LeftButton);
        } else if (step == "reply") {
            QVERIFY(m_line->write(ChannelReply(2, 40)));
            QTRY_COMPARE(other->value(), 40);
        } else if (step == "box") { // the focus goes to its button and comes back
            QMessageBox box(QMessageBox::Information, QString(), QStringLiteral("box"), QMessageBox::Ok, m_dlg.get());
            box.show();
            QVERIFY(QTest::qWaitForWindowActive(&box));
            QTRY_COMPARE(QApplication::focusWidget(), box.button(QMessageBox::Ok));
            box.close();
            m_dlg->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
            QCOMPARE(QApplication::focusWidget(), edit(row));
        } else if (step == "click") {
            QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(other->width() - 5, other->height() / 2));
        } else if (step == "wheel") { // leaves the focus where it is
            QWheelEvent wheel({5, 5}, other->mapToGlobal(QPointF(5, 5)), {}, {0, 120}, {}, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(other, &wheel);
        } else if (step == "exchange" || step == "store") {
            m_dlg->UpdateData(step == "exchange");
        } else { // typed where the focus is; \t is Tab, \r Enter
            QTest::keyClicks(QApplication::focusWidget(), step);
        }
        QVERIFY(settle()); // each move its own redraw
    }
    QCOMPARE(framesSent(sent.size()), sent);
    QCOMPARE(m_messages->messages, QStringList{text == "abc" ? kAskInteger : row == "Frequency" ? kFrequencyRange : kChannelRange});
    QCOMPARE(edit(row)->text(), shown);
}

void tst_DimraDlg::repliesMoveTheSliders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<int>("value");
    QTest::newRow("frequency 05 00 00") << FrequencyReply(5000) << QByteArray("Frequency") << 5000;
    QTest::newRow("frequency 01 01 F4") << FrequencyReply(1500) << QByteArray("Frequency") << 1500;
    QTest::newRow("channel 3") << ChannelReply(3, 64) << QByteArray("Channel3") << 64;
    QTest::newRow("function 2A acts as 2") << CBoardModel::buildReply(0x2A, QByteArray(1, char(12))) << QByteArray("Channel2") << 12;
    QTest::newRow("reply split in bytes") << ChannelReply(2, 40) << QByteArray("Channel2") << 40;
}

void tst_DimraDlg::repliesMoveTheSliders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, row);
    QFETCH(int, value);
    QVERIFY(connectAndLink());
    if (QTest::currentDataTag() == QByteArray("reply split in bytes")) {
        for (char b : bytes) {
            QCOMPARE(slider(row)->value(), 0);
            QVERIFY(m_line->write(QByteArray(1, b)));
            QVERIFY(settle());
        }
    } else {
        QVERIFY(m_line->write(bytes));
    }
    QTRY_COMPARE(slider(row)->value(), value);
    QTRY_COMPARE(edit(row)->text(), QString::number(value));
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::reportedValuesAreNotEchoedBack()
{
    QVERIFY(connectAndLink(20));
    QCOMPARE(slider("Channel1")->value(), 20);
    QVERIFY(m_line->write(ChannelReply(2, 40) + FrequencyReply(1500)));
    QTRY_COMPARE(slider("Frequency")->value(), 1500);
    QCOMPARE(slider("Channel2")->value(), 40);
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
    // The user's own next move is sent as usual.
    QTest::keyClick(slider("Channel2"), Qt::Key_Right);
    QCOMPARE(decodeFrames(m_line->readExactly(8)), (QList<QPair<int, int>>{{2, 41}}));
}

void tst_DimraDlg::clampedReportIsSentBackOnce()
{
    QVERIFY(connectAndLink());
    QVERIFY(m_line->write(ChannelReply(1, 0xC8)));
    QTRY_COMPARE(slider("Channel1")->value(), 100);
    QCOMPARE(m_line->readExactly(8), QByteArray::fromHex("3DAA00010001644D"));
    QTRY_COMPARE(edit("Channel1")->text(), QStringLiteral("100"));
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
    // The board said 200, not the user: no message.
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::presetKeyAppliesOnlyTheValuesTheBoardDoesNotHold()
{
    QTemporaryFile presets;
    QVERIFY(presets.open());
    QVERIFY(presets.write(R"({"format": 1, "presets": [{"name": "A", "frequency": 5000, "ch1": 40, "ch2": 60, "ch3": 0}]})") > 0);
    presets.close();
    const EnvOverride presetsFile("DIMRA_PRESETS", QFile::encodeName(presets.fileName()));
    QVERIFY(replaceDialog<CMyDimraDlg>());
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_line->readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QTest::keyClick(m_dlg.get(), Qt::Key_1, Qt::ControlModifier); // not linked: nothing moves
    QCOMPARE(framesSent(), SentValues{});
    QCOMPARE(slider("Frequency")->value(), Dimra::kFrequencyMin);

    // Channel 1 as the board reported it; channel 2 as it reported it, since
    // moved by the user; channel 3 unreported, as the window holds it.
    QVERIFY(m_line->write(ChannelReply(1, 40) + ChannelReply(2, 60) + FrequencyReply(1500)));
    QTRY_COMPARE(slider("Frequency")->value(), 1500);
    QTest::keyClick(slider("Channel2"), Qt::Key_Right);
    QCOMPARE(framesSent(1), (SentValues{{2, 61}}));
    edit("Channel3")->setText(QStringLiteral("abc")); // typed, never confirmed
    QTest::keyClick(m_dlg.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(framesSent(2), (SentValues{{4, 5000}, {2, 60}}));
    QCOMPARE(slider("Frequency")->value(), 5000);
    QCOMPARE(edit("Frequency")->text(), QStringLiteral("5000"));
    QCOMPARE(slider("Channel2")->value(), 60);
    QCOMPARE(edit("Channel3")->text(), QStringLiteral("0"));

    // A board opened again holds what it holds, not what the window sent
    // before: the preset's frequency goes out although it went out then.
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(connectButton()->text(), kConnect);
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_line->readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QTest::keyClick(slider("Frequency"), Qt::Key_Right); // not linked: not sent
    QVERIFY(m_line->write(ChannelReply(1, 40)));
    QTRY_VERIFY(m_dlg->link().isLinked());
    QTest::keyClick(m_dlg.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(framesSent(1), (SentValues{{4, 5000}}));
    QVERIFY(m_messages->messages.isEmpty()); // the preset's values need no checking
}

void tst_DimraDlg::presetMenuSavesAndDeletesAsTheUserAnswers_data()
{
    QTest::addColumn<QString>("item");        // the menu's item chosen: save, or the preset's name to delete
    QTest::addColumn<QStringList>("answers"); // to each dialog in turn: the name typed (cancel), or Yes or No
    QTest::addColumn<QString>("after");       // the presets that work then: name frequency ch1
    QTest::addColumn<QString>("message");
    // The file holds A and B, left out; the window's settings are 25 Hz, ch1 0.
    const QString save = QStringLiteral("save"), kept = QStringLiteral("A 5000 40");
    QTest::newRow("save under a new name") << save << QStringList{"C"} << "A 5000 40, C 25 0" << "";
    QTest::newRow("save under a name taken, not replaced") << save << QStringList{"A", "No"} << kept << "";
    QTest::newRow("save under a name taken, replaced") << save << QStringList{"A", "Yes"} << "A 25 0" << "";
    QTest::newRow("save under a name left out, replaced") << save << QStringList{"B", "Yes"} << "A 5000 40, B 25 0" << "";
    QTest::newRow("an empty name told, then cancelled") << save << QStringList{"", "cancel"} << kept << "the name is empty";
    QTest::newRow("delete, not confirmed") << "A" << QStringList{"No"} << kept << "";
    QTest::newRow("delete, confirmed") << "A" << QStringList{"Yes"} << "" << "";
}

void tst_DimraDlg::presetMenuSavesAndDeletesAsTheUserAnswers()
{
    QFETCH(QString, item);
    QFETCH(QStringList, answers);
    QFETCH(QString, after);
    QFETCH(QString, message);
    QTemporaryFile presets;
    QVERIFY(presets.open());
    QVERIFY(presets.write(R"({"format": 1, "presets": [{"name": "A", "frequency": 5000, "ch1": 40}, {"name": "B", "ch1": 101}]})") > 0);
    presets.close();
    const EnvOverride presetsFile("DIMRA_PRESETS", QFile::encodeName(presets.fileName()));
    QVERIFY(replaceDialog<CMyDimraDlg>());
    const QList<QAction *> commands = m_dlg->actions();
    const auto menuAction = std::find_if(commands.begin(), commands.end(), [](QAction *a) { return a->menu(); });
    QVERIFY(menuAction != commands.end());
    QMenu *menu = (*menuAction)->menu();
    emit menu->aboutToShow();
    QMenu *deleteMenu = nullptr;
    QAction *chosen = nullptr;
    bool leftOutGreyed = false;
    for (QAction *a : menu->actions()) {
        leftOutGreyed |= a->text().contains(QLatin1String("preset \"B\" is left out")) && !a->isEnabled();
        if (a->menu())
            deleteMenu = a->menu();
        else if (item == QLatin1String("save") && a->text().endsWith(QStringLiteral("…")))
            chosen = a;
    }
    QVERIFY(leftOutGreyed);
    for (QAction *a : deleteMenu ? deleteMenu->actions() : QList<QAction *>())
        if (a->text() == item)
            chosen = a;
    QVERIFY(chosen && chosen->isEnabled());

    QStringList left = answers;
    QTimer answerer; // each dialog as it comes, until the answers run out
    connect(&answerer, &QTimer::timeout, this, [this, &left] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_dlg.get() || left.isEmpty())
            return;
        const QString answer = left.takeFirst();
        if (auto *input = qobject_cast<QInputDialog *>(modal)) {
            input->setTextValue(answer);
            answer == QLatin1String("cancel") ? input->reject() : input->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->button(answer == QLatin1String("Yes") ? QMessageBox::Yes : QMessageBox::No)->click();
        }
    });
    answerer.start(10);
    chosen->trigger();
    answerer.stop();
    QCOMPARE(left, QStringList());
    QStringList read;
    const CPresetFile file(presets.fileName()); // presets() is the file's own list
    for (const Preset &preset : file.presets())
        read << QStringLiteral("%1 %2 %3").arg(preset.name).arg(preset.values[CDimraProtocol::CmdFrequency].value_or(-1))
                    .arg(preset.values[CDimraProtocol::CmdChannel1].value_or(-1));
    QCOMPARE(read.join(QLatin1String(", ")), after);
    QCOMPARE(m_messages->messages.size(), int(!message.isEmpty()));
    QVERIFY2(m_messages->messages.join(QString()).contains(message), qPrintable(m_messages->messages.join(QString())));
}

void tst_DimraDlg::everyReplyOfABurstTakesEffect()
{
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_line->readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    // The board's whole report to the open-link frame in one write, with a
    // stray byte between two replies and an unfinished reply at the end.
    QVERIFY(m_line->write(ChannelReply(1, 11) + ChannelReply(2, 22) + "\x7F" + ChannelReply(3, 33)
                          + FrequencyReply(2500) + QByteArray::fromHex("3DAA00")));
    QTRY_COMPARE(slider("Frequency")->value(), 2500);
    QVERIFY(m_dlg->link().isLinked());
    QCOMPARE(slider("Channel1")->value(), 11);
    QCOMPARE(slider("Channel2")->value(), 22);
    QCOMPARE(slider("Channel3")->value(), 33);
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
}

void tst_DimraDlg::disconnectLeavesTheValuesAsTheyAre()
{
    QVERIFY(connectAndLink(60));
    slider("Frequency")->setValue(5000);
    QCOMPARE(m_line->readExactly(10), QByteArray::fromHex("3DAA00040003050000F3"));
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(connectButton()->text(), kConnect);
    QVERIFY(!m_dlg->link().isOpen());
    QVERIFY(!slider("Frequency")->isEnabled());
    QVERIFY(!edit("Channel1")->isEnabled());
    QVERIFY(!confirmButton("Channel3")->isEnabled());
    QVERIFY(settle());
    QCOMPARE(slider("Frequency")->value(), 5000);
    QCOMPARE(slider("Channel1")->value(), 60);
    QCOMPARE(edit("Frequency")->text(), QStringLiteral("5000"));
    QCOMPARE(edit("Channel1")->text(), QStringLiteral("60"));
    QCOMPARE(m_line->readNow(), QByteArray()); // no close-link command
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::deviceLossReturnsToDisconnectedWithOneMessage()
{
    QVERIFY(connectAndLink());
    auto *indicator = control<CLinkIndicator>("linkIndicator");
    QVERIFY(indicator);
    QCOMPARE(indicator->state(), CLinkIndicator::Linked);
    // While the message waits for the user, the mark already says closed.
    std::optional<CLinkIndicator::State> markWhileShown;
    m_messages->whileShown = [&] { markWhileShown = indicator->state(); };
    // Edits the user left unconfirmed bring no message of their own.
    edit("Channel1")->setText(QStringLiteral("abc"));
    edit("Frequency")->setText(QStringLiteral("1"));
    m_line->closeMaster();
    QTRY_COMPARE(m_messages->messages.size(), 1);
    QCOMPARE(markWhileShown, std::optional(CLinkIndicator::PortClosed));
    QVERIFY2(m_messages->messages.first().contains(m_line->slavePath()), qPrintable(m_messages->messages.first()));
    QVERIFY2(m_messages->messages.first().contains(kLinkLost), qPrintable(m_messages->messages.first()));
    // The system's words go to the details, not into the sentence.
    QVERIFY(!m_messages->details.first().isEmpty());
    QVERIFY(!m_messages->messages.first().contains(m_messages->details.first()));
    QCOMPARE(connectButton()->text(), kConnect);
    QVERIFY(!m_dlg->link().isOpen());
    QVERIFY(!slider("Channel1")->isEnabled());
    QVERIFY(settle());
    QCOMPARE(m_messages->messages.size(), 1);
}

void tst_DimraDlg::failedOpenLinkWriteLeavesTheQuirkyState()
{
    auto *dlg = replaceDialog<FailingWriteDlg>();
    QVERIFY(dlg);
    dlg->failNextWrite = true;

    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_messages->take(), QStringList{QStringLiteral("写入失败（测试）")});
    QVERIFY(m_dlg->link().isOpen());
    QCOMPARE(connectButton()->text(), kConnect);
    QVERIFY(!slider("Channel1")->isEnabled());

    // The next click only closes the port.
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QVERIFY(!m_dlg->link().isOpen());
    QCOMPARE(connectButton()->text(), kConnect);
    QVERIFY(!slider("Channel1")->isEnabled());
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
    QVERIFY(m_messages->messages.isEmpty());

    // And the one after connects normally.
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_line->readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QCOMPARE(connectButton()->text(), kDisconnect);
}

void tst_DimraDlg::deviceLossInTheQuirkyStateForgetsTheLink()
{
    auto *dlg = replaceDialog<FailingWriteDlg>();
    QVERIFY(dlg);
    dlg->failNextWrite = true;
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_messages->take().size(), 1);

    // The port is open though the window says otherwise, so the board can
    // still be heard and establish the link...
    QVERIFY(m_line->write(ChannelReply(1, 9)));
    QTRY_VERIFY(m_dlg->link().isLinked());
    // ...and losing the device forgets it again, with one message.
    m_line->closeMaster();
    QTRY_VERIFY(!m_dlg->link().isOpen());
    QTRY_COMPARE(m_messages->messages.size(), 1);
    QCOMPARE(connectButton()->text(), kConnect);
    QVERIFY(!slider("Channel1")->isEnabled());
}

void tst_DimraDlg::openErrorsAreReportedAndTheProgramGoesOn()
{
    QStringList shown;
    {
        const PortOverride missing(1, QStringLiteral("/dev/dimra-no-such-device"));
        QTest::mouseClick(connectButton(), Qt::LeftButton);
        shown = m_messages->take();
    }
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(QStringLiteral("/dev/dimra-no-such-device")), qPrintable(shown.first()));
    QCOMPARE(connectButton()->text(), kConnect);
    QVERIFY(!slider("Channel1")->isEnabled());

    // A port another program holds.
    CMSComm other;
    other.put_CommPort(ResolveCommPort(1));
    other.put_PortOpen(true);
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    shown = m_messages->take();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(kInUse), qPrintable(shown.first()));
    QCOMPARE(connectButton()->text(), kConnect);

    other.put_PortOpen(false);
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(m_line->readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QCOMPARE(connectButton()->text(), kDisconnect);
}

void tst_DimraDlg::receivedBytesWaitWhileAValidationMessageIsShown()
{
    QVERIFY(connectAndLink());
    edit("Channel2")->setText(QStringLiteral("abc"));
    bool written = false;
    bool restedWhileShown = false;
    bool unreadWhileShown = true;
    int channel3WhileShown = -1;
    m_messages->whileShown = [&] {
        written = m_line->write(ChannelReply(3, 77));
        restedWhileShown = settle();
        unreadWhileShown = m_line->programHasUnreadInput();
        channel3WhileShown = slider("Channel3")->value();
    };
    QVERIFY(!m_dlg->UpdateData(true));
    m_messages->whileShown = nullptr;
    QVERIFY(written);
    QVERIFY(restedWhileShown);
    QVERIFY(!unreadWhileShown); // the port took the bytes: only the hold kept them back
    QCOMPARE(channel3WhileShown, 0);
    QTRY_COMPARE(edit("Channel3")->text(), QStringLiteral("77"));
    QTRY_COMPARE(slider("Channel3")->value(), 77);
    QCOMPARE(m_messages->take(), QStringList{kAskInteger});
}

void tst_DimraDlg::controlNotificationsAreDroppedDuringAnExchange()
{
    QVERIFY(connectAndLink());
    edit("Frequency")->setText(QStringLiteral("24"));
    bool restedWhileShown = false;
    m_messages->whileShown = [&] {
        slider("Channel3")->setValue(50);          // its redraw comes while the message shows
        QTest::mouseClick(confirmButton("Channel1"), Qt::LeftButton); // so does this click
        restedWhileShown = settle();
    };
    m_dlg->UpdateData(true);
    m_messages->whileShown = nullptr;
    QVERIFY(restedWhileShown);
    QCOMPARE(m_messages->take(), QStringList{kFrequencyRange});
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray()); // dropped, not deferred
    QVERIFY(m_dlg->UpdateData(false));
    QCOMPARE(edit("Channel3")->text(), QStringLiteral("0"));
    QCOMPARE(slider("Channel1")->value(), 0);
}

void tst_DimraDlg::enterAppliesOnlyItsOwnRowAndEscapeCloses_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("key");
    QTest::addColumn<SentValues>("sent");
    const int enter = Qt::Key_Return;
    QTest::newRow("frequency edit") << QByteArray("editFrequency") << enter << SentValues{{4, 1500}};
    QTest::newRow("channel 1 edit") << QByteArray("editChannel1") << enter << SentValues{{1, 55}};
    QTest::newRow("channel 2 edit") << QByteArray("editChannel2") << enter << SentValues{{2, 30}};
    QTest::newRow("channel 3 edit, keypad") << QByteArray("editChannel3") << int(Qt::Key_Enter) << SentValues{{3, 5}};
    QTest::newRow("slider") << QByteArray("sliderChannel2") << enter << SentValues{};
    QTest::newRow("port list") << QByteArray("comboPort") << enter << SentValues{};
    QTest::newRow("connect button") << QByteArray("buttonConnect") << enter << SentValues{};
}

void tst_DimraDlg::enterAppliesOnlyItsOwnRowAndEscapeCloses()
{
    QFETCH(QByteArray, target);
    QFETCH(int, key);
    QFETCH(SentValues, sent);
    QVERIFY(connectAndLink());
    for (QPushButton *button : m_dlg->findChildren<QPushButton *>())
        QVERIFY2(!button->isDefault() && !button->autoDefault(), button->objectName().toLatin1());
    // Every row holds a typed value that is not its own to send.
    const QPair<const char *, const char *> typed[] = {{"Frequency", "1500"}, {"Channel1", "55"}, {"Channel2", "30"}, {"Channel3", "5"}};
    for (const auto &[row, text] : typed)
        edit(row)->setText(QString::fromLatin1(text));
    QWidget *w = control<QWidget>(target);
    w->setFocus();
    QTest::keyClick(w, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(framesSent(sent.size()), sent);
    QVERIFY(m_dlg->isVisible());
    QCOMPARE(connectButton()->text(), kDisconnect);
    QVERIFY(m_messages->messages.isEmpty());

    QTest::keyClick(w, Qt::Key_Escape);
    QVERIFY(!m_dlg->isVisible());
    QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
}

void tst_DimraDlg::closeCommandClosesThePortAndTheDialog()
{
    QVERIFY(connectAndLink());
    QTest::keyClick(m_dlg.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!m_dlg->isVisible());
    QVERIFY(!m_dlg->link().isOpen());
    QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
    QVERIFY(settle());
    QCOMPARE(m_line->readNow(), QByteArray());
}

void tst_DimraDlg::everyWayOutLeavesTheBoardAtTheWindowsValues_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("windowCloses");
    QTest::newRow("Escape") << "Escape" << true;
    QTest::newRow("close box") << "close box" << true;
    QTest::newRow("Ctrl+Q") << "Ctrl+Q" << true;
    QTest::newRow("disconnect") << "disconnect" << false;
    QTest::newRow("SIGTERM, as at logout") << "SIGTERM" << true;
}

void tst_DimraDlg::everyWayOutLeavesTheBoardAtTheWindowsValues()
{
    QFETCH(QString, way);
    QFETCH(bool, windowCloses);
    // A line an earlier program left at another speed.
    QVERIFY(m_line->setLineSpeed(B115200));
    QVERIFY(connectAndLink());
    QCOMPARE(speedOf(m_line->lineSettings()), speed_t(B9600));
    // The board drains the line faster than the line itself, so that a byte
    // the program has handed over is read as soon as it can be on the wire.
    PacedFarEnd board(*m_line, 4 * Dimra::kLineBytesPerSecond, B9600);
    if (way == QLatin1String("SIGTERM"))
        m_dlg->EndSessionOnStopSignals();

    // Key presses faster than the line drains: frames wait as the way out
    // comes. Every row moves, so that four settings wait, not one merged
    // frame, however slowly this machine presses keys.
    const QList<QPair<QByteArray, Qt::Key>> presses = {
        {"Channel1", Qt::Key_Right}, {"Channel2", Qt::Key_Right}, {"Channel3", Qt::Key_Right}, {"Frequency", Qt::Key_PageUp}};
    for (int i = 0; i < 12; ++i) {
        for (const auto &[row, key] : presses) {
            QTest::keyClick(slider(row), key);
            QCoreApplication::processEvents(); // the slider's redraw, which sends
        }
    }
    QVERIFY(qobject_cast<const CBoardLink *>(&m_dlg->link())->bytesWaiting() > 0);
    QCOMPARE(edit("Frequency")->text().toInt(), Dimra::kFrequencyMin + 12 * Dimra::kFrequencyTick);

    if (way == QLatin1String("Escape"))
        QTest::keyClick(slider("Frequency"), Qt::Key_Escape);
    else if (way == QLatin1String("close box"))
        QVERIFY(m_dlg->close());
    else if (way == QLatin1String("Ctrl+Q"))
        QTest::keyClick(m_dlg.get(), Qt::Key_Q, Qt::ControlModifier);
    else if (way == QLatin1String("disconnect"))
        QTest::mouseClick(connectButton(), Qt::LeftButton);
    else
        QCOMPARE(::kill(::getpid(), SIGTERM), 0);
    QTRY_VERIFY(!m_dlg->link().isOpen());
    QCOMPARE(m_dlg->isVisible(), !windowCloses);
    if (!windowCloses)
        QCOMPARE(control<CLinkIndicator>("linkIndicator")->state(), CLinkIndicator::PortClosed);

    // The board holds what the window shows, every byte of it went out
    // before the line's old settings came back, and they did come back.
    CBoardModel model;
    QList<CBoardModel::Output> answers;
    const SentValues sent = ValuesOf(model.receive(board.stop(), &answers));
    QVERIFY(WellFormedAndInRange(sent));
    QCOMPARE(model.state().frequency, edit("Frequency")->text().toInt());
    for (const char *row : {"Channel1", "Channel2", "Channel3"})
        QCOMPARE(model.state().duty[row[7] - '1'], edit(row)->text().toInt());
    QCOMPARE(board.bytesAfterTheSpeedChanged(), 0);
    QCOMPARE(speedOf(m_line->lineSettings()), speed_t(B115200));
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::aboutBoxOpensFromF1AndLeavesTheDialogUnchanged()
{
    const QList<QAction *> actions = m_dlg->actions();
    QVERIFY(std::any_of(actions.begin(), actions.end(),
                        [](QAction *a) { return a->text() == kAboutCommand; }));
    QVERIFY(actions.size() >= 2 && actions.at(actions.size() - 2)->isSeparator());
    QCOMPARE(m_dlg->contextMenuPolicy(), Qt::ActionsContextMenu);

    QString title;
    QStringList labels;
    QTimer::singleShot(100, this, [&] {
        QWidget *about = QApplication::activeModalWidget();
        if (!about)
            return;
        title = about->windowTitle();
        for (QLabel *l : about->findChildren<QLabel *>())
            if (!l->text().isEmpty())
                labels << l->text();
        if (auto *ok = about->findChild<QPushButton *>(QStringLiteral("buttonOk")))
            QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::keyClick(m_dlg.get(), Qt::Key_F1);
    QCOMPARE(title, kAboutTitle);
    QVERIFY(labels.contains(kAboutVersion));
    QCOMPARE(labels.size(), 2);
    QVERIFY(m_dlg->isVisible());
    QCOMPARE(connectButton()->text(), kConnect);
    QCOMPARE(edit("Frequency")->text(), QStringLiteral("25"));
}

void tst_DimraDlg::replyClampedInPlaceStillRedraws_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("clamped");
    const int frequency = CDimraProtocol::CmdFrequency;
    QTest::newRow("channel 2 at 100, then C8") << QByteArray("Channel2") << ChannelReply(2, 100)
                                               << ChannelReply(2, 0xC8) << 100;
    // Read with no three-byte reply before it: 0, which the slider at 25 shows as 25.
    QTest::newRow("one-byte frequency reply at 25") << QByteArray("Frequency") << QByteArray()
                                                    << CBoardModel::buildReply(frequency, QByteArray(1, 7)) << 25;
}

void tst_DimraDlg::replyClampedInPlaceStillRedraws()
{
    QFETCH(QByteArray, row);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, reply);
    QFETCH(int, clamped);
    const int code = row == "Frequency" ? int(CDimraProtocol::CmdFrequency) : row.right(1).toInt();
    QVERIFY(connectAndLink());
    QVERIFY(m_line->write(before));
    QTRY_COMPARE(slider(row)->value(), clamped);
    QCOMPARE(framesSent(), SentValues{}); // a reported value is not sent back

    // The slider cannot move; its redraw brings member and edit back to it
    // and sends the clamped value.
    QVERIFY(m_line->write(reply));
    QCOMPARE(framesSent(1), (SentValues{{code, clamped}}));
    QCOMPARE(edit(row)->text(), QString::number(clamped));
    QCOMPARE(slider(row)->value(), clamped);
    QVERIFY(m_messages->messages.isEmpty()); // the board's value is no typing of the user's

    // Nothing out of range is left behind to trouble the other rows.
    const QByteArray other = row == "Channel3" ? "Channel1" : "Channel3";
    QTest::keyClick(slider(other), Qt::Key_Right);
    QCOMPARE(framesSent(1).size(), 1);
    QCOMPARE(m_messages->messages, QStringList());
}

void tst_DimraDlg::portListFollowsHotPlugAndKeepsTheSelection()
{
    QVERIFY(openOnAdapter(QStringLiteral("serial/by-id/usb-A")));
    QComboBox *ports = control<QComboBox>("comboPort");
    ports->setCurrentIndex(2);
    const QString com1 = QStringLiteral("COM1  %1 · A").arg(m_line->slavePath().mid(5));
    QCOMPARE(ports->itemText(0), com1);

    PtyPair other;
    QVERIFY(m_devices->plug(QStringLiteral("serial/by-id/usb-B"), other.slavePath()));
    QTRY_COMPARE_WITH_TIMEOUT(ports->itemText(1), QStringLiteral("COM2  %1 · B").arg(other.slavePath().mid(5)), 5000);
    QCOMPARE(ports->currentIndex(), 2);
    QCOMPARE(ports->itemText(0), com1);

    QVERIFY(m_devices->unplug(QStringLiteral("serial/by-id/usb-B")));
    QTRY_COMPARE_WITH_TIMEOUT(ports->itemText(1), QStringLiteral("COM2  %1").arg(kNoDeviceEntry), 5000);
    QCOMPARE(ports->currentIndex(), 2);

    // A thirteenth adapter takes COM13, after the twelve. Selected, its
    // entry stays when the adapter goes, saying that it opens nothing.
    PtyPair more[12];
    const auto byId = [](int i) { return QStringLiteral("serial/by-id/usb-M%1").arg(i, 2, 10, QLatin1Char('0')); };
    for (int i = 0; i < 12; ++i)
        QVERIFY(m_devices->plug(byId(i), more[i].slavePath()));
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 13, 5000);
    QCOMPARE(ports->itemText(12), QStringLiteral("COM13  %1 · M11").arg(more[11].slavePath().mid(5)));
    // Not selected, its entry goes with its device and comes back with one.
    QVERIFY(m_devices->unplug(byId(0)));
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 12, 5000);
    QCOMPARE(ports->currentIndex(), 2);
    QVERIFY(m_devices->plug(byId(0), more[0].slavePath()));
    QTRY_COMPARE_WITH_TIMEOUT(ports->count(), 13, 5000);
    ports->setCurrentIndex(12);
    QVERIFY(m_devices->unplug(byId(11)) && m_devices->unplug(byId(0)));
    QTRY_COMPARE_WITH_TIMEOUT(ports->itemText(12), QStringLiteral("COM13  %1").arg(kNoDeviceEntry), 5000);
    QCOMPARE(ports->currentIndex(), 12);
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::portChosenAtStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("opens"); // the adapter connect opens, "" for a refused command line
    QTest::addColumn<bool>("byClick");
    QTest::newRow("the adapter linked on last, at its new number") << QStringList{} << "C" << true;
    QTest::newRow("--port COM1") << QStringList{"--port", "COM1"} << "A" << true;
    QTest::newRow("-p the adapter's stable link") << QStringList{"-p", "@A"} << "A" << true;
    QTest::newRow("--port a path no entry opens") << QStringList{"--port", "@unlisted"} << "unlisted" << true;
    QTest::newRow("--connect") << QStringList{"--connect"} << "C" << false;
    QTest::newRow("--port COM257") << QStringList{"--port", "COM257"} << "" << false;
    QTest::newRow("an unknown option") << QStringList{"--bogus"} << "" << false;
}

void tst_DimraDlg::portChosenAtStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, opens);
    QFETCH(bool, byClick);
    const DimraParse parse = ParseDimraArguments(QStringList{"dimra"} + arguments);
    QCOMPARE(parse.outcome == CCommandLine::Run, !opens.isEmpty());
    if (opens.isEmpty()) {
        QVERIFY2(parse.error.contains(QString(arguments.last()).remove(QLatin1Char('-'))), qPrintable(parse.error));
        return;
    }
    // Linked on C at COM1; A is plugged in, takes COM1 and pushes C to COM2.
    const QString byId = QStringLiteral("serial/by-id/usb-");
    QVERIFY(openOnAdapter(byId + "C"));
    QVERIFY(connectAndLink());
    PtyPair a;
    QVERIFY(m_devices->plug(byId + "A", a.slavePath()));
    // A device of no entry takes the first number that opens nothing, COM3.
    PtyPair unlisted;
    const QHash<QString, QString> paths{{"@A", m_devices->path(byId + "A")}, {"@unlisted", unlisted.slavePath()}};

    QVERIFY(replaceDialog<CMyDimraDlg>());
    m_dlg->StartOn(paths.value(parse.options.port, parse.options.port), parse.options.connect);
    if (byClick)
        QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE((opens == "A" ? a : opens == "C" ? *m_line : unlisted).readExactly(kOpenLinkFrame.size()), kOpenLinkFrame);
    QCOMPARE(control<QComboBox>("comboPort")->currentIndex(), opens == "A" ? 0 : opens == "C" ? 1 : 2);
    QVERIFY(qEnvironmentVariableIsEmpty("DIMRA_COM3")); // the path reaches the link as it is
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::reconnectWaitsForTheSameAdapter_data()
{
    QTest::addColumn<QString>("waitEndedBy"); // empty: the wait ends with the adapter back
    QTest::newRow("the adapter comes back") << QString();
    QTest::newRow("disconnected by hand while waiting") << "click";
    QTest::newRow("reconnect turned off while waiting") << "menu";
}

void tst_DimraDlg::reconnectWaitsForTheSameAdapter()
{
    QFETCH(QString, waitEndedBy);
    const QString byId = QStringLiteral("serial/by-id/usb-");
    QVERIFY(openOnAdapter(byId + "A"));
    const auto reconnect = [this]() -> QAction * {
        const QList<QAction *> actions = m_dlg->actions();
        const auto found = std::find_if(actions.begin(), actions.end(),
                                        [](QAction *a) { return a->text() == QStringLiteral("自动重连"); });
        return found != actions.end() && (*found)->isCheckable() ? *found : nullptr;
    };
    QVERIFY(reconnect());
    reconnect()->trigger();
    // Remembered: the next window reconnects too.
    QVERIFY(replaceDialog<CMyDimraDlg>());
    QVERIFY(reconnect() && reconnect()->isChecked());
    QVERIFY(connectAndLink());
    auto *indicator = control<CLinkIndicator>("linkIndicator");
    QComboBox *ports = control<QComboBox>("comboPort");

    // Told once, with no box in the way; the mark waits and says why.
    m_line->closeMaster();
    QVERIFY(m_devices->unplug(byId + "A"));
    QTRY_COMPARE(m_messages->notices.size(), 1);
    QVERIFY2(m_messages->notices.first().contains(kLinkLost), qPrintable(m_messages->notices.first()));
    QCOMPARE(indicator->state(), CLinkIndicator::Waiting);
    QVERIFY2(indicator->toolTip().contains(byId + "A"), qPrintable(indicator->toolTip()));
    QCOMPARE(connectButton()->text(), kDisconnect);

    // Another adapter at its number is never opened.
    PtyPair other;
    QVERIFY(m_devices->plug(byId + "B", other.slavePath()));
    QTRY_VERIFY_WITH_TIMEOUT(ports->itemText(0).endsWith(QStringLiteral(" · B")), 5000);
    QVERIFY(settle());
    QCOMPARE(other.readNow(), QByteArray());
    if (!waitEndedBy.isEmpty()) {
        if (waitEndedBy == QLatin1String("click"))
            QTest::mouseClick(connectButton(), Qt::LeftButton);
        else
            reconnect()->trigger();
        QCOMPARE(connectButton()->text(), kConnect);
        QCOMPARE(indicator->state(), CLinkIndicator::PortClosed);
    }

    // The same adapter back under a new node: opened and linked without a click.
    PtyPair back;
    QVERIFY(m_devices->plug(byId + "A", back.slavePath()));
    if (!waitEndedBy.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(ports->itemText(0).endsWith(QStringLiteral(" · A")), 5000);
        QVERIFY(settle());
        QCOMPARE(back.readNow(), QByteArray());
    } else {
        QCOMPARE(back.readExactly(kOpenLinkFrame.size(), 5000), kOpenLinkFrame);
        QVERIFY(indicator->state() != CLinkIndicator::Linked); // the loss forgot the link
        // Lost again before the board answered: the user was told already.
        back.closeMaster();
        QTRY_VERIFY(!m_dlg->link().isOpen());
        QVERIFY(m_devices->unplug(byId + "A"));
        PtyPair again;
        QVERIFY(m_devices->plug(byId + "A", again.slavePath()));
        QCOMPARE(again.readExactly(kOpenLinkFrame.size(), 5000), kOpenLinkFrame);
        QVERIFY(again.write(ChannelReply(CDimraProtocol::CmdChannel1, 42)));
        QTRY_COMPARE(indicator->state(), CLinkIndicator::Linked);
        QCOMPARE(slider("Channel1")->value(), 42);
    }
    QCOMPARE(m_messages->notices.size(), 1);
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_DimraDlg::aLaterNoticeTakesThePlaceOfOneStillShown()
{
    // The notices as a user sees them, not as the recorder takes them.
    const MessagePresenter recorder = SetNoticePresenter({});
    DimraNotice(m_dlg.get(), QStringLiteral("first"));
    DimraNotice(m_dlg.get(), QStringLiteral("second"));
    SetNoticePresenter(recorder);
    QVERIFY(settle());
    QStringList shown;
    for (const QMessageBox *box : m_dlg->findChildren<QMessageBox *>())
        if (box->isVisible())
            shown.append(box->text());
    QCOMPARE(shown, QStringList{QStringLiteral("second")});
}

void tst_DimraDlg::windowSpeaksOneLanguageAndEveryTextFits_data()
{
    QTest::addColumn<QStringList>("uiLanguages"); // as QLocale::uiLanguages() gives them
    QTest::addColumn<bool>("chinese");
    QTest::newRow("en_US") << QStringList{"en-US", "en-Latn-US", "en"} << false;
    QTest::newRow("zh_CN") << QStringList{"zh-CN", "zh-Hans-CN", "zh"} << true;
}

void tst_DimraDlg::windowSpeaksOneLanguageAndEveryTextFits()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(bool, chinese);
    const QStringList written = shownTexts(*m_dlg); // as the code writes them
    const CRunLanguage language(CRunLanguage::Window, uiLanguages);
    QVERIFY(replaceDialog<CMyDimraDlg>());
    auto *indicator = control<CLinkIndicator>("linkIndicator");
    QVERIFY(indicator);
    const QStringList atRest = shownTexts(*m_dlg);
    QStringList clipped = clippedTexts(*m_dlg);

    // A device that is not there; then the board, silent at first, then
    // answering; a typed value refused, twice; the device lost.
    QStringList shown = atRest;
    {
        const PortOverride missing(1, QStringLiteral("/dev/dimra-no-such-device"));
        QTest::mouseClick(connectButton(), Qt::LeftButton);
    }
    const QString closedMark = indicator->text();
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    shown << shownTexts(*m_dlg);
    // The mark follows the link: waiting, a board that does not answer,
    // linked; each by its shape, not colour alone, the port in its tip.
    QCOMPARE(indicator->state(), CLinkIndicator::Waiting);
    QVERIFY(indicator->text() != closedMark);
    QVERIFY2(indicator->toolTip().contains(m_line->slavePath()), qPrintable(indicator->toolTip()));
    QTRY_COMPARE_WITH_TIMEOUT(indicator->state(), CLinkIndicator::NoAnswer, CBoardLink::kAnswerWaitMs + 3000);
    const QString noAnswerTip = indicator->toolTip();
    QVERIFY(m_line->write(ChannelReply(CDimraProtocol::CmdChannel1, 0)));
    QTRY_COMPARE(indicator->state(), CLinkIndicator::Linked);
    QVERIFY(indicator->toolTip().contains(m_line->slavePath()));
    shown << noAnswerTip << shownTexts(*m_dlg);
    CAboutDlg about(m_dlg.get());
    clipped << clippedTexts(*m_dlg) << clippedTexts(about); // the other caption
    typeAndConfirm("Channel1", QStringLiteral("250"));
    QVERIFY(settle());
    edit("Frequency")->setText(QStringLiteral("x"));
    typeAndConfirm("Channel2", QStringLiteral("5"));
    QVERIFY(settle());
    m_line->closeMaster();
    QTRY_VERIFY(!m_dlg->link().isOpen());
    QVERIFY(settle());
    const QStringList messages = m_messages->messages;
    shown << messages << m_messages->details << shownTexts(*m_dlg);
    // The missing device, a range, an integer, the loss.
    QVERIFY2(messages.size() == 4, qPrintable(messages.join(QLatin1Char('\n'))));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));

    if (chinese) {
        // Exactly the texts the window has always shown.
        QCOMPARE(atRest, written);
        QCOMPARE(messages.at(1), kChannelRange);
        QCOMPARE(messages.at(2), kAskInteger);
        QVERIFY2(messages.at(3).contains(kLinkLost), qPrintable(messages.at(3)));
        QVERIFY2(noAnswerTip.contains(QStringLiteral("没有应答")), qPrintable(noAnswerTip));
        QCOMPARE(connectButton()->text(), kConnect);
    } else {
        for (const QString &text : std::as_const(shown))
            QVERIFY2(!HasCjk(text), qPrintable(text));
    }
}

QTEST_MAIN(tst_DimraDlg)
#include "tst_dimradlg.moc"
