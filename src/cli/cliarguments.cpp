#include "cliarguments.h"

#include "appversion.h"
#include "clidocument.h"
#include "commissioningplan.h"

namespace {
struct CommandName
{
    const char *name;
    CliOptions::Command command;
};
const CommandName kCommands[] = {
        {"help", CliOptions::Help},         {"ports", CliOptions::Ports},
        {"scan", CliOptions::Scan},         {"read", CliOptions::Read},
        {"write", CliOptions::Write},       {"set", CliOptions::Set},
        {"reboot", CliOptions::Reboot},     {"send", CliOptions::Send},
        {"firmware", CliOptions::Firmware}, {"commission", CliOptions::Commission},
};

// Options that take a value; the rest are switches.
const char *const kValued[] = {"--port",      "--speed",    "--address", "--retries",  "--timeout",
                               "--remote",    "--password", "--server",  "-o",         "--template",
                               "--addresses", "--assign",   "--factory", "--firmware", "--report",
                               "--note",      "--wait"};
// The options of "commission" alone.
const char *const kCommissionOptions[] = {"--template", "--addresses", "--assign", "--factory",
                                          "--firmware", "--report",    "--note",   "--wait"};
const char *const kSwitches[] = {"--json", "--verbose", "--help", "-h", "--version"};

bool listed(const QString &name, const char *const *names, int count)
{
    for (int i = 0; i < count; ++i) {
        if (name == QLatin1String(names[i]))
            return true;
    }
    return false;
}

bool isHexDigit(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

constexpr int kMaxRetries = 99;
// A console command frame carries at most 250 data bytes.
constexpr int kMaxConsoleBytes = 250;
} // namespace

QString CliArguments::checkConsoleCommand(const QString &text)
{
    QString digits;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        if (!isHexDigit(c))
            return tr("команда не в шестнадцатеричном виде: %1").arg(text);
        digits += c;
    }
    if (digits.size() < 4)
        return tr("команде нужны 4 шестнадцатеричные цифры кода, например 0100: %1").arg(text);
    if (digits.size() % 2 != 0)
        return tr("данные команды не из целых байтов (по две цифры): %1").arg(text);
    if ((digits.size() - 4) / 2 > kMaxConsoleBytes)
        return tr("данных команды больше %1 байтов: %2").arg(kMaxConsoleBytes).arg(text);
    return QString();
}

