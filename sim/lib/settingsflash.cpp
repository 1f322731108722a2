#include "settingsflash.h"

#include "registercatalog.h"
#include "registertable.h"

#include <QCryptographicHash>

namespace corvanesim {

namespace {

const char* const Ok = "ok";
const char* const NoTransfer = "error: no block transfer";
const char* const BadBlock = "error: block out of range";

// Words that start something rather than hold a setting stay out of the configuration.
const QStringList ActionWords = {QStringLiteral("dtune"), QStringLiteral("foilh")};

qint64 defaultLength(quint16 productId, quint16 release)
{
    qint64 base = 1000;
    switch (productId) {
    case 4:
        base = 936;
        break;
    case 12:
        base = 872;
        break;
    case 20:
        base = 2000;
        break;
    case 32:
        base = 1128;
        break;
    default:
        break;
    }
    return base + 8 * (release & 0xFF);
}

QString defaultKey(quint16 productId, quint16 release)
{
    const QByteArray seed = QByteArrayLiteral("corvane-settings-layout-") + QByteArray::number(productId) + '-'
                            + QByteArray::number(release, 16);
    return QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex().left(8).toUpper());
}

QByteArray textBlock(const QString& text)
{
    QByteArray block = text.toLatin1().left(CVNSettingsFlash::BlockSize);
    block.append(QByteArray(CVNSettingsFlash::BlockSize - block.size(), '\0'));
    return block;
}

QString blockText(const QByteArray& block)
{
    const int end = block.indexOf('\0');
    return QString::fromLatin1(end < 0 ? block : block.left(end));
}

bool parseCount(const QString& text, qint64 maximum, qint64* value)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    *value = text.toLongLong();
    return *value <= maximum;
}

}  // namespace

CVNSettingsFlash::CVNSettingsFlash(quint16 productId, quint16 release, CVNRegisterTable* registers)
    : m_productId(productId),
      m_present(release >= FullCommandSetRelease),
      m_registers(registers),
      m_version((productId == TarsoProductId ? QStringLiteral("1.") : QStringLiteral("2."))
                + QString::number(release & 0xFF, 16)),
      m_length(defaultLength(productId, release)),
      m_key(defaultKey(productId, release))
{
}

bool CVNSettingsFlash::isSetupWord(const QString& word) const
{
    return m_present
           && (word == QLatin1String("sversion") || word == QLatin1String("sbl") || word == QLatin1String("sbk")
               || word == QLatin1String("swait"));
}

bool CVNSettingsFlash::preset(const QString& word, const QString& value, QString* error)
{
    if (word == QLatin1String("sversion")) {
        m_version = value.left(BlockSize);
        return true;
    }
    if (word == QLatin1String("sbk")) {
        m_key = value.left(BlockSize / 2);
        return true;
    }
    qint64 number = 0;
    if (word == QLatin1String("sbl")) {
        if (!parseCount(value, MaxLength, &number)) {
            *error = QStringLiteral("sbl takes a byte count from 0 to %1").arg(MaxLength);
            return false;
        }
        m_length = number;
        return true;
    }
    if (word == QLatin1String("swait")) {
        if (!parseCount(value, MaxWaits, &number)) {
            *error = QStringLiteral("swait takes a count from 0 to %1").arg(MaxWaits);
            return false;
        }
        m_waits = int(number);
        return true;
    }
    *error = QStringLiteral("unknown word \"%1\"").arg(word);
    return false;
}

bool CVNSettingsFlash::value(const QString& word, QString* out) const
{
    if (!isSetupWord(word))
        return false;
    if (word == QLatin1String("sversion"))
        *out = m_version;
    else if (word == QLatin1String("sbk"))
        *out = m_key;
    else if (word == QLatin1String("sbl"))
        *out = QString::number(m_length);
    else
        *out = QString::number(m_waits);
    return true;
}

int CVNSettingsFlash::blockCount() const
{
    const int blocks = int((m_length + BlockSize - 1) / BlockSize);
    // The Tarso firmware always keeps (and hands out) a first block.
    return m_productId == TarsoProductId ? qMax(1, blocks) : blocks;
}

QStringList CVNSettingsFlash::storedWords() const
{
    QStringList result;
    for (const QString& word : m_registers->words()) {
        const RegisterDef* def = m_registers->definition(word);
        if (def->writable && def->source == RegisterSource::Stored && def->kind != RegisterKind::Function
            && !ActionWords.contains(word))
            result.append(word);
    }
    return result;
}

