<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>AboutForm</name>
    <message>
        <source>О Программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>    О Программе</source>
        <translation>    About</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Конфигуратор считывателей Земо220
Версия </source>
        <translation>Zemo220 reader configurator
Version </translation>
    </message>
    <message>
        <source>Устанавливает обновления, подписанные тестовым ключом</source>
        <translation>Installs updates signed with the test key</translation>
    </message>
</context>
<context>
    <name>BusHealth</name>
    <message>
        <source>Ответов %1 из %2 · повторов %3 · ошибок КС %4</source>
        <translation>Answers %1 of %2 · resends %3 · checksum errors %4</translation>
    </message>
    <message>
        <source>Запросов: %1</source>
        <translation>Requests: %1</translation>
    </message>
    <message>
        <source>Ответов: %1</source>
        <translation>Answers: %1</translation>
    </message>
    <message>
        <source>Ошибок контрольной суммы: %1</source>
        <translation>Checksum errors: %1</translation>
    </message>
    <message>
        <source>Тайм-аутов: %1</source>
        <translation>Time-outs: %1</translation>
    </message>
    <message>
        <source>Повторов: %1</source>
        <translation>Resends: %1</translation>
    </message>
    <message>
        <source>Ответов с другого адреса: %1</source>
        <translation>Answers from another address: %1</translation>
    </message>
    <message>
        <source>Время ответа: нет ответов</source>
        <translation>Answer time: no answers</translation>
    </message>
    <message>
        <source>Время ответа: медиана %1 мс, худшее %2 мс</source>
        <translation>Answer time: median %1 ms, worst %2 ms</translation>
    </message>
    <message>
        <source>Проверьте терминатор, экран и длину линии RS-485.</source>
        <translation>Check the terminator, the shield and the length of the RS-485 line.</translation>
    </message>
</context>
<context>
    <name>BusScan</name>
    <message>
        <source>Поиск уже идёт</source>
        <translation>A search is already running</translation>
    </message>
    <message>
        <source>Сначала закройте соединение</source>
        <translation>Close the connection first</translation>
    </message>
    <message>
        <source>Порт не открывается: %1</source>
        <translation>The port does not open: %1</translation>
    </message>
</context>
<context>
    <name>BusTableModel</name>
    <message>
        <source>да</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>no</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>Без ответа: %1, искажённых ответов: %2, опросов: %3</source>
        <translation>Unanswered: %1, damaged answers: %2, polls: %3</translation>
    </message>
    <message>
        <source>Код устройства %1</source>
        <translation>Device id %1</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Устройство</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>Прошивка</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Поддержка</source>
        <translation>Supported</translation>
    </message>
    <message>
        <source>Ответ, мс</source>
        <translation>Answer, ms</translation>
    </message>
    <message>
        <source>Искажено</source>
        <translation>Damaged</translation>
    </message>
    <message>
        <source>Счётчик</source>
        <translation>Counter</translation>
    </message>
    <message>
        <source>Время работы</source>
        <translation>Uptime</translation>
    </message>
    <message>
        <source>Посл. ответ, мс</source>
        <translation>Last answer, ms</translation>
    </message>
    <message>
        <source>Ошибки</source>
        <translation>Errors</translation>
    </message>
</context>
<context>
    <name>BusWatch</name>
    <message>
        <source>В таблице нет считывателей: сначала выполните поиск</source>
        <translation>No readers in the table: search first</translation>
    </message>
    <message>
        <source>Порт не открывается: %1</source>
        <translation>The port does not open: %1</translation>
    </message>
    <message>
        <source>Наблюдение за шиной возможно только через последовательный порт</source>
        <translation>The bus can be watched only through a serial port</translation>
    </message>
</context>
<context>
    <name>CliArguments</name>
    <message>
        <source>команда не в шестнадцатеричном виде: %1</source>
        <translation>command is not hexadecimal: %1</translation>
    </message>
    <message>
        <source>команде нужны 4 шестнадцатеричные цифры кода, например 0100: %1</source>
        <translation>a command needs 4 hexadecimal digits of its code, such as 0100: %1</translation>
    </message>
    <message>
        <source>данные команды не из целых байтов (по две цифры): %1</source>
        <translation>command data are not whole bytes (two digits each): %1</translation>
    </message>
    <message>
        <source>данных команды больше %1 байтов: %2</source>
        <translation>command data longer than %1 bytes: %2</translation>
    </message>
    <message>
        <source>параметр %1 не принимает значения: %2</source>
        <translation>option %1 takes no value: %2</translation>
    </message>
    <message>
        <source>неизвестный параметр: %1</source>
        <translation>unknown option: %1</translation>
    </message>
    <message>
        <source>параметру %1 нужно значение</source>
        <translation>option %1 needs a value</translation>
    </message>
    <message>
        <source>пустое имя порта: %1</source>
        <translation>empty port name: %1</translation>
    </message>
    <message>
        <source>число кругов повторов не от 1 до %1: %2</source>
        <translation>number of resend rounds not from 1 to %1: %2</translation>
    </message>
    <message>
        <source>пустой IMEI: %1</source>
        <translation>empty IMEI: %1</translation>
    </message>
    <message>
        <source>сервер задаётся как АДРЕС:ПОРТ: %1</source>
        <translation>the server is given as HOST:PORT: %1</translation>
    </message>
    <message>
        <source>пустое имя файла: %1</source>
        <translation>empty file name: %1</translation>
    </message>
    <message>
        <source>не указана команда (список: zemo-cli --help)</source>
        <translation>no command given (list: zemo-cli --help)</translation>
    </message>
    <message>
        <source>неизвестная команда: %1</source>
        <translation>unknown command: %1</translation>
    </message>
    <message>
        <source>для --remote нужен --password</source>
        <translation>--remote needs --password</translation>
    </message>
    <message>
        <source>--password и --server действуют только вместе с --remote</source>
        <translation>--password and --server work only together with --remote</translation>
    </message>
    <message>
        <source>-o действует только с командой read: %1</source>
        <translation>-o works only with the read command: %1</translation>
    </message>
    <message>
        <source>лишний аргумент команды %1: %2</source>
        <translation>extra argument of command %1: %2</translation>
    </message>
    <message>
        <source>ожидается КЛЮЧ=ЗНАЧЕНИЕ: %1</source>
        <translation>KEY=VALUE expected: %1</translation>
    </message>
    <message>
        <source>ключ %1 указан дважды</source>
        <translation>key %1 given twice</translation>
    </message>
    <message>
        <source>команда %1 не работает через сервер конфигурирования</source>
        <translation>command %1 does not work through the configuration server</translation>
    </message>
    <message>
        <source>команде %1 нужен файл</source>
        <translation>command %1 needs a file</translation>
    </message>
    <message>
        <source>команде set нужна хотя бы одна пара КЛЮЧ=ЗНАЧЕНИЕ</source>
        <translation>command set needs at least one KEY=VALUE pair</translation>
    </message>
    <message>
        <source>не указан порт: --port (список: zemo-cli ports)</source>
        <translation>no port given: --port (list: zemo-cli ports)</translation>
    </message>
    <message>
        <source>время ожидания ответа не от %1 до %2 мс: %3</source>
        <translation>answer time-out not from %1 to %2 ms: %3</translation>
    </message>
    <message>
        <source>параметр %1 указан дважды</source>
        <translation>option %1 given twice</translation>
    </message>
    <message>
        <source>время ожидания модуля не от 1 до %1 с: %2</source>
        <translation>wait for a reader not within 1 to %1 s: %2</translation>
    </message>
    <message>
        <source>%1 действует только с командой commission</source>
        <translation>%1 works only with the command commission</translation>
    </message>
    <message>
        <source>команде commission нужен шаблон: --template ФАЙЛ</source>
        <translation>commission needs a template: --template FILE</translation>
    </message>
    <message>
        <source>команде commission нужен отчёт: --report ФАЙЛ</source>
        <translation>commission needs a report: --report FILE</translation>
    </message>
    <message>
        <source>команде commission нужен ровно один из параметров --addresses и --assign</source>
        <translation>commission needs exactly one of --addresses and --assign</translation>
    </message>
    <message>
        <source>--factory и --wait действуют только вместе с --assign</source>
        <translation>--factory and --wait work only with --assign</translation>
    </message>
    <message>
        <source>заводской адрес %1 внутри диапазона %2-%3</source>
        <translation>factory address %1 inside the range %2-%3</translation>
    </message>
    <message>
        <source>Использование: zemo-cli [--port ПОРТ] [--speed СКОРОСТЬ] [--address АДРЕС] [--json]
                [--retries N] [--verbose] КОМАНДА [АРГУМЕНТЫ]

