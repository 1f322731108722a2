#pragma once

// A stand-in `systemctl` for tests: a shell script put first on PATH that
// records every call and plays a tiny systemd. Its state lives in files:
//   active        the unit's state for is-active (default "inactive");
//                 start writes "active", stop writes "inactive" unless
//                 the file "stop.keep" exists
//   system        the answer of is-system-running (default "running")
//   enabled       present while the unit is enabled (enable writes it,
//                 disable removes it), which is-enabled answers
//   VERB.rc       makes VERB fail with that exit code, printing VERB.err
//                 to standard error
//   calls         one line per call, options (--...) left out
// The unit directory is a temporary folder too (CORVANE_SYSTEMD_UNIT_DIR),
// and so is the folder of the unit a package installs
// (CORVANE_SYSTEMD_PACKAGE_UNIT_DIR), empty unless placePackagedUnit().

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class StandInSystemctl
{
public:
    StandInSystemctl()
    {
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("bin"));
        root.mkpath(QStringLiteral("state"));
        root.mkpath(QStringLiteral("units"));
        root.mkpath(QStringLiteral("packaged"));
        writeScript(root.filePath(QStringLiteral("bin/systemctl")));
        m_savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(binDir()) + ':' + m_savedPath);
        qputenv("CORVANE_SYSTEMD_UNIT_DIR", QFile::encodeName(unitDir()));
        qputenv("CORVANE_SYSTEMD_PACKAGE_UNIT_DIR", QFile::encodeName(packagedUnitDir()));
        qputenv("CORVANE_TEST_SYSTEMCTL_STATE", QFile::encodeName(stateDir()));
    }
    ~StandInSystemctl()
    {
        qputenv("PATH", m_savedPath);
        qunsetenv("CORVANE_SYSTEMD_UNIT_DIR");
        qunsetenv("CORVANE_SYSTEMD_PACKAGE_UNIT_DIR");
        qunsetenv("CORVANE_TEST_SYSTEMCTL_STATE");
    }
    StandInSystemctl(const StandInSystemctl&) = delete;
    StandInSystemctl& operator=(const StandInSystemctl&) = delete;

    QString binDir() const { return m_dir.filePath(QStringLiteral("bin")); }
    QString stateDir() const { return m_dir.filePath(QStringLiteral("state")); }
    QString unitDir() const { return m_dir.filePath(QStringLiteral("units")); }
    QString unitFile() const { return unitDir() + QStringLiteral("/CorvaneService.service"); }
    QString packagedUnitDir() const { return m_dir.filePath(QStringLiteral("packaged")); }
    QString packagedUnitFile() const { return packagedUnitDir() + QStringLiteral("/CorvaneService.service"); }

    void set(const QString& file, const QByteArray& contents) const
    {
        QFile f(stateDir() + QLatin1Char('/') + file);
        if (f.open(QIODevice::WriteOnly))
            f.write(contents + '\n');
    }
    void fail(const QString& verb, int exitCode, const QByteArray& errorText = QByteArray()) const
    {
        set(verb + QStringLiteral(".rc"), QByteArray::number(exitCode));
        set(verb + QStringLiteral(".err"), errorText);
    }
    void setActive(const QByteArray& state) const { set(QStringLiteral("active"), state); }
    void placeUnit() const
    {
        QFile f(unitFile());
        if (f.open(QIODevice::WriteOnly))
            f.write("[Service]\nExecStart=/usr/bin/CorvaneService -e\n");
    }
    // The unit as the Debian package installs it, not enabled.
    void placePackagedUnit() const
    {
        QFile::copy(QStringLiteral(CORVANE_SOURCE_DIR "/packaging/CorvaneService.service"), packagedUnitFile());
    }
    bool enabled() const { return QFile::exists(stateDir() + QStringLiteral("/enabled")); }
    QStringList calls() const
    {
        QFile f(stateDir() + QStringLiteral("/calls"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The calls that change something, without the queries.
    QStringList actions() const { return calls().filter(QRegularExpression(QStringLiteral("^(?!is-)"))); }
    void clearCalls() const { QFile::remove(stateDir() + QStringLiteral("/calls")); }

private:
    static void writeScript(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write(R"SH(#!/bin/sh
PATH=/usr/bin:/bin
state="$CORVANE_TEST_SYSTEMCTL_STATE"
args=""
for a in "$@"; do case "$a" in --*) ;; *) args="$args${args:+ }$a" ;; esac; done
echo "$args" >> "$state/calls"
verb=${args%% *}
if [ -f "$state/$verb.rc" ]; then
  [ -f "$state/$verb.err" ] && cat "$state/$verb.err" >&2
  exit "$(cat "$state/$verb.rc")"
fi
case "$verb" in
  is-system-running)
    if [ -f "$state/system" ]; then cat "$state/system"; else echo running; fi ;;
  is-active)
    s=inactive; [ -f "$state/active" ] && s=$(cat "$state/active")
    echo "$s"; [ "$s" = active ] || exit 3 ;;
  is-enabled)
    if [ -f "$state/enabled" ]; then echo enabled; else echo disabled; exit 1; fi ;;
  enable) echo enabled > "$state/enabled" ;;
  disable) rm -f "$state/enabled" ;;
  start) echo active > "$state/active" ;;
  stop) [ -f "$state/stop.keep" ] || echo inactive > "$state/active" ;;
esac
exit 0
)SH");
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
};
