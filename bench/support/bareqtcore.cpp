// The floor of zemo-cli's start-up: a QtCore program that prints a page of usage and ends, as
// "zemo-cli --help" does, without the link, the database or the translations.
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray usage = QByteArray("Usage: bare [OPTIONS] COMMAND\n").repeated(40);
    std::fwrite(usage.constData(), 1, size_t(usage.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 5;
}