Команды:
  ports                    последовательные порты (с ZEMO_EXTRA_PORTS), по одному в строке
  scan                     опрос адресов 1..254; строка на каждый найденный модуль: адрес,
                           код устройства, версия прошивки
  read [-o ФАЙЛ]           читает модуль; конфигурация XML, как её сохраняет окно,
                           в ФАЙЛ (только обычный файл) или на стандартный вывод
                           (без -o или -o -)
  write ФАЙЛ [КЛЮЧ=ЗНАЧЕНИЕ...]
                           записывает все настройки файла конфигурации (с заменами),
                           перезагружает модуль и читает его по новому адресу и скорости
  set КЛЮЧ=ЗНАЧЕНИЕ...     address, speed, gen, genmode, pullup (номер или текст варианта
                           формы), затем перезагрузка
  reboot                   перезагружает модуль
  send HEX                 одна команда консоли (&quot;0100&quot;, &quot;0300 00 00 25 80&quot;); выводит ответ
  firmware ФАЙЛ            загружает прошивку в модуль модели 200, ход загрузки в stderr
  commission --template ФАЙЛ (--addresses СПИСОК | --assign ОТ-ДО [--factory АДРЕС])
             [--firmware ФАЙЛ] [--note ТЕКСТ] [--wait С] --report ФАЙЛ
                           ввод модулей в работу: каждому настройки шаблона,
                           перезагрузка, проверка; отчёт CSV в ФАЙЛ после каждого модуля.
                           --addresses 11-40 или 5,7,9-12: модули на этих адресах
                           (каждый сохраняет адрес, скорость --speed);
                           --assign 11-40: новые модули по одному на заводском адресе
                           (--factory, по умолчанию 1, скорость --speed) получают
                           следующий адрес диапазона; --wait С: сколько ждать
                           следующего модуля (по умолчанию 300 с), затем отчёт;
                           --firmware: прошивка для модулей со старой (модель 200);
                           строка (--json: объект) на каждый модуль; SIGINT и SIGTERM
                           завершают запуск с отчётом (коды выхода 130 и 143)

Параметры:
  --port ПОРТ              порт преобразователя (имя или путь)
  --speed СКОРОСТЬ         скорость RS-485: 2400 ... 115200 (по умолчанию 19200)
  --address АДРЕС          адрес модуля 1..254 (по умолчанию 1)
  --remote IMEI --password ПАРОЛЬ [--server АДРЕС:ПОРТ]
                           через сервер конфигурирования (адрес сервера из settings.conf,
                           как у окна, или --server)
  --retries N              кругов по три повтора, прежде чем молчащий модуль провалит
                           команду (по умолчанию 1)
  --timeout МС             сколько ждать каждого ответа, мс (по умолчанию 5000)
  --json                   каждый результат и ошибка одним объектом JSON в строке
  --verbose                журнал обмена в stderr
  --version                версия программы

Варианты gen, genmode и pullup: номер, русский или английский текст варианта.
Язык сообщений — из окружения (LC_ALL, LC_MESSAGES, LANG).

Коды выхода: 0 выполнено; 2 неверные аргументы; 3 нет ответа (scan: ни один модуль
не ответил); 4 модуль отклонил значение или прошивку; 5 файл (или стандартный вывод)
не читается или не пишется; 6 ошибка сервера или входа; 7 прошивка модуля не
поддерживается devices.db. commission: 0, когда каждый модуль проверен, иначе код
первого непроверенного (3 молчит или не закончен, 4 отклонил значение или хранит
другое, 5 файл прошивки не подошёл, 7 прошивка не поддерживается или шаблон ей не
подходит); 3, когда ни один модуль не ответил.
</source>
        <translation>Usage: zemo-cli [--port PORT] [--speed SPEED] [--address ADDRESS] [--json]
                [--retries N] [--verbose] COMMAND [ARGUMENTS]

Commands:
  ports                    the serial ports (with ZEMO_EXTRA_PORTS), one a line
  scan                     probes addresses 1..254; one line per reader found: address,
                           device id, firmware version
  read [-o FILE]           reads the reader; the configuration XML as the window saves it,
                           to FILE (a regular file only) or to standard output
                           (without -o, or -o -)
  write FILE [KEY=VALUE...]
                           writes every setting of a configuration file (with the values
                           given), reboots the reader and reads it at its new address and speed
  set KEY=VALUE...         address, speed, gen, genmode, pullup (number or text of the form&apos;s
                           choice), then the reboot
  reboot                   reboots the reader
  send HEX                 one console command (&quot;0100&quot;, &quot;0300 00 00 25 80&quot;); prints the answer
  firmware FILE            uploads a firmware image to a model-200 reader, progress on stderr
  commission --template FILE (--addresses LIST | --assign FROM-TO [--factory ADDRESS])
             [--firmware FILE] [--note TEXT] [--wait S] --report FILE
                           commissioning: the template&apos;s settings to each reader, the
                           reboot, the check; the CSV report to FILE after each reader.
                           --addresses 11-40 or 5,7,9-12: the readers at these addresses
                           (each keeps its address, speed --speed);
                           --assign 11-40: new readers one at a time at the factory address
                           (--factory, default 1, speed --speed) get the next address of
                           the range; --wait S: how long to wait for the next reader
                           (default 300 s), then the report;
                           --firmware: firmware for readers with an older one (model 200);
                           a line (--json: an object) per reader; SIGINT and SIGTERM end
                           the run with the report (exit codes 130 and 143)

Options:
  --port PORT              the converter&apos;s port (name or path)
  --speed SPEED            RS-485 speed: 2400 ... 115200 (default 19200)
  --address ADDRESS        reader address 1..254 (default 1)
  --remote IMEI --password PASSWORD [--server HOST:PORT]
                           through the configuration server (server from settings.conf,
                           as the window takes it, or --server)
  --retries N              rounds of three resends before a silent reader fails the
                           command (default 1)
  --timeout MS             how long to wait for each answer, in ms (default 5000)
  --json                   every result and error as one JSON object a line
  --verbose                the exchange log on stderr
  --version                the program&apos;s version

Choices of gen, genmode and pullup: their number, Russian or English text.
The language of the messages comes from the environment (LC_ALL, LC_MESSAGES, LANG).

Exit codes: 0 done; 2 bad arguments; 3 no answer (scan: no reader answered);
4 the reader refused a value or an image; 5 a file (or standard output) could not
be read or written; 6 server or login failed; 7 the reader&apos;s firmware is not
supported by devices.db. commission: 0 when every reader was verified, otherwise the
code of the first one that was not (3 silent or incomplete, 4 refused a value or holds
another, 5 the firmware file did not suit it, 7 firmware not supported or the template
does not fit it); 3 when no reader answered.
</translation>
    </message>
</context>
<context>
    <name>CliDocument</name>
    <message>
        <source>неизвестный ключ %1 (ключи: %2)</source>
        <translation>unknown key %1 (keys: %2)</translation>
    </message>
    <message>
        <source>адрес вне диапазона %1..%2: %3</source>
        <translation>address outside %1..%2: %3</translation>
    </message>
    <message>
        <source>скорость не из списка %1: %2</source>
        <translation>speed not in the list %1: %2</translation>
    </message>
    <message>
        <source>пустое значение ключа %1</source>
        <translation>empty value of key %1</translation>
    </message>
    <message>
        <source>номер варианта ключа %1 меньше 0: %2</source>
        <translation>choice number of key %1 below 0: %2</translation>
    </message>
    <message>
        <source>значение %1 не из вариантов ключа %2: %3</source>
        <translation>value %1 is not a choice of key %2: %3</translation>
    </message>
    <message>
        <source>адрес не число: %1</source>
        <translation>address is no number: %1</translation>
    </message>
    <message>
        <source>скорость не число: %1</source>
        <translation>speed is no number: %1</translation>
    </message>
