#include "bridgeservice.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <atomic>
#include <cwchar>
#include <mutex>

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

// Started by the service manager, dimra-mqtt hands the process's main
// thread to the service dispatcher, which runs the program on a thread of
// its own (the service's main function); the program's event loop lives
// there. The dispatcher's thread takes the service manager's controls: a
// stop or the system's shutdown becomes a stop signal for the event loop.
//
// The service's lines go to %ProgramData%\Dimra\mqtt.log, each with the
// time, rather than to the event log: there they read in any editor and
// need no message file registered for the source, and the service manager
// itself records the service's start and stop in the System event log.
namespace {

// One service in its own process: the name in the table is not looked at.
wchar_t kServiceName[] = L"dimra-mqtt";
// A stop from the service manager is what SIGTERM is on Linux, as
// stopsignals_win.cpp numbers the console's logoff and shutdown.
constexpr int kTerminate = 15;
// How long the service manager is asked to wait for the start (the
// configuration read, the ports asked for) and for the stop (offline
// published, the lines drained, with room to spare).
constexpr DWORD kStartWaitMs = 10000;
constexpr DWORD kStopWaitMs = 10000;
// A log that grows past this is kept as mqtt.old.log and begun again.
constexpr qint64 kMaxLogBytes = 1 << 20;

int (*g_program)(int, char **, const BridgeHost &) = nullptr;
int g_argc = 0;
char **g_argv = nullptr;
int g_status = 0;
SERVICE_STATUS_HANDLE g_serviceHandle = nullptr;
// The program's stop signals while it watches them; the service takes no
// stop before, and none once they have gone with the program's application.
std::mutex g_stopsMutex;
CStopSignals *g_stops = nullptr;

// Whether the service manager started this process: services.exe is its
// parent. Asking the dispatcher instead would keep a program started from a
// console waiting for its refusal (ten seconds under Wine).
bool startedByServiceManager()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && parent == 0; more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == self)
            parent = entry.th32ParentProcessID;
    bool serviceManager = false;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && parent != 0; more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == parent) {
            serviceManager = _wcsicmp(entry.szExeFile, L"services.exe") == 0;
            break;
        }
    CloseHandle(snapshot);
    return serviceManager;
}

void report(DWORD state, DWORD waitHint = 0, int exitStatus = 0)
{
    static std::atomic<DWORD> checkPoint{0};
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    // The program's own exit status, as Windows shows a service's.
    status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = DWORD(exitStatus);
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? ++checkPoint : 0;
    SetServiceStatus(g_serviceHandle, &status);
}

DWORD WINAPI onControl(DWORD control, DWORD, void *, void *)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
    {
        const std::lock_guard<std::mutex> lock(g_stopsMutex);
        if (CStopSignals *stops = g_stops) {
            report(SERVICE_STOP_PENDING, kStopWaitMs);
            QMetaObject::invokeMethod(stops, [stops] { emit stops->stopRequested(kTerminate); }, Qt::QueuedConnection);
        }
        return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

QString logFile()
{
    wchar_t *folder = nullptr;
    QString path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder)))
        path = QDir::fromNativeSeparators(QString::fromWCharArray(folder)) + QStringLiteral("/Dimra/mqtt.log");
    CoTaskMemFree(folder);
    return path;
}

// Opened for each line and closed again: an administrator may read, move or
// delete the log while the service runs.
void writeLog(const QString &path, const QString &line)
{
    if (QFileInfo(path).size() > kMaxLogBytes) {
        const QString old = QStringLiteral("%1/mqtt.old.log").arg(QFileInfo(path).path());
        QFile::remove(old);
        QFile::rename(path, old);
    }
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write(QStringLiteral("%1 %2\n")
                       .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                            PrintableText(line, false))
                       .toUtf8());
}

void WINAPI serviceMain(DWORD, wchar_t **)
{
    g_serviceHandle = RegisterServiceCtrlHandlerExW(kServiceName, onControl, nullptr);
    if (!g_serviceHandle)
        return;
    report(SERVICE_START_PENDING, kStartWaitMs);
    BridgeHost host;
    host.console = false;
    host.print = [log = logFile()](const QString &line) { writeLog(log, line); };
    host.running = [] {
        CStopSignals *stops = CStopSignals::watch();
        QObject::connect(stops, &QObject::destroyed, stops, [] {
            const std::lock_guard<std::mutex> lock(g_stopsMutex);
            g_stops = nullptr;
        });
        {
            const std::lock_guard<std::mutex> lock(g_stopsMutex);
            g_stops = stops;
        }
        report(SERVICE_RUNNING);
    };
    // The arguments are the command line the service was registered with.
    g_status = g_program(g_argc, g_argv, host);
    report(SERVICE_STOPPED, 0, g_status);
}

} // namespace

int RunBridgeProgram(int argc, char *argv[], int (*program)(int, char **, const BridgeHost &))
{
    if (startedByServiceManager()) {
        g_program = program;
        g_argc = argc;
        g_argv = argv;
        SERVICE_TABLE_ENTRYW services[] = {{kServiceName, serviceMain}, {nullptr, nullptr}};
        // Returns once the service has stopped.
        if (StartServiceCtrlDispatcherW(services))
            return g_status;
    }
    return program(argc, argv, BridgeHost());
}
