#pragma once
// Windows-1252, the 8-bit code page of every text the program handles.

#include <string>
#include <string_view>

namespace kest {

// The Unicode character of a byte; the five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
char32_t cp1252ToUnicode(unsigned char c);

// The byte of a Unicode character, or -1 when Windows-1252 has none.
int unicodeToCp1252(char32_t u);

std::string cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 byte become '?'. Invalid UTF-8 bytes are taken
// as Windows-1252 themselves.
std::string utf8ToCp1252(std::string_view text);
// Unicode text from UTF-8, as a window title comes; each byte that is not valid UTF-8
// becomes U+FFFD, which matches nothing a user can type.
std::u32string utf8ToUnicode(std::string_view text);

// Upper case as the Windows-1252 letters have it (a..z, à..þ except ÷, š œ ž ÿ).
unsigned char cp1252Upper(unsigned char c);
std::string cp1252Upper(std::string_view text);

}  // namespace kest
