// zemo-cli against the window on the same simulated bus: a scan, a read and a write of a whole
// configuration file with its reboot. The window is timed from its button to its result, the
// command line as the program a script starts (process start and end included). First, the
// start-up of "zemo-cli --help" against a bare QtCore program that prints as much: wall time
// and peak resident memory of the whole process.
#include "clirun.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "mainwindowaccess.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {
constexpr int kRounds = 5;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Waits in the event loop, without the sleeps of QTest's waits: the bus shares this thread and
// must answer on time.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return LinkOnBus::waitFor(condition, timeoutMs);
}

void pauseMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Milliseconds from start() to done(), or -1 when done() did not come in time.
double timed(const std::function<void()> &start, const std::function<bool()> &done,
             int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    start();
    if (!waitFor(done, timeoutMs))
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

struct ProcessFigures
{
    double ms = -1;
    double maxRssMiB = -1;
};

// One run of a program to its end, its output to /dev/null: wall time from fork to the reaped
// end, and the peak resident memory the kernel counted for it.
ProcessFigures runProcess(const QByteArray &program, const QList<QByteArray> &arguments)
{
    QList<QByteArray> all {program};
    all += arguments;
    std::vector<char *> argv;
    for (QByteArray &arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    timespec start {}, end {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ProcessFigures figures;
    int status = 0;
    rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)
        || WEXITSTATUS(status) != 0)
        return figures;
    clock_gettime(CLOCK_MONOTONIC, &end);
    figures.ms = (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
    figures.maxRssMiB = usage.ru_maxrss / 1024.0;
    return figures;
}

// Medians of 30 alternating runs of each: zemo-cli, the bare QtCore program, and the bare
// program loading zemo-cli's shared libraries.
bool printStartup()
{
    const QList<QByteArray> programs {QFile::encodeName(appBuildPath(QStringLiteral("zemo-cli"))),
                                      ZEMO_BARE_QTCORE, ZEMO_BARE_CLI_LIBRARIES};
    QVector<QList<double>> ms(programs.size()), rss(programs.size());
    for (int i = 0; i < 30; ++i) {
        for (int p = 0; p < programs.size(); ++p) {
            const ProcessFigures figures = runProcess(programs.at(p), {"--help"});
            if (figures.ms < 0) {
                std::printf("start-up: %s failed\n", programs.at(p).constData());
                return false;
            }
            ms[p] << figures.ms;
            rss[p] << figures.maxRssMiB;
        }
    }
    std::printf("start  zemo-cli --help %6.1f ms %5.1f MiB   bare QtCore %6.1f ms %5.1f MiB   "
                "(%.2f times the time, medians of 30)\n",
                median(ms[0]), median(rss[0]), median(ms[1]), median(rss[1]),
                median(ms[0]) / median(ms[1]));
    std::printf("       the bare program loading zemo-cli's libraries %6.1f ms %5.1f MiB "
                "(%.2f times)\n",
                median(ms[2]), median(rss[2]), median(ms[2]) / median(ms[1]));
    return true;
}

void print(const char *what, double window, double cli, const char *note)
{
    std::printf("%-6s window %9.1f ms   zemo-cli %9.1f ms   (%s)\n", what, window, cli, note);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (!printStartup())
        return 1;
    QList<SimReaderSettings> readers;
    for (quint8 address : {1, 2, 3}) {
        SimReaderSettings reader;
        reader.address = address;
        readers << reader;
    }
    BusWindowRig rig(readers);
    MainWindow &w = rig.w();
    DeviceInterface *link = w.deviceInterface();
    if (!rig.choose("19200", "1")) {
        std::printf("the window does not list the simulated bus\n");
        return 1;
    }
    const QStringList port {"--port", rig.bus.devicePath()};
    const QString file = rig.dir.filePath("reader1.xml");

    // Scan: the search button to the found addresses and the closed port.
    int scans = 0;
    QObject::connect(link, &DeviceInterface::fillFoundAddrs, [&scans] { ++scans; });
    const double windowScan = timed([&] { rig.press("findDevsButton"); },
                                    [&] { return scans == 1 && w.globalState() == 0; });
    const CliRun cliScan = runCli(port + QStringList {"scan"});
    if (windowScan < 0 || cliScan.exitCode != 0) {
        std::printf("scan failed: %s\n", qPrintable(cliScan.describe()));
        return 1;
    }
    print("scan", windowScan, cliScan.elapsedMs, "3 readers, 254 probes of 50 ms");

    // Read: the connection button to the ready state, against "read -o".
    QList<double> windowReads, cliReads;
    for (int i = 0; i < kRounds; ++i) {
        windowReads << timed([&] { rig.press("rs485_Button"); },
                             [&] { return w.globalState() == 3; });
        rig.press("rs485_Button");
        if (!waitFor([&] { return w.globalState() == 0; }, 5000))
            return 1;
        const CliRun read = runCli(port + QStringList {"read", "-o", file});
        if (windowReads.last() < 0 || read.exitCode != 0) {
            std::printf("read failed: %s\n", qPrintable(read.describe()));
            return 1;
        }
        cliReads << read.elapsedMs;
    }
    print("read", median(windowReads), median(cliReads), "identity and 4 read commands");

    // Write: the file opened in the window and written whole, to the ready state after the
    // reboot (the window then talks to the reader again), against "write FILE", which reads
    // the reader back at that point.
    QList<double> windowToReboot, windowWrites, cliWrites;
    for (int i = 0; i < kRounds; ++i) {
        rig.press("rs485_Button");
        if (!waitFor([&] { return w.globalState() == 3; }, 10000))
            return 1;
        rig.boxes.fileAnswers << file;
        w.openFileSlot();
        rig.boxes.answers << Prompt::Yes;
        bool rebooting = false;
        const QMetaObject::Connection watch = QObject::connect(link,
                                                               &DeviceInterface::changeDeviceStatus,
                                                               [&](int code) {
                                                                   if (code == 7 && !rebooting) {
                                                                       rebooting = true;
                                                                       windowToReboot << 0;
                                                                   }
                                                               });
        QElapsedTimer clock;
        clock.start();
        rig.press("writeConfigButton");
        if (!waitFor([&] { return rebooting; }, 30000)) {
            std::printf("the window's write did not reach the reboot\n");
            return 1;
        }
        windowToReboot.last() = clock.nsecsElapsed() / 1e6;
        QObject::disconnect(watch);
        if (!waitFor([&] { return w.globalState() == 3; }, 30000)) {
            std::printf("the window did not come back after the reboot\n");
            return 1;
        }
        windowWrites << clock.nsecsElapsed() / 1e6;
        rig.press("rs485_Button");
        if (!waitFor([&] { return w.globalState() == 0; }, 5000))
            return 1;
        // The reader must be up again before the next write.
        pauseMs(1200);
        const CliRun write = runCli(port + QStringList {"write", file});
        if (write.exitCode != 0) {
            std::printf("write failed: %s\n", qPrintable(write.describe()));
            return 1;
        }
        cliWrites << write.elapsedMs;
        pauseMs(100);
    }
    print("write", median(windowWrites), median(cliWrites),
          "5 settings, reboot, 1010 ms wait, then the reader again");
    std::printf("       (the window's write reaches the confirmed reboot after %.1f ms; "
                "medians of %d)\n",
                median(windowToReboot), kRounds);
    return 0;
}