CliArguments::Result CliArguments::parse(const QStringList &arguments, const QStringList &baudList)
{
    Result result;
    CliOptions &o = result.options;
    auto fail = [&result](const QString &error) {
        result.error = error;
        return result;
    };

    QStringList positional;
    bool help = false;
    bool version = false;
    bool outputGiven = false;
    bool passwordGiven = false;
    bool optionsEnded = false;
    QStringList commissionGiven;
    bool addressesGiven = false;
    bool factoryGiven = false;
    bool waitGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        QString value;
        bool inlineValue = false;
        const int equals = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && equals > 0) {
            name = arg.left(equals);
            value = arg.mid(equals + 1);
            inlineValue = true;
        }
        if (listed(name, kSwitches, int(std::size(kSwitches)))) {
            if (inlineValue)
                return fail(tr("параметр %1 не принимает значения: %2").arg(name, arg));
            if (name == QLatin1String("--json"))
                o.json = true;
            else if (name == QLatin1String("--verbose"))
                o.verbose = true;
            else if (name == QLatin1String("--version"))
                version = true;
            else
                help = true;
            continue;
        }
        if (!listed(name, kValued, int(std::size(kValued))))
            return fail(tr("неизвестный параметр: %1").arg(arg));
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                return fail(tr("параметру %1 нужно значение").arg(name));
            value = arguments.at(++i);
        }

        if (listed(name, kCommissionOptions, int(std::size(kCommissionOptions)))) {
            if (commissionGiven.contains(name))
                return fail(tr("параметр %1 указан дважды").arg(name));
            commissionGiven << name;
        }

        if (name == QLatin1String("--port")) {
            if (value.isEmpty())
                return fail(tr("пустое имя порта: %1").arg(name));
            o.port = value;
        } else if (name == QLatin1String("--speed")) {
            const QString error = CliDocument::checkSetting({QStringLiteral("speed"), value},
                                                            baudList);
            if (!error.isEmpty())
                return fail(error);
            o.speed = value.trimmed().toInt();
        } else if (name == QLatin1String("--address")) {
            const QString error = CliDocument::checkSetting({QStringLiteral("address"), value},
                                                            baudList);
            if (!error.isEmpty())
                return fail(error);
            o.address = value.trimmed().toInt();
        } else if (name == QLatin1String("--retries")) {
            bool ok = false;
            o.retries = value.trimmed().toInt(&ok);
            if (!ok || o.retries < 1 || o.retries > kMaxRetries)
                return fail(
                        tr("число кругов повторов не от 1 до %1: %2").arg(kMaxRetries).arg(value));
        } else if (name == QLatin1String("--timeout")) {
            bool ok = false;
            o.timeoutMs = value.trimmed().toInt(&ok);
            if (!ok || o.timeoutMs < CliArguments::MinTimeoutMs
                || o.timeoutMs > CliArguments::MaxTimeoutMs)
                return fail(tr("время ожидания ответа не от %1 до %2 мс: %3")
                                    .arg(CliArguments::MinTimeoutMs)
                                    .arg(CliArguments::MaxTimeoutMs)
                                    .arg(value));
        } else if (name == QLatin1String("--remote")) {
            if (value.trimmed().isEmpty())
                return fail(tr("пустой IMEI: %1").arg(name));
            o.imei = value.trimmed();
        } else if (name == QLatin1String("--password")) {
            o.password = value;
            passwordGiven = true;
        } else if (name == QLatin1String("--server")) {
            // HOST:PORT; a numeric IPv6 address goes in brackets.
            const int colon = value.lastIndexOf(QLatin1Char(':'));
            QString host = value.left(colon).trimmed();
            if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
                host = host.mid(1, host.size() - 2);
            bool ok = false;
            const int port = value.mid(colon + 1).toInt(&ok);
            if (colon <= 0 || host.isEmpty() || !ok || port < 1 || port > 65535)
                return fail(tr("сервер задаётся как АДРЕС:ПОРТ: %1").arg(value));
            o.serverHost = host;
            o.serverPort = quint16(port);
        } else if (name == QLatin1String("--template") || name == QLatin1String("--firmware")
                   || name == QLatin1String("--report")) {
            if (value.isEmpty())
                return fail(tr("пустое имя файла: %1").arg(name));
            if (name == QLatin1String("--template"))
                o.templateFile = value;
            else if (name == QLatin1String("--firmware"))
                o.firmwareFile = value;
            else
                o.reportFile = value;
        } else if (name == QLatin1String("--addresses")) {
            QString error;
            if (!CommissioningPlan::parseAddressList(value, &o.addresses, &error))
                return fail(error);
            addressesGiven = true;
        } else if (name == QLatin1String("--assign")) {
            QString error;
            if (!CommissioningPlan::parseRange(value, &o.assignFirst, &o.assignLast, &error))
                return fail(error);
            o.assign = true;
        } else if (name == QLatin1String("--factory")) {
            const QString error = CliDocument::checkSetting({QStringLiteral("address"), value},
                                                            baudList);
            if (!error.isEmpty())
                return fail(error);
            o.factory = value.trimmed().toInt();
            factoryGiven = true;
        } else if (name == QLatin1String("--note")) {
            o.note = value;
        } else if (name == QLatin1String("--wait")) {
            bool ok = false;
            o.waitSeconds = value.trimmed().toInt(&ok);
            if (!ok || o.waitSeconds < 1 || o.waitSeconds > CliArguments::MaxWaitSeconds)
                return fail(tr("время ожидания модуля не от 1 до %1 с: %2")
                                    .arg(CliArguments::MaxWaitSeconds)
                                    .arg(value));
            waitGiven = true;
        } else if (name == QLatin1String("-o")) {
            if (value.isEmpty())
                return fail(tr("пустое имя файла: %1").arg(name));
            o.file = value;
            outputGiven = true;
        }
    }

    if (help) {
        o.command = CliOptions::Help;
        return result;
    }
    if (version) {
        o.command = CliOptions::Version;
        return result;
    }
    if (positional.isEmpty())
        return fail(tr("не указана команда (список: zemo-cli --help)"));

    const QString commandName = positional.takeFirst();
    bool known = false;
    for (const CommandName &c : kCommands) {
        if (commandName == QLatin1String(c.name)) {
            o.command = c.command;
            known = true;
        }
    }
    if (!known)
        return fail(tr("неизвестная команда: %1").arg(commandName));
    if (o.command == CliOptions::Help)
        return result;

    if (o.isRemote() && !passwordGiven)
        return fail(tr("для --remote нужен --password"));
    if (!o.isRemote() && (passwordGiven || !o.serverHost.isEmpty()))
        return fail(tr("--password и --server действуют только вместе с --remote"));
    if (outputGiven && o.command != CliOptions::Read)
        return fail(tr("-o действует только с командой read: %1").arg(commandName));
    if (!commissionGiven.isEmpty() && o.command != CliOptions::Commission)
        return fail(tr("%1 действует только с командой commission").arg(commissionGiven.first()));

    auto noArguments = [&]() -> QString {
        return positional.isEmpty()
                       ? QString()
                       : tr("лишний аргумент команды %1: %2").arg(commandName, positional.first());
    };
    // The KEY=VALUE pairs from the given position on.
    auto takeSettings = [&](int from) -> QString {
        for (int i = from; i < positional.size(); ++i) {
            const QString pair = positional.at(i);
            const int equals = pair.indexOf(QLatin1Char('='));
            if (equals <= 0)
                return tr("ожидается КЛЮЧ=ЗНАЧЕНИЕ: %1").arg(pair);
            const CliSetting setting {pair.left(equals).trimmed(), pair.mid(equals + 1).trimmed()};
            for (const CliSetting &earlier : qAsConst(o.settings)) {
                if (earlier.key == setting.key)
                    return tr("ключ %1 указан дважды").arg(setting.key);
            }
            const QString error = CliDocument::checkSetting(setting, baudList);
            if (!error.isEmpty())
                return error;
            o.settings << setting;
        }
        return QString();
    };

    QString error;
    switch (o.command) {
    case CliOptions::Help:
    case CliOptions::Version:
        break;
    case CliOptions::Ports:
    case CliOptions::Scan:
        if (o.isRemote())
            error = tr("команда %1 не работает через сервер конфигурирования").arg(commandName);
        else
            error = noArguments();
        break;
    case CliOptions::Read:
    case CliOptions::Reboot:
        error = noArguments();
        break;
    case CliOptions::Write:
    case CliOptions::Firmware:
        if (positional.isEmpty() || positional.first().isEmpty()) {
            error = tr("команде %1 нужен файл").arg(commandName);
            break;
        }
        o.file = positional.first();
        if (o.command == CliOptions::Write)
            error = takeSettings(1);
        else if (positional.size() > 1)
            error = tr("лишний аргумент команды %1: %2").arg(commandName, positional.at(1));
        break;
    case CliOptions::Set:
        if (positional.isEmpty())
            error = tr("команде set нужна хотя бы одна пара КЛЮЧ=ЗНАЧЕНИЕ");
        else
            error = takeSettings(0);
        break;
    case CliOptions::Commission:
        if (o.isRemote()) {
            error = tr("команда %1 не работает через сервер конфигурирования").arg(commandName);
            break;
        }
        error = noArguments();
        if (!error.isEmpty())
            break;
        if (o.templateFile.isEmpty())
            error = tr("команде commission нужен шаблон: --template ФАЙЛ");
        else if (o.reportFile.isEmpty())
            error = tr("команде commission нужен отчёт: --report ФАЙЛ");
        else if (addressesGiven == o.assign)
            error = tr("команде commission нужен ровно один из параметров --addresses и --assign");
        else if (!o.assign && (factoryGiven || waitGiven))
            error = tr("--factory и --wait действуют только вместе с --assign");
        else if (o.assign && o.factory >= o.assignFirst && o.factory <= o.assignLast)
            error = tr("заводской адрес %1 внутри диапазона %2-%3")
                            .arg(o.factory)
                            .arg(o.assignFirst)
                            .arg(o.assignLast);
        break;
    case CliOptions::Send:
        if (o.isRemote()) {
            error = tr("команда %1 не работает через сервер конфигурирования").arg(commandName);
            break;
        }
        o.console = positional.join(QLatin1Char(' ')).trimmed();
        error = checkConsoleCommand(o.console);
        break;
    }
    if (!error.isEmpty())
        return fail(error);

    if (o.command != CliOptions::Ports && !o.isRemote() && o.port.isEmpty())
        return fail(tr("не указан порт: --port (список: zemo-cli ports)"));
    return result;
}

