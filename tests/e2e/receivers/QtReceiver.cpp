// A Qt 6 plain-text edit that receives typed keys, as Qt programs do.
//   kest_qt_receiver TITLE DIR
// Writes DIR/status ("ready" once the window is shown, "focus" whenever the edit gets
// the keyboard focus) and moves every text added to the end of the document to
// DIR/received, in UTF-8, as it comes.

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <cstdio>

namespace {

void note(const QString& dir, const char* line) {
    QFile status(dir + "/status");
    if (status.open(QIODevice::Append)) status.write(QByteArray(line) + "\n");
}

// The document's own characters: the plain-text export would turn a no-break space
// into a blank and hide exactly the kind of fault this receiver is here to show.
QString rawText(const QTextDocument& doc, int from, int to) {
    QString out;
    for (int i = from; i < to; ++i) {
        const QChar c = doc.characterAt(i);
        out += c == QChar::ParagraphSeparator ? QChar('\n') : c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kest_qt_receiver TITLE DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[2]);
    QFile received(dir + "/received");
    if (!received.open(QIODevice::Append | QIODevice::Unbuffered)) return 1;

    QPlainTextEdit edit;
    edit.setWindowTitle(QString::fromUtf8(argv[1]));
    edit.resize(600, 400);
    // Typing only ever adds at the end; the document always ends in one paragraph
    // separator of its own, which is not text. What was written leaves the edit once
    // there is a line's worth: Qt slows down on very long lines, and a benchmark would
    // measure that instead of the keys.
    int written = 0;
    QObject::connect(edit.document(), &QTextDocument::contentsChanged, [&] {
        const int total = edit.document()->characterCount() - 1;
        if (total > written) received.write(rawText(*edit.document(), written, total).toUtf8());
        written = total;
        if (written > 100) {
            written = 0;
            edit.clear();
        }
    });
    QObject::connect(&app, &QApplication::focusChanged, [&](QWidget*, QWidget* now) {
        if (now == &edit) note(dir, "focus");
    });
    edit.show();
    note(dir, "ready");
    edit.activateWindow();
    return app.exec();
}
