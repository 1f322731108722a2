// The --traffic file: one line per command exchange, flushed per line so that
// a reader sees each exchange as soon as it happened.
#pragma once

#include <QFile>
#include <QString>

namespace corvanesim {

class CVNTrafficLog {
public:
    [[nodiscard]] bool open(const QString& path, QString* error);
    void append(const QString& line);

private:
    QFile m_file;
};

}  // namespace corvanesim