</context>
<context>
    <name>CliSession</name>
    <message>
        <source>сервер конфигурирования %1 не ответил на вход терминала %2</source>
        <translation>configuration server %1 did not answer the login of terminal %2</translation>
    </message>
    <message>
        <source>сервер %1 не принял пароль терминала %2</source>
        <translation>server %1 did not accept the password of terminal %2</translation>
    </message>
    <message>
        <source>файл прошивки %1 отвергнут: нарушен или не для этого модуля</source>
        <translation>firmware file %1 refused: damaged or not for this reader</translation>
    </message>
    <message>
        <source>опрос адресов</source>
        <translation>probing addresses</translation>
    </message>
    <message>
        <source>загрузка прошивки, байтов</source>
        <translation>uploading firmware, bytes</translation>
    </message>
    <message>
        <source>%1 за терминалом %2</source>
        <translation>%1 behind terminal %2</translation>
    </message>
    <message>
        <source>%1 на порту %2</source>
        <translation>%1 on port %2</translation>
    </message>
    <message>
        <source>модуль %1: %2</source>
        <translation>reader %1: %2</translation>
    </message>
    <message>
        <source>модуль %1 не ответил на команду %2</source>
        <translation>reader %1 did not answer command %2</translation>
    </message>
    <message>
        <source>модуль %1 отклонил значение %2=%3</source>
        <translation>reader %1 refused the value %2=%3</translation>
    </message>
    <message>
        <source>модуль %1 отклонил команду %2</source>
        <translation>reader %1 refused command %2</translation>
    </message>
    <message>
        <source>терминал %1 не отвечает серверу %2</source>
        <translation>terminal %1 does not answer server %2</translation>
    </message>
    <message>
        <source>терминал %1 не подключен к серверу %2</source>
        <translation>terminal %1 is not connected to server %2</translation>
    </message>
    <message>
        <source>модуль %1 не отвечает: три пустых ответа сервера</source>
        <translation>reader %1 does not answer: three empty answers from the server</translation>
    </message>
    <message>
        <source>терминал %1 уже конфигурируется через сервер %2</source>
        <translation>terminal %1 is already being configured through server %2</translation>
    </message>
    <message>
        <source>ошибка обмена с сервером конфигурирования %1</source>
        <translation>exchange with configuration server %1 failed</translation>
    </message>
    <message>
        <source>порт %1 не открывается</source>
        <translation>port %1 cannot be opened</translation>
    </message>
    <message>
        <source>прочитанная конфигурация модуля %1 не сохраняется как файл</source>
        <translation>the configuration read from reader %1 cannot be saved as a file</translation>
    </message>
    <message>
        <source>файл %1 не записывается: %2</source>
        <translation>file %1 cannot be written: %2</translation>
    </message>
    <message>
        <source>файл %1 не читается: %2</source>
        <translation>file %1 cannot be read: %2</translation>
    </message>
    <message>
        <source>файл %1 не является файлом конфигурации</source>
        <translation>file %1 is not a configuration file</translation>
    </message>
    <message>
        <source>файл %1: %2</source>
        <translation>file %1: %2</translation>
    </message>
    <message>
        <source>модуль %1 хранит %2=%3, записано %4</source>
        <translation>reader %1 keeps %2=%3, %4 was written</translation>
    </message>
    <message>
        <source>файл %1 больше %2 байтов: не прошивка</source>
        <translation>file %1 is larger than %2 bytes: no firmware image</translation>
    </message>
    <message>
        <source>файл %1 не является файлом прошивки</source>
        <translation>file %1 is not a firmware image</translation>
    </message>
    <message>
        <source>прошивка %1 для устройства %2 (вариант %3), модуль %4 — устройство %5</source>
        <translation>firmware %1 is for device %2 (variant %3), reader %4 is device %5</translation>
    </message>
    <message>
        <source>модуль %1 (устройство %2) не принимает прошивку</source>
        <translation>reader %1 (device %2) takes no firmware upload</translation>
    </message>
    <message>
        <source>файл прошивки %1 отвергнут: %2</source>
        <translation>firmware file %1 refused: %2</translation>
    </message>
    <message>
        <source>прошивка %1 устройства %2 не поддерживается devices.db</source>
        <translation>firmware %1 of device %2 is not supported by devices.db</translation>
    </message>
    <message>
        <source>devices.db не читается или повреждён: %1</source>
        <translation>devices.db cannot be read or is damaged: %1</translation>
    </message>
    <message>
        <source>сервер конфигурирования %1 недоступен</source>
        <translation>configuration server %1 cannot be reached</translation>
    </message>
    <message>
        <source>прошивка %1 модуля %2 (устройство %3) не поддерживается devices.db</source>
        <translation>firmware %1 of reader %2 (device %3) is not supported by devices.db</translation>
    </message>
    <message>
        <source>модуль %1 отклонил перезагрузку</source>
        <translation>reader %1 refused the reboot</translation>
    </message>
    <message>
        <source>стандартный вывод не записывается: %1</source>
        <translation>standard output not written: %1</translation>
    </message>
    <message>
        <source>ни один модуль не ответил на порту %1 на скорости %2</source>
        <translation>no reader answered on port %1 at %2 baud</translation>
    </message>
    <message>
        <source>%1 — ссылка в никуда, а не обычный файл</source>
        <translation>%1 is a dangling link, not a regular file</translation>
    </message>
    <message>
        <source>%1 — папка, а не обычный файл</source>
        <translation>%1 is a folder, not a regular file</translation>
    </message>
    <message>
        <source>%1 — устройство или канал, а не обычный файл</source>
        <translation>%1 is a device or a pipe, not a regular file</translation>
    </message>
    <message>
        <source>Подключите следующий считыватель (адрес %1, получит %2)</source>
        <translation>Connect the next reader (address %1, it gets %2)</translation>
    </message>
    <message>
        <source>преобразователь отключен от ПК: запуск ждёт его возвращения</source>
        <translation>the converter was disconnected from the PC: the run waits for it to come back</translation>
    </message>
    <message>
        <source>преобразователь подключен снова: запуск продолжается</source>
        <translation>the converter is connected again: the run goes on</translation>
    </message>
    <message>
        <source>отчёт %1 не записывается: %2</source>
        <translation>report %1 cannot be written: %2</translation>
    </message>
    <message>
        <source>запуск прерван сигналом %1, отчёт записан в %2</source>
        <translation>run ended by signal %1, report written to %2</translation>
    </message>
    <message>
        <source>ни один модуль не ответил на заводском адресе %1 на порту %2</source>
        <translation>no reader answered at the factory address %1 on port %2</translation>
    </message>
    <message>
        <source>адрес %1 занят другим считывателем: пропущен</source>
        <translation>address %1 is taken by another reader: passed over</translation>
    </message>
    <message>
        <source>Снимите с шины считыватель, не прошедший ввод в работу, и подключите следующий (адрес %1, получит %2)</source>
        <translation>Take the reader that failed off the bus and connect the next one (address %1, it gets %2)</translation>
    </message>
