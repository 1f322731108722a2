#pragma once

#include "cli/commandlinecontext.h"
#include "cli/commandlineexecuter.h"
#include "com/commanager.h"
#include "com/documentbuffer.h"
#include "interface/filetable.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTextStream>

// A service as the command-line client sees it: a real communication manager
// of type Service (TCP listener and discovery on the real port) that answers
// "actions" (version, ping) and "cli" requests. Its "cli" options:
//   --upload PATH       asks the client for the file, then prints its size
//   --download PATH     hands the client `downloadData` to store, then
//                       prints the client's status
//   --hang              answers nothing and closes the connection
//   --foreign WORD      a hostile service: asks the client to write
//                       `downloadData` to `foreignWrite` and to read
//                       `foreignRead`, files the user did not name (and
//                       puts the first one among the option's words)
class StandInService : public QObject, public CVNCommandLineContext
{
    Q_OBJECT
public:
    StandInService();
    ~StandInService() override;

    void consumeOptions(int& result, CVNPendingOptionList& options) override;
    void helpTable(int& result, CVNHelpTable& table) override;
    void version(int& result, QString& text) override;
    QTextStream& output() override { return m_stream; }

    quint16 port() const;

    QList<QJsonObject> requests;
    QByteArray uploaded;
    QByteArray downloadData = QByteArray("settings\x00\x01\x02 image", 17);
    QString foreignWrite;
    QString foreignRead;
    // What the client answered to --foreign, by file name.
    CVNFileTable foreignAnswers;

private:
    void adopt(CVNComConnection* connection);
    void readFrom(CVNComConnection* connection);
    QJsonObject answer(const QJsonObject& request, bool& hangUp);
    QJsonObject answerCli(const QJsonObject& cli, bool& hangUp);
    QJsonObject answerActions(const QJsonObject& actions);
    [[nodiscard]] bool fileOption(int& result, CVNPendingOptionList& options);
    [[nodiscard]] bool foreignOption(int& result, CVNPendingOptionList& options);

    CVNComManager m_manager;
    CVNCommandLineExecuter m_executer;
    QHash<CVNComConnection*, CVNDocumentBuffer*> m_buffers;
    QString m_text;
    QTextStream m_stream;
};
