#include "service/servicecontroller.h"

#include "service/servicelog.h"
#include "service/serviceunit.h"
#include "service/systemctl.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace
{

bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// 0 on success, errno otherwise.
int writeWholeFile(const QString& path, const QByteArray& contents)
{
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    qsizetype written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.constData() + written, size_t(contents.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(QFile::encodeName(path).constData());
            return error;
        }
        written += n;
    }
    return ::close(fd) == 0 ? 0 : errno;
}

bool userExists(const QString& user)
{
    return user.isEmpty() || ::getpwnam(user.toLocal8Bit().constData()) != nullptr;
}

} // namespace

CVNServiceController::CVNServiceController(const QString& name, const QString& description)
    : m_name(name)
    , m_description(description)
{
}

QString CVNServiceController::unitName() const
{
    return m_name + QLatin1String(".service");
}

QString CVNServiceController::unitDirectory()
{
    const QString overridden = qEnvironmentVariable("CORVANE_SYSTEMD_UNIT_DIR");
    return overridden.isEmpty() ? QStringLiteral("/etc/systemd/system") : overridden;
}

QString CVNServiceController::unitFilePath() const
{
    return QDir(unitDirectory()).filePath(unitName());
}

QStringList CVNServiceController::packagedUnitDirectories()
{
    const QString overridden = qEnvironmentVariable("CORVANE_SYSTEMD_PACKAGE_UNIT_DIR");
    if (!overridden.isEmpty())
        return { overridden };
    return { QStringLiteral("/usr/lib/systemd/system"), QStringLiteral("/lib/systemd/system") };
}