</context>
<context>
    <name>CommissionForm</name>
    <message>
        <source>Ввод в работу</source>
        <translation>Commissioning</translation>
    </message>
    <message>
        <source>    Ввод в работу</source>
        <translation>    Commissioning</translation>
    </message>
    <message>
        <source>Шаблон настроек:</source>
        <translation>Settings template:</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Обзор...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Форма как есть</source>
        <translation>The form as it stands</translation>
    </message>
    <message>
        <source>Считыватели:</source>
        <translation>Readers:</translation>
    </message>
    <message>
        <source>Выбранные в таблице: %1</source>
        <translation>Selected in the table: %1</translation>
    </message>
    <message>
        <source>Новые, по одному: назначение адресов</source>
        <translation>New ones, one at a time: address assignment</translation>
    </message>
    <message>
        <source>Заводской адрес и скорость:</source>
        <translation>Factory address and speed:</translation>
    </message>
    <message>
        <source>по</source>
        <translation>to</translation>
    </message>
    <message>
        <source>Новые адреса с:</source>
        <translation>New addresses from:</translation>
    </message>
    <message>
        <source>не обновлять</source>
        <translation>do not update</translation>
    </message>
    <message>
        <source>Прошивка:</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>Примечание:</source>
        <translation>Note:</translation>
    </message>
    <message>
        <source>Начать</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Шаблон настроек</source>
        <translation>Settings template</translation>
    </message>
    <message>
        <source>XML Files (*.xml)</source>
        <translation>XML Files (*.xml)</translation>
    </message>
    <message>
        <source>Файл прошивки</source>
        <translation>Firmware file</translation>
    </message>
    <message>
        <source>Файл шаблона не читается: %1</source>
        <translation>The template file cannot be read: %1</translation>
    </message>
</context>
<context>
    <name>CommissionReport</name>
    <message>
        <source>проверен</source>
        <translation>verified</translation>
    </message>
    <message>
        <source>отличается</source>
        <translation>differs</translation>
    </message>
    <message>
        <source>не настроен</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>не закончен</source>
        <translation>incomplete</translation>
    </message>
    <message>
        <source>не затронут</source>
        <translation>untouched</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Адрес до</source>
        <translation>Address before</translation>
    </message>
    <message>
        <source>Адрес после</source>
        <translation>Address after</translation>
    </message>
    <message>
        <source>Скорость до</source>
        <translation>Speed before</translation>
    </message>
    <message>
        <source>Скорость после</source>
        <translation>Speed after</translation>
    </message>
    <message>
        <source>Устройство</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>Прошивка до</source>
        <translation>Firmware before</translation>
    </message>
    <message>
        <source>Прошивка после</source>
        <translation>Firmware after</translation>
    </message>
    <message>
        <source>Записано</source>
        <translation>Written</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>Отличия или причина</source>
        <translation>Differences or reason</translation>
    </message>
    <message>
        <source>Ответов</source>
        <translation>Answers</translation>
    </message>
    <message>
        <source>Повторов</source>
        <translation>Resends</translation>
    </message>
    <message>
        <source>Ошибок КС</source>
        <translation>Checksum errors</translation>
    </message>
    <message>
        <source>Медиана ответа, мс</source>
        <translation>Median answer, ms</translation>
    </message>
    <message>
        <source>Отчёт о вводе модулей в работу</source>
        <translation>Commissioning report</translation>
    </message>
    <message>
        <source>Начало</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>Конец</source>
        <translation>Ended</translation>
    </message>
    <message>
        <source>Шаблон</source>
        <translation>Template</translation>
    </message>
    <message>
        <source>Режим</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Прошивка</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Версия программы</source>
        <translation>Program version</translation>
    </message>
    <message>
        <source>Примечание</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Пропущены занятые адреса</source>
        <translation>Taken addresses passed over</translation>
    </message>
</context>
<context>
    <name>CommissionReportPdf</name>
    <message>
        <source>Ввод в работу считывателей шины</source>
        <translation>Commissioning of the bus readers</translation>
    </message>
    <message>
        <source>Начало:</source>
        <translation>Started:</translation>
    </message>
    <message>
        <source>Окончание:</source>
        <translation>Ended:</translation>
    </message>
    <message>
        <source>Шаблон:</source>
        <translation>Template:</translation>
    </message>
    <message>
        <source>Режим:</source>
        <translation>Mode:</translation>
    </message>
    <message>
        <source>Версия программы:</source>
        <translation>Program version:</translation>
    </message>
    <message>
        <source>Примечание:</source>
        <translation>Note:</translation>
    </message>
    <message>
        <source>Считыватели:</source>
        <translation>Readers:</translation>
    </message>
    <message>
        <source>%1, проверено %2</source>
        <translation>%1, verified %2</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Устройство</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>Прошивка</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Записано</source>
        <translation>Written</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>Линия</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>ответов %1, повторов %2, ошибок КС %3, медиана %4</source>
        <translation>answers %1, resends %2, checksum errors %3, median %4</translation>
    </message>
    <message>
        <source>%1 мс</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>Не удалось записать отчёт: %1</source>
        <translation>The report could not be written: %1</translation>
    </message>
    <message>
        <source>Прошивка:</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>Пропущены занятые адреса:</source>
        <translation>Taken addresses passed over:</translation>
    </message>
</context>
<context>
    <name>CommissioningPlan</name>
    <message>
        <source>шаблон не является файлом конфигурации</source>
        <translation>the template is no configuration file</translation>
    </message>
    <message>
        <source>значение шаблона не число: %1</source>
        <translation>template value is not a number: %1</translation>
    </message>
    <message>
        <source>адрес шаблона вне диапазона %1..%2: %3</source>
        <translation>template address outside %1..%2: %3</translation>
    </message>
    <message>
        <source>скорость шаблона не из списка %1: %2</source>
        <translation>template speed not in the list %1: %2</translation>
    </message>
    <message>
        <source>значение шаблона меньше 0: %1</source>
        <translation>template value below 0: %1</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>диапазон адресов задаётся как ОТ-ДО внутри %1..%2: %3</source>
        <translation>an address range is FROM-TO within %1..%2: %3</translation>
    </message>
    <message>
        <source>адрес %1 указан дважды: %2</source>
        <translation>address %1 given twice: %2</translation>
    </message>
