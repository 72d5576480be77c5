#include <gtest/gtest.h>

#include <QBuffer>

#include "channels/LineReader.h"

namespace kest {
namespace {

QList<LinePiece> readAll(const QByteArray& data, LineEnds ends = LineEnds::Cr) {
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer, ends);
    QList<LinePiece> pieces;
    LinePiece piece;
    while (reader.next(piece)) pieces << piece;
    EXPECT_FALSE(reader.failed());
    return pieces;
}

QList<QByteArray> texts(const QList<LinePiece>& pieces) {
    QList<QByteArray> result;
    for (const auto& p : pieces) result << p.text;
    return result;
}

TEST(LineReader, EndsLinesAtCarriageReturnOrCrLfButNotAtALoneLineFeed) {
    EXPECT_EQ(texts(readAll("a\rb\r\nc\nd\re")), (QList<QByteArray>{"a", "b", "c\nd", "e"}));
    EXPECT_EQ(texts(readAll("one\r\n")), (QList<QByteArray>{"one"}));
    EXPECT_EQ(texts(readAll("x\r\r\n\ry")), (QList<QByteArray>{"x", "", "", "y"}));
    EXPECT_EQ(texts(readAll("")), QList<QByteArray>{});
    EXPECT_EQ(texts(readAll("\n")), (QList<QByteArray>{"\n"}));
    EXPECT_EQ(texts(readAll(QByteArray("a\0b\r", 4))), (QList<QByteArray>{QByteArray("a\0b", 3)}));
}

TEST(LineReader, WithLinuxLineEndsEachLineFeedEndsALine) {
    EXPECT_EQ(texts(readAll("lf1\nlf2\n\nlast", LineEnds::Lf)),
              (QList<QByteArray>{"lf1", "lf2", "", "last"}));
    EXPECT_EQ(texts(readAll("\n", LineEnds::Lf)), (QList<QByteArray>{""}));
}

TEST(LineReader, CrLfSplitAcrossReadChunksIsOneTerminator) {
    // 64 KiB chunks: put the CR as the chunk's last byte and the LF in the next one.
    QByteArray data(64 * 1024 - 1, 'x');
    data += "\r\nnext\r\n";
    const auto lines = readAll(data);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].text.size(), 64 * 1024 - 1);
    EXPECT_EQ(lines[1].text, "next");
}

TEST(LineReader, OverlongLinesComeOutInBoundedPieces) {
    const qsizetype max = LineReader::kMaxPiece;
    QByteArray data(max * 2 + 10, 'y');
    data += "\rtail";
    const auto pieces = readAll(data);
    ASSERT_EQ(pieces.size(), 4);
    EXPECT_EQ(pieces[0].text.size(), max);
    EXPECT_FALSE(pieces[0].complete);
    EXPECT_EQ(pieces[1].text.size(), max);
    EXPECT_FALSE(pieces[1].complete);
    EXPECT_EQ(pieces[2].text.size(), 10);
    EXPECT_TRUE(pieces[2].complete);
    EXPECT_EQ(pieces[3].text, "tail");
    EXPECT_TRUE(pieces[3].complete);
}

}  // namespace
}  // namespace kest
