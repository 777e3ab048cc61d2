#include "testsupport.h"

#include <QDirIterator>
#include <QDomDocument>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

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
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(lupdatePath(),
                  {"-silent", "-locations", "none", "-no-obsolete", source + "/src", "-ts", ts});
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

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