</context>
<context>
    <name>CommissioningRun</name>
    <message>
        <source>запуск уже идёт</source>
        <translation>a run is under way already</translation>
    </message>
    <message>
        <source>нет связи с модулями</source>
        <translation>no link to the readers</translation>
    </message>
    <message>
        <source>запуск работает только на шине RS-485, не через сервер конфигурирования</source>
        <translation>the run works on the RS-485 bus only, not through the configuration server</translation>
    </message>
    <message>
        <source>преобразователь отключен от ПК</source>
        <translation>the converter is disconnected from the PC</translation>
    </message>
    <message>
        <source>не выбран ни один модуль</source>
        <translation>no reader selected</translation>
    </message>
    <message>
        <source>адрес модуля вне диапазона %1..%2: %3</source>
        <translation>reader address outside %1..%2: %3</translation>
    </message>
    <message>
        <source>скорость модуля %1 не из списка: %2</source>
        <translation>speed of reader %1 not in the list: %2</translation>
    </message>
    <message>
        <source>модуль %1 выбран дважды</source>
        <translation>reader %1 selected twice</translation>
    </message>
    <message>
        <source>заводской адрес вне диапазона %1..%2: %3</source>
        <translation>factory address outside %1..%2: %3</translation>
    </message>
    <message>
        <source>заводская скорость не из списка: %1</source>
        <translation>factory speed not in the list: %1</translation>
    </message>
    <message>
        <source>диапазон адресов вне %1..%2 или пуст: %3-%4</source>
        <translation>address range outside %1..%2 or empty: %3-%4</translation>
    </message>
    <message>
        <source>заводской адрес %1 внутри диапазона %2-%3</source>
        <translation>factory address %1 inside the range %2-%3</translation>
    </message>
    <message>
        <source>файл прошивки %1 не читается: %2</source>
        <translation>firmware file %1 cannot be read: %2</translation>
    </message>
    <message>
        <source>файл %1 не является файлом прошивки</source>
        <translation>file %1 is no firmware file</translation>
    </message>
    <message>
        <source>прошивка %1 устройства %2 не поддерживается devices.db</source>
        <translation>firmware %1 of device %2 is not supported by devices.db</translation>
    </message>
    <message>
        <source>не выбран порт</source>
        <translation>no port selected</translation>
    </message>
    <message>
        <source>порт %1 не открывается</source>
        <translation>port %1 does not open</translation>
    </message>
    <message>
        <source>запуск остановлен</source>
        <translation>run stopped</translation>
    </message>
    <message>
        <source>запуск прерван</source>
        <translation>run abandoned</translation>
    </message>
    <message>
        <source>модуль не отвечает после возврата преобразователя</source>
        <translation>the reader does not answer after the converter came back</translation>
    </message>
    <message>
        <source>соединение закрыто</source>
        <translation>connection closed</translation>
    </message>
    <message>
        <source>модуль не ответил на запрос версии</source>
        <translation>the reader did not answer the version request</translation>
    </message>
    <message>
        <source>прошивка %1 (устройство %2) не поддерживается devices.db</source>
        <translation>firmware %1 (device %2) is not supported by devices.db</translation>
    </message>
    <message>
        <source>шаблон не подходит прошивке %1: %2</source>
        <translation>the template does not fit firmware %1: %2</translation>
    </message>
    <message>
        <source>модуль не отвечает</source>
        <translation>the reader does not answer</translation>
    </message>
    <message>
        <source>модуль не отвечает после перезагрузки: адрес %1, скорость %2</source>
        <translation>the reader does not answer after the reboot: address %1, speed %2</translation>
    </message>
    <message>
        <source>модуль отклонил прошивку %1</source>
        <translation>the reader refused firmware %1</translation>
    </message>
    <message>
        <source>файл прошивки %1 не подходит модулю</source>
        <translation>firmware file %1 does not suit the reader</translation>
    </message>
    <message>
        <source>модуль не отвечает при загрузке прошивки</source>
        <translation>the reader does not answer during the firmware upload</translation>
    </message>
    <message>
        <source>модуль отклонил значение %1</source>
        <translation>the reader refused the value %1</translation>
    </message>
    <message>
        <source>модуль отклонил перезагрузку</source>
        <translation>the reader refused the reboot</translation>
    </message>
    <message>
        <source>модуль не отвечает при записи</source>
        <translation>the reader does not answer during the write</translation>
    </message>
    <message>
        <source>; прошивка обновлена до %1</source>
        <translation>; firmware updated to %1</translation>
    </message>
    <message>
        <source>преобразователь отключен от ПК и не вернулся</source>
        <translation>the converter was disconnected from the PC and did not come back</translation>
    </message>
    <message>
        <source>шаблон не задаёт ни одной настройки, кроме адреса: выбранным модулям нечего записать</source>
        <translation>the template sets nothing but the address: there is nothing to write to the selected readers</translation>
    </message>
</context>
<context>
    <name>DeviceDatabase</name>
    <message>
        <source>Авария модуля</source>
        <translation>Module failure</translation>
    </message>
    <message>
        <source>Был перезапуск</source>
        <translation>Restart occurred</translation>
    </message>
    <message>
        <source>Было</source>
        <translation>Occurred</translation>
    </message>
    <message>
        <source>В норме</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Верна</source>
        <translation>Valid</translation>
    </message>
    <message>
        <source>Включена</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Внешнее питание</source>
        <translation>External power</translation>
    </message>
    <message>
        <source>Вскрытие корпуса</source>
        <translation>Case opening</translation>
    </message>
    <message>
        <source>Вход счётчика</source>
        <translation>Counter input</translation>
    </message>
    <message>
        <source>Выключена</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Выполняется</source>
        <translation>In progress</translation>
    </message>
    <message>
        <source>Выше допустимой</source>
        <translation>Above the limit</translation>
    </message>
    <message>
        <source>Генерация</source>
        <translation>Generation</translation>
    </message>
    <message>
        <source>Есть</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Замкнут</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>Изменены, не сохранены</source>
        <translation>Changed, not saved</translation>
    </message>
    <message>
        <source>Импульсная</source>
        <translation>Pulsed</translation>
    </message>
    <message>
        <source>Импульсный</source>
        <translation>Pulsed</translation>
    </message>
    <message>
        <source>Исправен</source>
        <translation>Working</translation>
    </message>
    <message>
        <source>Исправна</source>
        <translation>Working</translation>
    </message>
    <message>
        <source>Контрольная сумма прошивки</source>
        <translation>Firmware checksum</translation>
    </message>
    <message>
        <source>Короткое замыкание выхода</source>
        <translation>Output short circuit</translation>
    </message>
    <message>
        <source>Напряжение питания</source>
        <translation>Supply voltage</translation>
    </message>
    <message>
        <source>Нарушена</source>
        <translation>Corrupted</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Не выполняется</source>
        <translation>Not running</translation>
    </message>
    <message>
        <source>Не обнаружено</source>
        <translation>Not detected</translation>
    </message>
    <message>
        <source>Не срабатывал</source>
        <translation>Not triggered</translation>
    </message>
    <message>
        <source>Не установлено</source>
        <translation>Not established</translation>
    </message>
    <message>
        <source>Не установлены</source>
        <translation>Not set</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Ниже порога</source>
        <translation>Below the threshold</translation>
    </message>
    <message>
        <source>Обмен в норме</source>
        <translation>Exchange normal</translation>
    </message>
    <message>
        <source>Обнаружен</source>
        <translation>Detected</translation>
    </message>
    <message>
        <source>Обнаружено</source>
        <translation>Detected</translation>
    </message>
    <message>
        <source>Обновление прошивки</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>Обрыв цепи входа</source>
        <translation>Input circuit broken</translation>
    </message>
    <message>
        <source>Основной канал связи</source>
        <translation>Main link</translation>
    </message>
    <message>
        <source>Отключена</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Отключено</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>Ошибка записи</source>
        <translation>Write error</translation>
    </message>
    <message>
        <source>Ошибки обмена</source>
        <translation>Exchange errors</translation>
    </message>
    <message>
        <source>Переполнение счётчика</source>
        <translation>Counter overflow</translation>
    </message>
    <message>
        <source>По событию</source>
        <translation>On event</translation>
    </message>
    <message>
        <source>Подключено</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Подтяжка входа</source>
        <translation>Input pull-up</translation>
    </message>
    <message>
        <source>Подтяжка к земле</source>
        <translation>Pull-down to ground</translation>
    </message>
    <message>
        <source>Подтяжка к питанию</source>
        <translation>Pull-up to supply</translation>
    </message>
    <message>
        <source>Постоянная</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>Постоянный</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>Разомкнут</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Режим генерации</source>
        <translation>Generation mode</translation>
    </message>
    <message>
        <source>Резервный канал связи</source>
        <translation>Backup link</translation>
    </message>
    <message>
        <source>Сохранены</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>Сторожевой таймер</source>
        <translation>Watchdog</translation>
    </message>
    <message>
        <source>Температура платы</source>
        <translation>Board temperature</translation>
    </message>
    <message>
        <source>Установлены</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Часы реального времени</source>
        <translation>Real-time clock</translation>
    </message>
    <message>
        <source>Шина RS-485</source>
        <translation>RS-485 bus</translation>
    </message>
    <message>
        <source>Энергонезависимая память</source>
        <translation>Non-volatile memory</translation>
    </message>
</context>
<context>
    <name>DeviceInterface</name>
    <message>
        <source>&lt;font color=blue&gt;&amp;gt; &lt;/font&gt;</source>
        <translation>&lt;font color=blue&gt;&amp;gt; &lt;/font&gt;</translation>
    </message>
    <message>
        <source>&lt;font color=green&gt;&amp;lt; &lt;/font&gt;</source>
        <translation>&lt;font color=green&gt;&amp;lt; &lt;/font&gt;</translation>
    </message>
    <message>
        <source>Запись конфигурации</source>
        <translation>Writing configuration</translation>
    </message>
    <message>
        <source>Модуль не отвечает на команду.
Продолжить запись конфигурации?</source>
        <translation>The module does not answer the command.
