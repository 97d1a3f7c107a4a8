#pragma once

// minizip's ioapi.h must come first (this header is for zip_reader.cpp only).

// File functions for minizip that read a UTF-16 path through one buffer.
// minizip reads every directory record field by field; without a buffer each
// field is a system call of its own.
void FillBufferedReadFunctions(zlib_filefunc64_def& functions);
