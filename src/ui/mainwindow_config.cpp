// The configuration document behind the form, the change document, files, read and write.
//
// A configuration is a small XML document: the root "configuration" with one element per
// reader setting whose attribute "param" holds the value. The address is kept as hexadecimal
// digits (26 is "1a"), the speed as decimal text, the three choices as decimal item indexes;
// that is what the write sequence expects.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "buswatch.h"
#include "configurationfile.h"
#include "deviceinterface.h"

#include <QApplication>
#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QSaveFile>
#include <QSignalMapper>
#include <QTextStream>
#include <QStyle>
#include <QTimer>

namespace {
QStringList comboTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

const char *const kAddressElement = "rs485_addr_220";
const char *const kSpeedElement = "rs485_speed_220";
const char *const kGenStateElement = "gen_stat_220";
const char *const kPullUpElement = "pull_up_220";
const char *const kGenModeElement = "gen_mode_220";
} // namespace

void MainWindow::readConfig_220()
{
    // Connecting ends the bus watch; the port it opened closes with it.
    m_busWatch->stop();
    // The link connects to what the panel shows, whatever an earlier connection or error left
    // in it.
    if (!m_device->isPortOpen()) {
        m_device->setPortName(ui->rs485_220_port->currentText());
        const int speed = ui->rs485_220_speed->currentText().toInt();
        if (speed > 0)
            m_device->setBaudRate(speed);
        m_device->setDeviceAddress(ui->rs485_selAddr->currentText());
    }
    // The same button disconnects: only a port that has just been opened goes on to a read.
    if (!m_device->togglePort())
        return;
    startRead();
}

void MainWindow::startRead()
{
    m_statusTimer->stop();
    m_changeDoc.clear();
    m_changesInWrite.clear();
    m_configLoaded = false;
    clearForm();
    ui->writeConfigButton->setEnabled(false);
    emit startReadConfiguration_220();
}

void MainWindow::resumeSession()
{
    if (commissionRunning())
        return; // the commissioning run's
    // The converter is back: the reader is read again, and the changes not yet written stay
    // changes, shown over what it gives.
    qDebug().noquote() << "/C:16"
                       << "Session resumed, reading the reader again";
    m_statusTimer->stop();
    m_configLoaded = false;
    clearForm();
    ui->writeConfigButton->setEnabled(false);
    emit startReadConfiguration_220();
}

void MainWindow::clearForm()
{
    // A reader read now shows only what it gives: nothing of the reader before stays in the
    // form, in the documents behind it or in the status calculator's mask.
    const bool blocked = m_fieldMapper->blockSignals(true);
    ui->setAddrLine->clear();
    for (QComboBox *box :
         {ui->setBaudComboBox, ui->genComboBox, ui->genTypeComboBox, ui->pullUpComboBox})
        box->setCurrentIndex(-1);
    m_fieldMapper->blockSignals(blocked);
    m_configDoc.clear();
    m_readerDoc.clear();
    m_statusBitMask = 0;
    markPendingFields();
}

void MainWindow::readXmlBuffer(QBuffer *buffer)
{
    if (commissionRunning())
        return; // the commissioning run's
    if (buffer && !m_configLoaded && buffer->open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "/C:14"
                           << "Configuration read OK";
        m_configDoc.clear();
        if (m_configDoc.setContent(buffer)) {
            qDebug() << "XML file loaded";
            // The read sequence writes the address in decimal; the document keeps it the way
            // the form and the write sequence use it, so that a saved file writes it back right.
            const QDomElement root = m_configDoc.documentElement();
            QDomElement addressElement = root.firstChildElement(QLatin1String(kAddressElement));
            bool ok = false;
            const int address = addressElement.attribute(QStringLiteral("param")).toInt(&ok, 10);
            if (ok)
                addressElement.setAttribute(QStringLiteral("param"), QString::number(address, 16));
            ui->writeConfigButton->setEnabled(false);
            updateGui(root);
            // What the reader holds: an edit back to one of these values is no change.
            m_readerDoc = m_configDoc.cloneNode(true).toDocument();
            // Changes kept over a resumed session show over the reader's values.
            if (!m_changeDoc.isNull()) {
                const QDomElement changes = m_changeDoc.documentElement();
                updateGui(changes);
                for (QDomElement e = changes.firstChildElement(); !e.isNull();
                     e = e.nextSiblingElement()) {
                    removeElement(m_configDoc, e.tagName());
                    addElement(m_configDoc, e.tagName(),
                               {QStringLiteral("param"), e.attribute(QStringLiteral("param"))});
                }
            }
            // What was read is where the reader answers: the link comes back there after a
            // reboot. Values typed in the form or opened from a file get there only by a write.
            if (ok && address > 0)
                m_device->setRememberedAddress(address);
            const int speed = root.firstChildElement(QLatin1String(kSpeedElement))
                                      .attribute(QStringLiteral("param"))
                                      .toInt(&ok, 10);
            if (ok && speed > 0)
                m_device->setRememberedSpeed(speed);
        }
        buffer->close();
    }
    m_titleShowsDevice = true;
    ui->mainTitleWindow->setText(windowTitleText());
    markPendingFields();
    setGlobalState(3);
    if (m_reportFirmwareAfterRead && m_state == 3) {
        m_reportFirmwareAfterRead = false;
        m_prompter.information(this, tr("Обновление прошивки"),
                               tr("Прошивка модуля обновлена до версии %1.").arg(fw_ver));
    }
}