Continue writing the configuration?</translation>
    </message>
    <message>
        <source>Чтение конфигурации</source>
        <translation>Reading configuration</translation>
    </message>
    <message>
        <source>Модуль не отвечает на команду.
Продолжить чтение конфигурации?</source>
        <translation>The module does not answer the command.
Continue reading the configuration?</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Ошибка обмена данными с портом:
преобразователь отключен от ПК</source>
        <translation>Data exchange with the port failed:
the converter is disconnected from the PC</translation>
    </message>
    <message>
        <source>Порт занят другой программой.
Закройте программу использующую порт и повторите подключение.</source>
        <translation>The port is used by another program.
Close the program that uses the port and connect again.</translation>
    </message>
    <message>
        <source>Обновление прошивки</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>Модуль не отвечает на команду.
Продолжить обновление прошивки?</source>
        <translation>The module does not answer the command.
Continue the firmware update?</translation>
    </message>
    <message>
        <source>Команда не отправлена: нет соединения с модулем</source>
        <translation>Command not sent: no connection to the reader</translation>
    </message>
    <message>
        <source>Нет доступа к порту %1.
Добавьте пользователя в группу dialout и войдите в систему заново.</source>
        <translation>No access to the port %1.
Add the user to the group dialout and log in again.</translation>
    </message>
    <message>
        <source>✗ КС</source>
        <translation>✗ checksum</translation>
    </message>
    <message>
        <source>нет ответа (повтор %1 из 3)</source>
        <translation>no answer (resend %1 of 3)</translation>
    </message>
    <message>
        <source>нет ответа</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>Команда не отправлена: более 250 байт данных</source>
        <translation>Command not sent: more than 250 data bytes</translation>
    </message>
    <message>
        <source>Команда не отправлена: ожидаются шестнадцатеричные цифры</source>
        <translation>Command not sent: hexadecimal digits expected</translation>
    </message>
    <message>
        <source>Команда не отправлена: нечётное число цифр, байт — две цифры</source>
        <translation>Command not sent: an odd number of digits, a byte is two digits</translation>
    </message>
    <message>
        <source>Команда не отправлена: код команды — четыре цифры</source>
        <translation>Command not sent: the command code is four digits</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Конфигуратор</source>
        <translation>Configurator</translation>
    </message>
    <message>
        <source>Свернуть</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Переход на сайт разработчика</source>
        <translation>Go to the manufacturer&apos;s website</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Соединение с устройством&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Connect to device&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Локальный поиск устройств</source>
        <translation>Local device search</translation>
    </message>
    <message>
        <source>Записать конфигурацию в модуль</source>
        <translation>Write configuration to the module</translation>
    </message>
    <message>
        <source>Открыть файл конфигурации</source>
        <translation>Open configuration file</translation>
    </message>
    <message>
        <source>Сохранить файл конфигурации</source>
        <translation>Save configuration file</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Удалённое конфигурирование&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Remote configuration&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Проверить наличие обновлений</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <source>Калькулятор статуса</source>
        <translation>Status calculator</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Справка</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>О Программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Консоль</source>
        <translation>Console</translation>
    </message>
    <message>
        <source>Перезагрузить модуль</source>
        <translation>Reboot the module</translation>
    </message>
    <message>
        <source>Нет доступных обновлений</source>
        <translation>No updates available</translation>
    </message>
    <message>
        <source>Данные устройства</source>
        <translation>Device data</translation>
    </message>
    <message>
        <source>Версия прошивки:</source>
        <translation>Firmware version:</translation>
    </message>
    <message>
        <source>Время работы:</source>
        <translation>Uptime:</translation>
    </message>
    <message>
        <source>Счётчик:</source>
        <translation>Counter:</translation>
    </message>
    <message>
        <source>Конфигурация</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>RS485 адрес:</source>
        <translation>RS485 address:</translation>
    </message>
    <message>
        <source>RS485 скорость:</source>
        <translation>RS485 speed:</translation>
    </message>
    <message>
        <source>Состояние генерации:</source>
        <translation>Generation state:</translation>
    </message>
    <message>
        <source>Тип генерации:</source>
        <translation>Generation type:</translation>
    </message>
    <message>
        <source>Состояние подтяжки:</source>
        <translation>Pull-up state:</translation>
    </message>
    <message>
        <source>Соединение</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Порт:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>КОНСОЛЬ:</source>
        <translation>CONSOLE:</translation>
    </message>
    <message>
        <source>Отправить</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Невозможно запустить конфигуратор, нарушена целосность файлов программы. Выполните переустановку конфигуратора.</source>
        <translation>The configurator cannot start: the program files are damaged. Please reinstall the configurator.</translation>
    </message>
    <message>
        <source>Порт закрыт</source>
        <translation>Port closed</translation>
    </message>
    <message>
        <source>Обновить прошивку устройства до версии </source>
        <translation>Update the device firmware to version </translation>
    </message>
    <message>
        <source>Сохранить в файл</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>Писать лог в файл</source>
        <translation>Write log to file</translation>
    </message>
    <message>
        <source>Очистить лог</source>
        <translation>Clear log</translation>
    </message>
    <message>
        <source>Земо</source>
        <translation>Zemo</translation>
    </message>
    <message>
        <source>Отсутствует файл справки.</source>
        <translation>The help file is missing.</translation>
    </message>
    <message>
        <source>Открыть конфигурационный файл</source>
        <translation>Open a configuration file</translation>
    </message>
    <message>
        <source>XML Files (*.xml);;All Files (*.*)</source>
        <translation>XML Files (*.xml);;All Files (*.*)</translation>
    </message>
    <message>
        <source>Ошибка открытия файла</source>
        <translation>Error opening the file</translation>
    </message>
    <message>
        <source>Файл не является файлом конфигурации или поврежден</source>
        <translation>The file is not a configuration file or is damaged</translation>
    </message>
    <message>
        <source>Сохранить конфигурацию</source>
        <translation>Save the configuration</translation>
    </message>
    <message>
        <source>XML Files (*.xml)</source>
        <translation>XML Files (*.xml)</translation>
    </message>
    <message>
        <source>Ошибка сохранения конфигурации</source>
        <translation>Error saving the configuration</translation>
    </message>
    <message>
        <source>Предупреждение</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Версия прошивки модуля не поддерживается конфигуратором</source>
        <translation>The module&apos;s firmware version is not supported by the configurator</translation>
    </message>
    <message>
        <source>Запись конфигурации</source>
        <translation>Writing configuration</translation>
    </message>
    <message>
        <source>Отсутствуют изменения для записи в модуль</source>
        <translation>There are no changes to write to the module</translation>
    </message>
    <message>
        <source>Записать конфигурацию в модуль?</source>
        <translation>Write the configuration to the module?</translation>
    </message>
    <message>
        <source>Имеются не записанные в модуль изменения.
Записать изменения в модуль?</source>
        <translation>There are changes not yet written to the module.
