#pragma once

#include <QByteArray>
#include <QString>

class CVNDeviceHid;

// The outcome of a settings download or upload: success (with the image of
// a download), or the reason it failed.
struct CVNSettingsTransfer
{
    QString error;
    QByteArray image;

    bool ok() const { return error.isEmpty(); }
    static CVNSettingsTransfer failure(const QString& reason)
    {
        CVNSettingsTransfer transfer;
        transfer.error = reason;
        return transfer;
    }
};

// One settings command on the HID command channel: a command word of at
// most 8 characters and a 64-byte argument block, answered by a 64-byte
// block whose text runs up to its first NUL byte.
class CVNHidSettingsLink
{
public:
    struct Answer
    {
        bool read = false; // false: the transfer failed, nothing came back
        QByteArray block;  // the 64 answer bytes
        QString text;      // the block up to its first NUL byte

        // An answer fails when nothing was read or its text holds "error" (any case).
        bool failed() const;
        // The reason of a failed answer, for an error message.
        QString reason() const;
    };

    explicit CVNHidSettingsLink(CVNDeviceHid& device);

    // The block is cut or zero-filled to 64 bytes.
    Answer send(const QString& command, const QByteArray& block = QByteArray());
    // The text NUL-terminated in an otherwise zero block.
    Answer sendText(const QString& command, const QString& text);

private:
    CVNDeviceHid& m_device;
};
