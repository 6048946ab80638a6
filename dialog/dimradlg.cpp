#include "dimradlg.h"

CMyDimraDlg::CMyDimraDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("PWM调光器 v1.0 "));
    InitTxFrame();
}

CMyDimraDlg::~CMyDimraDlg() = default;