Write the changes to the module?</translation>
    </message>
    <message>
        <source>Сохранить лог</source>
        <translation>Save the log</translation>
    </message>
    <message>
        <source>LOG Files (*.log)</source>
        <translation>LOG Files (*.log)</translation>
    </message>
    <message>
        <source>Ошибка сохранения файла</source>
        <translation>Error saving the file</translation>
    </message>
    <message>
        <source>Сохранить бинарный лог</source>
        <translation>Save the binary log</translation>
    </message>
    <message>
        <source>Ошибка создания файла</source>
        <translation>Error creating the file</translation>
    </message>
    <message>
        <source>Версия прошивки не поддерживается конфигуратором</source>
        <translation>The firmware version is not supported by the configurator</translation>
    </message>
    <message>
        <source>&lt;font color=blue&gt;Доступно обновление прошивки версии &lt;/font&gt;&lt;b&gt;</source>
        <translation>&lt;font color=blue&gt;Firmware update available, version &lt;/font&gt;&lt;b&gt;</translation>
    </message>
    <message>
        <source>Соединения закрыты</source>
        <translation>Connections closed</translation>
    </message>
    <message>
        <source>Поиск устройств</source>
        <translation>Searching for devices</translation>
    </message>
    <message>
        <source>Соединение установлено удаленно</source>
        <translation>Connected remotely</translation>
    </message>
    <message>
        <source>Соединение установлено</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Удаленное считывание конфигурации</source>
        <translation>Reading the configuration remotely</translation>
    </message>
    <message>
        <source>Считывание конфигурации</source>
        <translation>Reading the configuration</translation>
    </message>
    <message>
        <source>Удаленная запись конфигурации</source>
        <translation>Writing the configuration remotely</translation>
    </message>
    <message>
        <source>Модуль не отвечает</source>
        <translation>The module does not answer</translation>
    </message>
    <message>
        <source>Загрузка обновления</source>
        <translation>Downloading the update</translation>
    </message>
    <message>
        <source>Удаленное конфигурирование</source>
        <translation>Remote configuration</translation>
    </message>
    <message>
        <source>Перезагрузка</source>
        <translation>Reboot</translation>
    </message>
    <message>
        <source>Устройство перезагружается...</source>
        <translation>The device is rebooting...</translation>
    </message>
    <message>
        <source>Обновление прошивки...</source>
        <translation>Updating the firmware...</translation>
    </message>
    <message>
        <source>Чтение файла</source>
        <translation>Reading the file</translation>
    </message>
    <message>
        <source>Файл обновления нарушен</source>
        <translation>The update file is damaged</translation>
    </message>
    <message>
        <source>Терминал не подключен к серверу!</source>
        <translation>The terminal is not connected to the server!</translation>
    </message>
    <message>
        <source>Ошибка обмена данными с устройством!</source>
        <translation>Data exchange with the device failed!</translation>
    </message>
    <message>
        <source>Терминал уже конфигурируется!</source>
        <translation>The terminal is already being configured!</translation>
    </message>
    <message>
        <source>Ошибка обмена данными с сервером конфигурирования!</source>
        <translation>Data exchange with the configuration server failed!</translation>
    </message>
    <message>
        <source>Ожидание ответа от сервера</source>
        <translation>Waiting for the server to answer</translation>
    </message>
    <message>
        <source>Обновление конфигуратора</source>
        <translation>Configurator update</translation>
    </message>
    <message>
        <source>Доступно обновление конфигуратора v</source>
        <translation>A configurator update is available: v</translation>
    </message>
    <message>
        <source>&lt;br&gt;Загрузить обновление?</source>
        <translation>&lt;br&gt;Download the update?</translation>
    </message>
    <message>
        <source>Проверка обновлений</source>
        <translation>Update check</translation>
    </message>
    <message>
        <source>На сервере нет доступных обновлений</source>
        <translation>The server has no updates available</translation>
    </message>
    <message>
        <source>Доступна новая версия прошивки и новая версия конфигуратора</source>
        <translation>A new firmware version and a new configurator version are available</translation>
    </message>
    <message>
        <source>Доступна новая версия прошивки</source>
        <translation>A new firmware version is available</translation>
    </message>
    <message>
        <source>Сервер обновлений недоступен</source>
        <translation>The update server is not available</translation>
    </message>
    <message>
        <source>Ошибка обмена данными с сервером</source>
        <translation>Data exchange with the server failed</translation>
    </message>
    <message>
        <source>Обновление прошивки</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source> ?</source>
        <translation> ?</translation>
    </message>
    <message>
        <source>Список изменений</source>
        <translation>List of changes</translation>
    </message>
    <message>
        <source>Прошивка модуля обновлена до версии %1.</source>
        <translation>The reader firmware was updated to version %1.</translation>
    </message>
    <message>
        <source>Неверный пароль терминала.</source>
        <translation>Wrong terminal password.</translation>
    </message>
    <message>
        <source>Сервер удаленного конфигурирования недоступен.</source>
        <translation>The remote configuration server is unreachable.</translation>
    </message>
    <message>
        <source>Модуль отклонил обновление прошивки.</source>
        <translation>The reader refused the firmware update.</translation>
    </message>
    <message>
        <source>Архив обновления поврежден и не может быть установлен.</source>
        <translation>The update archive is damaged and cannot be installed.</translation>
    </message>
    <message>
        <source>Загрузка обновления прервана.</source>
        <translation>The update download was interrupted.</translation>
    </message>
    <message>
        <source>Загруженный файл не удалось сохранить.</source>
        <translation>The downloaded file could not be saved.</translation>
    </message>
    <message>
        <source>Метки времени</source>
        <translation>Timestamps</translation>
    </message>
    <message>
        <source>Не записаны в модуль: %1</source>
        <translation>Not written to the reader: %1</translation>
    </message>
    <message>
        <source>Модуль отклонил записываемое значение.</source>
        <translation>The reader refused the value written.</translation>
    </message>
    <message>
        <source>Подключение к серверу конфигурирования</source>
        <translation>Connecting to the configuration server</translation>
    </message>
    <message>
        <source>Имеются не записанные в модуль изменения.
После установки обновления они будут потеряны. Установить обновление?</source>
        <translation>There are changes not written to the module.
They will be lost when the update is installed. Install the update?</translation>
    </message>
    <message>
        <source>Обновление не подписано производителем. Ничего не изменено.</source>
        <translation>The update is not signed by the manufacturer. Nothing was changed.</translation>
    </message>
    <message>
        <source>Файлы обновления не удалось записать.</source>
        <translation>The update files could not be written.</translation>
    </message>
    <message>
        <source>Не удалось открыть файл справки. Откройте его программой просмотра PDF:
%1</source>
        <translation>The help file could not be opened. Open it with a PDF viewer:
%1</translation>
    </message>
    <message>
        <source>Доступна новая версия конфигуратора v%1. Установите её менеджером пакетов системы.</source>
        <translation>Configurator v%1 is available. Install it with the system&apos;s package manager.</translation>
    </message>
    <message>
        <source>Преобразователь отключен от ПК. Сеанс продолжится, когда он будет подключен снова</source>
        <translation>The converter is unplugged. The session goes on when it is plugged in again</translation>
    </message>
    <message>
        <source>Шина</source>
        <translation>Bus</translation>
    </message>
    <message>
        <source>ШИНА:</source>
        <translation>BUS:</translation>
    </message>
    <message>
        <source>Все скорости</source>
        <translation>All speeds</translation>
    </message>
    <message>
        <source>Искать на каждой скорости списка по очереди</source>
        <translation>Search at every speed of the list in turn</translation>
    </message>
    <message>
        <source>Поиск</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Опросить адреса 1-254</source>
        <translation>Probe addresses 1-254</translation>
    </message>
    <message>
        <source>Наблюдение</source>
        <translation>Watch</translation>
    </message>
    <message>
        <source>Опрашивать найденные считыватели по очереди</source>
        <translation>Poll the readers found in turn</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Сохранить таблицу в файл CSV или JSON</source>
        <translation>Save the table as a CSV or JSON file</translation>
    </message>
    <message>
        <source>Ввод в работу</source>
        <translation>Commissioning</translation>
    </message>
    <message>
        <source>Настроить и проверить считыватели шины по шаблону</source>
        <translation>Configure and check the bus readers with a template</translation>
    </message>
    <message>
        <source>, %1 бод</source>
        <translation>, %1 baud</translation>
    </message>
    <message>
        <source>: адрес %1, найдено %2</source>
        <translation>: address %1, found %2</translation>
    </message>
    <message>
        <source>Наблюдение за шиной: считывателей %1, кругов %2</source>
        <translation>Watching the bus: %1 readers, %2 rounds</translation>
    </message>
    <message>
        <source>, с ошибками %1</source>
        <translation>, with errors %1</translation>
    </message>
    <message>
        <source>Завершить</source>
        <translation>End</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Стоп наблюдения</source>
        <translation>Stop watching</translation>
    </message>
    <message>
        <source>Поиск на всех скоростях</source>
        <translation>Search at all speeds</translation>
    </message>
    <message>
        <source>Поиск на скорости %1 бод</source>
        <translation>Search at %1 baud</translation>
    </message>
    <message>
        <source>Поиск остановлен, найдено считывателей: %1</source>
        <translation>Search stopped, readers found: %1</translation>
    </message>
    <message>
        <source>Поиск завершён, найдено считывателей: %1</source>
        <translation>Search finished, readers found: %1</translation>
    </message>
    <message>
        <source>Наблюдение остановлено после кругов: %1</source>
        <translation>Watch stopped after rounds: %1</translation>
    </message>
    <message>
        <source>Сохранить таблицу шины</source>
        <translation>Save the bus table</translation>
    </message>
    <message>
        <source>CSV (*.csv);;JSON (*.json)</source>
        <translation>CSV (*.csv);;JSON (*.json)</translation>
    </message>
    <message>
        <source>Не удалось сохранить таблицу шины:
