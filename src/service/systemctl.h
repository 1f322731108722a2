#pragma once

#include <QString>
#include <QStringList>

// What one call of the `systemctl` program gave back.
struct CVNSystemctlResult {
    bool ran = false; // the program was found, started and finished in time
    int exitCode = -1;
    QString output; // standard output, trimmed
    QString errorText; // standard error, trimmed

    bool succeeded() const { return ran && exitCode == 0; }
    // systemd or polkit refused the caller.
    bool accessDenied() const;
};

// Runs the `systemctl` found on PATH. Never asks for a password: a caller
// without the right gets "access denied" instead of a prompt.
class CVNSystemctl
{
public:
    // Bounds for one call: queries answer at once, start and stop wait for
    // the service (a notify service may take up to systemd's start timeout).
    static constexpr int kQueryTimeoutMs = 10000;
    static constexpr int kCommandTimeoutMs = 120000;

    // The absolute path of `systemctl`, empty when PATH has none.
    static QString program();
    [[nodiscard]] static CVNSystemctlResult run(
        const QStringList& arguments, int timeoutMs = kQueryTimeoutMs);
    // systemctl exists and reaches a running systemd.
    static bool managerAvailable();
};
