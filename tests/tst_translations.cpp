#include "mainwindow.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QDomDocument>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <QtWidgets>

namespace {
const char *const kHint = "Run scripts/update-translations.sh and translate the new entries of "
                          "translations/en.ts (Qt Linguist, or edit the <translation> elements).";

// Texts shown as they are in every language.
const QStringList kUntranslated = {QStringLiteral("Русский")};

bool hasCyrillic(const QString &text)
{
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    return text.contains(cyrillic);
}

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty when finished
};

QList<Message> readCatalogue(const QString &path, QString *error)
{
    QList<Message> messages;
    QFile file(path);
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file, error))
        return messages;
    const QDomNodeList contexts = doc.documentElement().elementsByTagName("context");
    for (int c = 0; c < contexts.size(); ++c) {
        const QDomElement context = contexts.at(c).toElement();
        const QString name = context.firstChildElement("name").text();
        for (QDomElement m = context.firstChildElement("message"); !m.isNull();
             m = m.nextSiblingElement("message")) {
            const QDomElement translation = m.firstChildElement("translation");
            messages.append({name, m.firstChildElement("source").text(), translation.text(),
                             translation.attribute("type")});
        }
    }
    return messages;
}

// Every text a widget and the widgets below it show, hidden pages included, each with the
// object name of its widget: labels, buttons, list and table items, headers, tool tips.
QStringList shownTexts(QWidget *root)
{
    QStringList texts;
    auto add = [&texts](const QWidget *w, const QString &text) {
        if (!text.isEmpty())
            texts << w->objectName() + ": " + text;
    };
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : qAsConst(widgets)) {
        add(w, w->toolTip());
        if (w->isWindow())
            add(w, w->windowTitle());
        if (auto *label = qobject_cast<QLabel *>(w))
            add(w, label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            add(w, button->text());
        if (auto *group = qobject_cast<QGroupBox *>(w))
            add(w, group->title());
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            add(w, edit->placeholderText());
        if (auto *box = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < box->count(); ++i)
                add(w, box->itemText(i));
        }
        if (auto *list = qobject_cast<QListWidget *>(w)) {
            for (int i = 0; i < list->count(); ++i)
                add(w, list->item(i)->text());
        }
        if (auto *table = qobject_cast<QTableWidget *>(w)) {
            for (int c = 0; c < table->columnCount(); ++c) {
                if (table->horizontalHeaderItem(c))
                    add(w, table->horizontalHeaderItem(c)->text());
                for (int r = 0; r < table->rowCount(); ++r) {
                    if (table->item(r, c))
                        add(w, table->item(r, c)->text());
                }
            }
        }
    }
    return texts;
}

QString lupdatePath()
{
    const QString qtBin = QLibraryInfo::location(QLibraryInfo::BinariesPath) + "/lupdate";
    return QFileInfo::exists(qtBin) ? qtBin : QStringLiteral("lupdate");
}

// String literals of a C++ source, with the common escapes resolved.
QStringList cyrillicLiterals(const QString &code)
{
    QStringList literals;
    static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\\\n]|\\\\.)*)\""));
    auto it = literal.globalMatch(code);
    while (it.hasNext()) {
        QString text = it.next().captured(1);
        if (!hasCyrillic(text))
            continue;
        text.replace("\\n", "\n").replace("\\t", "\t").replace("\\\"", "\"").replace("\\\\", "\\");
        literals << text;
    }
    return literals;
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyTextHasEnglish();
    void noTextBypassesTheTranslator();
    void englishWindowShowsNoRussian();

private:
    QList<Message> m_messages; // the catalogue as lupdate makes it from today's sources
};

void TestTranslations::initTestCase()
{
    const QString source = QStringLiteral(ZEMO_SOURCE_DIR);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString ts = tmp.filePath("en.ts");
    QVERIFY(QFile::copy(source + "/translations/en.ts", ts));
    QFile::setPermissions(ts, QFile::ReadOwner | QFile::WriteOwner);
    // The device database's shown texts, collected as scripts/update-translations.sh does.
    const QString dbTexts = tmp.filePath("devices-db-texts.cpp");
    QProcess collect;
    collect.setStandardOutputFile(dbTexts);
    collect.start(QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3",
                  {source + "/scripts/database-texts.py", source + "/data/devices.sql"});
    QVERIFY(collect.waitForFinished(60000));
    QVERIFY2(collect.exitCode() == 0, collect.readAllStandardError().constData());
    QVERIFY(readTestFile(dbTexts).contains("QT_TRANSLATE_NOOP(\"DeviceDatabase\", \"Генерация\")"));

    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(lupdatePath(), {"-silent", "-locations", "none", "-no-obsolete", source + "/src",
                                  dbTexts, "-ts", ts});
    QVERIFY2(lupdate.waitForFinished(120000), qPrintable(lupdatePath()));
    const QByteArray output = lupdate.readAll();
    QVERIFY2(lupdate.exitCode() == 0 && !output.contains("won't be updated"), output.constData());
    QString error;
    m_messages = readCatalogue(ts, &error);
    QVERIFY2(!m_messages.isEmpty(), qPrintable(error));
}

