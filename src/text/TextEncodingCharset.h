#pragma once

#include "platform/IcuConverter.h"
#include "text/TextEncoding.h"

namespace dunmoss {

// The conversion behind an encoding, without its byte-order mark. Generic UTF-16 converts as
// big-endian: that is how it is written (after FE FF), and how it is read without a mark.
IcuCharset textCharset(TextFileEncoding encoding);

} // namespace dunmoss
