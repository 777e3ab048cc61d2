#include "commands220.h"

#include <QStringList>

namespace {
// Items of a saved read document that the reader does not take back.
const QStringList &refusedElements()
{
    static const QStringList names {"fw_ver",   "upd_ver",  "boot_ver", "app_key",
                                    "app_skey", "net_skey", "ser_num",  "dev_eui"};
    return names;
}
} // namespace

WriteStep220 writeStepFor(const QString &element, const QString &param)
{
    WriteStep220 step;
    if (element == QLatin1String("rs485_speed_220")) {
        const qint32 speed = param.toInt();
        const quint32 bits = static_cast<quint32>(speed);
        step.kind = WriteStep220::Send;
        step.code = Cmd220::WriteSpeed;
        step.data.append(char(bits >> 24));
        step.data.append(char(bits >> 16));
        step.data.append(char(bits >> 8));
        step.data.append(char(bits));
        return step;
    }

    quint16 code = 0;
    if (element == QLatin1String("rs485_addr_220"))
        code = Cmd220::WriteAddress;
    else if (element == QLatin1String("gen_stat_220"))
        code = Cmd220::WriteGenState;
    else if (element == QLatin1String("pull_up_220"))
        code = Cmd220::WritePullUp;
    else if (element == QLatin1String("gen_mode_220"))
        code = Cmd220::WriteGenMode;

    if (code != 0) {
        step.kind = WriteStep220::Send;
        step.code = code;
        step.data = QByteArray::fromHex(param.toLatin1());
    } else if (refusedElements().contains(element)) {
        step.kind = WriteStep220::Refused;
    }
    return step;
}
