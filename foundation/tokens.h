// The text token reader under every text format.
#pragma once

#include <cstdio>
#include <string>

#pragma GCC visibility push(default)

int LeChar(FILE* f);
int Separador(int c);
int Ident(int c);
int SeparadorFileName(int c);
int IdentFileName(int c);

std::string LeStr(FILE* f);
std::string LeFileName(FILE* f);
std::string LeStrBool(FILE* f);
void LeBool(FILE* f, bool& b);

void LeNum(FILE* f, bool& b);
void LeNum(FILE* f, double& x);
void LeNum(FILE* f, float& x);
void LeNum(FILE* f, short& x);
void LeNum(FILE* f, int& x);
void LeNum(FILE* f, unsigned char& x);
void LeNumIgnEOF(FILE* f, int& x);

#pragma GCC visibility pop
