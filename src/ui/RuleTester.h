#pragma once
// The "Rule tester" window: a sample input, written with {ASCII:n} for its control
// characters, and what the rules as they stand in the main window's controls make of
// it, step by step, down to the keys and the characters they type. It computes a dry
// run on every change and types, sends and activates nothing.

#include <QWidget>
#include <functional>

#include "engine/DryRun.h"

class QLineEdit;
class QPlainTextEdit;

namespace kest {

class Clock;

class RuleTester : public QWidget {
    Q_OBJECT
  public:
    using SettingsSource = std::function<DryRunSettings()>;
    using WorldSource = std::function<DryRunWorld()>;

    RuleTester(SettingsSource settings, WorldSource world, const Clock& clock,
               QWidget* parent = nullptr);

    QLineEdit* INP_SAMPLE;
    QPlainTextEdit* AFF_STEPS;
    QLineEdit* AFF_RESULT;

    // Runs the sample again with the settings as they are now.
    void refresh();
    // Refreshes whenever one of these controls changes: line edits, lists, check boxes.
    void followChangesOf(const QList<QWidget*>& controls);
    const DryRunResult& lastResult() const { return result_; }

  private:
    SettingsSource settings_;
    WorldSource world_;
    const Clock& clock_;
    DryRunResult result_;
};

}  // namespace kest
