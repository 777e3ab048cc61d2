// ctest: slow
// Whole sessions in the window against the simulated reader bus: connect, read, poll, write,
// disconnect; a converter plugged in during a session or a scan, whose found addresses are
// offered. The firmware of other readers is the identification test's; a configuration saved
// after a read carries the address as the write takes it (the window's file tests, and the
// command-line read beside the window's), and the write sends it as such (the write sequence).
#include "deviceinterface.h"
#include "mainwindowaccess.h"

namespace {

struct Rig : BusWindowRig
{
    explicit Rig(const QList<SimReaderSettings> &readers)
        : BusWindowRig(readers)
    {
        window->show();
    }
    bool disconnect()
    {
        press("rs485_Button");
        return QTest::qWaitFor([&] { return window->globalState() == 0; }, 5000);
    }
    QStringList items(const char *box) { return comboItems(get<QComboBox>(box)); }
    // Address, speed and the pull-up index of the form: "26 9600 2".
    QString form()
    {
        return QString("%1 %2 %3")
                .arg(get<QLineEdit>("setAddrLine")->text(),
                     get<QComboBox>("setBaudComboBox")->currentText())
                .arg(get<QComboBox>("pullUpComboBox")->currentIndex());
    }
};

} // namespace

class TestMainWindowSession : public QObject
{
    Q_OBJECT
private slots:
    void writeChangedSetting();
    void otherConverterPluggedDuringSession();
    void identityAskedFromConsoleKeepsTheForm();
    void waitingForConverterOffersNoWrite_data();
    void waitingForConverterOffersNoWrite();
};

void TestMainWindowSession::writeChangedSetting()
{
    Rig rig({simReader(26)});
    MainWindow &w = rig.w();
    SimReader *sim = rig.bus.reader(26);
    QVERIFY(rig.connectAndRead("19200", "26"));

    // A new address and generation type, written and taken over at the reader's reboot.
    QSignalSpy states(w.deviceInterface(), &DeviceInterface::changeDeviceStatus);
    auto *address = child<QLineEdit>(&w, "setAddrLine");
    address->setText("30");
    emit address->editingFinished();
    child<QComboBox>(&w, "genTypeComboBox")->setCurrentIndex(2);
    rig.boxes.answers << Prompt::Yes;
    rig.press("writeConfigButton");
    QTRY_VERIFY_WITH_TIMEOUT(sim->rebootCount() == 1, 15000);
    QCOMPARE(sim->settings().address, quint8(30));
    QCOMPARE(sim->settings().genMode, quint8(2));
    QTRY_VERIFY_WITH_TIMEOUT(states.contains({7}), 5000);
    QVERIFY(w.changesXml().isEmpty());

    // After the reboot wait the window is ready again and polls the reader at its new address.
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 3, 5000);
    QCOMPARE(child<QComboBox>(&w, "rs485_selAddr")->currentText(), QString("30"));
    rig.bus.clearRequests();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.bus.requests().isEmpty(), 5000);
    QCOMPARE(quint8(rig.bus.requests().first().at(0)), quint8(30));
}

// Another converter plugged in while a reader is connected, or while the bus is scanned: the
// port list is renewed, and the session or the scan goes on instead of showing a closed
// connection with the port still open; the disabled speed field still shows the session's speed.
void TestMainWindowSession::otherConverterPluggedDuringSession()
{
    Rig rig({simReader(5, 9600)});
    MainWindow &w = rig.w();
    QVERIFY(rig.connectAndRead("9600", "5"));
    QSignalSpy lists(w.deviceInterface(), &DeviceInterface::setCOMsList);

    MainWindowTestAccess::notifyDeviceChange(w);
    QTRY_COMPARE_WITH_TIMEOUT(lists.count(), 1, 2000);
    QCOMPARE(w.globalState(), 3);
    QVERIFY(w.deviceInterface()->isPortOpen());
    QCOMPARE(child<QComboBox>(&w, "rs485_220_speed")->currentText(), QString("9600"));
    QCOMPARE(w.deviceInterface()->baudRate(), 9600);
    // Polling still runs: the counter keeps being asked for.
    rig.bus.clearRequests();
    QTRY_VERIFY_WITH_TIMEOUT(rig.bus.requests().size() >= 2, 3000);
    QVERIFY(rig.disconnect());

    // During a scan: probes keep going after the re-listing, and the scan ends as usual.
    rig.press("findDevsButton");
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 1, 2000);
    MainWindowTestAccess::notifyDeviceChange(w);
    QTest::qWait(600);
    QCOMPARE(w.globalState(), 1);
    rig.bus.clearRequests();
    QTRY_VERIFY_WITH_TIMEOUT(rig.bus.requests().size() >= 5, 2000);
    rig.press("findDevsButton");
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 0, 2000);
    QVERIFY(!w.deviceInterface()->isPortOpen());
    QCOMPARE(rig.items("rs485_selAddr"), QStringList({"5"}));
}

