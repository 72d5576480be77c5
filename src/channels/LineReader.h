#pragma once
// Reads a file line by line the way the watched-file channel counts lines: a line ends
// at a carriage return or a carriage return and line feed, neither of which belongs to
// it; a lone line feed stays inside the line; a last line without terminator is still
// a line. A file that holds no carriage return at all was written with Linux line
// ends: there a line feed ends a line (LineEnds::Lf). Memory stays bounded: a line longer than
// kMaxPiece comes out in pieces, all but the last marked incomplete.

#include <QByteArray>

class QIODevice;

namespace kest {

struct LinePiece {
    QByteArray text;
    bool complete = true;  // false: the line goes on in the next piece
    bool operator==(const LinePiece&) const = default;
};

enum class LineEnds { Cr, Lf };

class LineReader {
  public:
    static constexpr qsizetype kMaxPiece = qsizetype(1) << 20;

    explicit LineReader(QIODevice& device, LineEnds ends = LineEnds::Cr)
        : device_(device), ends_(ends) {}

    // The next line or piece; false at the end of the data or on a read error.
    bool next(LinePiece& piece);
    bool failed() const { return failed_; }

  private:
    bool fill();

    QIODevice& device_;
    LineEnds ends_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    bool failed_ = false;
};

}  // namespace kest