void MainWindow::updateGui(QDomNode node)
{
    qDebug() << "Start create or update GUI";
    for (QDomElement element = node.firstChildElement(); !element.isNull();
         element = element.nextSiblingElement()) {
        const QString name = element.tagName();
        const QString value = element.attribute(QStringLiteral("param"));
        qDebug().noquote() << "TagName: " << name << "TagData: " << value;
        if (name == QLatin1String(kAddressElement)) {
            // Hexadecimal in the document, decimal in the field.
            bool ok = false;
            const int address = value.toInt(&ok, 16);
            ui->setAddrLine->setText(ok ? QString::number(address) : value);
        } else if (name == QLatin1String(kSpeedElement)) {
            ui->setBaudComboBox->setCurrentText(value);
        } else if (name == QLatin1String(kGenStateElement)) {
            ui->genComboBox->setCurrentIndex(value.toInt());
        } else if (name == QLatin1String(kPullUpElement)) {
            ui->pullUpComboBox->setCurrentIndex(value.toInt());
        } else if (name == QLatin1String(kGenModeElement)) {
            ui->genTypeComboBox->setCurrentIndex(value.toInt());
        }
    }
}

void MainWindow::updateVersionInfo(VERSION_INFO_220 info)
{
    ui->label_220_fw->setText(info.fwVer);
}

void MainWindow::updateUpTimeInfo_220(UPTIME_INFO_220 info)
{
    ui->label_220_rt->setText(QString::number(info.uptime));
}

void MainWindow::updateInputInfo_220(INPUT_STAT_220 info)
{
    ui->label_220_count->setText(QString::number(info.value));
}

void MainWindow::changeConfig(int id)
{
    const auto [name, value] = fieldValue(id);
    if (name.isEmpty())
        return;
    // A value equal to the reader's is no change (focus in and out of a field, or an edit
    // taken back): nothing to write, and no reboot for it.
    const QString readerValue = m_readerDoc.documentElement()
                                        .firstChildElement(name)
                                        .attribute(QStringLiteral("param"), QString());
    const bool readerHasIt = !m_readerDoc.documentElement().firstChildElement(name).isNull();
    if (readerHasIt && readerValue == value) {
        removeElement(m_changeDoc, name);
        removeElement(m_configDoc, name);
        addElement(m_configDoc, name, {QStringLiteral("param"), value});
        if (m_changeDoc.documentElement().firstChildElement().isNull())
            m_changeDoc.clear();
    } else {
        setParameter(name, {QStringLiteral("param"), value});
    }
    markPendingFields();
    ui->saveFileButton->setEnabled(true);
}

QPair<QString, QString> MainWindow::fieldValue(int id) const
{
    QString name;
    QString value;
    switch (id) {
    case 0: {
        // Only a written address reaches the link, with the reboot that ends the write.
        const int address = ui->setAddrLine->text().toInt();
        name = QLatin1String(kAddressElement);
        value = QString::number(address, 16);
        break;
    }
    case 1:
        name = QLatin1String(kSpeedElement);
        value = ui->setBaudComboBox->currentText();
        break;
    case 2:
        name = QLatin1String(kGenStateElement);
        value = QString::number(ui->genComboBox->currentIndex());
        break;
    case 3:
        name = QLatin1String(kPullUpElement);
        value = QString::number(ui->pullUpComboBox->currentIndex());
        break;
    case 4:
        name = QLatin1String(kGenModeElement);
        value = QString::number(ui->genTypeComboBox->currentIndex());
        break;
    default:
        break;
    }
    return {name, value};
}