QByteArray CVNSettingsFlash::encode() const
{
    QByteArray text;
    for (const QString& word : storedWords()) {
        QString value;
        (void)m_registers->value(word, &value);
        text += word.toLatin1() + '=' + value.toLatin1() + '\n';
    }
    return text;
}

QByteArray CVNSettingsFlash::configuration() const
{
    QByteArray bytes = encode().left(int(m_length));
    bytes.append(QByteArray(int(m_length) - bytes.size(), '\0'));
    return bytes;
}

QString CVNSettingsFlash::apply(const QByteArray& configuration)
{
    QByteArray text = configuration;
    const int end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    // A line cut off by the configuration's length is not a setting.
    text.truncate(text.lastIndexOf('\n') + 1);
    const QStringList words = storedWords();
    QList<QPair<QString, QString>> settings;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        const int equals = line.indexOf('=');
        const QString word = QString::fromLatin1(line.left(equals));
        const RegisterDef* def = m_registers->definition(word);
        QString stored;
        QString error;
        if (equals < 0 || !words.contains(word) || !def
            || !normaliseValue(*def, QString::fromLatin1(line.mid(equals + 1)), &stored, &error))
            return QStringLiteral("error: invalid configuration");
        settings.append({word, stored});
    }
    for (const auto& setting : settings) {
        QString error;
        (void)m_registers->preset(setting.first, setting.second, &error);
    }
    return QString();
}

void CVNSettingsFlash::restoreDefaults()
{
    for (const QString& word : storedWords()) {
        QString error;
        (void)m_registers->preset(word, m_registers->definition(word)->initial, &error);
    }
}

void CVNSettingsFlash::reboot()
{
    m_readOpen = m_writeOpen = false;
    if (m_flashState == FlashState::Saved)
        (void)apply(m_flash);
    else if (m_flashState == FlashState::Erased)
        restoreDefaults();
}

int CVNSettingsFlash::blockIndex(const QString& word, int stemLength, bool offset) const
{
    const QString digits = word.mid(stemLength);
    // Veil numbers carry no leading zeros; Tarso offsets at least four digits.
    if (digits.isEmpty() || (offset ? digits.size() < 4 : digits.size() > 1 && digits.startsWith(QLatin1Char('0'))))
        return -1;
    qint64 number = 0;
    if (!parseCount(digits, MaxLength, &number))
        return -1;
    if (offset && number % BlockSize != 0)
        return -1;
    const qint64 index = offset ? number / BlockSize : number;
    return index < blockCount() ? int(index) : -1;
}

bool CVNSettingsFlash::isCommand(const QString& word) const
{
    static const QStringList common = {QStringLiteral("sversion"), QStringLiteral("sdefault"), QStringLiteral("ssave"),
                                       QStringLiteral("serase")};
    static const QStringList veilWords = {QStringLiteral("sbb"), QStringLiteral("sbl"), QStringLiteral("sbk"),
                                          QStringLiteral("sbe")};
    static const QStringList tarsoWords = {QStringLiteral("sbsb0000"), QStringLiteral("sbss0000"),
                                           QStringLiteral("sbse0000"), QStringLiteral("sblb0000"),
                                           QStringLiteral("sblt0000"), QStringLiteral("sble")};
    if (common.contains(word))
        return true;
    // Block words carry a decimal number after their stem.
    const auto numbered = [&word](const char* stem) {
        const QString stemText = QLatin1String(stem);
        if (!word.startsWith(stemText) || word.size() == stemText.size())
            return false;
        for (int i = stemText.size(); i < word.size(); ++i) {
            if (word[i] < QLatin1Char('0') || word[i] > QLatin1Char('9'))
                return false;
        }
        return true;
    };
    if (m_productId == TarsoProductId)
        return tarsoWords.contains(word) || numbered("sbsr") || numbered("sblw");
    return veilWords.contains(word) || numbered("sbg") || numbered("sbs");
}

bool CVNSettingsFlash::exchange(const QString& word, const QByteArray& block, QByteArray* answer)
{
    if (!present() || !isCommand(word))
        return false;
    QByteArray raw;
    QString text;
    if (word == QLatin1String("sversion")) {
        text = m_version;
    } else if (word == QLatin1String("sdefault")) {
        restoreDefaults();
        text = QLatin1String(Ok);
    } else if (word == QLatin1String("ssave")) {
        m_flash = encode();
        m_flashState = FlashState::Saved;
        text = QLatin1String(Ok);
    } else if (word == QLatin1String("serase")) {
        m_flash.clear();
        m_flashState = FlashState::Erased;
        text = QLatin1String(Ok);
    } else {
        text = m_productId == TarsoProductId ? tarso(word, block, &raw) : veil(word, block, &raw);
    }
    *answer = raw.isEmpty() ? textBlock(text) : raw;
    return true;
}

