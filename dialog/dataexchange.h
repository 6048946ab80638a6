#pragma once

#include <QCoreApplication>
#include <QString>

class QLineEdit;
class QWidget;

// Field exchange between a dialog's edit fields and its value members. In
// the load direction (m_bSaveAndValidate) texts are read and checked; the
// first failure shows its message, puts the focus on the edit transferred
// last, with its text selected, and ends the exchange by throwing
// CDataExchangeFailure, which the dialog's UpdateData catches.
class CDataExchange
{
    Q_DECLARE_TR_FUNCTIONS(CDataExchange)

public:
    explicit CDataExchange(bool bSaveAndValidate, QWidget *dialog)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(dialog) {}

    void PrepareEditCtrl(QLineEdit *edit) { m_pLastEdit = edit; }
    [[noreturn]] void Fail();

    const bool m_bSaveAndValidate;
    QWidget *const m_pDlgWnd;

private:
    QLineEdit *m_pLastEdit = nullptr;
};

struct CDataExchangeFailure
{
};

// Edit <-> integer member. Load direction: spaces around a decimal integer
// with an optional sign, within 32 bits; anything else asks for an integer.
void DDX_Text(CDataExchange *pDX, QLineEdit *edit, int &value);

// Load direction only: value must lie in [minVal, maxVal].
void DDV_MinMaxInt(CDataExchange *pDX, int value, int minVal, int maxVal);

// The integers an edit field accepts, as DDX_Text reads them.
bool ParseEditInteger(const QString &text, int &value);