void TestTranslations::everyTextHasEnglish()
{
    QStringList missing;
    for (const Message &m : qAsConst(m_messages)) {
        if (!m.type.isEmpty() || m.translation.isEmpty() || hasCyrillic(m.translation))
            missing << QStringLiteral("  %1: \"%2\"").arg(m.context, m.source);
    }
    // QtTest cuts long failure messages, so the list goes to the log line by line.
    for (const QString &line : qAsConst(missing))
        qWarning().noquote() << "no English translation:" << line;
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("%1 text(s) without a finished English translation (listed "
                                       "above). %2")
                                .arg(missing.size())
                                .arg(kHint)));
}

void TestTranslations::noTextBypassesTheTranslator()
{
    // A Cyrillic literal in the sources must be (part of) a translatable text: a text shown
    // without tr() stays Russian in the English interface.
    QStringList sources;
    for (const Message &m : qAsConst(m_messages))
        sources << m.source;
    const QString all = sources.join(QChar(0));
    QStringList bypassing;
    QDirIterator it(QStringLiteral(ZEMO_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QString &literal : cyrillicLiterals(QString::fromUtf8(file.readAll()))) {
            if (!kUntranslated.contains(literal) && !all.contains(literal))
                bypassing << QStringLiteral("  %1: \"%2\"").arg(QFileInfo(path).fileName(), literal);
        }
    }
    for (const QString &line : qAsConst(bypassing))
        qWarning().noquote() << "not passed through tr():" << line;
    QVERIFY2(bypassing.isEmpty(),
             qPrintable(QStringLiteral("%1 Russian text(s) of the sources are shown without the "
                                       "translator (listed above).")
                                .arg(bypassing.size())));
}

// With the shipped database, the English window has no Russian left: the choice lists of every
// firmware group and the status calculator's bit names and values come through the translator,
// and lists filled in Russian follow a switch to English.
void TestTranslations::englishWindowShowsNoRussian()
{
    TempProgramDir dir(true);
    QVERIFY(QDir().mkpath(dir.filePath("translations")));
    QVERIFY(QFile::copy(ZEMO_APP_BUILD_DIR "/translations/en.qm",
                        dir.filePath("translations/en.qm")));
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    auto *genType = window.findChild<QComboBox *>("genTypeComboBox");
    window.setCurrentFwVer_220("1.3.2", QString(), "220", "Zemo220");
    QCOMPARE(genType->itemText(2), QString("По событию"));
    window.changeLanguage("en");
    // The other windows (the settings dialog) hear of the change through posted events.
    QCoreApplication::processEvents();
    QCOMPARE(genType->itemText(2), QString("On event"));

    // A reader of each firmware group of the shipped database, then the status calculator
    // with every bit set.
    const QList<QStringList> readers = {{"1.0.5", "220"}, {"1.4.0", "200"}, {"1.3.2", "220"}};
    QStringList russian;
    for (const QStringList &reader : readers) {
        window.setCurrentFwVer_220(reader.at(0), QString(), reader.at(1), "Zemo" + reader.at(1));
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.describe()));
        QVERIFY(genType->count() >= 2);
        for (const QString &text : shownTexts(&window)) {
            if (hasCyrillic(text))
                russian << reader.join(' ') + " " + text;
        }
    }
    window.runStatusCalc("FFFFFFFF");
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 13); // the bits of the mask 0x800F00FF
    QCOMPARE(table->item(0, 0)->text() + " | " + table->item(0, 1)->text(),
             QString("Supply voltage | Below the threshold"));
    for (const QString &text : shownTexts(table->window())) {
        if (hasCyrillic(text))
            russian << "status calculator " + text;
    }
    for (const QString &line : qAsConst(russian))
        qWarning().noquote() << "Russian in the English window:" << line;
    QVERIFY2(russian.isEmpty(), qPrintable(QString::number(russian.size()) + " text(s)"));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
