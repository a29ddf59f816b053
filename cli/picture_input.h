#pragma once

#include <string>

// The pictures a plan reads, looked at before they are converted: standard input kept in a file of its own,
// and each picture's first bytes, which say who decodes it and whether it can be a picture at all. What is
// refused here is refused before any font is measured for it.
namespace picture_input {

// Standard input copied to a file of its own that nobody else can see (it is gone when the converter
// ends), so that it reads like any picture file; returns its path. No more is kept than decoding may take
// memory (for a JPEG, than its announced size can take), and nothing that cannot start a picture: raises
// the picture's error then.
std::string keepStandardInput();

// Whether Qt's readers decode the picture: what is no JPEG, and JPEG colour spaces the kernels do not turn
// into RGB. A JPEG whose header cannot be read is the kernels' to refuse.
bool decodedByQt(const std::string& source);

// False for a file whose first blocks already say it is not the picture it starts as: a GIF's first 64 KB
// are walked (the rest when it is decoded).
bool startsAsItsFormatGoesOn(const std::string& source);

} // namespace picture_input
