-- The device database shipped beside the configurator as "devices.db".
-- Built from this file at build time; edit here, never the generated file.
--
-- zemo<device id>: one row per firmware range of a reader model. Column 0 is the range
-- "lowest-highest" (a single version has no "-"), column 1 the firmware group, which names the
-- group table below. Versions are compared part by part as numbers and the reader's parts run
-- to 99: a range ends at x.y.99, so that 1.1.10 lies inside 1.0.0-1.1.99 and no release falls
-- between two ranges. A group that is named here and has no table makes the file damaged.
--
-- Group tables: column 0 is a read command the firmware answers (decimal; NULL on rows that only
-- carry form data), column 1 the page it belongs to, column 2 a form element list
-- "<name>;<item>,<item>,..." where an item may carry a note after ':' that the form leaves out.
-- The read sequence sends the commands from the last row to the first.
--
-- statusBits: bit number of the reader's 32-bit status word, parameter name, text for the
-- bit cleared, text for the bit set.

PRAGMA foreign_keys = OFF;
BEGIN TRANSACTION;

CREATE TABLE zemo220 (
    fwRange TEXT,
    fwGroup TEXT
);
INSERT INTO zemo220 VALUES ('1.0.0-1.1.99', 'zemo220_base');
INSERT INTO zemo220 VALUES ('1.2.0-1.4.99', 'zemo220_uptime');

-- Older firmware: no uptime counter (0x0700).
CREATE TABLE zemo220_base (
    cmd INTEGER,
    page TEXT,
    elements TEXT
);
INSERT INTO zemo220_base VALUES (769, 'config', NULL);   -- 0x0301 RS-485 address and speed
INSERT INTO zemo220_base VALUES (1539, 'config', NULL);  -- 0x0603 generation and pull-up
INSERT INTO zemo220_base VALUES (1280, 'status', NULL);  -- 0x0500 input counter
INSERT INTO zemo220_base VALUES (NULL, 'config',
    'setBaudComboBox;2400,4800,9600:по умолчанию,19200,38400,57600,115200');
INSERT INTO zemo220_base VALUES (NULL, 'config', 'genComboBox;Выключена,Включена');
INSERT INTO zemo220_base VALUES (NULL, 'config',
    'genTypeComboBox;Постоянная:выход включён всё время,Импульсная:меандр 1 Гц');
INSERT INTO zemo220_base VALUES (NULL, 'config', 'pullUpComboBox;Отключена,Подтяжка к питанию');
INSERT INTO zemo220_base VALUES (NULL, 'status', 'statusBitMask;63');

-- Current firmware: adds the uptime counter and a third generation type.
CREATE TABLE zemo220_uptime (
    cmd INTEGER,
    page TEXT,
    elements TEXT
);
INSERT INTO zemo220_uptime VALUES (769, 'config', NULL);   -- 0x0301 RS-485 address and speed
INSERT INTO zemo220_uptime VALUES (1539, 'config', NULL);  -- 0x0603 generation and pull-up
INSERT INTO zemo220_uptime VALUES (1280, 'status', NULL);  -- 0x0500 input counter
INSERT INTO zemo220_uptime VALUES (1792, 'status', NULL);  -- 0x0700 uptime
INSERT INTO zemo220_uptime VALUES (NULL, 'config',
    'setBaudComboBox;2400,4800,9600,19200:по умолчанию,38400,57600,115200');
INSERT INTO zemo220_uptime VALUES (NULL, 'config', 'genComboBox;Выключена,Включена');
INSERT INTO zemo220_uptime VALUES (NULL, 'config',
    'genTypeComboBox;Постоянная:выход включён всё время,Импульсная:меандр 1 Гц,По событию:включение при срабатывании входа');
INSERT INTO zemo220_uptime VALUES (NULL, 'config',
    'pullUpComboBox;Отключена,Подтяжка к питанию,Подтяжка к земле');
INSERT INTO zemo220_uptime VALUES (NULL, 'status', 'statusBitMask;2148466943');

-- Model 200: the same RS-485 commands as the model 220; its firmware is updated from the
-- configurator (the upload commands 0x0A00 to 0x0A02 are not read commands and are not listed).
CREATE TABLE zemo200 (
    fwRange TEXT,
    fwGroup TEXT
);
INSERT INTO zemo200 VALUES ('1.0.0-1.9.99', 'zemo200_base');

