// ctest: slow
#include "linkonbus.h"
#include "testsupport.h"

#include <QBuffer>
#include <QtTest>

// Silent readers: the 5000 ms answer time-out, three resends and the question to the engineer,
// with the real timings (each unanswered command costs 5 s, the question comes after 20 s). The
// cases run side by side, each link on a bus of its own, so that they cost 20 s together.
class TestTimeouts : public QObject
{
    Q_OBJECT
private slots:
    void silentReaders();
};

namespace {
// A link on its own bus, with a reader or none; its questions are answered as given. The
// command list is the current group's, given directly: the links share one database connection.
struct Case : LinkOnBus
{
    explicit Case(Prompt::Button answer, bool withReader = true)
    {
        if (withReader)
            reader = addReader(SimReaderSettings());
        replaceCommandList({0x0301, 0x0603, 0x0500, 0x0700});
        link.prompter().setMessageHandler([this, answer](const MessageRequest &box) {
            boxes << box;
            return answer;
        });
    }
    // Makes the reader ignore the next n requests once the version answer has been taken.
    void silenceAfterVersion(int n)
    {
        connect(&link, &DeviceInterface::showVersionInfo, this,
                [this, n] { reader->settings().silentRequests = n; });
    }
    // Reads once, then makes the reader ignore the next n requests.
    bool readThenSilence(int n)
    {
        const bool read = readOnce();
        bus.clearRequests();
        states.clear();
        reader->settings().silentRequests = n;
        return read;
    }
    QString codes() const { return commandCodes(bus.requests()); }
    // One Yes/No question of its own, styled like the window's boxes.
    void checkQuestion(const QString &title, const QString &action) const
    {
        QCOMPARE(boxes.size(), 1);
        const MessageRequest &box = boxes.at(0);
        QCOMPARE(QString("%1 %2 | %3").arg(box.icon).arg(box.title, box.text),
                 "3 " + title + " | Модуль не отвечает на команду.\nПродолжить " + action
                         + " конфигурации?");
        QVERIFY(box.buttons == (Prompt::Yes | Prompt::No) && !box.parent);
        QVERIFY(box.styleSheet.contains("rgb(162, 173, 188)"));
    }

    SimReader *reader = nullptr;
    QList<MessageRequest> boxes;
};

void write(Case &c)
{
    QBuffer buffer;
    buffer.setData("<configuration><gen_stat_220 param=\"1\"/><pull_up_220 param=\"1\"/>"
                   "</configuration>");
    c.link.writeConfiguration(&buffer);
}
} // namespace

void TestTimeouts::silentReaders()
{
    LogCapture log;
    // A reader that answers the third resend: three error lines, no question.
    Case resent(Prompt::NoButton);
    resent.silenceAfterVersion(3);
    // Silent through the resends during a read: Yes gives the command up and the next follows
    // alone. (Yes and No after an unanswered identity or write command are the window paths'.)
    Case readYes(Prompt::Yes);
    readYes.silenceAfterVersion(4);
    Case writeYes(Prompt::Yes);
    // A command typed by hand is neither resent nor asked about.
    Case typed(Prompt::Yes);
    QVERIFY(writeYes.readThenSilence(4) && typed.readThenSilence(10));
    log.clear();

    QVERIFY(resent.startRead() && readYes.startRead());
    write(writeYes);
    typed.link.sendTerminalCmd("0500");
    QVERIFY(LinkOnBus::waitFor(
            [&] {
                return resent.guiDocuments.size() == 1 && readYes.guiDocuments.size() == 1
                       && writeYes.states.contains(7);
            },
            40000));
    QTest::qWait(100);

    for (const char *n : {"1", "2", "3"})
        QCOMPARE(countLogLine(log, "Data IO Error, request num:", n), 3);
    QCOMPARE(log.count("Data IO Error, request num: "), 9);
    QCOMPARE(resent.boxes.size(), 0);
    QCOMPARE(resent.codes(), QString("0100 0700 0700 0700 0700 0500 0603 0301"));
    QCOMPARE(LinkOnBus::elementsOf(resent.guiDocuments.last()).size(), 5);

    readYes.checkQuestion("Чтение конфигурации", "чтение");
    QCOMPARE(readYes.codes(), QString("0100 0700 0700 0700 0700 0500 0603 0301"));
    QVERIFY(readYes.link.isPortOpen());
    QCOMPARE(LinkOnBus::elementsOf(readYes.guiDocuments.last()).size(), 5);

    writeYes.checkQuestion("Запись конфигурации", "запись");
    QCOMPARE(writeYes.codes(), QString("0600 0600 0600 0600 0601 0200"));
    QCOMPARE(writeYes.states, (QList<int> {5, 7}));
    QVERIFY(writeYes.link.isPortOpen() && !writeYes.link.isWriteMode());

    QCOMPARE(log.count("Write config done!"), 1);

    // A command typed by hand waits once for its answer: no resend, no question.
    QCOMPARE(typed.boxes.size(), 0);
    QCOMPARE(typed.codes(), QString("0500"));
    QVERIFY(typed.link.isIdle());
}

QTEST_GUILESS_MAIN(TestTimeouts)
#include "tst_timeouts.moc"
