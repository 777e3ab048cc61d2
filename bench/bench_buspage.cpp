// The bus page of the window over a bus of 30 readers that answers from a thread of its own:
// the time from a reader's answer (the last byte of its answer on the line) to its row in the
// page's table during a scan, and to its refreshed row while the watch polls the bus. An answer
// ends after 20 ms of silence on the line, so that is the floor of both.
#include "bustablemodel.h"
#include "busthread.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "mainwindowaccess.h"
#include "resources.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMutex>

#include <algorithm>
#include <cstdio>

namespace {
const int kReaders = 30;
const int kScans = 3;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

double worst(const QList<double> &values)
{
    return values.isEmpty() ? 0 : *std::max_element(values.cbegin(), values.cend());
}

// When each reader's last answer left the bus, by its address; written by the bus thread.
struct AnswerClock
{
    QElapsedTimer clock;
    QMutex mutex;
    qint64 lastNs[256] = {};
    qint64 fromNs = 0; // answers before this do not count

    void note(const QByteArray &frame)
    {
        if (frame.isEmpty())
            return;
        const qint64 now = clock.nsecsElapsed();
        QMutexLocker lock(&mutex);
        lastNs[quint8(frame.at(0))] = now;
    }
    // Milliseconds since the reader's last answer; negative when it has not answered.
    double sinceMs(int address)
    {
        const qint64 now = clock.nsecsElapsed();
        QMutexLocker lock(&mutex);
        const qint64 then = lastNs[address & 0xFF];
        return then == 0 || then < fromNs ? -1 : (now - then) / 1e6;
    }
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    initZemoResources();

    BusThread bus;
    for (int address = 1; address <= kReaders; ++address)
        bus.addReader(simReader(quint8(address)));
    AnswerClock answers;
    answers.clock.start();
    QObject::connect(
            bus.bus(), &SimBus::answerSent, bus.bus(),
            [&answers](const QByteArray &frame) { answers.note(frame); }, Qt::DirectConnection);
    if (!bus.start()) {
        std::printf("cannot open the simulated bus\n");
        return 1;
    }
    qputenv("ZEMO_EXTRA_PORTS", bus.devicePath().toLocal8Bit());
    WindowRig rig(false);
    MainWindow &w = rig.make();
    w.show();
    auto *ports = rig.get<QComboBox>("rs485_220_port");
    if (!LinkOnBus::waitFor([&] { return ports->findText(bus.devicePath()) >= 0; }, 5000)) {
        std::printf("the window does not list the simulated bus\n");
        return 1;
    }
    ports->setCurrentText(bus.devicePath());
    auto *menu = rig.get<QListWidget>("terminalMenu");
    menu->setCurrentRow(2);
    w.itemSelected(menu->model()->index(2, 0));
    auto *table = rig.get<QTableView>("busTable");
    QAbstractItemModel *model = table->model();
    auto *scanButton = rig.get<QPushButton>("busScanButton");
    auto *watchButton = rig.get<QPushButton>("busWatchButton");
    auto addressOf = [model](int row) {
        return model->index(row, BusTableModel::AddressColumn).data().toInt();
    };

    // Scan: each row as it is inserted, against its reader's answer. The scan is stopped once
    // every reader is listed (the empty addresses after them only cost probe time-outs).
    QList<double> toRow;
    bool measuring = false;
    QObject::connect(model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex &, int first, int last) {
                         if (!measuring)
                             return;
                         for (int row = first; row <= last; ++row) {
                             const double ms = answers.sinceMs(addressOf(row));
                             if (ms >= 0)
                                 toRow << ms;
                         }
                     });
    for (int i = 0; i < kScans; ++i) {
        measuring = true;
        QTest::mouseClick(scanButton, Qt::LeftButton);
        if (!LinkOnBus::waitFor([&] { return model->rowCount() >= kReaders; }, 20000)) {
            std::printf("scan %d listed %d readers\n", i + 1, model->rowCount());
            return 1;
        }
        measuring = false;
        QTest::mouseClick(scanButton, Qt::LeftButton);
        if (!LinkOnBus::waitFor(
                    [&] { return scanButton->text() == "Поиск" && scanButton->isEnabled(); },
                    5000)) {
            std::printf("scan %d did not stop\n", i + 1);
            return 1;
        }
    }
    std::printf("scan, answer to its row in the table: median %.1f ms, worst %.1f ms over %d rows "
                "(%d scans of %d readers); floor 20 ms of silence, goal under 100 ms\n",
                median(toRow), worst(toRow), int(toRow.size()), kScans, kReaders);

    // Watch: each refreshed row against its reader's last answer, for three rounds of the bus.
    QList<double> toRefresh;
    bool watching = false;
    QObject::connect(model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                         if (!watching)
                             return;
                         for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
                             const double ms = answers.sinceMs(addressOf(row));
                             if (ms >= 0)
                                 toRefresh << ms;
                         }
                     });
    QElapsedTimer watchClock;
    watchClock.start();
    watching = true;
    // A row refreshed when the watch starts (its figures cleared) answers nothing.
    answers.fromNs = answers.clock.nsecsElapsed();
    QTest::mouseClick(watchButton, Qt::LeftButton);
    if (!LinkOnBus::waitFor([&] { return toRefresh.size() >= 3 * kReaders; }, 60000)) {
        std::printf("the watch refreshed %d rows\n", int(toRefresh.size()));
        return 1;
    }
    const double roundMs = watchClock.elapsed() / 3.0;
    watching = false;
    QTest::mouseClick(watchButton, Qt::LeftButton);
    std::printf("watch, answer to its refreshed row: median %.1f ms, worst %.1f ms over %d rows; "
                "a round of the %d readers %.0f ms\n",
                median(toRefresh), worst(toRefresh), int(toRefresh.size()), kReaders, roundMs);
    return 0;
}
