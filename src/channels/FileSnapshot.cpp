#include "channels/FileSnapshot.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>

namespace kest {

namespace {

constexpr qint64 kBlock = qint64(1) << 20;
constexpr qint64 kCheckedSpan = 64 * 1024;

QByteArray readAt(QFile& file, qint64 offset, qint64 length) {
    if (!file.seek(offset)) return {};
    return file.read(length);
}

}  // namespace

bool copyLeadingBytes(const QString& source, const QString& target, qint64 size, bool* holdsCr,
                      QString* error) {
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + source + ": " + in.errorString();
        return false;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write ") + target + ": " + out.errorString();
        return false;
    }
    *holdsCr = false;
    for (qint64 left = size; left > 0;) {
        const QByteArray block = in.read(std::min(left, kBlock));
        if (block.isEmpty()) {
            *error = source + QStringLiteral(" became shorter while being copied");
            return false;
        }
        if (!*holdsCr && block.contains('\r')) *holdsCr = true;
        if (out.write(block) != block.size()) {
            *error = QStringLiteral("cannot write ") + target + ": " + out.errorString();
            return false;
        }
        left -= block.size();
    }
    if (!out.flush()) {
        *error = QStringLiteral("cannot write ") + target + ": " + out.errorString();
        return false;
    }
    return true;
}

bool leadingBytesAgree(const QString& first, const QString& second, qint64 size) {
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly)) return false;
    const qint64 head = std::min(size, kCheckedSpan);
    const qint64 tailStart = std::max<qint64>(0, size - kCheckedSpan);
    return readAt(a, 0, head) == readAt(b, 0, head) &&
           readAt(a, tailStart, size - tailStart) == readAt(b, tailStart, size - tailStart);
}

bool holdsCarriageReturn(QFile& file) {
    bool found = false;
    while (!found) {
        const QByteArray block = file.read(kBlock);
        if (block.isEmpty()) break;
        found = block.contains('\r');
    }
    file.seek(0);
    return found;
}

qint64 endOfLastLine(QFile& file, LineEnds ends) {
    const qint64 size = file.size();
    // Backwards from the end, one block at a time: the unfinished line is short as a rule.
    for (qint64 end = size; end > 0;) {
        const qint64 start = std::max<qint64>(0, end - kBlock);
        const QByteArray block = readAt(file, start, end - start);
        if (block.size() != end - start) return 0;
        const qsizetype lf = block.lastIndexOf('\n');
        const qsizetype cr = block.lastIndexOf('\r');
        if (ends == LineEnds::Lf) {
            if (lf >= 0) return start + lf + 1;
        } else if (cr >= 0) {
            // A CR LF counts whole; a lone LF after the CR belongs to the unfinished line.
            const qint64 after = start + cr + 1;
            const bool pairedLf = after < size && readAt(file, after, 1) == "\n";
            return pairedLf ? after + 1 : after;
        }
        end = start;
    }
    return 0;
}

}  // namespace kest
