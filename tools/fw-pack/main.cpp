// zemo-fw-pack: packs a program binary into a firmware image file that the configurator loads
// into a model-200 reader: the 16-byte header (magic, "VERSION", device type id, version), the
// binary as one enciphered section at its load address, and the checksum.
#include "firmwareheader.h"
#include "firmwareimage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <QtEndian>

namespace {
// "200" and "200v2" by name (the variant goes to the high byte: 200v2 is 712), others as number.
bool typeIdFor(const QString &text, quint16 *typeId, QString *layout)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+)(?:v(\\d+))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    const uint type = m.captured(1).toUInt();
    const uint variant = m.captured(2).isEmpty() ? 0 : m.captured(2).toUInt();
    if (type > 0xFF && variant != 0)
        return false;
    if (type > 0xFFFF || variant > 0xFF)
        return false;
    *typeId = quint16(type + variant * 256);
    *layout = text;
    return true;
}

bool parseNumber(const QString &text, quint32 *value)
{
    bool ok = false;
    *value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toUInt(&ok, 16)
                                                                       : text.toUInt(&ok, 10);
    return ok;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zemo-fw-pack"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Builds a firmware image file (header, enciphered section, checksum) from a binary."));
    parser.addHelpOption();
    const QCommandLineOption type({"t", "type"}, "Device type: 200, 200v2 or a type id number.",
                                  "type", "200");
    const QCommandLineOption version({"V", "version"}, "Firmware version a.b.c.", "version");
    const QCommandLineOption address({"a", "address"},
                                     "Load address (default: the program area's base: 0x3800 "
                                     "for 200, 0x40000 for 200v2).",
                                     "address");
    parser.addOptions({type, version, address});
    parser.addPositionalArgument(QStringLiteral("binary"), QStringLiteral("Program binary."));
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("Image file to write."));
    parser.process(app);

    QTextStream err(stderr);
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2) {
        err << "Usage: zemo-fw-pack --type 200 --version 1.4.12 program.bin image.bin\n";
        return 2;
    }

    quint16 typeId = 0;
    QString layout;
    if (!typeIdFor(parser.value(type), &typeId, &layout)) {
        err << "Unknown device type: " << parser.value(type) << '\n';
        return 2;
    }
    static const QRegularExpression versionForm(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)$"));
    const QRegularExpressionMatch v = versionForm.match(parser.value(version));
    if (!v.hasMatch() || v.captured(1).toUInt() > 255 || v.captured(2).toUInt() > 255
        || v.captured(3).toUInt() > 255) {
        err << "A version a.b.c with parts 0 to 255 is needed: --version 1.4.12\n";
        return 2;
    }

    int areaSize = 0;
    quint32 base = 0;
    const bool knownLayout = FirmwareImage::geometry(layout, &areaSize, &base);
    quint32 load = base;
    if (parser.isSet(address) && !parseNumber(parser.value(address), &load)) {
        err << "Bad load address: " << parser.value(address) << '\n';
        return 2;
    }

    QFile input(files.at(0));
    if (!input.open(QIODevice::ReadOnly)) {
        err << "Cannot read " << files.at(0) << ": " << input.errorString() << '\n';
        return 1;
    }
    const QByteArray binary = input.readAll();
    // Padding to whole 16-byte blocks adds erased bytes at the end.
    const qint64 padded = (binary.size() + 15) / 16 * 16;
    if (knownLayout && (load < base || qint64(load - base) + padded > areaSize)) {
        err << "The binary of " << binary.size() << " bytes at 0x" << QString::number(load, 16)
            << " does not fit the program area 0x" << QString::number(base, 16) << "..0x"
            << QString::number(base + quint32(areaSize), 16) << '\n';
        return 1;
    }

    QByteArray header(FirmwareImage::kHeaderSize, '\0');
    header[0] = char(0x55);
    header[1] = char(0xAA);
    header.replace(2, 8, QByteArray("VERSION\0", 8));
    qToLittleEndian<quint16>(typeId, header.data() + 10);
    header[12] = char(v.captured(1).toUInt());
    header[13] = char(v.captured(2).toUInt());
    header[14] = char(v.captured(3).toUInt());

    const QByteArray image = FirmwareImage::pack(header, {{load, binary}});
    QFile output(files.at(1));
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || output.write(image) != image.size()) {
        err << "Cannot write " << files.at(1) << ": " << output.errorString() << '\n';
        return 1;
    }
    output.close();
    QTextStream(stdout) << "Wrote " << files.at(1) << " (" << image.size() << " bytes), stored "
                        << "by the configurator as " << FirmwareHeader::storageName(image) << '\n';
    return 0;
}
