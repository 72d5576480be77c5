#include "channels/LineReader.h"

#include <QIODevice>
#include <algorithm>

namespace kest {

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

bool LineReader::next(LinePiece& piece) {
    piece.text.clear();
    piece.complete = true;
    const char terminator = ends_ == LineEnds::Lf ? '\n' : '\r';
    for (;;) {
        const qsizetype room = kMaxPiece - piece.text.size();
        const qsizetype cr = buffer_.indexOf(terminator, pos_);
        const qsizetype end = cr >= 0 ? cr : buffer_.size();
        if (end - pos_ > room || (cr < 0 && end - pos_ == room && room > 0)) {
            piece.text.append(buffer_.constData() + pos_, room);
            pos_ += room;
            piece.complete = false;
            return true;
        }
        piece.text.append(buffer_.constData() + pos_, end - pos_);
        pos_ = end;
        if (cr >= 0) {
            ++pos_;
            if (ends_ == LineEnds::Lf) return true;
            if (pos_ >= buffer_.size()) fill();
            if (pos_ < buffer_.size() && buffer_.at(pos_) == '\n') ++pos_;
            return true;
        }
        if (!fill()) return !failed_ && !piece.text.isEmpty();
    }
}

bool LineReader::fill() {
    buffer_.remove(0, pos_);
    pos_ = 0;
    const qsizetype had = buffer_.size();
    buffer_.resize(had + kChunk);
    const qint64 got = device_.read(buffer_.data() + had, kChunk);
    buffer_.resize(had + std::max<qint64>(got, 0));
    if (got < 0) failed_ = true;
    return got > 0;
}

}  // namespace kest
