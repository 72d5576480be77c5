#pragma once
// Letting another running program come to the front. Windows keeps the foreground for
// the program the user works with: a copy in the background may not take it, unless the
// program in front allows it. A second start of an instance is in front (the user just
// started it) and allows the running copy to come forward. Elsewhere nothing is needed.

namespace kest {

void allowAnotherProgramToTakeTheForeground();

}  // namespace kest
