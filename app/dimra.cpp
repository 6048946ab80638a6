#include "dimra.h"

#include "dimradlg.h"
#include "language.h"

#include <QApplication>
#include <QIcon>

bool CMyDimraApp::InitInstance()
{
    QApplication::setApplicationName(QStringLiteral("Dimra"));
    QApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));
    // Wayland desktops find the window's menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(DIMRA_APP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/dimra-256.png")));

    // The window, and the framework's own buttons (OK, Cancel) and standard
    // dialogs, speak the user's language: Chinese unless another is named.
    const CRunLanguage language(CRunLanguage::Window);

    CMyDimraDlg dlg;
    // A logout (SIGTERM), a closed terminal or Ctrl+C in it close the port
    // as Ctrl+Q does, lock and all, and end the program normally.
    dlg.EndSessionOnStopSignals();
    dlg.StartOn(m_options.port, m_options.connect);
    dlg.exec();
    return false;
}