QString CVNServiceController::packagedUnitPath() const
{
    for (const QString& directory : packagedUnitDirectories()) {
        const QString path = QDir(directory).filePath(unitName());
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

bool CVNServiceController::hasWrittenUnit() const
{
    return QFileInfo(unitFilePath()).isFile();
}

bool CVNServiceController::packagedUnitEnabled() const
{
    // is-enabled reads the unit files; it answers without a running systemd.
    return !packagedUnitPath().isEmpty()
        && CVNSystemctl::run({ QStringLiteral("is-enabled"), unitName() }).succeeded();
}

QString CVNServiceController::programPath()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

bool CVNServiceController::isInstalled() const
{
    return hasWrittenUnit() || packagedUnitEnabled();
}

bool CVNServiceController::isRunning() const
{
    // Anything between "starting" and "stopped" counts as running.
    const CVNSystemctlResult result = CVNSystemctl::run({ QStringLiteral("is-active"), unitName() });
    static const QStringList kRunningStates = {
        QStringLiteral("active"),
        QStringLiteral("activating"),
        QStringLiteral("reloading"),
        QStringLiteral("deactivating"),
    };
    return result.ran && kRunningStates.contains(result.output.section(QLatin1Char('\n'), 0, 0).trimmed());
}

int CVNServiceController::install(const QString& account, const QString& password)
{
    Q_UNUSED(password)
    if (isInstalled())
        return AlreadyInstalled;
    if (!CVNSystemctl::managerAvailable()) {
        qCWarning(lcService) << "install: systemd is not running";
        return Error;
    }
    std::optional<QString> user = CVNServiceUnit::userForAccount(account);
    if (!user || !userExists(*user)) {
        qCWarning(lcService) << "install: unknown account" << account;
        return Error;
    }
    if (!packagedUnitPath().isEmpty()) {
        // The package's unit runs the service as the package's own user.
        if (!user->isEmpty()) {
            qCWarning(lcService) << "install: the packaged unit" << packagedUnitPath()
                                 << "runs as its own user, not as" << *user;
            return Error;
        }
        return registerUnit();
    }
    // Without an account named, the package's service user when there is
    // one, else a user systemd lends while the service runs.
    if (user->isEmpty() && userExists(QLatin1String(CVNServiceUnit::kServiceUser)))
        user = QLatin1String(CVNServiceUnit::kServiceUser);
    const int written = writeUnit(*user);
    if (written != Done)
        return written;
    const int registered = registerUnit();
    if (registered != Done) {
        // Leave nothing half-registered behind.
        ::unlink(QFile::encodeName(unitFilePath()).constData());
        (void)CVNSystemctl::run({ QStringLiteral("daemon-reload") });
    }
    return registered;
}

int CVNServiceController::writeUnit(const QString& user) const
{
    const std::optional<QString> execStart = CVNServiceUnit::execStart(programPath());
    if (!execStart) {
        qCWarning(lcService) << "install: unusable program path" << programPath();
        return Error;
    }
    const QString text
        = CVNServiceUnit::text(m_description, *execStart, user, CVNServiceUnit::isUnderHome(programPath()));
    const int error = writeWholeFile(unitFilePath(), text.toUtf8());
    if (error == 0)
        return Done;
    qCWarning(lcService) << "install: cannot write" << unitFilePath() << std::strerror(error);
    return isPermissionError(error) ? AccessDenied : Error;
}

int CVNServiceController::registerUnit() const
{
    for (const QStringList& arguments : { QStringList { QStringLiteral("daemon-reload") },
             QStringList { QStringLiteral("enable"), unitName() } }) {
        const CVNSystemctlResult result = CVNSystemctl::run(arguments);
        if (!result.succeeded())
            return result.accessDenied() ? AccessDenied : Error;
    }
    return Done;
}

int CVNServiceController::removeUnitFile() const
{
    if (::unlink(QFile::encodeName(unitFilePath()).constData()) == 0 || errno == ENOENT)
        return Done;
    const int error = errno;
    qCWarning(lcService) << "uninstall: cannot remove" << unitFilePath() << std::strerror(error);
    return isPermissionError(error) ? AccessDenied : Error;
}

int CVNServiceController::uninstall()
{
    if (isRunning())
        return StillRunning;
    if (!CVNSystemctl::managerAvailable()) {
        qCWarning(lcService) << "uninstall: systemd is not running";
        return Error;
    }
    const CVNSystemctlResult disabled = CVNSystemctl::run({ QStringLiteral("disable"), unitName() });
    if (!disabled.succeeded())
        return disabled.accessDenied() ? AccessDenied : Error;
    // The package's unit belongs to the package: disabled, it stays.
    if (!hasWrittenUnit())
        return Done;
    const int removed = removeUnitFile();
    if (removed != Done)
        return removed;
    if (!CVNSystemctl::run({ QStringLiteral("daemon-reload") }).succeeded())
        qCWarning(lcService)
            << "uninstall: daemon-reload failed; systemd forgets the unit on its next reload";
    return Done;
}

int CVNServiceController::start(const QStringList& arguments)
{
    Q_UNUSED(arguments)
    if (!isInstalled())
        return NotInstalled;
    if (isRunning())
        return AlreadyInState;
    if (!CVNSystemctl::managerAvailable())
        return ManagerMissing;
    const CVNSystemctlResult result
        = CVNSystemctl::run({ QStringLiteral("start"), unitName() }, CVNSystemctl::kCommandTimeoutMs);
    if (!result.succeeded())
        qCWarning(lcService) << "starting" << result.errorText;
    return result.succeeded() ? Done : Error;
}

int CVNServiceController::stop()
{
    if (!isInstalled())
        return NotInstalled;
    // Without systemd "not running" would be a guess, not an answer.
    if (!CVNSystemctl::managerAvailable())
        return ManagerMissing;
    if (!isRunning())
        return AlreadyInState;
    const CVNSystemctlResult result
        = CVNSystemctl::run({ QStringLiteral("stop"), unitName() }, CVNSystemctl::kCommandTimeoutMs);
    if (!result.succeeded()) {
        qCWarning(lcService) << "stopping" << result.errorText;
        return Error;
    }
    return waitUntilStopped() ? Done : Error;
}

bool CVNServiceController::waitUntilStopped() const
{
    for (int attempt = 0; attempt < kStopPollCount; ++attempt) {
        if (attempt > 0)
            QThread::msleep(kStopPollIntervalMs);
        if (!isRunning())
            return true;
    }
    return false;
}
