#include "com/jsontextcheck.h"

namespace CVNJsonText {

CVNBinaryJson::CheckResult checkLimits(const QByteArray& text, const CVNDocumentLimits& limits)
{
    CVNBinaryJson::CheckResult result;
    if (text.size() > limits.maxSize) {
        result.reason = QStringLiteral("text of %1 bytes exceeds %2").arg(text.size()).arg(limits.maxSize);
        return result;
    }
    int depth = 0;
    // Every value but the first of a container follows a comma; counting
    // each opened container for its first one gives an upper bound.
    qint64 values = 1;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            if (++depth > limits.maxDepth) {
                result.reason = QStringLiteral("nested deeper than %1 levels").arg(limits.maxDepth);
                return result;
            }
            ++values;
            break;
        case ']':
        case '}':
            // Unbalanced text is the parser's to report.
            depth = qMax(0, depth - 1);
            break;
        case ',':
            ++values;
            break;
        default:
            break;
        }
        if (values > limits.maxElements) {
            result.reason = QStringLiteral("more than %1 values").arg(limits.maxElements);
            return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace CVNJsonText
