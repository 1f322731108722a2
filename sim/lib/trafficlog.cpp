#include "trafficlog.h"

namespace corvanesim {

bool CVNTrafficLog::open(const QString& path, QString* error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        *error = QStringLiteral("cannot open traffic file %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

void CVNTrafficLog::append(const QString& line)
{
    if (!m_file.isOpen())
        return;
    m_file.write(line.toUtf8() + '\n');
    m_file.flush();
}

}  // namespace corvanesim
