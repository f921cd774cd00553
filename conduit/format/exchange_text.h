// Folding of a record's text into one exchange-file line and back.
//
// An exchange-file record line cannot hold a line break, so the record text (description, CR LF,
// note) is folded: every CR LF becomes ";", a ";" of the text becomes ":" and a ";" is inserted
// after every run of 60 bytes without a line break. Unfolding turns every ";" into CR LF.
#ifndef DBC_CONDUIT_FORMAT_EXCHANGE_TEXT_H_
#define DBC_CONDUIT_FORMAT_EXCHANGE_TEXT_H_

#include <stddef.h>

#include <string>
#include <string_view>

// Bytes of a folded line before a ";" is inserted; also the longest description read back.
constexpr size_t kFoldWidth = 60;

// Folds source into *destination (replacing its content). Folding stops before the folded text
// would grow past max_length bytes; answers true when all of source was folded.
//
// For each source byte: when 60 bytes have been emitted since the last ";", a ";" is emitted
// first (so a fold appears only when another byte follows the 60th). Then LF is dropped, CR emits
// ";", ";" emits ":" and any other byte is emitted unchanged.
bool FoldText(std::string_view source, size_t max_length, std::string* destination);

// Copies source into *destination (replacing its content) with every ";" turned into CR LF.
void UnfoldText(std::string_view source, std::string* destination);

#endif  // DBC_CONDUIT_FORMAT_EXCHANGE_TEXT_H_
