/* The LZMA SDK's decoder (Debian's lzma-dev, public domain), built into the
   program from the package's own source. Its Types.h includes <windows.h> on
   Windows only for a type the decoder does not use; below app/ the program
   does without that header, so the C library's headers come first and the
   SDK's are read as on any other system. core/BundleReader.cpp reads
   LzmaDec.h the same way. */
#include <stddef.h>
#include <string.h>

#undef _WIN32
#include "LzmaDec.c"
