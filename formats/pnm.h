// Portable anymap files: PBM, PGM and PPM, text (P1..P3) and binary (P4..P6).
//
// imppbmt/imppgmt/impppmt write the text forms and imppbmb/imppgmb/impppmb the binary ones;
// lepbmt ... leppmb read them back (a format must match its reader: `le` of image_io.h picks the
// reader from the file's content). Levels are 8-bit: a maximum value above 255 is refused.
// The readers and writers may run in several threads on distinct files; fgetbit/fputbit keep
// one process-wide bit buffer and are not thread-safe.
#pragma once

#include <cstdio>
#include <string>

#include "images/images.h"

#pragma GCC visibility push(default)

void imppbmt(const IMGBIN& img, const std::string& name);
void imppgmt(const IMGGRY& img, const std::string& name);
void impppmt(const IMGCOR& img, const std::string& name);
void imppbmb(const IMGBIN& img, const std::string& name);
void imppgmb(const IMGGRY& img, const std::string& name);
void impppmb(const IMGCOR& img, const std::string& name);

void lepbmt(IMGBIN& img, const std::string& name);
void lepgmt(IMGGRY& img, const std::string& name);
void leppmt(IMGCOR& img, const std::string& name);
void lepbmb(IMGBIN& img, const std::string& name);
void lepgmb(IMGGRY& img, const std::string& name);
void leppmb(IMGCOR& img, const std::string& name);

// Bit reader and writer over a stream, most significant bit of each byte first.
int fgetbit(FILE* f);
int fputbit(int bit, FILE* f);

#pragma GCC visibility pop
