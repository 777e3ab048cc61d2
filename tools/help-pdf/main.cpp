// Lays out an HTML guide as an A4 PDF with the program's own font:
//   zemo-help-pdf <guide.html> <guide.pdf>
#include "resources.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextStream>
#include <QUrl>

#include <cstdio>

int main(int argc, char *argv[])
{
    // No window is shown; the PDF is drawn off screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: zemo-help-pdf <guide.html> <guide.pdf>\n");
        return 2;
    }

    QFile source(args.at(1));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    const QString html = QString::fromUtf8(source.readAll());

    initZemoResources();
    const int fontId = QFontDatabase::addApplicationFont(QStringLiteral(":/font/font/ptsans.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);

    QPdfWriter writer(args.at(2));
    writer.setTitle(QStringLiteral("Zemo220"));
    writer.setCreator(QStringLiteral("zemo-help-pdf"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter));

    QTextDocument document;
    QFont font(families.isEmpty() ? QStringLiteral("PT Sans") : families.first());
    font.setPointSizeF(10.5);
    document.setDefaultFont(font);
    // Pictures are named relative to the guide's source.
    document.setMetaInformation(QTextDocument::DocumentUrl,
                                QUrl::fromLocalFile(QFileInfo(args.at(1)).absoluteFilePath())
                                        .toString());
    document.setHtml(html);
    document.print(&writer);

    if (!QFile::exists(args.at(2))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
