#include "service/systemctl.h"

#include "service/servicelog.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

bool CVNSystemctlResult::accessDenied() const
{
    static const char* const kDeniedTexts[] = {
        "Access denied",
        "Interactive authentication required",
        "Permission denied",
    };
    for (const char* text : kDeniedTexts) {
        if (errorText.contains(QLatin1String(text), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString CVNSystemctl::program()
{
    return QStandardPaths::findExecutable(QStringLiteral("systemctl"));
}

CVNSystemctlResult CVNSystemctl::run(const QStringList& arguments, int timeoutMs)
{
    CVNSystemctlResult result;
    const QString path = program();
    if (path.isEmpty()) {
        qCDebug(lcService) << "systemctl not found";
        return result;
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.setProgram(path);
    process.setArguments(
        QStringList { QStringLiteral("--no-ask-password"), QStringLiteral("--no-pager") } + arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(timeoutMs)) {
        qCWarning(lcService) << "systemctl did not start" << process.errorString();
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
        qCWarning(lcService) << "systemctl did not finish" << arguments;
        process.kill();
        process.waitForFinished(kQueryTimeoutMs);
        return result;
    }
    result.ran = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    result.errorText = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    qCDebug(lcService) << "systemctl" << arguments << result.exitCode << result.output << result.errorText;
    return result;
}

bool CVNSystemctl::managerAvailable()
{
    // "offline" (or nothing at all) means systemctl could not reach systemd;
    // every other state, degraded included, has a manager to talk to.
    const CVNSystemctlResult result = run({ QStringLiteral("is-system-running") });
    if (!result.ran)
        return false;
    const QString state = result.output.section(QLatin1Char('\n'), 0, 0).trimmed();
    return !state.isEmpty() && state != QLatin1String("offline");
}
