// How the line behaves: the link's counts of requests, answers, damaged and lost answers and
// answer times, the status strip's summary with its warning, the console's times and marks, and
// the log line at every disconnect; over the simulated bus with its fault switches.
#include "bushealth.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "mainwindowaccess.h"
#include "settings.h"
#include "simreaderoptions.h"

#include <QRegularExpression>

namespace {

// Events as the link reports them: "s" a request sent, "r" a resend, "aN" an answer taken after
// N ms, "c" a failed checksum, "t" a time-out.
BusHealth replay(const QString &events)
{
    BusHealth health;
    for (const QString &t : events.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (t == "s")
            health.requestSent();
        else if (t == "r")
            health.resent();
        else if (t == "c")
            health.checksumFailed();
        else if (t == "t")
            health.timedOut();
        else if (t.startsWith('a'))
            health.answerAccepted(t.mid(1).toInt());
        else
            qWarning("unknown event %s", qPrintable(t));
    }
    return health;
}

const QString kAdvice = QStringLiteral("Проверьте терминатор, экран и длину линии RS-485.");
const QRegularExpression kStamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "));

// The console lines without their times, each shortened to its kind: ">" a request, "<" an
// answer, "<✗" an answer marked with a failed checksum, "tN" a time-out followed by resend N,
// "t" one without a resend. Every line must carry a time.
QString shapeOf(const QStringList &plainLines, QString *problem)
{
    QStringList shape;
    for (QString line : plainLines) {
        if (!line.contains(kStamp))
            *problem += "no time: " + line + "\n";
        line.remove(kStamp);
        static const QRegularExpression resend("^нет ответа \\(повтор (\\d) из 3\\)$");
        const QRegularExpressionMatch m = resend.match(line);
        if (line.startsWith("> "))
            shape << ">";
        else if (line.startsWith("< "))
            shape << (line.endsWith(" ✗ КС") ? "<✗" : "<");
        else if (m.hasMatch())
            shape << "t" + m.captured(1);
        else if (line == "нет ответа")
            shape << "t";
        else
            shape << "?" + line;
    }
    return shape.join(' ');
}

// Pixels of the label in the yellow of the status picture.
int yellowPixels(QLabel *label)
{
    const QImage image = label->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 150 && c.blue() < 90)
                ++n;
        }
    }
    return n;
}

} // namespace

class TestBusHealth : public QObject
{
    Q_OBJECT
private slots:
    void counting_data();
    void counting();
    void readOverTheBus_data();
    void readOverTheBus();
    void windowShowsTheLineAndTheConsoleItsTraffic();
};

void TestBusHealth::counting_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("log");
    QTest::addColumn<bool>("suspect");

    const QString zeroCounts = "Bus health: requests 0, answers 0, checksum errors 0, time-outs 0, "
                               "resends 0, from another address 0, no answer times";
    QTest::newRow("nothing sent yet") << ""
                                      << "" << zeroCounts << false;
    QTest::newRow("median of three")
            << "s a12 s a30 s a7"
            << "Ответов 3 из 3 · повторов 0 · ошибок КС 0"
            << "Bus health: requests 3, answers 3, checksum errors 0, time-outs 0, resends 0, "
               "from another address 0, answer time median 12 ms, worst 30 ms"
            << false;
    QTest::newRow("median of four: the middle two's mean")
            << "s a10 s a21 s a40 s a8"
            << "Ответов 4 из 4 · повторов 0 · ошибок КС 0"
            << "Bus health: requests 4, answers 4, checksum errors 0, time-outs 0, resends 0, "
               "from another address 0, answer time median 15 ms, worst 40 ms"
            << false;
    // Damaged, then its time-out: one bad request of ten, not more than one in ten.
    QTest::newRow("damaged and timed out is one bad request")
            << "s c t r " + QString("s a5 ").repeated(9)
            << "Ответов 9 из 10 · повторов 1 · ошибок КС 1"
            << "Bus health: requests 10, answers 9, checksum errors 1, time-outs 1, resends 1, "
               "from another address 0, answer time median 5 ms, worst 5 ms"
            << false;
    QTest::newRow("two lost in eleven")
            << "s t r s t r " + QString("s a5 ").repeated(9)
            << "Ответов 9 из 11 · повторов 2 · ошибок КС 0"
            << "Bus health: requests 11, answers 9, checksum errors 0, time-outs 2, resends 2, "
               "from another address 0, answer time median 5 ms, worst 5 ms, line suspect"
            << true;
    QTest::newRow("the first request lost")
            << "s t"
            << "Ответов 0 из 1 · повторов 0 · ошибок КС 0"
            << "Bus health: requests 1, answers 0, checksum errors 0, time-outs 1, resends 0, "
               "from another address 0, no answer times, line suspect"
            << true;
    // Three bad ones are out of sight after twenty good ones.
    QTest::newRow("three lost, twenty answered")
            << QString("s t r ").repeated(3) + QString("s a6 ").repeated(20)
            << "Ответов 20 из 23 · повторов 3 · ошибок КС 0"
            << "Bus health: requests 23, answers 20, checksum errors 0, time-outs 3, resends 3, "
               "from another address 0, answer time median 6 ms, worst 6 ms"
            << false;
}

