#pragma once
// What a user is told once about received data that the program reads otherwise than
// the device may mean: characters that the key notation takes as keys (a scale's "+"
// holds Shift) though no rule wrote them, and bytes in UTF-8 where the program reads
// Windows-1252, one byte a character ("MÃ¼ller"). Received text is key notation on
// purpose: nothing is changed, the user only hears what to do about it.

#include <string>
#include <string_view>

namespace kest {

// "+ ^ % ~ ( ) [ ] { }": the characters that the notation types as themselves only
// in braces.
bool isNotationCharacter(char c);

// The notice for a notation character found in received text: what the notation
// makes of it and the rule that types it as it is.
std::string notationNotice(char c);

// The notice for received bytes that form UTF-8 sequences, naming the first of them;
// empty when there is none.
std::string utf8Notice(std::string_view received);

}  // namespace kest
