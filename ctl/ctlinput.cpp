#include "ctlinput.h"

void CCtlInput::handOver(const QByteArray &bytes)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline;
        if (!m_bSkipping) {
            m_line.append(bytes.constData() + start, end - start);
            if (m_line.size() > kMaxLineBytes) {
                m_line.clear();
                m_bSkipping = true;
                emit lineTooLong();
            }
        }
        if (newline < 0)
            return;
        if (!m_bSkipping)
            emit lineRead(m_line);
        m_line.clear();
        m_bSkipping = false;
        start = newline + 1;
    }
}

void CCtlInput::endOfInput()
{
    // A last line without its newline still counts.
    if (!m_line.isEmpty() && !m_bSkipping)
        emit lineRead(m_line);
    m_line.clear();
    emit ended();
}