void TestBusHealth::counting()
{
    QFETCH(QString, events);
    QFETCH(QString, summary);
    QFETCH(QString, log);
    QFETCH(bool, suspect);
    const BusHealth health = replay(events);
    QCOMPARE(health.summary(), summary);
    QCOMPARE(health.logLine(), log);
    QCOMPARE(health.lineSuspect(), suspect);
    QCOMPARE(health.details().endsWith("\n" + kAdvice), suspect);
}

void TestBusHealth::readOverTheBus_data()
{
    QTest::addColumn<QString>("reader"); // the simulated reader's options
    QTest::addColumn<int>("silentAfterVersion"); // requests it ignores once it gave its identity
    QTest::addColumn<QString>("counts"); // the log line's counts
    QTest::addColumn<bool>("suspect");
    QTest::addColumn<QString>("console");

    // The read: identity, then 0x0700, 0x0500, 0x0603, 0x0301 (the list backwards).
    QTest::newRow("sound line") << "" << 0
                                << "requests 5, answers 5, checksum errors 0, time-outs 0, "
                                   "resends 0, from another address 0, answer time median"
                                << false << "> < > < > < > < > <";
    // The uptime read is ignored once, the fourth answer (to 0x0603) damaged: a damaged answer
    // is no silence, it is sent again at once, without a time-out.
    QTest::newRow("one damaged, one lost")
            << "badcrc=4" << 1
            << "requests 7, answers 5, checksum errors 1, time-outs 1, resends 2, from another "
               "address 0, answer time median"
            << true << "> < > t1 > < > < > <✗ > < > <";
    // Every answer carries address 9, every second one damaged too: none is taken, the engineer
    // gives up after the third resend. A damaged answer is no other reader's, whichever address
    // it shows, and is sent again at once.
    QTest::newRow("answers from another address, some damaged")
            << "answeras=9,badcrc=2" << 0
            << "requests 4, answers 0, checksum errors 2, time-outs 2, resends 3, from another "
               "address 2, no answer times, line suspect"
            << true << "> < t1 > <✗ > < t3 > <✗";
}

void TestBusHealth::readOverTheBus()
{
    QFETCH(QString, reader);
    QFETCH(int, silentAfterVersion);
    QFETCH(QString, counts);
    QFETCH(bool, suspect);
    QFETCH(QString, console);

    LogCapture log;
    LinkOnBus t;
    SimReaderSettings settings;
    QVERIFY(parseReaderOptions(reader, &settings, nullptr));
    SimReader *sim = t.addReader(settings);
    t.replaceCommandList({0x0301, 0x0603, 0x0500, 0x0700});
    connect(&t.link, &DeviceInterface::showVersionInfo, this,
            [&] { sim->settings().silentRequests = silentAfterVersion; });
    t.link.prompter().setMessageHandler([](const MessageRequest &) { return Prompt::No; });
    t.link.setAnswerTimeoutMs(250);
    t.link.setConsoleTimestamps(true);
    QSignalSpy reports(&t.link, &DeviceInterface::busHealthChanged);

    QVERIFY(t.startRead());
    QVERIFY(LinkOnBus::waitFor(
            [&] { return t.link.isIdle() && (!t.guiDocuments.isEmpty() || !t.link.isPortOpen()); },
            10000));
    const BusHealth health = t.link.busHealth();
    QCOMPARE(health.lineSuspect(), suspect);
    // Reported after each answer and time-out, the last report being the counts.
    QVERIFY(reports.size() >= health.answers() + health.timeouts());
    QCOMPARE(reports.last().at(0).value<BusHealth>().logLine(), health.logLine());

    QString problem;
    QStringList lines;
    for (const QString &html : qAsConst(t.console))
        lines << QTextDocumentFragment::fromHtml(html).toPlainText();
    QCOMPARE(shapeOf(lines, &problem), console);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    // The times are those of the events: a time-out line comes the answer time-out after its
    // request.
    QTime request;
    for (const QString &line : qAsConst(lines)) {
        const QTime at = QTime::fromString(line.left(12), "hh:mm:ss.zzz");
        if (line.mid(13).startsWith('>'))
            request = at;
        const int ms = (request.msecsTo(at) + 86400000) % 86400000;
        QVERIFY2(!line.contains("нет ответа") || (ms >= 249 && ms < 2000), qPrintable(line));
    }

    // The connection ends (the engineer's No has ended it already): its counts are logged once.
    if (t.link.isPortOpen())
        t.link.togglePort();
    QCOMPARE(log.count("Bus health: "), 1);
    QVERIFY2(log.contains("Bus health: " + counts), qPrintable(log.lines().join('\n')));
    QCOMPARE(log.count("line suspect"), suspect ? 1 : 0);

    // The next connection counts from nothing.
    reports.clear();
    QVERIFY(t.openPort());
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.at(0).at(0).value<BusHealth>().logLine(), BusHealth().logLine());
    QCOMPARE(t.link.busHealth().logLine(), BusHealth().logLine());
    // A connection that sent nothing, as a bus scan's, leaves no line.
    t.link.togglePort();
    QCOMPARE(log.count("Bus health: "), 1);
}

