#pragma once

#include <QString>

#include <optional>

// The systemd unit that registers the service: its text and the checks on
// what goes into it. The account and the program path come from the command
// line and the file system, so nothing reaches the unit file unchecked (a
// newline would add a directive of the caller's choice).
class CVNServiceUnit
{
public:
    // Longest account name accepted for User= (the usual login name limit).
    static constexpr int kMaxAccountLength = 32;
    // Longest program path written into ExecStart=.
    static constexpr int kMaxProgramPathLength = 4096;
    // The system user the package makes for the service (in group plugdev).
    static constexpr const char* kServiceUser = "corvane";

    // The user the service runs as. An empty result means "no account of
    // the caller's choice" (the system account): empty account,
    // "LocalSystem" or anything ending in "\LocalSystem". A domain part
    // before the last backslash (".\", "HOST\") is dropped. std::nullopt
    // when the name is not a valid account name.
    [[nodiscard]] static std::optional<QString> userForAccount(const QString& account);

    // "<program> -e" with the program quoted and escaped for a unit file;
    // std::nullopt when the path is empty, relative, too long or holds
    // control characters.
    [[nodiscard]] static std::optional<QString> execStart(const QString& programPath);

    // The whole unit file, sandboxed. `execStart` must come from
    // execStart(). An empty `user` makes systemd lend the service a user of
    // its own while it runs. A program under a home folder keeps the homes
    // readable.
    static QString text(
        const QString& description, const QString& execStart, const QString& user, bool programUnderHome = false);
    // Whether the path lies where ProtectHome=yes would hide it.
    static bool isUnderHome(const QString& programPath);

private:
    static QString escapeSpecifiers(QString value);
};
