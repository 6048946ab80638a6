#include "dimra.h"

#include "dimradlg.h"

#include <QApplication>

bool CMyDimraApp::InitInstance()
{
    CMyDimraDlg dlg;
    dlg.exec();
    return false;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CMyDimraApp theApp;
    theApp.InitInstance();
    return 0;
}
