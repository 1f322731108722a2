#pragma once

#include "cli/commandlinecontext.h"
#include "cli/commandlineexecuter.h"
#include "cli/pendingoption.h"
#include "service/servicecontroller.h"

#include <QObject>
#include <QStringList>
#include <QTextStream>

#include <memory>

class QCoreApplication;
class CVNApplicationClient;

// The command-line tool's service commands (install, uninstall, start,
// terminate, version, help). Options it does not know go to the client
// application, which sends them to the running service.
class CVNServiceClient : public QObject, public CVNCommandLineContext
{
    Q_OBJECT

public:
    static constexpr const char* kReleaseName = "Linden";

    // The process exit code: what became of the options.
    enum ExitCode : int {
        ExitDone = 0,           // every option was carried out
        ExitNotExecuted = 1,    // an option is unknown or was not carried out
        ExitFailed = 4,         // an option failed (the option result Error)
        ExitMalformed = -2,     // the command line is malformed (status 254)
        ExitInstallFailed = -1, // install or uninstall failed (status 255)
    };
    // The exit codes as --help lists them.
    static QString exitCodesHelp();

    // `client` is not owned and must outlive this object.
    CVNServiceClient(const QString& name, const QString& description, CVNApplicationClient* client,
        QObject* parent = nullptr);
    ~CVNServiceClient() override;

    // The one service client of the process, or null.
    static CVNServiceClient* instance();

    // Executes the options of `arguments` (the program name first); the
    // process exit code (ExitCode): the first failure decides it.
    [[nodiscard]] int run(const QStringList& arguments);

    // "<name> version 1.1.0 (<build>) (<release>) (Linux-<architecture>)"
    QString versionText() const;

    // CVNCommandLineContext
    void consumeOptions(int& result, CVNPendingOptionList& options) override;
    void helpTable(int& result, CVNHelpTable& table) override;
    void version(int& result, QString& text) override;
    QTextStream& output() override { return m_output; }

    CVNServiceController& controller() { return m_controller; }
    int exitCode() const { return m_exitCode; }

public slots:
    // Offers the pending options to the "Service" executer, then to the
    // client application, until one has to wait or they are done.
    void consumeOptions();

private:
    void addOptions();
    void optionInstall(int& result, const QStringList& values);
    void optionUninstall(int& result, const QStringList& values);
    void optionStart(int& result, const QStringList& values);
    void optionTerminate(int& result, const QStringList& values);
    void optionVersion(int& result, const QStringList& values);
    void optionHelp(int& result, const QStringList& values);
    void reportControl(int& result, int outcome, bool starting);

    void clientOptionsFinished(int result);
    void resumeAfterAnswer();
    void takeClientResult(int result);
    void requeue(const QString& name);
    void scheduleConsume();
    void quit();
    void print(const QString& text);
    QString serviceMessage(const QString& tail) const;

    QString m_name;
    QString m_description;
    CVNServiceController m_controller;
    CVNApplicationClient* m_client;
    CVNCommandLineExecuter m_executer;
    CVNPendingOptionList m_pending;
    QTextStream m_output;
    int m_exitCode = 0;
    std::unique_ptr<QCoreApplication> m_application;
    std::vector<QByteArray> m_argumentData;
    std::vector<char*> m_argv;
    int m_argc = 0;
};
