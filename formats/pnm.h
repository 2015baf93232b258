// Portable anymap files: PBM, PGM and PPM, text (P1..P3) and binary (P4..P6).
#pragma once

#include <cstdio>
#include <string>

#include "images/images.h"

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
