#pragma once
// Where the window learns what does not work: the channels' failures feed its trouble
// state, and a rule whose replacement cannot be typed is marked where it stands in the
// table, when it is added or loaded.

namespace kest {

class Clock;
class F_MAIN;
class TroubleState;

// The serial port, the TCP channel and the watched file, each failure with its reason.
void reportChannelTrouble(F_MAIN& window, TroubleState& trouble);

// Each row added to LST_TOUCHES(1) whose replacement would not be typed turns red, with
// the reason in its tip as the rule tester words it. The rule is still added.
void markRulesNotTyped(F_MAIN& window, const Clock& clock);

}  // namespace kest
