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
        <source>Модуль отклонил записываемое значение.</source>
        <translation>The module rejected the value being written.</translation>
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
