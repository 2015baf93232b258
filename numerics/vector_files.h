// Text files of vectors and matrices of numbers: a count header, then the elements.
#pragma once

#include <string>

#include "foundation/matriz.h"
#include "foundation/points.h"
#include "foundation/vetor.h"

#pragma GCC visibility push(default)

void imp(const MATRIZ<double>& m, const std::string& name);
void le(MATRIZ<double>& m, const std::string& name);
void imp(const VETOR<double>& v, const std::string& name);
void le(VETOR<double>& v, const std::string& name);
void imp(const MATRIZ<int>& m, const std::string& name);
void le(MATRIZ<int>& m, const std::string& name);
void imp(const VETOR<PONTOI2>& v, const std::string& name);
void le(VETOR<PONTOI2>& v, const std::string& name);
void imp(const VETOR<PONTO2>& v, const std::string& name);
void le(VETOR<PONTO2>& v, const std::string& name);
void imp(const VETOR<int>& v, const std::string& name);
void le(VETOR<int>& v, const std::string& name);

#pragma GCC visibility pop