QString CVNSettingsFlash::veil(const QString& word, const QByteArray& block, QByteArray* raw)
{
    if (word == QLatin1String("sbb")) {
        m_readOpen = m_writeOpen = true;
        m_snapshot = configuration();
        m_incoming = QByteArray(blockCount() * BlockSize, '\0');
        m_received.clear();
        return QLatin1String(Ok);
    }
    if (word == QLatin1String("sbl"))
        return QString::number(m_length);
    if (word == QLatin1String("sbk"))
        return m_key;
    if (word == QLatin1String("sbe"))
        return close(blockText(block));
    const bool get = word.startsWith(QLatin1String("sbg"));
    if (!m_readOpen)
        return QLatin1String(NoTransfer);
    const int index = blockIndex(word, 3, false);
    if (index < 0)
        return QLatin1String(BadBlock);
    if (get) {
        *raw = m_snapshot.mid(index * BlockSize, BlockSize).leftJustified(BlockSize, '\0');
        return QString();
    }
    m_incoming.replace(index * BlockSize, BlockSize, block.left(BlockSize).leftJustified(BlockSize, '\0'));
    m_received.insert(index);
    return QLatin1String(Ok);
}

// "sbe" alone ends a read; "sbe KEY LENGTH" ends a write and applies it.
QString CVNSettingsFlash::close(const QString& argument)
{
    const bool open = m_readOpen;
    m_readOpen = m_writeOpen = false;
    if (argument.isEmpty())
        return QLatin1String(Ok);
    if (!open)
        return QLatin1String(NoTransfer);
    const QStringList parts = argument.split(QLatin1Char(' '));
    if (parts.size() != 2 || parts[0] != m_key)
        return QStringLiteral("error: key mismatch");
    if (parts[1] != QString::number(m_length))
        return QStringLiteral("error: length mismatch");
    if (m_received.size() != blockCount())
        return QStringLiteral("error: incomplete configuration");
    const QString error = apply(m_incoming.left(int(m_length)));
    return error.isEmpty() ? QLatin1String(Ok) : error;
}

QString CVNSettingsFlash::tarso(const QString& word, const QByteArray& block, QByteArray* raw)
{
    if (word == QLatin1String("sbsb0000")) {
        m_readOpen = true;
        m_snapshot = configuration().leftJustified(blockCount() * BlockSize, '\0');
        return QLatin1String(Ok);
    }
    if (word == QLatin1String("sbss0000"))
        return QString::number(m_length);
    if (word == QLatin1String("sbse0000")) {
        m_readOpen = false;
        return QLatin1String(Ok);
    }
    if (word == QLatin1String("sblb0000")) {
        m_writeOpen = true;
        m_incoming = QByteArray(blockCount() * BlockSize, '\0');
        m_received.clear();
        m_verifyWaits = m_loadWaits = m_waits;
        return QLatin1String(Ok);
    }
    if (word == QLatin1String("sblt0000") || word == QLatin1String("sble")) {
        if (!m_writeOpen)
            return QLatin1String(NoTransfer);
        int& waits = word == QLatin1String("sble") ? m_loadWaits : m_verifyWaits;
        if (waits > 0) {
            --waits;
            return QStringLiteral("Wait");
        }
        return word == QLatin1String("sble") ? finishLoad() : verifyLoad();
    }
    const bool read = word.startsWith(QLatin1String("sbsr"));
    if (!(read ? m_readOpen : m_writeOpen))
        return QLatin1String(NoTransfer);
    const int index = blockIndex(word, 4, true);
    if (index < 0)
        return QLatin1String(BadBlock);
    if (read) {
        *raw = m_snapshot.mid(index * BlockSize, BlockSize);
        return QString();
    }
    m_incoming.replace(index * BlockSize, BlockSize, block.left(BlockSize).leftJustified(BlockSize, '\0'));
    m_received.insert(index);
    return QLatin1String(Ok);
}

QString CVNSettingsFlash::verifyLoad() const
{
    if (m_received.size() != blockCount())
        return QStringLiteral("error: incomplete configuration");
    return QLatin1String(Ok);
}

QString CVNSettingsFlash::finishLoad()
{
    QString error = verifyLoad();
    if (error == QLatin1String(Ok))
        error = apply(m_incoming.left(int(m_length)));
    m_writeOpen = false;
    return error.isEmpty() ? QStringLiteral("Finished") : error;
}

}  // namespace corvanesim
