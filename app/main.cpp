#include "dimra.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CMyDimraApp theApp;
    theApp.InitInstance();
    return 0;
}