CREATE TABLE zemo200_base (
    cmd INTEGER,
    page TEXT,
    elements TEXT
);
INSERT INTO zemo200_base VALUES (769, 'config', NULL);   -- 0x0301 RS-485 address and speed
INSERT INTO zemo200_base VALUES (1539, 'config', NULL);  -- 0x0603 generation and pull-up
INSERT INTO zemo200_base VALUES (1280, 'status', NULL);  -- 0x0500 input counter
INSERT INTO zemo200_base VALUES (1792, 'status', NULL);  -- 0x0700 uptime
INSERT INTO zemo200_base VALUES (NULL, 'config',
    'setBaudComboBox;2400,4800,9600,19200:по умолчанию,38400,57600,115200');
INSERT INTO zemo200_base VALUES (NULL, 'config', 'genComboBox;Выключена,Включена');
INSERT INTO zemo200_base VALUES (NULL, 'config',
    'genTypeComboBox;Постоянная:выход включён всё время,Импульсная:меандр 1 Гц');
INSERT INTO zemo200_base VALUES (NULL, 'config', 'pullUpComboBox;Отключена,Подтяжка к питанию');
INSERT INTO zemo200_base VALUES (NULL, 'status', 'statusBitMask;3135');

CREATE TABLE statusBits (
    bit INTEGER,
    name TEXT,
    cleared TEXT,
    isSet TEXT
);
INSERT INTO statusBits VALUES (0, 'Напряжение питания', 'В норме', 'Ниже порога');
INSERT INTO statusBits VALUES (1, 'Вход счётчика', 'Разомкнут', 'Замкнут');
INSERT INTO statusBits VALUES (2, 'Основной канал связи', 'Исправен', 'Не установлено');
INSERT INTO statusBits VALUES (3, 'Генерация', 'Выключена', 'Включена');
INSERT INTO statusBits VALUES (4, 'Подтяжка входа', 'Отключена', 'Включена');
INSERT INTO statusBits VALUES (5, 'Шина RS-485', 'Обмен в норме', 'Ошибки обмена');
INSERT INTO statusBits VALUES (6, 'Настройки', 'Сохранены', 'Изменены, не сохранены');
INSERT INTO statusBits VALUES (7, 'Сторожевой таймер', 'Не срабатывал', 'Был перезапуск');
INSERT INTO statusBits VALUES (8, 'Температура платы', 'В норме', 'Выше допустимой');
INSERT INTO statusBits VALUES (9, 'Переполнение счётчика', 'Нет', 'Было');
INSERT INTO statusBits VALUES (10, 'Обновление прошивки', 'Не выполняется', 'Выполняется');
INSERT INTO statusBits VALUES (11, 'Контрольная сумма прошивки', 'Верна', 'Нарушена');
INSERT INTO statusBits VALUES (12, 'Часы реального времени', 'Установлены', 'Не установлены');
INSERT INTO statusBits VALUES (13, 'Энергонезависимая память', 'Исправна', 'Ошибка записи');
INSERT INTO statusBits VALUES (14, 'Вскрытие корпуса', 'Не обнаружено', 'Обнаружено');
INSERT INTO statusBits VALUES (15, 'Внешнее питание', 'Подключено', 'Отключено');
INSERT INTO statusBits VALUES (16, 'Режим генерации', 'Постоянный', 'Импульсный');
INSERT INTO statusBits VALUES (17, 'Короткое замыкание выхода', 'Нет', 'Обнаружено');
INSERT INTO statusBits VALUES (18, 'Обрыв цепи входа', 'Нет', 'Обнаружен');
INSERT INTO statusBits VALUES (19, 'Резервный канал связи', 'Исправен', 'Не установлено');
INSERT INTO statusBits VALUES (31, 'Авария модуля', 'Нет', 'Есть');

-- Lists kept for other models; this configurator does not show them.
CREATE TABLE gprsList (
    name TEXT,
    apn TEXT,
    user TEXT,
    password TEXT,
    dns TEXT
);
CREATE TABLE gpsList (
    name TEXT,
    protocol TEXT,
    speed TEXT,
    note TEXT
);

COMMIT;
