// The INI document type behind the placement file: SimpleIni's case-insensitive
// 8-bit document. Debian's header keeps its template bodies behind
// SI_IMPLEMENTATION, so every user of the document includes it through here.
#pragma once

#ifndef _WIN32
// Off Windows (native fuzzing and benchmark builds) the char document needs no
// conversion library; on Windows the library's own Win32 converter is used.
#define SI_NO_CONVERSION
#endif
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

using PlacementDocument = CSimpleIniTempl<char, SI_NoCase<char>, SI_ConvertA<char>>;
