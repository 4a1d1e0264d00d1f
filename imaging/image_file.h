// Reading Windows bitmap files and JFIF JPEG files into bitmap handles.
#pragma once

#include <cstddef>

#include "imaging/dib.h"
#include "platform/file_reader.h"

// Jpeg_Decode's own failures; the decoder's are other negative numbers.
constexpr int kJpegErrorChannels = -4;
constexpr int kJpegErrorBitmap = -5;

constexpr const char* kJpegNotFoundText =
    "Cannot read JPEG file: IJL11.DLL or IJL10.DLL not found.";
constexpr const char* kJpegErrorFormat = "JPEG Library Error %d\n";

// Reads the named file; a null or empty name asks the user for one first.
// Null when cancelled, unreadable or not an image this program reads.
DibHandle ImageFile_Load(const char* name);
// Recognises and reads an open file from its start.
DibHandle ImageFile_Read(platform::FileHandle file);
// Creates the JPEG decoder on first use; true when it is usable. Shutdown releases it.
bool JpegLibrary_Load();
// Decodes a whole JFIF file held in memory into a bottom-up bitmap: 24-bit
// blue-green-red, or 8-bit gray with the gray ramp.
DibHandle Jpeg_Decode(const void* bytes, std::size_t length);