// The identity asked from the console in the ready state is answered in the console and does
// nothing else: no read follows, the form keeps what was read and no change is recorded.
void TestMainWindowSession::identityAskedFromConsoleKeepsTheForm()
{
    SimReaderSettings settings = simReader(1);
    settings.genState = 1;
    settings.pullUp = 2;
    Rig rig({settings});
    MainWindow &w = rig.w();
    QVERIFY(rig.connectAndRead("19200", "1"));
    auto *gen = child<QComboBox>(&w, "genComboBox");
    QCOMPARE(QString::number(gen->currentIndex()) + " " + rig.form(), QString("1 1 19200 2"));

    // On the console page, where no status is read.
    w.hotkeysCtrlAltC();
    w.itemSelected(child<QListWidget>(&w, "terminalMenu")->model()->index(1, 0));
    QTRY_VERIFY_WITH_TIMEOUT(w.deviceInterface()->isIdle(), 2000);
    rig.bus.clearRequests();
    auto *console = child<QPlainTextEdit>(&w, "terminalEdit");
    const int lines = console->document()->blockCount();
    w.deviceInterface()->sendTerminalCmd("0100");
    QTRY_COMPARE_WITH_TIMEOUT(console->document()->blockCount(), lines + 2, 2000);
    QTest::qWait(300);
    QCOMPARE(rig.bus.requests().size(), 1);
    QCOMPARE(QString::number(gen->currentIndex()) + " " + rig.form(), QString("1 1 19200 2"));
    QVERIFY2(w.changesXml().isEmpty(), qPrintable(w.changesXml()));
    QCOMPARE(w.globalState(), 3);
}

void TestMainWindowSession::waitingForConverterOffersNoWrite_data()
{
    QTest::addColumn<bool>("pullDuringWrite");
    QTest::newRow("an edit while the session waits") << false;
    QTest::newRow("a write cut short by the pull") << true;
}

// A session whose converter was pulled waits for it: there is no reader to write to, and neither
// an edit made meanwhile nor the end of a write the pull cut short offers the write button. The
// change stays for the write after the converter's return.
void TestMainWindowSession::waitingForConverterOffersNoWrite()
{
    QFETCH(bool, pullDuringWrite);
    SimReaderSettings settings = simReader(1);
    settings.replyDelayMs = 20;
    Rig rig({settings});
    MainWindow &w = rig.w();
    QVERIFY(rig.connectAndRead("19200", "1"));
    auto *pullUp = child<QComboBox>(&w, "pullUpComboBox");
    if (pullDuringWrite) {
        pullUp->setCurrentIndex(1);
        rig.boxes.answers << Prompt::Yes;
        rig.press("writeConfigButton");
        QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 5, 2000);
    }
    rig.bus.close();
    QTRY_COMPARE_WITH_TIMEOUT(w.deviceInterface()->connection(),
                              DeviceInterface::Connection::SerialLost, 2000);
    if (!pullDuringWrite)
        pullUp->setCurrentIndex(1);
    QTest::qWait(300);
    QVERIFY(w.changesXml().contains("pull_up_220"));
    QVERIFY(!rig.get("writeConfigButton")->isEnabled());
    QVERIFY(!rig.get("restartButton")->isEnabled());
    QVERIFY(rig.get("rs485_Button")->isEnabled());
}

QTEST_MAIN(TestMainWindowSession)
#include "tst_mainwindow_session.moc"
