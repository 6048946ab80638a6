#include "dataexchange.h"

#include "hexconv.h"
#include "messages.h"

#include <QLineEdit>

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_pLastEdit) {
        m_pLastEdit->setFocus(Qt::OtherFocusReason);
        m_pLastEdit->selectAll();
    }
    throw CDataExchangeFailure();
}

bool ParseEditInteger(const QString &text, int &value)
{
    const auto isBlank = [](QChar c) {
        const char16_t folded = FoldFullWidth(c.unicode());
        return folded == u' ' || folded == u'\t';
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;

    // Only ASCII digits (full-width ones fold to them) count, all the way to
    // the blanks: a value typed with other digits or followed by anything
    // else is refused, not guessed at.
    const DecimalScan scan = ScanDecimal(text, begin);
    if (!scan.hasDigits || scan.clamped || scan.end != end)
        return false;
    value = scan.value;
    return true;
}

void DDX_Text(CDataExchange *pDX, QLineEdit *edit, int &value)
{
    pDX->PrepareEditCtrl(edit);
    if (!pDX->m_bSaveAndValidate) {
        const QString text = QString::number(value);
        if (edit->text() != text) // keeps the cursor and the undo history when nothing changed
            edit->setText(text);
        return;
    }
    int parsed = 0;
    if (!ParseEditInteger(edit->text(), parsed)) {
        DimraMessageBox(pDX->m_pDlgWnd, CDataExchange::tr("请输入一个整数。"));
        pDX->Fail();
    }
    value = parsed;
}

void DDV_MinMaxInt(CDataExchange *pDX, int value, int minVal, int maxVal)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    DimraMessageBox(pDX->m_pDlgWnd, CDataExchange::tr("请输入一个介于 %1 和 %2 之间的整数。").arg(minVal).arg(maxVal));
    pDX->Fail();
}
