#include "ui/RuleTester.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/DryRunText.h"
#include "engine/Pipeline.h"
#include "keyboard/KeyOutcome.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

// Control characters cannot be seen in a field: a pasted one is written the way the
// field asks for them, so the sample stays what it looks like.
void keepControlsVisible(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        const bool hasControl =
            std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 32; });
        if (!hasControl) return;
        const int tail = int(text.size()) - field->cursorPosition();
        const QString visible = fromCp1252(withVisibleControls(toCp1252(text)));
        field->setText(visible);
        field->setCursorPosition(int(visible.size()) - tail);
    });
}

}  // namespace

RuleTester::RuleTester(SettingsSource settings, WorldSource world, const Clock& clock,
                       QWidget* parent)
    : QWidget(parent, Qt::Window),
      settings_(std::move(settings)),
      world_(std::move(world)),
      clock_(clock) {
    setObjectName("F_RULE_TESTER");
    setWindowTitle("Rule tester");
    INP_SAMPLE = new QLineEdit(this);
    INP_SAMPLE->setObjectName("INP_SAMPLE");
    INP_SAMPLE->setPlaceholderText("12345{ASCII:13}");
    INP_SAMPLE->setToolTip("What the device sends; control characters as {ASCII:n}");
    // A scan or a line: even written as {ASCII:n} codes it stays within what a dry run takes.
    INP_SAMPLE->setMaxLength(int(kMaxDryRunSample));
    keepControlsVisible(INP_SAMPLE);
    AFF_RESULT = new QLineEdit(this);
    AFF_RESULT->setObjectName("AFF_RESULT");
    AFF_RESULT->setReadOnly(true);
    AFF_RESULT->setToolTip("The characters typed; keys that type none in braces");
    AFF_STEPS = new QPlainTextEdit(this);
    AFF_STEPS->setObjectName("AFF_STEPS");
    AFF_STEPS->setReadOnly(true);
    AFF_STEPS->setLineWrapMode(QPlainTextEdit::NoWrap);
    AFF_STEPS->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* form = new QFormLayout;
    form->addRow("Sample input:", INP_SAMPLE);
    form->addRow("Typed:", AFF_RESULT);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel("Steps (nothing is typed, sent or activated here):", this));
    layout->addWidget(AFF_STEPS, 1);
    resize(620, 420);

    connect(INP_SAMPLE, &QLineEdit::textChanged, this, &RuleTester::refresh);
    refresh();
}

void RuleTester::refresh() {
    std::string received = toCp1252(INP_SAMPLE->text());
    DECODE_ASCII(received);
    const DryRunSettings settings = settings_();
    const DryRunWorld world = world_();
    result_ = dryRun(received, settings, world, clock_);
    AFF_RESULT->setText(fromCp1252(result_.shown));
    AFF_STEPS->setPlainText(fromCp1252(renderDryRun(received, settings, world, result_)));
}

void RuleTester::followChangesOf(const QList<QWidget*>& controls) {
    for (QWidget* control : controls) {
        if (auto* field = qobject_cast<QLineEdit*>(control)) {
            connect(field, &QLineEdit::textChanged, this, &RuleTester::refresh);
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            connect(box, &QCheckBox::stateChanged, this, &RuleTester::refresh);
        } else if (auto* view = qobject_cast<QAbstractItemView*>(control)) {
            QAbstractItemModel* model = view->model();
            connect(model, &QAbstractItemModel::rowsInserted, this, &RuleTester::refresh);
            connect(model, &QAbstractItemModel::rowsRemoved, this, &RuleTester::refresh);
            connect(model, &QAbstractItemModel::dataChanged, this, &RuleTester::refresh);
            connect(model, &QAbstractItemModel::modelReset, this, &RuleTester::refresh);
        }
    }
}

}  // namespace kest
