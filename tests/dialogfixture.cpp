#include "dialogfixture.h"

#include "eventidle.h"
#include "protocolnumbers.h"

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

QByteArray ChannelReply(int channel, int value)
{
    return CBoardModel::buildReply(channel, CBoardModel::valueData(channel, value));
}

QByteArray FrequencyReply(int hz)
{
    return CBoardModel::buildReply(CDimraProtocol::CmdFrequency,
                                   CBoardModel::valueData(CDimraProtocol::CmdFrequency, hz));
}

SentValues ValuesOf(const QList<CFrameReader::Frame> &frames)
{
    SentValues values;
    for (const CFrameReader::Frame &f : frames) {
        if (f.verdict != CFrameReader::Good)
            values.append(kMalformedFrame);
        else
            values.append({f.code, f.code == CDimraProtocol::CmdOpenLink ? 0 : CBoardModel::decodeValue(f.code, f.data)});
    }
    return values;
}

bool WellFormedAndInRange(const SentValues &values)
{
    for (const auto &[code, value] : values) {
        const bool inRange = code == CDimraProtocol::CmdOpenLink
            || (code == CDimraProtocol::CmdFrequency ? value >= Dimra::kFrequencyMin && value <= Dimra::kFrequencyMax
                                                     : code > 0 && value >= Dimra::kDutyMin && value <= Dimra::kDutyMax);
        if (!inRange) {
            qWarning("code %d with value %d sent", code, value);
            return false;
        }
    }
    return true;
}

bool DialogFixture::openOnPty()
{
    m_line = std::make_unique<PtyPair>();
    if (!m_line->isValid()) {
        qWarning("no pseudo-terminal");
        return false;
    }
    return openOn(m_line->slavePath());
}

bool DialogFixture::openOn(const QString &device)
{
    m_com1.emplace(1, device);
    return openDialog();
}

bool DialogFixture::openOnAdapter(const QString &entry)
{
    close();
    m_line = std::make_unique<PtyPair>();
    m_devices = std::make_unique<DeviceTree>();
    if (m_line->isValid() && m_devices->plug(entry, m_line->slavePath()))
        return openDialog();
    qWarning("cannot plug %s in", qPrintable(entry));
    return false;
}

bool DialogFixture::openDialog()
{
    if (!m_devices)
        m_devices = std::make_unique<DeviceTree>();
    if (!m_config) {
        m_config = std::make_unique<QTemporaryDir>();
        m_configHome.emplace("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    }
    m_reader = CFrameReader();
    m_messages = std::make_unique<MessageRecorder>();
    m_dlg = std::make_unique<CMyDimraDlg>();
    return showDialog();
}

bool DialogFixture::showDialog()
{
    m_dlg->show();
    if (QTest::qWaitForWindowActive(m_dlg.get()))
        return true;
    qWarning("the dialog did not become active");
    return false;
}

void DialogFixture::close()
{
    m_dlg.reset();
    m_messages.reset();
    m_line.reset();
    m_com1.reset();
    m_devices.reset();
    m_configHome.reset();
    m_config.reset();
    m_alsoBusy = nullptr;
}

QSlider *DialogFixture::slider(const QByteArray &row) const
{
    return control<QSlider>("slider" + row);
}

QLineEdit *DialogFixture::edit(const QByteArray &row) const
{
    return control<QLineEdit>("edit" + row);
}

QPushButton *DialogFixture::confirmButton(const QByteArray &row) const
{
    return control<QPushButton>("buttonConfirm" + row);
}

QPushButton *DialogFixture::connectButton() const
{
    return control<QPushButton>("buttonConnect");
}

void DialogFixture::typeAndConfirm(const QByteArray &row, const QString &text)
{
    edit(row)->setText(text);
    QTest::mouseClick(confirmButton(row), Qt::LeftButton);
}

bool DialogFixture::settle(int timeoutMs)
{
    return ProcessEventsUntilIdle(m_dlg->link(), m_alsoBusy, timeoutMs);
}

bool DialogFixture::connectAndLink(int channel1)
{
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    const QByteArray openLink = m_line->readExactly(kOpenLinkFrame.size());
    if (openLink != kOpenLinkFrame) {
        qWarning("connecting wrote %s, not the open-link frame", openLink.toHex(' ').constData());
        return false;
    }
    if (!m_line->write(ChannelReply(CDimraProtocol::CmdChannel1, channel1))) {
        qWarning("the board's reply could not be written");
        return false;
    }
    if (!QTest::qWaitFor([this] { return m_dlg->link().isLinked(); })) {
        qWarning("the board's channel 1 reply did not establish the link");
        return false;
    }
    if (!settle())
        return false;
    if (const QByteArray more = m_line->readNow(); !more.isEmpty()) {
        qWarning("linking also sent %s", more.toHex(' ').constData());
        return false;
    }
    return true;
}

SentValues DialogFixture::framesSent(int expected, int idleTimeoutMs)
{
    QList<CFrameReader::Frame> frames;
    const QDeadlineTimer deadline(3000);
    while (frames.size() < expected && !deadline.hasExpired())
        frames += m_reader.feed(m_line->read(20, 0));
    const bool idle = settle(idleTimeoutMs);
    frames += m_reader.feed(m_line->readNow());
    SentValues values = ValuesOf(frames);
    if (!idle)
        values.append(kNeverIdle);
    return values;
}