%1</source>
        <translation>The bus table could not be saved:
%1</translation>
    </message>
    <message>
        <source>Таблица сохранена: %1</source>
        <translation>Table saved: %1</translation>
    </message>
    <message>
        <source>Ввод в работу приостановлен: преобразователь отключен от ПК</source>
        <translation>Commissioning paused: the converter is disconnected from the PC</translation>
    </message>
    <message>
        <source>Подключите следующий считыватель</source>
        <translation>Connect the next reader</translation>
    </message>
    <message>
        <source>Ввод в работу: считыватель %1, %2</source>
        <translation>Commissioning: reader %1, %2</translation>
    </message>
    <message>
        <source>Ввод в работу завершается после текущего шага</source>
        <translation>Commissioning ends after the current step</translation>
    </message>
    <message>
        <source>Ввод в работу начат</source>
        <translation>Commissioning started</translation>
    </message>
    <message>
        <source>опознание</source>
        <translation>identifying</translation>
    </message>
    <message>
        <source>обновление прошивки</source>
        <translation>updating the firmware</translation>
    </message>
    <message>
        <source>запись настроек</source>
        <translation>writing the settings</translation>
    </message>
    <message>
        <source>перезагрузка</source>
        <translation>rebooting</translation>
    </message>
    <message>
        <source>проверочное чтение</source>
        <translation>reading back</translation>
    </message>
    <message>
        <source>сравнение с шаблоном</source>
        <translation>comparing with the template</translation>
    </message>
    <message>
        <source>Считыватель %1: %2</source>
        <translation>Reader %1: %2</translation>
    </message>
    <message>
        <source>обслужено %1 из %2, проверено %3</source>
        <translation>served %1 of %2, verified %3</translation>
    </message>
    <message>
        <source>обслужено %1, проверено %2</source>
        <translation>served %1, verified %2</translation>
    </message>
    <message>
        <source>Подключите следующий считыватель (адрес %1): он получит адрес %2. Кнопка &quot;Завершить&quot; заканчивает ввод в работу.</source>
        <translation>Connect the next reader (address %1): it gets address %2. The &quot;End&quot; button ends the commissioning.</translation>
    </message>
    <message>
        <source>Ввод в работу не завершён. Прервать его и закрыть программу?
Отчёт об обслуженных считывателях будет сохранён.</source>
        <translation>Commissioning is not finished. Break it off and close the program?
The report of the readers served will be saved.</translation>
    </message>
    <message>
        <source>Ввод в работу завершён: проверено %1 из %2</source>
        <translation>Commissioning finished: %1 of %2 verified</translation>
    </message>
    <message>
        <source>Не удалось сохранить отчёт в папку:
%1</source>
        <translation>The report could not be saved in the folder:
%1</translation>
    </message>
    <message>
        <source>. Отчёт: %1</source>
        <translation>. Report: %1</translation>
    </message>
    <message>
        <source>.
Отчёт сохранён:
%1

Открыть отчёт?</source>
        <translation>.
Report saved:
%1

Open the report?</translation>
    </message>
    <message>
        <source>Не удалось открыть отчёт. Откройте его программой просмотра PDF:
%1</source>
        <translation>The report could not be opened. Open it with a PDF viewer:
%1</translation>
    </message>
    <message>
        <source>Не удалось сохранить отчёт PDF в папку:
%1
Отчёт CSV сохранён:
%2</source>
        <translation>The PDF report could not be saved in the folder:
%1
The CSV report was saved:
%2</translation>
    </message>
    <message>
        <source>
Адреса, где уже отвечает другой считыватель, пропущены: %1.</source>
        <translation>
Addresses where another reader answers already were passed over: %1.</translation>
    </message>
    <message>
        <source>, адреса заняты другими считывателями и пропущены: %1</source>
        <translation>, addresses taken by other readers passed over: %1</translation>
    </message>
    <message>
        <source>Снимите с шины считыватель, не прошедший ввод в работу (адрес %1), и подключите следующий: он получит адрес %2. Кнопка &quot;Завершить&quot; заканчивает ввод в работу.</source>
        <translation>Take the reader that failed (address %1) off the bus and connect the next one: it gets address %2. The &quot;End&quot; button ends the commissioning.</translation>
    </message>
</context>
<context>
    <name>ReloadForm</name>
    <message>
        <source>Перезагрузка</source>
        <translation>Reboot</translation>
    </message>
    <message>
        <source>Перезагрузка терминала</source>
        <translation>Reboot of the terminal</translation>
    </message>
    <message>
        <source>Перезагрузить устройство?</source>
        <translation>Reboot the device?</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>RemoteConnectForm</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>    Подключение к севреру</source>
        <translation>    Connection to the server</translation>
    </message>
    <message>
        <source>IMEI:</source>
        <translation>IMEI:</translation>
    </message>
    <message>
        <source>Пароль:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Подключиться</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не указан пароль терминала</source>
        <translation>The terminal password is not given</translation>
    </message>
</context>
<context>
    <name>SelectDeviceForm</name>
    <message>
        <source>Выбор устройства</source>
        <translation>Device selection</translation>
    </message>
    <message>
        <source>    Выбор устройства</source>
        <translation>    Device selection</translation>
    </message>
    <message>
        <source>Выберите устройство:</source>
        <translation>Choose a device:</translation>
    </message>
    <message>
        <source>Выбрать</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>SettingsForm</name>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>    Настройки</source>
        <translation>    Settings</translation>
    </message>
    <message>
        <source>Опрос статуса устройства</source>
        <translation>Poll the device status</translation>
    </message>
    <message>
        <source>Опрос датчика уровня топлива</source>
        <translation>Poll the fuel level sensor</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Настройки не сохранены в settings.conf и действуют только до закрытия конфигуратора.</source>
        <translation>The settings were not saved to settings.conf and apply only until the configurator is closed.</translation>
    </message>
</context>
<context>
    <name>StatusCalc</name>
    <message>
        <source>Калькулятор статуса</source>
        <translation>Status calculator</translation>
    </message>
    <message>
        <source>    Калькулятор статуса</source>
        <translation>    Status calculator</translation>
    </message>
    <message>
        <source>КАЛЬКУЛЯТОР СТАТУСА</source>
        <translation>STATUS CALCULATOR</translation>
    </message>
    <message>
        <source>Введите код статуса:</source>
        <translation>Enter the status code:</translation>
    </message>
    <message>
        <source>Шеснадцатиричное значение</source>
        <translation>Hexadecimal value</translation>
    </message>
    <message>
        <source>HEX</source>
        <translation>HEX</translation>
    </message>
    <message>
        <source>Десятичное значение</source>
        <translation>Decimal value</translation>
    </message>
    <message>
        <source>DEC</source>
        <translation>DEC</translation>
    </message>
    <message>
        <source>Расшифровать</source>
        <translation>Decode</translation>
    </message>
    <message>
        <source>Обновить текущий статус</source>
        <translation>Refresh the current status</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Параметр</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Событие</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>Не установлено</source>
        <translation>Not established</translation>
    </message>
    <message>
        <source>Не задано</source>
        <translation>Not set</translation>
    </message>
</context>
</TS>