QString CliArguments::usage()
{
    return tr(
            "Использование: zemo-cli [--port ПОРТ] [--speed СКОРОСТЬ] [--address АДРЕС] [--json]\n"
            "                [--retries N] [--verbose] КОМАНДА [АРГУМЕНТЫ]\n"
            "\n"
            "Команды:\n"
            "  ports                    последовательные порты (с ZEMO_EXTRA_PORTS), по одному "
            "в строке\n"
            "  scan                     опрос адресов 1..254; строка на каждый найденный модуль: "
            "адрес,\n"
            "                           код устройства, версия прошивки\n"
            "  read [-o ФАЙЛ]           читает модуль; конфигурация XML, как её сохраняет окно,\n"
            "                           в ФАЙЛ (только обычный файл) или на стандартный вывод\n"
            "                           (без -o или -o -)\n"
            "  write ФАЙЛ [КЛЮЧ=ЗНАЧЕНИЕ...]\n"
            "                           записывает все настройки файла конфигурации (с "
            "заменами),\n"
            "                           перезагружает модуль и читает его по новому адресу и "
            "скорости\n"
            "  set КЛЮЧ=ЗНАЧЕНИЕ...     address, speed, gen, genmode, pullup (номер или текст "
            "варианта\n"
            "                           формы), затем перезагрузка\n"
            "  reboot                   перезагружает модуль\n"
            "  send HEX                 одна команда консоли (\"0100\", \"0300 00 00 25 80\"); "
            "выводит ответ\n"
            "  firmware ФАЙЛ            загружает прошивку в модуль модели 200, ход загрузки в "
            "stderr\n"
            "  commission --template ФАЙЛ (--addresses СПИСОК | --assign ОТ-ДО [--factory АДРЕС])\n"
            "             [--firmware ФАЙЛ] [--note ТЕКСТ] [--wait С] --report ФАЙЛ\n"
            "                           ввод модулей в работу: каждому настройки шаблона,\n"
            "                           перезагрузка, проверка; отчёт CSV в ФАЙЛ после каждого "
            "модуля.\n"
            "                           --addresses 11-40 или 5,7,9-12: модули на этих адресах\n"
            "                           (каждый сохраняет адрес, скорость --speed);\n"
            "                           --assign 11-40: новые модули по одному на заводском "
            "адресе\n"
            "                           (--factory, по умолчанию 1, скорость --speed) получают\n"
            "                           следующий адрес диапазона; --wait С: сколько ждать\n"
            "                           следующего модуля (по умолчанию 300 с), затем отчёт;\n"
            "                           --firmware: прошивка для модулей со старой (модель 200);\n"
            "                           строка (--json: объект) на каждый модуль; SIGINT и "
            "SIGTERM\n"
            "                           завершают запуск с отчётом (коды выхода 130 и 143)\n"
            "\n"
            "Параметры:\n"
            "  --port ПОРТ              порт преобразователя (имя или путь)\n"
            "  --speed СКОРОСТЬ         скорость RS-485: 2400 ... 115200 (по умолчанию 19200)\n"
            "  --address АДРЕС          адрес модуля 1..254 (по умолчанию 1)\n"
            "  --remote IMEI --password ПАРОЛЬ [--server АДРЕС:ПОРТ]\n"
            "                           через сервер конфигурирования (адрес сервера из "
            "settings.conf,\n"
            "                           как у окна, или --server)\n"
            "  --retries N              кругов по три повтора, прежде чем молчащий модуль "
            "провалит\n"
            "                           команду (по умолчанию 1)\n"
            "  --timeout МС             сколько ждать каждого ответа, мс (по умолчанию 5000)\n"
            "  --json                   каждый результат и ошибка одним объектом JSON в строке\n"
            "  --verbose                журнал обмена в stderr\n"
            "  --version                версия программы\n"
            "\n"
            "Варианты gen, genmode и pullup: номер, русский или английский текст варианта.\n"
            "Язык сообщений — из окружения (LC_ALL, LC_MESSAGES, LANG).\n"
            "\n"
            "Коды выхода: 0 выполнено; 2 неверные аргументы; 3 нет ответа (scan: ни один модуль\n"
            "не ответил); 4 модуль отклонил значение или прошивку; 5 файл (или стандартный вывод)\n"
            "не читается или не пишется; 6 ошибка сервера или входа; 7 прошивка модуля не\n"
            "поддерживается devices.db. commission: 0, когда каждый модуль проверен, иначе код\n"
            "первого непроверенного (3 молчит или не закончен, 4 отклонил значение или хранит\n"
            "другое, 5 файл прошивки не подошёл, 7 прошивка не поддерживается или шаблон ей не\n"
            "подходит); 3, когда ни один модуль не ответил.\n");
}

QString CliArguments::versionLine()
{
    return QStringLiteral("zemo-cli ") + AppVersion::text();
}
