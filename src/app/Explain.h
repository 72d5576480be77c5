#pragma once
// --explain: what an instance's saved configuration makes of a sample input, step by
// step, without a window, a display or a keyboard.

#include <QString>
#include <string>

class QTextStream;

namespace kest {

// instanceSuffix: "" for the unnamed copy, else "_" and the name. Prints the steps to
// out and returns 0, or prints why not to err and returns non-zero (1: the
// configuration cannot be read; 2: the sample is too long).
int explainSample(const QString& instanceSuffix, const std::string& sample, QTextStream& out,
                  QTextStream& err);

// Standard input, byte for byte, up to one byte more than a dry run takes.
std::string readSampleFromStandardInput();

}  // namespace kest
