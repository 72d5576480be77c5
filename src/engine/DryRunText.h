#pragma once
// The steps of a dry run as plain text, one step a line, for --explain and the rule
// tester window. Control codes are written as {ASCII:n}.

#include <string>

namespace kest {

struct DryRunResult;
struct DryRunSettings;
struct DryRunWorld;

std::string renderDryRun(const std::string& received, const DryRunSettings& settings,
                         const DryRunWorld& world, const DryRunResult& result);

}  // namespace kest
