// The settings flash of a controller: the configuration (its stored
// registers) as the firmware moves it in 64-byte blocks, its length, key
// and settings version, and the flash commands "sdefault", "ssave" and
// "serase". Veil firmware (every product but 20) moves blocks with
// "sbb", "sbl", "sbk", "sbg<i>", "sbs<i>", "sbe"; Tarso firmware (product
// 20) with "sbsb0000", "sbss0000", "sbsr<offset>", "sbse0000" to read and
// "sblb0000", "sblw<offset>", "sblt0000", "sble" to load, answering "Wait"
// for a while before it verifies and applies a loaded configuration.
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace corvanesim {

class CVNRegisterTable;

class CVNSettingsFlash {
public:
    static constexpr quint16 TarsoProductId = 20;
    static constexpr int BlockSize = 64;
    static constexpr qint64 MaxLength = 1024 * 1024;
    static constexpr int DefaultWaits = 3;
    static constexpr int MaxWaits = 1000000000;

    CVNSettingsFlash(quint16 productId, quint16 release, CVNRegisterTable* registers);

    // A settings command of this controller: true, with the 64 answer bytes,
    // when the word is one; false leaves the word to the register table.
    bool exchange(const QString& word, const QByteArray& block, QByteArray* answer);

    // The words a setup may preset: "sversion" (settings version text),
    // "sbl" (configuration length in bytes; also the Tarso's size), "sbk"
    // (key), "swait" (how many "Wait" answers each of the Tarso's two
    // finishing steps gives).
    bool isSetupWord(const QString& word) const;
    [[nodiscard]] bool preset(const QString& word, const QString& value, QString* error);
    [[nodiscard]] bool value(const QString& word, QString* out) const;

    // A reboot: a configuration saved to flash becomes live again, an erased
    // flash brings the factory defaults; a flash never touched changes nothing.
    void reboot();

    // The configuration as the controller holds it now, cut or zero-filled
    // to the configuration length.
    QByteArray configuration() const;

private:
    enum class FlashState { Untouched, Saved, Erased };

    bool present() const { return m_present; }
    bool isCommand(const QString& word) const;
    QString veil(const QString& word, const QByteArray& block, QByteArray* raw);
    QString tarso(const QString& word, const QByteArray& block, QByteArray* raw);
    QString close(const QString& argument);
    QString verifyLoad() const;
    QString finishLoad();
    // A block number ("sbg12") or byte offset ("sbsr0064") after the stem;
    // -1 when malformed or beyond the configuration's blocks.
    int blockIndex(const QString& word, int stemLength, bool offset) const;
    int blockCount() const;
    QStringList storedWords() const;
    QByteArray encode() const;
    // Checks every line before any register changes; an error text or empty.
    QString apply(const QByteArray& configuration);
    void restoreDefaults();

    quint16 m_productId;
    bool m_present;
    CVNRegisterTable* m_registers;
    QString m_version;
    qint64 m_length;
    QString m_key;
    int m_waits = DefaultWaits;

    bool m_readOpen = false;  // a read transfer ("sbb", "sbsb0000") runs
    bool m_writeOpen = false;  // a write transfer ("sbb", "sblb0000") runs
    QByteArray m_snapshot;  // what reads return
    QByteArray m_incoming;  // what writes fill
    QSet<int> m_received;
    int m_verifyWaits = 0;
    int m_loadWaits = 0;

    FlashState m_flashState = FlashState::Untouched;
    QByteArray m_flash;
};

}  // namespace corvanesim