// In the window: a sound reader, then one that damages every third answer, read with the
// console's times on.
void TestBusHealth::windowShowsTheLineAndTheConsoleItsTraffic()
{
    LogCapture log;
    BusWindowRig rig({SimReaderSettings()});
    MainWindow &w = rig.w();
    w.show();
    auto *label = rig.get<QLabel>("busHealthLabel");
    auto *console = rig.get<QPlainTextEdit>("terminalEdit");
    QVERIFY(rig.choose("19200", "1"));
    w.deviceInterface()->setAnswerTimeoutMs(300);

    // Times are off until chosen, and the choice is kept.
    auto *timestamps = rig.get<QAction>("timestampsAction");
    QVERIFY(timestamps->isCheckable() && !timestamps->isChecked());
    timestamps->trigger();
    QCOMPARE(readSetting("Console", "timestamps").toString(), QString("true"));

    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 3, 10000);
    static const QRegularExpression sound("^Ответов (\\d+) из \\1 · повторов 0 · ошибок КС 0$");
    QVERIFY2(sound.match(label->text()).hasMatch(), qPrintable(label->text()));
    QVERIFY(!label->toolTip().contains(kAdvice));
    QCOMPARE(yellowPixels(label), 0);

    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 0, 5000);
    QCOMPARE(label->text(), QString());
    QCOMPARE(log.count("Bus health: "), 1);

    // One read of a reader that damages every third answer: errors and the warning.
    QVERIFY(parseReaderOptions("badcrc=3", &rig.bus.reader(1)->settings(), nullptr));
    console->clear();
    QSignalSpy documents(w.deviceInterface(), &DeviceInterface::updateGUI);
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(documents.size(), 1, 10000);
    static const QRegularExpression damaged("^Ответов (\\d+) из (\\d+) · повторов ([1-9]\\d*) · "
                                            "ошибок КС ([1-9]\\d*)$");
    QVERIFY2(damaged.match(label->text()).hasMatch(), qPrintable(label->text()));
    QVERIFY2(label->toolTip().endsWith("\n" + kAdvice), qPrintable(label->toolTip()));
    QVERIFY(label->toolTip().contains("Ошибок контрольной суммы: "));
    QVERIFY(label->toolTip().contains("Время ответа: медиана "));
    QVERIFY(yellowPixels(label) > 20);

    // The console told it line by line, with times; the saved log holds what it shows.
    const QStringList lines = console->toPlainText().split('\n');
    QString problem;
    const QString shape = shapeOf(lines, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY2(shape.startsWith("> <") && shape.contains("<✗ > <") && !shape.contains("t"),
             qPrintable(shape));
    const QString path = rig.dir.filePath("console.log");
    rig.boxes.fileAnswers << path;
    rig.get<QAction>("saveLogAction")->trigger();
    QCOMPARE(QString::fromUtf8(readTestFile(path)), console->toPlainText());

    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 0, 5000);
    QCOMPARE(label->text() + label->toolTip(), QString());
    QCOMPARE(yellowPixels(label), 0);
    QCOMPARE(log.count("Bus health: "), 2);
}

QTEST_MAIN(TestBusHealth)
#include "tst_bushealth.moc"
