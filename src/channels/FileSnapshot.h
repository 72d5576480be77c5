#pragma once
// The byte work of the watched-file channel: copying a version cut at a given size,
// telling a file that only grew from one rewritten in place, and finding where its
// last finished line ends.

#include <QString>

#include "channels/LineReader.h"

class QFile;

namespace kest {

// Copies the first `size` bytes of source to target. holdsCr says whether they hold a
// carriage return. False, with the reason, when fewer bytes could be read or written.
bool copyLeadingBytes(const QString& source, const QString& target, qint64 size, bool* holdsCr,
                      QString* error);

// True when the first `size` bytes of both files agree where a rewrite would show
// first: at their start and at their end. Checked when the source grew while it was
// copied; reading all of a large file again would double the work of every tick.
bool leadingBytesAgree(const QString& first, const QString& second, qint64 size);

// True when the file holds a carriage return; the read position goes back to 0.
bool holdsCarriageReturn(QFile& file);

// The offset just past the file's last line end (0 when it has none): the part of the
// file that holds only finished lines.
qint64 endOfLastLine(QFile& file, LineEnds ends);

}  // namespace kest
