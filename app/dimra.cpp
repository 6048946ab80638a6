#include "dimra.h"

#include "dimradlg.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool CMyDimraApp::InitInstance()
{
    QApplication::setApplicationName(QStringLiteral("Dimra"));
    QApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));
    // Wayland desktops find the window's menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(DIMRA_APP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/dimra-256.png")));

    // The interface is Chinese: so are the framework's own buttons (OK,
    // Cancel) and the texts of its standard dialogs.
    auto *qtTranslator = new QTranslator(qApp);
    if (qtTranslator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator);

    CMyDimraDlg dlg;
    // A logout (SIGTERM), a closed terminal or Ctrl+C in it close the port
    // as Ctrl+Q does, lock and all, and end the program normally.
    dlg.endSessionOnStopSignals();
    dlg.exec();
    return false;
}
