#pragma once
// The steps of the crash-safe save on Windows, written against the Win32 calls so that
// they are tested everywhere against a fake (DurableFiles.h says what each step is for).

#include <filesystem>
#include <string>

#include "platform/win32/Win32Calls.h"

namespace kest::win32 {

// A virus scanner or a search indexer opens a freshly written file for a moment, and
// a move over a file open without delete sharing fails meanwhile: the replace tries
// again for about a second before it gives up.
constexpr int kReplaceAttempts = 20;
constexpr unsigned kReplaceRetryMs = 50;

bool writeDurably(Win32Calls& calls, const std::filesystem::path& file, const std::string& bytes,
                  std::string* error);
bool replaceDurably(Win32Calls& calls, const std::filesystem::path& from,
                    const std::filesystem::path& to, std::string* error);
// The handle that holds <directory>/.save.lock locked, kNoHandle when there is none.
Handle lockForSave(Win32Calls& calls, const std::filesystem::path& directory);

}  // namespace kest::win32
