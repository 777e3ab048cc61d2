// ctest: slow
#include "linkonbus.h"
#include "testsupport.h"

#include <QBuffer>
#include <QtTest>

// Silent readers: the 5000 ms answer time-out, three resends and the question to the engineer,
// with the real timings (each unanswered command costs 5 s, the question comes after 20 s).
class TestTimeouts : public QObject
{
    Q_OBJECT
private slots:
    void answerToThirdResendIsAccepted();
    void silentForOneResendDuringRead();
    void readQuestionYesMovesOnWithoutResend();
    void readQuestionNoClosesThePort();
    void writeQuestion_data();
    void writeQuestion();
    void typedCommandToSilentReaderRaisesNothing();
};

namespace {
// Makes the reader ignore the next n requests once the version answer has been taken.
void silenceAfterVersion(LinkOnBus &t, SimReader *reader, int n)
{
    QObject::connect(&t.link, &DeviceInterface::showVersionInfo, &t,
                     [reader, n] { reader->settings().silentRequests = n; });
}

void checkQuestion(const MessageRequest &box, const QString &title, const QString &action)
{
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, "Модуль не отвечает на команду.\nПродолжить " + action + " конфигурации?");
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(box.parent == nullptr);
    QVERIFY(box.styleSheet.contains("rgb(162, 173, 188)"));
    QVERIFY(box.styleSheet.contains("rgb(61, 108, 138)"));
}
} // namespace

void TestTimeouts::answerToThirdResendIsAccepted()
{
    BoxRecorder boxes;
    LinkOnBus t;
    SimReaderSettings s;
    s.silentRequests = 3;
    t.addReader(s);
    LogCapture log;
    QVERIFY(t.readOnce(19200, 1, 25000));

    QCOMPARE(countLogLine(log, "Data IO Error, request num:", "1"), 1);
    QCOMPARE(countLogLine(log, "Data IO Error, request num:", "2"), 1);
    QCOMPARE(countLogLine(log, "Data IO Error, request num:", "3"), 1);
    QCOMPARE(boxes.boxes.size(), 0);
    QCOMPARE(t.requestCodes().mid(0, 5), (QList<int> {0x0100, 0x0100, 0x0100, 0x0100, 0x0700}));
    QCOMPARE(LinkOnBus::elementsOf(t.guiDocuments.last()).size(), 5);
}

void TestTimeouts::silentForOneResendDuringRead()
{
    BoxRecorder boxes;
    LinkOnBus t;
    SimReader *reader = t.addReader(SimReaderSettings());
    silenceAfterVersion(t, reader, 1);
    LogCapture log;
    QVERIFY(t.readOnce(19200, 1, 10000));

    QCOMPARE(t.requestCodes(), (QList<int> {0x0100, 0x0700, 0x0700, 0x0500, 0x0603, 0x0301}));
    QCOMPARE(log.count("Data IO Error, request num: "), 1);
    QCOMPARE(boxes.boxes.size(), 0);
    QCOMPARE(LinkOnBus::elementsOf(t.guiDocuments.last()).size(), 5);
}

void TestTimeouts::readQuestionYesMovesOnWithoutResend()
{
    BoxRecorder boxes;
    boxes.answers << QMessageBox::Yes;
    LinkOnBus t;
    SimReader *reader = t.addReader(SimReaderSettings());
    silenceAfterVersion(t, reader, 4);
    QVERIFY(t.readOnce(19200, 1, 30000));

    QCOMPARE(boxes.boxes.size(), 1);
    checkQuestion(boxes.boxes.at(0), "Чтение конфигурации", "чтение");
    // The unanswered 0x0700 is given up; the next command follows alone.
    QCOMPARE(t.requestCodes(),
             (QList<int> {0x0100, 0x0700, 0x0700, 0x0700, 0x0700, 0x0500, 0x0603, 0x0301}));
    QVERIFY(t.link.isPortOpen());
    QCOMPARE(LinkOnBus::elementsOf(t.guiDocuments.last()).size(), 5);
}

void TestTimeouts::readQuestionNoClosesThePort()
{
    BoxRecorder boxes;
    boxes.answers << QMessageBox::No;
    LinkOnBus t; // nobody on the bus
    LogCapture log;
    QVERIFY(t.startRead());
    QVERIFY(t.waitForState(0, 30000));

    QCOMPARE(boxes.boxes.size(), 1);
    checkQuestion(boxes.boxes.at(0), "Чтение конфигурации", "чтение");
    QCOMPARE(log.count("Device not respond, port closed!"), 1);
    QCOMPARE(t.requestCodes(), (QList<int> {0x0100, 0x0100, 0x0100, 0x0100}));
    QCOMPARE(t.states, (QList<int> {4, 0}));
    QVERIFY(!t.link.isPortOpen());
    QVERIFY(!t.link.isAnswerTimerActive());
    QCOMPARE(int(t.link.retryCount()), 0);
}

void TestTimeouts::writeQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QList<int>>("states");

    // Yes: the next element goes out, then the reboot; the reader answers both.
    QTest::newRow("yes") << true << QList<int> {0x0600, 0x0600, 0x0600, 0x0600, 0x0601, 0x0200}
                         << QList<int> {5, 7};
    // No: the port is closed, so no reboot is sent; the write still ends with state 7.
    QTest::newRow("no") << false << QList<int> {0x0600, 0x0600, 0x0600, 0x0600}
                        << QList<int> {5, 7};
}

void TestTimeouts::writeQuestion()
{
    QFETCH(bool, yes);
    QFETCH(QList<int>, codes);
    QFETCH(QList<int>, states);

    BoxRecorder boxes;
    boxes.answers << (yes ? QMessageBox::Yes : QMessageBox::No);
    LinkOnBus t;
    SimReader *reader = t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    t.bus.clearRequests();
    t.states.clear();
    reader->settings().silentRequests = 4;
    LogCapture log;

    QBuffer buffer;
    buffer.setData("<configuration><gen_stat_220 param=\"1\"/><pull_up_220 param=\"1\"/>"
                   "</configuration>");
    t.link.writeConfiguration(&buffer);
    QVERIFY(t.waitForState(7, 30000));
    QTest::qWait(100);

    QCOMPARE(boxes.boxes.size(), 1);
    checkQuestion(boxes.boxes.at(0), "Запись конфигурации", "запись");
    QCOMPARE(t.requestCodes(), codes);
    QCOMPARE(t.states, states);
    QCOMPARE(log.count("Write config done!"), 1);
    QVERIFY(!t.link.isWriteMode());
    QCOMPARE(t.link.isPortOpen(), yes);
    QCOMPARE(log.count("Device not respond, port closed!"), yes ? 0 : 1);
}

void TestTimeouts::typedCommandToSilentReaderRaisesNothing()
{
    BoxRecorder boxes;
    LinkOnBus t;
    SimReader *reader = t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    reader->settings().silentRequests = 10;
    LogCapture log;
    t.link.sendTerminalCmd("0500");
    QTest::qWait(6000);
    QCOMPARE(log.count("Data IO Error"), 0);
    QCOMPARE(boxes.boxes.size(), 0);
    QCOMPARE(t.requestCodes().last(), 0x0500);
}

QTEST_GUILESS_MAIN(TestTimeouts)
#include "tst_timeouts.moc"
