#include "commissionreportpdf.h"

#include "apppaths.h"
#include "commissionreport.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace {
QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString beforeAfter(const QString &before, const QString &after)
{
    // Nothing after (a reader not served): only what it was.
    if (after.isEmpty() || after == QLatin1String("-") || before == after)
        return esc(before);
    return esc(before) + QStringLiteral(" &rarr; ") + esc(after);
}

QString addressText(int address, int baud)
{
    if (address <= 0)
        return QStringLiteral("-");
    return baud > 0 ? QStringLiteral("%1 (%2)").arg(address).arg(baud) : QString::number(address);
}
} // namespace

QString CommissionReportPdf::html(const CommissionHeader &header,
                                  const QList<CommissionRecord> &records)
{
    QString h;
    h += QStringLiteral("<html><body>");
    h += QStringLiteral("<h2>") + tr("Ввод в работу считывателей шины") + QStringLiteral("</h2>");
    h += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
    auto headerRow = [&h](const QString &name, const QString &value) {
        h += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(esc(name), value);
    };
    headerRow(tr("Начало:"), esc(CommissionReport::timeText(header.started)));
    headerRow(tr("Окончание:"), esc(CommissionReport::timeText(header.ended)));
    headerRow(tr("Шаблон:"), esc(header.templateName));
    headerRow(tr("Режим:"), esc(header.mode));
    if (!header.firmware.isEmpty())
        headerRow(tr("Прошивка:"), esc(header.firmware));
    if (!header.occupied.isEmpty())
        headerRow(tr("Пропущены занятые адреса:"), esc(CommissionReport::occupiedText(header)));
    headerRow(tr("Версия программы:"), esc(header.programVersion));
    headerRow(tr("Примечание:"),
              esc(header.note).replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    headerRow(tr("Считыватели:"), tr("%1, проверено %2")
                                          .arg(records.size())
                                          .arg(CommissionReport::verifiedCount(records)));
    h += QStringLiteral("</table><br>");

    h += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">");
    h += QStringLiteral("<tr>");
    const QStringList columns = {tr("Время"),    tr("Адрес"), tr("Устройство"), tr("Прошивка"),
                                 tr("Записано"), tr("Итог"),  tr("Линия")};
    for (const QString &column : columns)
        h += QStringLiteral("<th>") + esc(column) + QStringLiteral("</th>");
    h += QStringLiteral("</tr>");
    for (const CommissionRecord &r : records) {
        QString verdict = QStringLiteral("<b>") + esc(CommissionReport::verdictText(r.verdict))
                          + QStringLiteral("</b>");
        for (const QString &difference : r.differences)
            verdict += QStringLiteral("<br>") + esc(difference);
        if (!r.reason.isEmpty())
            verdict += QStringLiteral("<br>") + esc(r.reason);
        const QString line = r.answers > 0 || r.resends > 0 || r.checksumErrors > 0
                                     ? tr("ответов %1, повторов %2, ошибок КС %3, медиана %4")
                                               .arg(r.answers)
                                               .arg(r.resends)
                                               .arg(r.checksumErrors)
                                               .arg(r.medianAnswerMs >= 0
                                                            ? tr("%1 мс").arg(r.medianAnswerMs)
                                                            : QStringLiteral("-"))
                                     : QStringLiteral("-");
        QStringList written;
        for (const QString &setting : r.written)
            written << esc(setting);
        h += QStringLiteral("<tr>");
        h += QStringLiteral("<td>%1</td>")
                     .arg(r.time.isValid() ? esc(r.time.toString(QStringLiteral("HH:mm:ss")))
                                           : QStringLiteral("-"));
        h += QStringLiteral("<td>%1</td>")
                     .arg(beforeAfter(addressText(r.addressBefore, r.baudBefore),
                                      addressText(r.addressAfter, r.baudAfter)));
        h += QStringLiteral("<td>%1</td>")
                     .arg(r.device.isEmpty() ? QStringLiteral("-") : esc(r.device));
        h += QStringLiteral("<td>%1</td>").arg(beforeAfter(r.firmwareBefore, r.firmwareAfter));
        h += QStringLiteral("<td>%1</td>")
                     .arg(written.isEmpty() ? QStringLiteral("-")
                                            : written.join(QStringLiteral("<br>")));
        h += QStringLiteral("<td>%1</td>").arg(verdict);
        h += QStringLiteral("<td>%1</td>").arg(esc(line));
        h += QStringLiteral("</tr>");
    }
    h += QStringLiteral("</table></body></html>");
    return h;
}

bool CommissionReportPdf::writePdf(const QString &path, const CommissionHeader &header,
                                   const QList<CommissionRecord> &records, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // An older file of the same name must not pass for this one.
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        if (error)
            *error = tr("Не удалось записать отчёт: %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    {
        QPdfWriter writer(path);
        writer.setTitle(tr("Ввод в работу считывателей шины"));
        writer.setCreator(QStringLiteral("zemo-configurator ") + header.programVersion);
        writer.setResolution(150);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        QTextDocument document;
        const int fontId = QFontDatabase::addApplicationFont(
                QStringLiteral(":/font/font/ptsans.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
        QFont font(families.isEmpty() ? QStringLiteral("PT Sans") : families.first());
        font.setPointSizeF(9);
        document.setDefaultFont(font);
        document.setHtml(html(header, records));
        document.print(&writer);
    }
    // The writer says nothing of a file it could not open: the file tells.
    const QFileInfo written(path);
    if (!written.exists() || written.size() == 0) {
        qDebug().noquote() << "/C:12"
                           << "Commissioning report not written:" << path;
        if (error)
            *error = tr("Не удалось записать отчёт: %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    qDebug().noquote() << "Commissioning report written:" << path;
    return true;
}

QString CommissionReportPdf::reportsDir()
{
    const QString dir = AppPaths::dataFilePath(QStringLiteral("reports"));
    QDir().mkpath(dir);
    return dir;
}