void MainWindow::takeTypedFields()
{
    // The address field counts when the field loses the focus, which a click on a button that
    // takes no focus never makes happen: the write takes what the field shows.
    const QString typed = ui->setAddrLine->text();
    if (!typed.isEmpty() && ui->setAddrLine->hasAcceptableInput()) {
        const QString value = QString::number(typed.toInt(), 16);
        const QString recorded = m_configDoc.documentElement()
                                         .firstChildElement(QLatin1String(kAddressElement))
                                         .attribute(QStringLiteral("param"));
        if (value != recorded)
            changeConfig(0);
    }
}

QString MainWindow::settingName(const QString &element) const
{
    // The form's own label for the setting, without its colon.
    const QLabel *label = nullptr;
    if (element == QLatin1String(kAddressElement))
        label = ui->label_28;
    else if (element == QLatin1String(kSpeedElement))
        label = ui->label_29;
    else if (element == QLatin1String(kGenStateElement))
        label = ui->label_23;
    else if (element == QLatin1String(kGenModeElement))
        label = ui->label_24;
    else if (element == QLatin1String(kPullUpElement))
        label = ui->label_25;
    if (!label)
        return element;
    QString text = label->text().trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

void MainWindow::markPendingFields()
{
    // Every setting whose change is not yet in the reader is marked in the form.
    const QList<QPair<QWidget *, const char *>> fields {
            {ui->setAddrLine, kAddressElement},    {ui->setBaudComboBox, kSpeedElement},
            {ui->genComboBox, kGenStateElement},   {ui->pullUpComboBox, kPullUpElement},
            {ui->genTypeComboBox, kGenModeElement}};
    const QDomElement changes = m_changeDoc.documentElement();
    const QDomElement inWrite = m_changesInWrite.documentElement();
    for (const auto &field : fields) {
        const bool pending = !changes.firstChildElement(QLatin1String(field.second)).isNull()
                             || !inWrite.firstChildElement(QLatin1String(field.second)).isNull();
        if (field.first->property("pending").toBool() == pending)
            continue;
        field.first->setProperty("pending", pending);
        field.first->style()->unpolish(field.first);
        field.first->style()->polish(field.first);
    }
}

void MainWindow::writeFinished(const QStringList &notTaken, bool refused)
{
    if (commissionRunning())
        return; // the commissioning run's
    // Every value the reader did not take stays a change, unless the engineer changed that
    // field again while the write ran; the values it took are the reader's now.
    const QDomElement sent = m_changesInWrite.documentElement();
    for (QDomElement element = sent.firstChildElement(); !element.isNull();
         element = element.nextSiblingElement()) {
        const QString name = element.tagName();
        const QString value = element.attribute(QStringLiteral("param"));
        if (notTaken.contains(name)) {
            if (m_changeDoc.documentElement().firstChildElement(name).isNull())
                addElement(m_changeDoc, name, {QStringLiteral("param"), value});
        } else if (!m_readerDoc.isNull()) {
            removeElement(m_readerDoc, name);
            addElement(m_readerDoc, name, {QStringLiteral("param"), value});
        }
    }
    m_changesInWrite.clear();
    // An edit made while the write ran that equals what the reader holds now is no change: it
    // would only ask to write, and reboot the reader, for nothing.
    const QDomElement held = m_readerDoc.documentElement();
    QDomElement change = m_changeDoc.documentElement().firstChildElement();
    while (!change.isNull()) {
        const QDomElement next = change.nextSiblingElement();
        const QDomElement value = held.firstChildElement(change.tagName());
        if (!value.isNull()
            && value.attribute(QStringLiteral("param")) == change.attribute(QStringLiteral("param")))
            m_changeDoc.documentElement().removeChild(change);
        change = next;
    }
    if (!m_changeDoc.isNull() && m_changeDoc.documentElement().firstChildElement().isNull())
        m_changeDoc.clear();
    markPendingFields();
    if (!m_changeDoc.isNull() && m_configLoaded && m_state != 5)
        ui->writeConfigButton->setEnabled(true);
    // Told while there is a reader to tell it about; a connection that went has said so.
    if (notTaken.isEmpty() || !m_device->hasSession())
        return;
    QStringList names;
    for (const QString &name : notTaken)
        names << settingName(name);
    QString text = tr("Не записаны в модуль: %1").arg(names.join(QStringLiteral(", ")));
    if (refused)
        text = tr("Модуль отклонил записываемое значение.") + QLatin1Char('\n') + text;
    m_prompter.warning(this, tr("Запись конфигурации"), text);
}

void MainWindow::removeElement(QDomDocument &doc, const QString &name)
{
    qDebug().noquote() << "Del element: " << name;
    QDomElement root = doc.documentElement();
    const QDomElement element = root.firstChildElement(name);
    if (!element.isNull())
        root.removeChild(element);
}

void MainWindow::addElement(QDomDocument &doc, const QString &name, const QStringList &attributes)
{
    qDebug() << "Add element";
    if (doc.isNull()) {
        doc.appendChild(
                doc.createProcessingInstruction(QStringLiteral("xml"),
                                                QStringLiteral(
                                                        "version=\"1.0\" encoding=\"UTF-8\"")));
        doc.appendChild(doc.createElement(QStringLiteral("configuration")));
    }
    QDomElement element = doc.createElement(name);
    for (int i = 0; i + 1 < attributes.size(); i += 2)
        element.setAttribute(attributes.at(i), attributes.at(i + 1));
    doc.documentElement().appendChild(element);
}

void MainWindow::setParameter(const QString &name, const QStringList &attributes)
{
    // An edit while the session waits for its converter is kept for the write after its return.
    if (m_configLoaded && m_state != 5 && m_device->hasSession())
        ui->writeConfigButton->setEnabled(true);
    // A changed element moves to the end of both documents.
    removeElement(m_changeDoc, name);
    removeElement(m_configDoc, name);
    addElement(m_changeDoc, name, attributes);
    addElement(m_configDoc, name, attributes);
}

void MainWindow::openFileSlot()
{
    m_statusTimer->stop();
    const FileRequest request = fileRequest(FileRequest::Open, tr("Открыть конфигурационный файл"),
                                            QString(), tr("XML Files (*.xml);;All Files (*.*)"));
    const QString name = m_prompter.fileName(request);

    QFile file(name);
    if (!name.isEmpty() && file.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "Open file: " << name;
        // Parsed into fresh documents: a foreign, damaged or oversized file leaves the loaded
        // configuration and the pending changes as they were.
        QDomDocument config;
        QDomDocument changes;
        bool accepted = false;
        if (file.size() > ConfigurationFile::MaxBytes)
            qDebug().noquote() << "/C:12"
                               << QStringLiteral("Configuration file refused, %1 bytes: %2")
                                          .arg(file.size())
                                          .arg(name);
        else
            accepted = ConfigurationFile::parse(file.readAll(), &config, &changes);
        // A value the form could not have produced is not written into a reader either.
        if (accepted && !ConfigurationFile::valuesFit(config, formLimits())) {
            qDebug().noquote() << "/C:12"
                               << "Configuration file refused, a value outside the form's: "
                               << name;
            accepted = false;
        }
        if (accepted) {
            m_configDoc = config;
            m_changeDoc = changes;
            qDebug() << "Configuration file loaded OK!";
            // The form shows what the reader holds where the file is silent, and the file's
            // values, which go to the next write, everywhere else: no earlier edit stays in a
            // field without being a change.
            m_fieldMapper->blockSignals(true);
            if (!m_readerDoc.isNull())
                updateGui(m_readerDoc.documentElement());
            updateGui(m_configDoc.documentElement());
            m_fieldMapper->blockSignals(false);
            markPendingFields();
            if (m_configLoaded && m_state == 3 && !m_changeDoc.isNull() && m_device->hasSession())
                ui->writeConfigButton->setEnabled(true);
            ui->saveFileButton->setEnabled(true);
        } else {
            m_prompter.critical(this, tr("Ошибка открытия файла"),
                                tr("Файл не является файлом конфигурации или поврежден"));
        }
        file.close();
    }
    getStatusInfo();
}

ConfigurationFile::ValueLimits MainWindow::formLimits() const
{
    ConfigurationFile::ValueLimits limits;
    limits.speeds = comboTexts(ui->setBaudComboBox);
    if (limits.speeds.isEmpty())
        limits.speeds = m_device->baudList();
    limits.genStates = ui->genComboBox->count();
    limits.pullUps = ui->pullUpComboBox->count();
    limits.genModes = ui->genTypeComboBox->count();
    return limits;
}

void MainWindow::saveFileSlot()
{
    m_statusTimer->stop();
    const FileRequest request = fileRequest(FileRequest::Save, tr("Сохранить конфигурацию"),
                                            QStringLiteral("config_zemo220.xml"),
                                            tr("XML Files (*.xml)"));
    const QString name = m_prompter.fileName(request);

    if (!name.isEmpty()) {
        // Written beside the target and renamed over it only when complete, so a failed save
        // never leaves a truncated file where a good one was.
        bool saved = false;
        const QByteArray bytes = m_configDoc.isNull() ? QByteArray()
                                                      : ConfigurationFile::serialize(m_configDoc);
        if (!m_configDoc.isNull() && bytes.isEmpty())
            qDebug().noquote() << "/C:12"
                               << "Configuration not saved: it would not open again";
        QSaveFile file(name);
        if (!bytes.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            saved = file.write(bytes) == bytes.size() && file.commit();
        if (!saved)
            m_prompter.critical(this, tr("Ошибка"), tr("Ошибка сохранения конфигурации"));
    }
    getStatusInfo();
}

bool MainWindow::fillConfigBuffer()
{
    if (!m_configBuffer->open(QIODevice::ReadWrite))
        return false;
    m_configBuffer->buffer().clear();
    m_configBuffer->seek(0);
    if (!m_changeDoc.isNull())
        m_configBuffer->write(m_changeDoc.toByteArray(1));
    // Kept until the write ends: with its reboot they are in the reader, otherwise they are
    // changes again.
    m_changesInWrite = m_changeDoc;
    m_changeDoc = QDomDocument();
    m_configBuffer->close();
    return true;
}

void MainWindow::writeConfig()
{
    if (!m_fwSupported) {
        m_prompter.warning(this, tr("Предупреждение"),
                           tr("Версия прошивки модуля не поддерживается конфигуратором"));
        return;
    }
    takeTypedFields();
    if (m_changeDoc.toString(1).isEmpty()) {
        m_prompter.information(this, tr("Запись конфигурации"),
                               tr("Отсутствуют изменения для записи в модуль"));
        return;
    }
    // One write at a time: the one asked for waits its turn in the link or runs.
    if (!m_changesInWrite.isNull())
        return;
    const Prompt::Button answer
            = m_prompter.question(this, tr("Запись конфигурации"),
                                  tr("Записать конфигурацию в модуль?"));
    if (answer == Prompt::No) {
        // The question ran the event loop: connections closed meanwhile are not shown as ready.
        if (m_state != 0)
            setGlobalState(3);
        return;
    }
    if (answer != Prompt::Yes)
        return;
    // A status read on the bus makes the write wait its turn in the link; a connection closed
    // while the question was open makes the link refuse it, and the changes stay.
    waitEndReadStatus();
    if (fillConfigBuffer()) {
        ui->writeConfigButton->setEnabled(false);
        emit startWriteConfiguration(m_configBuffer);
    }
}

void MainWindow::on_closeMainWindow_clicked()
{
    if (!commissionAllowsClose())
        return;
    if (m_state == 3)
        takeTypedFields();
    // A write on its way (waiting for the bus, or running) holds changes too: closing now
    // would leave the reader half written.
    const bool writing = !m_changesInWrite.isNull();
    if ((!m_changeDoc.toString(1).isEmpty() && m_state == 3) || writing) {
        const Prompt::Button answer = m_prompter.question(
                this, tr("Предупреждение"),
                tr("Имеются не записанные в модуль изменения.\nЗаписать изменения в модуль?"));
        if (answer == Prompt::Yes) {
            m_statusTimer->stop();
            // The application quits when the reader reports its reboot after the write: the
            // one on its way, or the one asked for now. The question ran the event loop: the
            // write on its way may have ended meanwhile, with nothing left to write (the
            // program ends now), or the reader may have gone.
            if (!m_changesInWrite.isNull()) {
                m_closeAfterWrite = true;
                return;
            }
            if (writing && m_changeDoc.toString(1).isEmpty()) {
                QApplication::closeAllWindows();
                return;
            }
            if (m_state == 3 && fillConfigBuffer()) {
                m_closeAfterWrite = true;
                emit startWriteConfiguration(m_configBuffer);
            }
        } else if (answer == Prompt::No) {
            QApplication::closeAllWindows();
        }
        return;
    }
    QApplication::closeAllWindows();
}
